// app.project, its items and layers, read and written by scripts against the
// live project.
#include <algorithm>

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

TEST_F(ObjectModel, ScriptsReadTheProject) {
    expect_values({
        {"p.numItems", "4"},
        {"[p.item(1).name, p.item(2).name, p.item(4).name].join()", "Parts,Red,Main"},
        {"p.item(1).typeName + p.item(2).typeName + p.item(3).typeName",
         "FolderFootageComposition"},
        {"[p.item(3) instanceof CompItem, p.item(2) instanceof FootageItem,"
         " p.item(1) instanceof FolderItem].join()",
         "true,true,true"},
        {"p.item(3).numLayers + ' ' + main.numLayers", "2 4"},
        // Layers count from the top of the stack, starting at 1.
        {"main.layer(1).name + ' ' + main.layer(2).name", "Title Pre"},
        // A layer without a name of its own shows its source's.
        {"main.layer(3).name", "Red"},
        {"main.layer(3).index", "3"},
        {"main.layer(3).parent.name", "Title"},
        {"main.layer(1).parent", "null"},
        {"main.layer(2).source.name", "Inner"},
        {"[main.layer(1) instanceof TextLayer, main.layer(4) instanceof CameraLayer,"
         " main.layer(2) instanceof AVLayer].join()",
         "true,true,true"},
        {"main.layer(2).containingComp.name", "Main"},
        {"main.layer('Pre').index", "2"},
        {"main.layer('Nobody')", "null"},
        {"p.activeItem.name", "Main"},
        {"p.activeItem.id === main.id", "true"},
    });
    EXPECT_EQ(changes, 0);
    // An object made before a change sees the change.
    EXPECT_EQ(value("var main = app.project.item(4), before = main.numLayers;\n"
                    "app.project.item(3).layer(1).copyToComp(main); before + ' ' + main.numLayers"),
              "4 5");
    project.activeItem = model::kNoId;
    EXPECT_EQ(value("app.project.activeItem === null"), "true");
}

TEST_F(ObjectModel, AssigningALayerNameGivesItANameOfItsOwn) {
    EXPECT_EQ(value("var l = app.project.item(4).layer(3); l.name = l.name; l.name"), "Red");
    EXPECT_EQ(layer("Main", "Red").ownName, "Red");
    EXPECT_EQ(value("app.project.item(4).layer(3).name = 'Crimson'; app.project.item(2).name"),
              "Red");
    EXPECT_EQ(comp("Main").layers[2].ownName, "Crimson");
    // The empty name shows the source's name again.
    EXPECT_EQ(value("var l = app.project.item(4).layer(3); l.name = ''; l.name"), "Red");
    value("app.project.item(4).layer(1).name = '\xE2\x98\x85 Star'");
    EXPECT_EQ(comp("Main").layers[0].ownName, "\xE2\x98\x85 Star");
    EXPECT_EQ(changes, 4);
}

TEST_F(ObjectModel, NamesCrossIntoTheEngineAsItsOwnStrings) {
    // A character beyond 16 bits is two units of a script string, as in the
    // application's engine, and comes back out as the same UTF-8.
    comp("Main").layers[0].ownName = "\xF0\x9F\x8E\xAC Clap";
    expect_values({
        {"main.layer(1).name.length", "7"},
        {"main.layer(1).name.charCodeAt(1).toString(16)", "dfac"},
        {"main.layer(1).name += '!'; main.layer(1).name", "\xF0\x9F\x8E\xAC Clap!"},
    });
    EXPECT_EQ(comp("Main").layers[0].ownName, "\xF0\x9F\x8E\xAC Clap!");
    // A broken surrogate pair made by the script is stored as U+FFFD.
    value("app.project.item(4).layer(1).name = 'a\\ud83cb'");
    EXPECT_EQ(comp("Main").layers[0].ownName, "a\xEF\xBF\xBD\x62");
}

// Reading a name the full engine cannot hold is a script error the script
// can catch, and the host goes on.
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

TEST_F(ObjectModel, BadIndicesAndArgumentsAreScriptErrors) {
    errorSuffix = " (line 1)";
    expect_errors({
        {"p.item(0)", "RangeError: item(0): there is no item 0 (the project has 4 items)"},
        {"p.item(5)", "RangeError: item(5): there is no item 5 (the project has 4 items)"},
        {"p.item(1.5)", "RangeError: item(1.5): there is no item 1.5 (the project has 4 items)"},
        {"p.item(-1)", "RangeError: item(-1): there is no item -1 (the project has 4 items)"},
        {"p.item('1')", "TypeError: item(): the index must be a number"},
        {"p.item()", "TypeError: item(): the index must be a number"},
        {"main.layer(0)",
         "RangeError: layer(0): there is no layer 0 (the composition has 4 layers)"},
        {"main.layer(99)",
         "RangeError: layer(99): there is no layer 99 (the composition has 4 layers)"},
        {"main.layer(NaN)",
         "RangeError: layer(NaN): there is no layer NaN (the composition has 4 layers)"},
        {"main.layer(true)", "TypeError: layer(): the index must be a number"},
        {"main.layer(1).name = 7", "TypeError: name: the value must be a string"},
        {"main.layer(1).index = 2", "Error: index is read-only"},
        {"main.layer(1).parent = 'Pre'", "TypeError: parent must be a Layer or null"},
        {"main.layer(1).copyToComp(p.item(2))",
         "TypeError: copyToComp(): the target must be a composition"},
        {"main.layer(1).copyToComp()", "TypeError: copyToComp(): the target must be a composition"},
        {"p.autoFixExpressions('a')",
         "TypeError: autoFixExpressions(): parameter 2 must be a string"},
        {"new CompItem()", "TypeError: CompItem objects come from the project"},
    });
    // The engine words this one itself.
    EXPECT_TRUE(error("app.project.item(2).layer(1)").starts_with("TypeError"));
    EXPECT_EQ(changes, 0);
}

TEST_F(ObjectModel, ObjectsOfDeletedThingsAreInvalid) {
    // Each script's last line uses an object whose layer or composition is gone.
    const char* cases[] = {
        "var l = main.layer(3); l.remove(); l.name",
        "var l = main.layer(3); l.remove(); l.index",
        "var l = main.layer(3); l.remove(); l.parent = null",
        "var l = main.layer(3); l.remove(); l.remove()",
        "var l = main.layer(3);\nl.remove();\nl.copyToComp(main)",
        "var t = main.layer(1); main.layer(3).parent = t; t.remove(); main.layer(2).parent = t",
        "var c = p.item(3); c.remove(); c.numLayers",
        "var c = p.item(3); c.remove(); c.name",
        "var c = p.item(3); c.remove(); p.item(3).layer(1).copyToComp(c)",
        // A layer of a deleted composition goes with it.
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
    // Deleting the pre-comp removes the layer that shows it, as in the application.
    EXPECT_EQ(value("app.project.item(3).remove(); app.project.numItems + ' ' + "
                    "app.project.item(3).numLayers + ' ' + app.project.item(3).layer(1).name"),
              "3 3 Title");
    EXPECT_EQ(layer_names("Main"), (Names{"Title", "Red", "Cam"}));
    // A parent's deletion leaves its child without a parent.
    EXPECT_EQ(value("app.project.item(3).layer(1).remove(); app.project.item(3).layer(1).parent"),
              "null");
    model::check_invariants(project);
    EXPECT_EQ(changes, 2);
}

}  // namespace
}  // namespace script_test
