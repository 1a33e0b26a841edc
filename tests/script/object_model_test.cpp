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

// Items: 1 Red, 2 Leaf, 3 Pre, 4 Main.
constexpr const char* kCopyProject = R"json({"activeItem": "Main", "items": [
    {"type": "solid", "name": "Red", "width": 100, "height": 100},
    {"type": "comp", "name": "Leaf", "layers": [{"type": "shape", "name": "Dot"}]},
    {"type": "comp", "name": "Pre", "layers": [
       {"name": "Rich", "source": "Red", "inPoint": 1, "duration": 3, "offset": 2, "flags": 37,
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
