#include <algorithm>
#include <set>

#include "model/streams.h"
#include "script_bench.h"

namespace script_test {
namespace {

constexpr const char* kProject = R"json({"name": "Scripted", "activeItem": "Main", "items": [
    {"type": "folder", "name": "Parts"},
    {"type": "solid", "name": "Red", "width": 100, "height": 100},
    {"type": "comp", "name": "Inner", "folder": "Parts",
     "layers": [{"type": "shape", "name": "Star"}, {"source": "Red"}]},
    {"type": "comp", "name": "Main", "layers": [{"type": "text", "name": "Title", "text": "Hello"},
       {"name": "Pre", "source": "Inner"}, {"source": "Red", "parent": "Title"},
       {"type": "camera", "name": "Cam"}]}]})json";

class ObjectModel : public ScriptBench {
protected:
    void SetUp() override {
        ScriptBench::SetUp();
        load(kProject);
        casePrefix = "var p = app.project, main = p.item(4); ";
    }
};

TEST_F(ObjectModel, ScriptsReadTheProjectAndBadIndicesAndArgumentsAreErrors) {
    expect_values({
        {"[p.item(1).name, p.item(2).name, p.item(4).name].join()", "Parts,Red,Main"},
        {"p.item(1).typeName + p.item(2).typeName + p.item(3).typeName",
         "FolderFootageComposition"},
        {"[p.item(3) instanceof CompItem, p.item(2) instanceof FootageItem,"
         " p.item(1) instanceof FolderItem].join()",
         "true,true,true"},
        {"main.layer(1).name + ' ' + main.layer(2).name", "Title Pre"},
        {"main.layer(3).name", "Red"},  // no name of its own: the source's
        {"main.layer(3).parent.name", "Title"},
        {"main.layer(2).source.name", "Inner"},
        {"[main.layer(1) instanceof TextLayer, main.layer(4) instanceof CameraLayer,"
         " main.layer(2) instanceof AVLayer].join()",
         "true,true,true"},
        {"main.layer(2).containingComp.name", "Main"},
        {"main.layer('Pre').index", "2"},
        {"main.layer('Nobody')", "null"},
    });
    EXPECT_EQ(changes, 0);
    project.activeItem = model::kNoId;
    EXPECT_EQ(value("app.project.activeItem === null"), "true");
    errorSuffix = " (line 1)";
    expect_errors({
        {"p.item('1')", "TypeError: item(): the index must be a number"},
        {"main.layer(true)", "TypeError: layer(): the index must be a number"},
        {"main.layer(1).name = 7", "TypeError: name: the value must be a string"},
        {"main.layer(1).index = 2", "Error: index is read-only"},
        {"main.layer(1).parent = 'Pre'", "TypeError: parent must be a Layer or null"},
        {"main.layer(1).copyToComp(p.item(2))",
         "TypeError: copyToComp(): the target must be a composition"},
        {"p.autoFixExpressions('a')",
         "TypeError: autoFixExpressions(): parameter 2 must be a string"},
        {"new CompItem()", "TypeError: CompItem objects come from the project"},
    });
    for (const std::string n : {"0", "5", "1.5"})
        EXPECT_EQ(error(casePrefix + "p.item(" + n + ")"),
                  "RangeError: item(" + n + "): there is no item " + n +
                      " (the project has 4 items) (line 1)");
    for (const std::string n : {"0", "99", "NaN"})
        EXPECT_EQ(error(casePrefix + "main.layer(" + n + ")"),
                  "RangeError: layer(" + n + "): there is no layer " + n +
                      " (the composition has 4 layers) (line 1)");
    EXPECT_TRUE(error("app.project.item(2).layer(1)").starts_with("TypeError"));
    EXPECT_EQ(changes, 0);
}

TEST_F(ObjectModel, AssignedLayerNamesAreTheLayersOwnAndCrossAsTheEnginesStrings) {
    EXPECT_EQ(value("var l = app.project.item(4).layer(3); l.name = l.name; l.name"), "Red");
    EXPECT_EQ(layer("Main", "Red").ownName, "Red");
    EXPECT_EQ(value(casePrefix + "main.layer(3).name = 'Crimson'; p.item(2).name"), "Red");
    EXPECT_EQ(comp("Main").layers[2].ownName, "Crimson");
    EXPECT_EQ(value("var l = app.project.item(4).layer(3); l.name = ''; l.name"), "Red");
    EXPECT_EQ(changes, 3);
    // A character beyond 16 bits is two units of a script string.
    comp("Main").layers[0].ownName = "\xF0\x9F\x8E\xAC Clap";
    expect_values({
        {"main.layer(1).name.length", "7"},
        {"main.layer(1).name.charCodeAt(1).toString(16)", "dfac"},
        {"main.layer(1).name += '!'; main.layer(1).name", "\xF0\x9F\x8E\xAC Clap!"},
    });
    EXPECT_EQ(comp("Main").layers[0].ownName, "\xF0\x9F\x8E\xAC Clap!");
    value("app.project.item(4).layer(1).name = 'a\\ud83cb'");
    EXPECT_EQ(comp("Main").layers[0].ownName, "a\xEF\xBF\xBD\x62");
}

TEST_F(ObjectModel, ANameTooLargeForTheEngineIsACatchableError) {
    comp("Main").layers[0].ownName = std::string(std::size_t{8} << 20, 'n');
    const std::string caught = value(R"js(
        var chunk = 'x';
        while (chunk.length < (1 << 20)) chunk += chunk;
        var keep = [];
        try { for (;;) keep.push(chunk + keep.length); } catch (full) {}
        var seen;
        try { seen = app.project.item(4).layer(1).name.length; }
        catch (e) { seen = e.name + ': ' + e.message; }
        keep = null;
        seen)js");
    EXPECT_EQ(caught, "RangeError: out of memory");
    EXPECT_EQ(value("app.project.item(4).layer(1).name.length"), std::to_string(8 << 20));
}

TEST_F(ObjectModel, ObjectsOfDeletedThingsAreInvalid) {
    const char* cases[] = {
        "var l = main.layer(3); l.remove(); l.name",
        "var l = main.layer(3); l.remove(); l.index",
        "var l = main.layer(3); l.remove(); l.parent = null",
        "var l = main.layer(3); l.remove(); l.remove()",
        "var l = main.layer(3);\nl.remove();\nl.copyToComp(main)",
        "var t = main.layer(1); main.layer(3).parent = t; t.remove(); main.layer(2).parent = t",
        "var c = p.item(3); c.remove(); c.numLayers",
        "var c = p.item(3); c.remove(); p.item(3).layer(1).copyToComp(c)",
        "var l = p.item(3).layer(1); p.item(3).remove(); l.name",
    };
    for (const std::string source : cases) {
        load(kProject);
        const auto lines = std::count(source.begin(), source.end(), '\n') + 1;
        EXPECT_EQ(error(casePrefix + source),
                  "Error: Object is invalid (line " + std::to_string(lines) + ")")
            << source;
        model::check_invariants(project);
    }
}

TEST_F(ObjectModel, RemovingKeepsTheProjectWhole) {
    EXPECT_EQ(value(casePrefix + "p.item(3).remove(); [p.numItems, p.item(3).numLayers, "
                                 "p.item(3).layer(1).name].join()"),
              "3,3,Title");
    EXPECT_EQ(layer_names("Main"), (Names{"Title", "Red", "Cam"}));
    EXPECT_EQ(value("var c = app.project.item(3); c.layer(1).remove(); c.layer(1).parent"), "null");
    model::check_invariants(project);
    EXPECT_EQ(changes, 2);
}

// A duplicate sits above its layer with all it has; a new source changes only
// what the layer shows (and the audio levels that come with it).
TEST_F(ObjectModel, DuplicatesAndNewSourcesKeepEverythingElse) {
    layer("Main", "Pre").masks.push_back({.id = model::new_id(project)});
    const std::string pre = "var pre = main.layer('Pre'); ";
    EXPECT_EQ(value(casePrefix + pre +
                    "var d = pre.duplicate(); d.name = 'Twin'; [d.index, pre.index, pre.name,"
                    " d.property('Masks').numProperties, d.source.name].join()"),
              "2,3,Pre,1,Inner");
    EXPECT_EQ(value(casePrefix + "var d = main.layer(2); d.replaceSource(p.item(2), false);"
                                 " [d.name, d.source.name, main.layer(3).source.name,"
                                 " d.property('Masks').numProperties, d.nullLayer].join()"),
              "Twin,Red,Inner,1,false");
    const auto& layers = comp("Main").layers;
    EXPECT_NE(layers.at(1).masks.at(0).id, layers.at(2).masks.at(0).id);
    model::check_invariants(project);
    errorSuffix = " (line 1)";
    expect_errors({
        {"main.layer(2).replaceSource(p.item(1), false)",
         "TypeError: replaceSource(): the new source must be an AVItem"},
        {"p.item(3).layer(2).replaceSource(main, false)",
         "Error: replaceSource(): the composition would show itself"},
        {"main.layer(1).replaceSource(p.item(2), false)",
         "Error: replaceSource(): only a layer with a source item can take another"},
    });
}

TEST_F(ObjectModel, StretchIsInPerCentClampedNearZeroAndKeepsTheLayersStart) {
    // Moving: in point 1 s, duration 4 s, offset 2 s: from 3 s to 7 s.
    const char* kTimed = R"json({"items": [{"type": "comp", "name": "C", "layers": [
        {"type": "shape", "name": "Moving", "inPoint": 1, "duration": 4, "offset": 2}]}]})json";
    casePrefix = "var l = app.project.item(1).layer(1); ";
    const std::pair<const char*, const char*> cases[] = {
        // set -> stretch, inPoint, outPoint, startTime
        {"100", "100,3,7,2"},          {"200", "200,3,11,1"},    {"50", "50,3,5,2.5"},
        {"33.5", "33.5,3,4.34,2.665"}, {"0.5", "1,3,3.04,2.99"}, {"-0.25", "-1,3,3.04,3.05"},
        {"-200", "-200,3,11,13"},
    };
    for (const auto& [set, expected] : cases) {
        load(kTimed);
        EXPECT_EQ(value(casePrefix + "l.stretch = " + set +
                        "; [l.stretch, l.inPoint, l.outPoint, l.startTime].join()"),
                  expected)
            << set;
    }
    EXPECT_EQ(layer("C", "Moving").stretch, model::Rational::of(-2));
    errorSuffix = " (line 1)";
    expect_errors({
        {"l.stretch = 0", "RangeError: stretch: a stretch of 0 would stop the layer's time"},
        {"l.stretch = NaN", "RangeError: stretch: the value must lie between -1000000 and 1000000"},
        {"l.stretch = '50'", "TypeError: stretch: the value must be a number"},
        {"l.inPoint = 1", "Error: inPoint is read-only"},
    });
}

// Separating moves Position's value onto its followers and joining brings it back; a locked
// layer refuses.
TEST_F(ObjectModel, DimensionsSeparatedSplitsAndJoinsPosition) {
    const char* kSplit = R"json({"items": [{"type": "comp", "name": "C", "layers": [
        {"type": "shape", "name": "S", "streams": {"Position": {"separated": true},
         "X Position": 10}},
        {"type": "shape", "name": "T", "streams": {"Position": [4, 5, 6]}},
        {"type": "shape", "name": "U", "flags": ["video", "locked"]}]}]})json";
    load(kSplit);
    casePrefix = "var c = app.project.item(1); ";
    EXPECT_EQ(value(casePrefix +
                    "var was = [c.layer(1).dimensionsSeparated, c.layer(2).dimensionsSeparated];"
                    "c.layer(1).dimensionsSeparated = false; c.layer(2).dimensionsSeparated = 1;"
                    "was.concat([c.layer(1).dimensionsSeparated, c.layer(2).dimensionsSeparated])"
                    ".join()"),
              "true,false,false,true");
    EXPECT_EQ(layer("C", "S").streams.at(model::stream::kPosition).value.at(0), 10);
    EXPECT_TRUE(layer("C", "S").positionFollowers.empty());
    ASSERT_EQ(layer("C", "T").positionFollowers.size(), 3u);
    EXPECT_EQ(layer("C", "T").positionFollowers[2].value, (std::vector<double>{6}));
    errorSuffix = " (line 1)";
    expect_errors({{"c.layer(3).dimensionsSeparated = true", "Error: the layer is locked"}});
}

// Transform properties read live and take values, keyframe values and eases as the scripting
// guide's Property and KeyframeEase objects do; bad shapes, indices and locked layers refuse.
TEST_F(ObjectModel, TransformPropertiesTakeValuesKeyframesAndEases) {
    load(R"json({"items": [{"type": "comp", "name": "C", "layers": [
        {"type": "shape", "name": "S", "flags": ["video", "3d"], "streams": {
         "Opacity": {"keyframes": [{"time": 0, "value": 80, "in": "bezier", "out": "bezier",
                                    "inEase": [[-10, 30]], "outEase": [[20, 60]]},
                                   {"time": 1, "value": 40}], "expression": "value"},
         "Scale": {"keyframes": [{"time": 0, "value": [50, 60, 70]}]}, "Rotation": 15}},
        {"type": "shape", "name": "U", "flags": ["video", "locked"]}]}]})json");
    casePrefix = "var c = app.project.item(1), t = c.layer(1).transform, o = t.opacity; ";
    expect_values({
        {"[o.numKeys, o.keyValue(1), o.keyValue(2), o.expressionEnabled, o.expression].join()",
         "2,80,40,true,value"},
        {"var e = o.keyInTemporalEase(1)[0], f = o.keyOutTemporalEase(1);"
         "[e instanceof KeyframeEase, e.speed, e.influence, f.length, f[0].speed].join()",
         "true,-10,30,1,20"},
        {"t.scale.keyInTemporalEase(1).length + ' ' + t.scale.keyValue(1)", "3 50,60,70"},
        {"o.setValueAtKey(2, 10); o.setTemporalEaseAtKey(1, [new KeyframeEase(5, 50)]);"
         "[o.keyValue(2), o.keyInTemporalEase(1)[0].speed, o.keyOutTemporalEase(1)[0].influence]"
         ".join()",
         "10,5,50"},
        {"t.rotation.setValue(-20); [t.rotation.value, c.layer(1).threeDLayer,"
         " c.layer(2).threeDLayer].join()",
         "-20,true,false"},
    });
    const model::Stream& opacity = layer("C", "S").streams.at(model::stream::kOpacity);
    EXPECT_EQ(opacity.keyframes.at(1).value, (std::vector<double>{10}));
    EXPECT_EQ(opacity.keyframes.at(0).outEase, (std::vector<model::Ease>{{5, 50}}));
    errorSuffix = " (line 1)";
    expect_errors({
        {"o.keyValue(3)",
         "RangeError: keyValue(3): there is no keyframe 3 (the property has 2 "
         "keyframes)"},
        {"o.setValue(50)", "Error: setValue(): the property has keyframes"},
        {"t.scale.setValueAtKey(1, 50)",
         "Error: setValueAtKey(): the value must have 2 to 3 "
         "numbers"},
        {"t.scale.setTemporalEaseAtKey(1, [new KeyframeEase(0, 50)])",
         "Error: setTemporalEaseAtKey(): the property takes 3 eases per side, one for each "
         "dimension"},
        {"o.setTemporalEaseAtKey(1, [new KeyframeEase(0, 0)])",
         "Error: setTemporalEaseAtKey(): an ease influence must lie between 0.1 and 100"},
        {"o.setTemporalEaseAtKey(1, [{speed: 0, influence: 50}])",
         "TypeError: setTemporalEaseAtKey(): each ease must be a KeyframeEase"},
        {"c.layer(2).transform.rotation.setValue(5)", "Error: the layer is locked"},
        {"o.value = 5", "Error: value is read-only"},
    });
}

TEST_F(ObjectModel, BlendingModesAndTrackMattesRoundTripThroughTheirEnumerations) {
    // Distinct values across both enumerations.
    EXPECT_EQ(value("var seen = {}, n = 0, k;"
                    "for (k in BlendingMode) { seen[BlendingMode[k]] = 1; ++n; }"
                    "for (k in TrackMatteType) { seen[TrackMatteType[k]] = 1; ++n; }"
                    "var distinct = 0; for (k in seen) ++distinct; [n, distinct].join()"),
              "42,42");
    const std::pair<const char*, std::int32_t> modes[] = {{"NORMAL", 2},   {"DISSOLVE", 3},
                                                          {"ADD", 4},      {"SOFT_LIGHT", 8},
                                                          {"LIGHTEN", 11}, {"DIVIDE", 38}};
    for (const auto& [name, transfer] : modes) {
        EXPECT_EQ(value(casePrefix + "var l = main.layer(3); l.blendingMode = BlendingMode." +
                        name + "; l.blendingMode === BlendingMode." + name),
                  "true");
        EXPECT_EQ(layer("Main", "Red").blendingMode, transfer) << name;
    }
    layer("Main", "Red").blendingMode = 1;  // behind: no blending mode of scripts
    EXPECT_EQ(value(casePrefix + "main.layer(3).blendingMode"), "null");

    const std::tuple<const char*, model::TrackMatte> mattes[] = {
        {"ALPHA_INVERTED", model::TrackMatte::AlphaInverted},
        {"LUMA", model::TrackMatte::Luma},
        {"NO_TRACK_MATTE", model::TrackMatte::None}};
    for (const auto& [name, kind] : mattes) {
        EXPECT_EQ(value(casePrefix + "var l = main.layer(3); l.trackMatteType = TrackMatteType." +
                        name + "; [l.trackMatteType === TrackMatteType." + name +
                        ", l.hasTrackMatte, main.layer(2).isTrackMatte].join()"),
                  kind == model::TrackMatte::None ? "true,false,false" : "true,true,true");
        EXPECT_EQ(layer("Main", "Red").trackMatte, kind) << name;
    }
    EXPECT_EQ(layer("Main", "Pre").flags & model::flag::kVideoActive, 0u)
        << "the matte above went off when the layer took it";
    EXPECT_EQ(
        value(casePrefix + "[main.layer(2).hasTrackMatte, main.layer(3).isTrackMatte].join()"),
        "false,false");
    errorSuffix = " (line 1)";
    expect_errors({
        {"main.layer(3).blendingMode = 4",
         "RangeError: blendingMode: the value must be a BlendingMode value"},
        {"main.layer(3).trackMatteType = BlendingMode.ADD",
         "RangeError: trackMatteType: the value must be a TrackMatteType value"},
        {"main.layer(3).isTrackMatte = true", "Error: isTrackMatte is read-only"},
    });
    EXPECT_EQ(value("BlendingMode.ADD = 1; BlendingMode.ADD === 1"), "false") << "frozen";
}

// Items: 1 Red, 2 Leaf, 3 Pre, 4 Main.
constexpr const char* kCopyProject = R"json({"activeItem": "Main", "items": [
    {"type": "solid", "name": "Red", "width": 100, "height": 100},
    {"type": "comp", "name": "Leaf", "layers": [{"type": "shape", "name": "Dot"}]},
    {"type": "comp", "name": "Pre", "layers": [
       {"name": "Rich", "source": "Red", "inPoint": 1, "duration": 3, "offset": 2, "flags": 37,
        "stretch": -150, "blendingMode": "SCREEN", "trackMatte": "LUMA",
        "streams": {"Position": [10, 20, 0], "Opacity": {"expression": "wiggle(1, 2)",
                    "keyframes": [{"time": 0, "value": 0}, {"time": 1, "value": 100}]}},
        "effects": [{"kind": "host.gaussian-blur", "params": {"Blurriness": 12}}],
        "masks": [{"name": "Cut", "streams": {"Mask Opacity": {"expression": "50"}}}]},
       {"type": "shape", "name": "Child", "parent": "Rich"}, {"name": "Nest", "source": "Leaf"}]},
    {"type": "comp", "name": "Main", "layers": [{"type": "shape", "name": "A"},
       {"type": "shape", "name": "B"}, {"type": "shape", "name": "C"},
       {"name": "PreLayer", "source": "Pre"}]}]})json";

class CopyToComp : public ScriptBench {};

TEST_F(CopyToComp, LandsAboveTheTopmostSelectedLayerOrAtTheTop) {
    const std::pair<Names, Names> cases[] = {
        {{}, {"Rich", "A", "B", "C", "PreLayer"}},
        {{"C"}, {"A", "B", "Rich", "C", "PreLayer"}},
        {{"PreLayer", "B"}, {"A", "Rich", "B", "C", "PreLayer"}},
    };
    for (const auto& [selected, after] : cases) {
        load(kCopyProject);
        std::vector<model::Id> ids;
        for (const std::string& name : selected) ids.push_back(layer("Main", name).id);
        model::select_only_layers(project, model::find_item_by_name(project, "Main")->id, ids);
        const auto selectionBefore = comp("Main").selection;
        value("app.project.item(3).layer(1).copyToComp(app.project.item(4))");
        EXPECT_EQ(layer_names("Main"), after) << "selected: " << selected.size();
        EXPECT_EQ(comp("Main").selection, selectionBefore) << "the selection is left as it was";
    }
}

TEST_F(CopyToComp, TheCopyCarriesEverythingUnderNewIdsAndParentsOnlyWhereTheParentIs) {
    load(kCopyProject);
    const model::Layer original = layer("Pre", "Rich");
    const model::Id firstNewId = project.nextId;
    value("app.project.item(3).layer(1).copyToComp(app.project.item(4))");
    model::Layer copy = comp("Main").layers.front();
    EXPECT_EQ(changes, 1);
    ASSERT_EQ(copy.effects.size(), 1u);
    ASSERT_EQ(copy.masks.size(), 1u);
    const std::set<model::Id> ids = {copy.id, copy.effects[0].id, copy.masks[0].id};
    EXPECT_EQ(ids.size(), 3u);
    EXPECT_GE(*ids.begin(), firstNewId);
    copy.id = original.id;
    copy.effects[0].id = original.effects[0].id;
    copy.masks[0].id = original.masks[0].id;
    EXPECT_EQ(copy, original);
    EXPECT_EQ(layer("Pre", "Rich"), original) << "the source layer is untouched";
    model::check_invariants(project);
    const model::Layer child = layer("Pre", "Child");
    value("app.project.item(3).layer(2).copyToComp(app.project.item(4))");
    const model::Layer& elsewhere = comp("Main").layers.front();
    EXPECT_EQ(elsewhere.parent, model::kNoId);
    EXPECT_EQ(elsewhere.streams, child.streams);

    value("app.project.item(3).layer(2).copyToComp(app.project.item(3))");
    EXPECT_EQ(layer_names("Pre"), (Names{"Child", "Rich", "Child", "Nest"}));
    EXPECT_EQ(comp("Pre").layers.front().parent, layer("Pre", "Rich").id);
    model::check_invariants(project);
}

TEST_F(CopyToComp, ACompositionMayNotComeToShowItself) {
    load(kCopyProject);
    const char* cycles[] = {
        "app.project.item(4).layer(4).copyToComp(app.project.item(3))",
        "app.project.item(3).layer(3).copyToComp(app.project.item(2))",
        "app.project.item(4).layer(4).copyToComp(app.project.item(2))",  // through Pre
    };
    const model::Project before = project;
    for (const char* source : cycles) {
        SCOPED_TRACE(source);
        EXPECT_EQ(error(source), "Error: copyToComp(): the composition would show itself (line 1)");
        EXPECT_EQ(project, before);
    }
    EXPECT_EQ(changes, 0);
    value("app.project.item(4).layer(4).copyToComp(app.project.item(4))");
    EXPECT_EQ(layer_names("Main"), (Names{"PreLayer", "A", "B", "C", "PreLayer"}));
}

}  // namespace
}  // namespace script_test
