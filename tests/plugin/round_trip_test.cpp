// Pre-compose, then extract the new pre-comp layer with the dialog's defaults: the composition
// comes back as it was, ids aside, and looks as it did.
#include <algorithm>
#include <map>
#include <random>

#include "io/project_file.h"
#include "plugin_host.h"

namespace outfold::testing {
namespace {

using json = nlohmann::json;
namespace model = host::model;

const std::vector<std::string> kNames{"Circle",        "Circle 2", "C",         "Null 1",
                                      "Shape Layer 1", "Control",  "Grey Solid"};

std::string literal_of(const std::string& text) { return json(text).dump(); }

// What a composition holds, ids and selection aside.
json without_ids(json value) {
    if (value.is_object()) {
        value.erase("id");
        value.erase("selection");
        for (auto& [key, member] : value.items()) member = without_ids(member);
    } else if (value.is_array()) {
        for (json& member : value) member = without_ids(member);
    }
    return value;
}

json comp_json(const model::Project& project, const std::string& name) {
    const json whole = host::io::project_to_json(project);
    for (const json& item : whole["items"])
        if (item["name"] == name) return without_ids(item);
    return {};
}

// What a viewer sees, without ids; numbers to 1e-6.
std::string seen(const host::picture::Picture& picture) {
    const auto rounded = [](double x) { return std::to_string(std::llround(x * 1e6)); };
    std::string all;
    for (const host::picture::Leaf& leaf : picture.leaves) {
        all += leaf.names.back() + " " + leaf.source.value_or("-") + " [";
        for (const double x : leaf.world) all += rounded(x) + " ";
        all += "] " + rounded(leaf.opacity) + " " + std::to_string(leaf.visible) +
               std::to_string(leaf.audible) + std::to_string(leaf.isMatte) + " " +
               rounded(leaf.layerTime.seconds()) + " " +
               (leaf.sourceTime ? rounded(leaf.sourceTime->seconds()) : "-") + " " +
               std::to_string(leaf.blendingMode) + " " + std::to_string(int(leaf.trackMatte)) +
               " masks " + std::to_string(leaf.masks.size()) + " effects " +
               std::to_string(leaf.effects.size()) + "\n";
    }
    for (const std::string& error : picture.errors) all += error + "\n";
    return all;
}

// Main holds the layers; they show a solid, or a clip with sound.
json main_project(const json& layers, int width, int height, int frameRate, int duration) {
    return {{"activeItem", "Main"},
            {"items",
             {{{"type", "solid"}, {"name", "Grey"}, {"width", 400}, {"height", 300}},
              {{"type", "footage"},
               {"name", "Clip"},
               {"width", 640},
               {"height", 360},
               {"duration", 6},
               {"hasAudio", true}},
              {{"type", "comp"},
               {"name", "Main"},
               {"width", width},
               {"height", height},
               {"frameRate", frameRate},
               {"duration", duration},
               {"layers", layers}}}}};
}

struct Case {
    json project;
    std::vector<int> run;           // the layers to pre-compose, counted from 1
    bool lockPrecompLayer = false;  // once it is made
};

// Seeded choices both generators make.
class Choices {
protected:
    explicit Choices(std::uint32_t seed) : random_(seed) {}
    std::size_t pick(std::size_t n) { return n == 0 ? 0 : std::size_t(random_() % n); }
    double number(int range) { return double(int(random_() % (8 * range)) - 4 * range) / 8; }
    // Two position keys, eased into the second.
    json eased_path() {
        return {{"keyframes",
                 {{{"time", 0}, {"value", {number(900), number(500), 0}}},
                  {{"time", 2 + int(pick(4))},
                   {"value", {number(900), number(500), 0}},
                   {"in", "bezier"},
                   {"inEase", {{0, 33}}}}}}};
    }

    std::mt19937 random_;
};

class CaseGenerator : Choices {
public:
    // With `crossing`, links also cross the run's edges, and nothing moves, so
    // that a link's end, which keeps the look where the child starts, keeps it
    // everywhere.
    explicit CaseGenerator(std::uint32_t seed, bool crossing = false)
        : Choices(seed), crossing_(crossing) {}

    Case next() {
        std::vector<std::string> names = kNames;
        std::shuffle(names.begin(), names.end(), random_);
        const std::size_t count = 3 + pick(4);
        names.resize(count);
        const std::size_t first = pick(count - 1), last = first + 1 + pick(count - first - 1);
        json layers = json::array();
        for (std::size_t i = 0; i < count; ++i) layers.push_back(layer(names, i, first, last));
        const int sizes[][2] = {{1920, 1080}, {1280, 720}, {1000, 1000}};
        const auto& size = sizes[pick(3)];
        Case c;
        c.project = main_project(layers, size[0], size[1], std::vector<int>{24, 25, 30}[pick(3)],
                                 10 + int(pick(3)));
        for (std::size_t i = first; i <= last; ++i) c.run.push_back(int(i + 1));
        return c;
    }

private:
    json layer(const std::vector<std::string>& names, std::size_t i, std::size_t first,
               std::size_t last) {
        const bool inRun = i >= first && i <= last;
        json layer = {{"name", names[i]}};
        switch (pick(3)) {
            case 0:
                layer["source"] = "Grey";
                break;
            case 1:
                layer["type"] = "shape";
                break;
            default:
                layer["type"] = "text";
                layer["text"] = names[i];
                break;
        }
        json streams = {{"Position", {number(900), number(500), 0}},
                        {"Rotation", number(180)},
                        {"Opacity", 20 + double(pick(80))}};
        if (!crossing_ && pick(3) == 0) streams["Position"] = eased_path();
        if (pick(4) == 0) layer["flags"] = {"video", "3d"};
        if (pick(3) == 0) {
            layer["inPoint"] = double(pick(3));
            layer["duration"] = 3 + double(pick(5));
        }
        if (pick(4) == 0) layer["startTime"] = double(pick(3)) - 1;
        if (pick(5) == 0) layer["stretch"] = std::vector<int>{50, 200, -100}[pick(3)];
        if (pick(2) == 0)
            layer["effects"] = {{{"kind", "Slider Control"}, {"params", {{"Slider", number(50)}}}}};
        if (pick(3) == 0)
            layer["masks"] = {{{"name", "Mask 1"}, {"streams", {{"Mask Opacity", 40}}}}};
        // Links and expressions stay inside the run: the application keeps only those.
        if (crossing_ && i + 1 < names.size() && pick(2) == 0)
            layer["parent"] = names[i + 1 + pick(names.size() - i - 1)];
        if (!crossing_ && inRun && i < last && pick(3) == 0)
            layer["parent"] = names[i + 1 + pick(last - i)];
        if (!crossing_ && inRun && first != last && pick(2) == 0) {
            std::size_t other = first + pick(last - first + 1);
            if (other == i) other = other == last ? first : other + 1;
            const long step = long(other) - long(i);
            const std::string target =
                pick(2) == 0 ? literal_of(names[other])
                : first == 0 ? std::to_string(other + 1)  // an index holds only at the top
                             : "index " + std::string(step < 0 ? "- " : "+ ") +
                                   std::to_string(std::abs(step));
            streams["Rotation"] = {
                {"value", number(180)},
                {"expression", "thisComp.layer(" + target + ").transform.position[0] / 10"}};
        }
        layer["streams"] = streams;
        return layer;
    }

    bool crossing_ = false;
};

// One layer of a source, pre-composed with its attributes left outside: it
// carries masks, effects, blending, a matte, switches, timing, links and
// animation of its own, for the pre-comp layer to hold.
class LeaveCaseGenerator : Choices {
public:
    explicit LeaveCaseGenerator(std::uint32_t seed) : Choices(seed) {}

    Case next() {
        const std::size_t count = 2 + pick(4), chosen = pick(count);
        json layers = json::array();
        for (std::size_t i = 0; i < count; ++i) {
            json other = {{"name", "Other " + std::to_string(i)}, {"source", "Grey"}};
            if (i + 1 == chosen && pick(2) == 0) other["flags"] = json::array();  // a matte
            layers.push_back(i == chosen ? chosen_layer(i) : other);
        }
        if (chosen + 1 < count && pick(3) == 0)
            layers[chosen + 1]["parent"] = name_of(layers, chosen);
        if (chosen > 0 && pick(3) == 0) layers[chosen]["parent"] = name_of(layers, 0);
        Case c;
        c.project = main_project(layers, 1280, 720, std::vector<int>{24, 25, 30}[pick(3)], 10);
        c.run = {int(chosen + 1)};
        c.lockPrecompLayer = pick(4) == 0;
        return c;
    }

private:
    static json name_of(const json& layers, std::size_t i) {
        return layers[i].value("name", std::string(layers[i]["source"]));
    }

    json chosen_layer(std::size_t index) {
        json layer = {{"source", pick(2) == 0 ? "Grey" : "Clip"}};
        if (pick(3) != 0) layer["name"] = "Chosen";
        json streams = {{"Rotation", number(180)},
                        {"Scale", {100 + number(50), 100 + number(50), 100}},
                        {"Opacity", 20 + double(pick(80))}};
        if (pick(2) == 0) streams["Position"] = eased_path();
        if (pick(3) == 0) streams["Rotation"] = {{"value", 0}, {"expression", "time * 20"}};
        layer["streams"] = streams;
        layer["masks"] = json::array();
        for (std::size_t m = pick(3); m > 0; --m)
            layer["masks"].push_back({{"name", "Mask " + std::to_string(m)},
                                      {"streams", {{"Mask Opacity", 30 + double(pick(70))}}}});
        if (pick(2) == 0)
            layer["effects"] = {{{"kind", "Slider Control"},
                                 {"name", "Amount"},
                                 {"params", {{"Slider", number(50)}}}}};
        layer["blendingMode"] = std::vector<std::string>{"NORMAL", "ADD", "SCREEN"}[pick(3)];
        if (index > 0 && pick(2) == 0) layer["trackMatte"] = "ALPHA";
        if (pick(3) == 0) layer["flags"] = {"video", "3d"};
        if (pick(3) == 0) layer["flags"] = {"video", "audio"};
        if (pick(3) == 0) {
            layer["inPoint"] = double(pick(2));
            layer["duration"] = 3 + double(pick(3));
        }
        if (pick(4) == 0) layer["startTime"] = double(pick(3)) - 1;
        if (pick(5) == 0) layer["stretch"] = std::vector<int>{50, 200}[pick(2)];
        if (pick(4) == 0) layer["markers"] = {{{"time", 1}, {"comment", "hit"}}};
        return layer;
    }
};

class RoundTrip : public PluginHostTest {
protected:
    void SetUp() override { ASSERT_EQ(load_module(), A_Err_NONE); }

    // Pre-composes the case's run and extracts it again; returns the project before.
    model::Project precompose_and_extract(const Case& c, bool moveAll) {
        host_.set_project(host::io::project_from_json(c.project));
        const model::Project original = host_.project();
        std::string indices;
        for (const int index : c.run)
            indices += (indices.empty() ? "" : ",") + std::to_string(index);
        const auto made = host_.run_script("app.project.activeItem.layers.precompose([" + indices +
                                           "], \"Pre\", " + (moveAll ? "true" : "false") + ");");
        EXPECT_TRUE(made.ok) << made.error;
        if (c.lockPrecompLayer)
            item_named(host_.project(), "Main").comp->layers.at(c.run[0] - 1).flags |=
                model::flag::kLocked;
        EXPECT_EQ(run({"Pre"}, {"ok"}), A_Err_NONE);
        return original;
    }

    void expect_same_picture(const model::Project& original) {
        const model::Id main = item_named(original, "Main").id;
        for (const double t : {0.0, 1.3, 4.05, 7.5}) {
            const model::Time time = model::Rational::of(int(t * 100), 100);
            EXPECT_EQ(seen(host_.picture(main, time)), seen(host_.picture(original, main, time)))
                << "at " << t;
        }
    }

    void round_trip(const Case& c, bool moveAll = true) {
        const model::Project original = precompose_and_extract(c, moveAll);
        const json was = comp_json(original, "Main");
        ASSERT_FALSE(was.is_null());
        EXPECT_EQ(comp_json(host_.project(), "Main").dump(1), was.dump(1));
        expect_same_picture(original);
    }
};

TEST_F(RoundTrip, ExtractingWhatWasPrecomposedGivesItBack) {
    const std::uint32_t seed = seed_from("OUTFOLD_ROUND_TRIP_SEED", 20261208u);
    CaseGenerator generator(seed);
    for (int n = 0; n < 200; ++n) {
        const Case c = generator.next();
        SCOPED_TRACE("case " + std::to_string(n) + " of seed " + std::to_string(seed) + ": " +
                     c.project.dump());
        round_trip(c);
        if (HasFailure()) break;
    }
}

// The application ends links between moved and staying layers when it
// pre-composes, each child keeping its look: those links stay ended, every
// other link comes back, and the picture is the same.
TEST_F(RoundTrip, LinksAcrossTheRunStayEndedAndEveryLayerLooksAsItDid) {
    CaseGenerator generator(20261210u, true);
    int crossed = 0;
    for (int n = 0; n < 100; ++n) {
        const Case c = generator.next();
        SCOPED_TRACE("case " + std::to_string(n) + ": " + c.project.dump());
        const model::Project original = precompose_and_extract(c, true);
        std::map<std::string, std::string> expected, links;  // child's name: parent's
        const auto in_run = [&](std::size_t i) {
            return std::ranges::find(c.run, int(i + 1)) != c.run.end();
        };
        const json layers = c.project["items"][2]["layers"];
        for (std::size_t i = 0; i < layers.size(); ++i) {
            if (!layers[i].contains("parent")) continue;
            std::size_t p = 0;
            while (layers[p]["name"] != layers[i]["parent"]) ++p;
            if (in_run(i) == in_run(p))
                expected[layers[i]["name"]] = layers[p]["name"];
            else
                ++crossed;
        }
        const model::Project& now = host_.project();
        for (const model::Layer& layer : item_named(now, "Main").comp->layers)
            if (layer.parent != model::kNoId)
                links[model::shown_name(now, layer)] =
                    model::shown_name(now, *model::find_layer(now, layer.parent));
        EXPECT_EQ(links, expected);
        expect_same_picture(original);
        if (HasFailure()) break;
    }
    EXPECT_GT(crossed, 50);
}

// The pre-comp layer held everything of the one layer: its copy gives it back,
// masks, matte and the rest, and nothing is reported.
TEST_F(RoundTrip, LeavingAttributesOutsideComesBackWhole) {
    LeaveCaseGenerator generator(20261209u);
    for (int n = 0; n < 50; ++n) {
        const Case c = generator.next();
        SCOPED_TRACE("case " + std::to_string(n) + ": " + c.project.dump());
        const std::size_t alerts = host_.alerts().size();
        round_trip(c, false);
        EXPECT_EQ(host_.alerts().size(), alerts);
        if (HasFailure()) break;
    }
}

}  // namespace
}  // namespace outfold::testing
