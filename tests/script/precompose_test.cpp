// LayerCollection.precompose from scripts, a row per rule of host/README.md's "Pre-compose".
#include <functional>
#include <sstream>

#include "model/streams.h"
#include "script_bench.h"

namespace script_test {
namespace {

namespace stream = model::stream;

// Main (in Shots): Kid follows Dad; Clip carries a bit of everything; Guard is locked.
constexpr const char* kScene = R"json({"items": [{"type": "folder", "name": "Shots"},
  {"type": "footage", "name": "Movie", "width": 320, "height": 240, "pixelAspect": 2,
   "frameRate": 30, "duration": 4, "hasAudio": true},
  {"type": "solid", "name": "Card", "width": 200, "height": 100},
  {"type": "comp", "name": "Inner", "width": 100, "height": 50, "frameRate": 12, "duration": 3},
  {"type": "comp", "name": "Main", "folder": "Shots", "width": 640, "height": 360,
   "frameRate": 25, "duration": 8, "selection": ["Dad"], "layers": [{"type": "shape", "name": "Top"},
    {"type": "shape", "name": "Kid", "parent": "Dad", "streams": {"Position": [10, 20, 0]}},
    {"type": "shape", "name": "Dad", "streams": {"Position": [100, 50, 0], "Rotation": 90}},
    {"name": "Clip", "source": "Movie", "flags": ["video", "audio", "3d"], "offset": 1,
     "inPoint": 0.5, "duration": 3, "stretch": 200, "blendingMode": "ADD", "trackMatte": "ALPHA",
     "masks": [{"name": "Cut"}], "effects": [{"kind": "Gaussian Blur"}], "streams": {
      "Opacity": {"value": 80, "expression": "value / 2"}, "Audio Levels": [-3, -3]}},
    {"source": "Card"}, {"name": "Nest", "source": "Inner"},
    {"type": "shape", "name": "Guard", "flags": ["video", "locked"]}]}]})json";

class Precompose : public ScriptBench {
protected:
    void reload() {
        load(kScene);
        original = project;
        casePrefix = "var p = app.project, main = p.item(5); ";
    }

    // Size, pixel aspect, frame rate, duration, folder and script number.
    std::string frame(const std::string& name) {
        const model::Item& item = *model::find_item_by_name(project, name);
        std::ostringstream out;
        out << item.comp->width << "x" << item.comp->height << " "
            << item.comp->pixelAspect.seconds() << " " << item.comp->frameRate.seconds() << "fps "
            << item.comp->duration.seconds() << "s in "
            << model::find_item(project, item.folder)->name << " #"
            << model::item_script_index(project, item.id);
        return out.str();
    }

    // Timing, flags, anchor point, position, rotation and parent.
    std::string placed(const std::string& compName, const std::string& layerName) {
        const model::Layer& l = layer(compName, layerName);
        std::ostringstream out;
        out << l.inPoint.seconds() << "+" << l.duration.seconds() << "@" << l.offset.seconds()
            << " x" << l.stretch.seconds() << " f" << l.flags;
        for (const int number : {stream::kAnchorPoint, stream::kPosition, stream::kRotation})
            for (std::size_t i = 0; i < 2 && i < l.streams.at(number).value.size(); ++i)
                out << (i ? "," : " ") << l.streams.at(number).value[i];
        const model::Layer* parent = model::find_layer(project, l.parent);
        return out.str() + " " + (parent ? model::shown_name(project, *parent) : "-");
    }

    std::string selected(const std::string& compName) {
        std::string out;
        for (const model::SelectionEntry& e : comp(compName).selection)
            out += model::shown_name(project, *model::find_layer(project, e.layer)) + ";";
        return out;
    }

    model::Project original;
};

TEST_F(Precompose, EachRuleOfTheReadme) {
    const std::string moved = "main.layers.precompose([4, 2], 'P')";
    const auto clip_as_before = [this](model::Layer expected) {
        expected.source = layer("Main", "W").source;
        expected.ownName.clear();
        expected.streams.erase(stream::kAudioLevels);
        return layer("Main", "W") == expected ? "kept" : "changed";
    };
    const std::tuple<const char*, std::string, std::function<std::string()>, std::string> rows[] = {
        {"moved: the original's frame, its folder", moved, [this] { return frame("P"); },
         "640x360 1 25fps 8s in Shots #6"},
        {"moved: stack order kept, the new layer where the topmost was", moved,
         [this] { return layer_names("Main")[1] + layer_names("Main")[2] + layer_names("P")[0]; },
         "PDadKid"},
        {"moved: a layer keeps all it carries, its id too", moved,
         [this] {
             return layer("P", "Clip") == *model::find_layer(original, layer("P", "Clip").id)
                        ? "kept"
                        : "changed";
         },
         "kept"},
        {"moved: the new layer spans the original from 0, plain, alone selected", moved,
         [this] { return placed("Main", "P") + " " + selected("Main"); },
         "0+8@0 x1 f1 320,180 320,180 0 - P;"},
        {"moved: a moved child of a staying parent keeps its look",
         "main.layers.precompose([2], 'P')", [this] { return placed("P", "Kid"); },
         "0+8@0 x1 f1 0,0 80,60 90 -"},
        {"moved: a staying child of a moved parent keeps its look",
         "main.layers.precompose([3], 'P')", [this] { return placed("Main", "Kid"); },
         "0+8@0 x1 f1 0,0 80,60 90 -"},
        {"moved: links within the run stay", "main.layers.precompose([2, 3], 'P')",
         [this] { return placed("P", "Kid"); }, "0+8@0 x1 f1 0,0 10,20 0 Dad"},
        {"left in: the source's size and pixel aspect, the original's frame rate; the duration "
         "of footage, of a composition, of the original for a still",
         "main.layers.precompose([4], 'F', false); main.layers.precompose([6], 'C', false);"
         "main.layers.precompose([5], 'S', false)",
         [this] { return frame("F") + "; " + frame("C") + "; " + frame("S"); },
         "320x240 2 25fps 4s in Shots #6; 100x50 1 25fps 3s in Shots #7; "
         "200x100 1 25fps 8s in Shots #8"},
        {"left in: the layer keeps all it has and shows the new composition",
         "main.layers.precompose([4], 'W', false)",
         [&] { return clip_as_before(*model::find_layer(original, layer("Main", "W").id)); },
         "kept"},
        {"left in: inside, the source plain over the whole composition with name and levels",
         "main.layers.precompose([4], 'W', false)",
         [this] {
             return placed("W", "Clip") + " " +
                    std::to_string(layer("W", "Clip").streams.at(stream::kAudioLevels).value[0]) +
                    " " + selected("Main") + selected("W");
         },
         "0+4@0 x1 f3 160,120 160,120 0 - -3.000000 W;"},
        {"the name as given, clashes allowed; the new CompItem comes back",
         "var c = main.layers.precompose([1], 'Main'); [c.name, c.layer(1).name, p.numItems]",
         nullptr, "Main,Top,6"},
    };
    for (const auto& [rule, script, observed, expected] : rows) {
        reload();
        const std::string result = value(casePrefix + script);
        EXPECT_EQ(observed ? observed() : result, expected) << rule;
        EXPECT_NO_THROW(model::check_invariants(project)) << rule;
    }
}

TEST_F(Precompose, RefusedCallsChangeNothing) {
    reload();
    errorSuffix = " (line 1)";
    expect_errors({
        {"main.layers.precompose([1, 2], 'P', false)",
         "Error: precompose(): moveAllAttributes can be false only for exactly one layer"},
        {"main.layers.precompose([1], 'P', false)",
         "Error: precompose(): only a layer with a source item can leave its attributes in"},
        {"main.layers.precompose([], 'P')", "RangeError: precompose(): no layer indices given"},
        {"main.layers.precompose([3, 8], 'P')",
         "RangeError: precompose(8): there is no layer 8 (the composition has 7 layers)"},
        {"main.layers.precompose([2, 2], 'P')",
         "RangeError: precompose(): layer 2 is listed twice"},
        {"main.layers.precompose(2, 'P')",
         "TypeError: precompose(): the layer indices must be an array"},
        {"main.layers.precompose([6, 7], 'P')", "Error: the layer is locked"},
    });
    EXPECT_EQ(project, original);
    EXPECT_EQ(changes, 0);
}

}  // namespace
}  // namespace script_test
