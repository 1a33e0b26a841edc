// app.project.autoFixExpressions: broken expressions that name a layer follow
// its rename, wherever they are in the project.
#include "model/script_ops.h"
#include "script_bench.h"

namespace script_test {
namespace {

TEST(RenameInExpression, OnlyWholeQuotedNamesChange) {
    const std::pair<const char*, const char*> cases[] = {
        // expression, fixed
        {R"(thisComp.layer("Old").transform.position)",
         R"(thisComp.layer("New").transform.position)"},
        {R"(layer('Old'))", R"(layer('New'))"},
        {R"(comp("Main").layer("Old").opacity + thisComp.layer('Old').opacity)",
         R"(comp("Main").layer("New").opacity + thisComp.layer('New').opacity)"},
        // Not the whole name: left alone.
        {R"(thisComp.layer("Old Man"))", R"(thisComp.layer("Old Man"))"},
        {R"(thisComp.layer("Older"))", R"(thisComp.layer("Older"))"},
        {R"(thisComp.layer(" Old"))", R"(thisComp.layer(" Old"))"},
        {R"(thisComp.layer("old"))", R"(thisComp.layer("old"))"},
        // Bare words and comments are not names.
        {R"(var Old = 1; // layer("Old")
Old)",
         R"(var Old = 1; // layer("Old")
Old)"},
        {R"(/* "Old" */ layer("Old"))", R"(/* "Old" */ layer("New"))"},
        // A quote inside a comment does not open a string.
        {R"(// don't
layer("Old"))",
         R"(// don't
layer("New"))"},
        // Escapes are read as the engine reads them.
        {R"(layer("\x4Fld"))", R"(layer("New"))"},
        {R"(layer("O\"ld"))", R"(layer("O\"ld"))"},
        // Template literals are not touched.
        {"layer(`Old`)", "layer(`Old`)"},
        // An unclosed string is not a name.
        {R"(layer("Old)", R"(layer("Old)"},
        {"", ""},
    };
    for (const auto& [expression, fixed] : cases)
        EXPECT_EQ(host::model::rename_in_expression(expression, "Old", "New"), fixed) << expression;
}

TEST(RenameInExpression, NewNamesAreWrittenAsValidLiterals) {
    // Old name, new name, expression, fixed.
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {"A", R"(Say "hi")", R"(layer("A"))", R"(layer("Say \"hi\""))"},
        {"A", "It's", R"(layer('A'))", R"(layer('It\'s'))"},
        {"A", R"(back\slash)", R"(layer("A"))", R"(layer("back\\slash"))"},
        {"A", "two\nlines", R"(layer("A"))", R"(layer("two\nlines"))"},
        {"A", "\xC3\xA9t\xC3\xA9", R"(layer("A"))", "layer(\"\xC3\xA9t\xC3\xA9\")"},
        {R"(Say "hi")", "B", R"(layer("Say \"hi\""))", R"(layer("B"))"},
        {R"(Say "hi")", "B", R"(layer('Say "hi"'))", R"(layer('B'))"},
        {"\xC3\xA9", "B", R"(layer("\u00e9"))", R"(layer("B"))"},
        {"\xF0\x9F\x98\x80", "B", R"(layer("\ud83d\ude00"))", R"(layer("B"))"},
    };
    for (const auto& [from, to, expression, fixed] : cases)
        EXPECT_EQ(host::model::rename_in_expression(expression, from, to), fixed) << expression;
}

constexpr const char* kProject = R"json({"items": [
    {"type": "comp", "name": "Main", "layers": [
      {"type": "shape", "name": "Old",
       "streams": {"Opacity": {"expression": "thisComp.layer(\"Old\").opacity"}}},
      {"type": "shape", "name": "Watcher", "streams": {
         "Position": {"expression": "thisComp.layer('Old').position"},
         "Rotation": {"expression": "thisComp.layer(\"Old Man\").rotation"},
         "Scale": {"expression": "value", "expressionEnabled": false}},
       "effects": [{"kind": "host.slider-control", "params": {"Slider":
         {"expression": "thisComp.layer(\"Old\").effect(\"Slider Control\")(1)"}}}],
       "masks": [{"name": "Cut", "streams":
         {"Mask Opacity": {"expression": "comp(\"Main\").layer('Old').opacity"}}}]}]},
    {"type": "comp", "name": "Elsewhere", "layers": [{"type": "shape", "name": "Far", "streams":
      {"Opacity": {"expression": "comp(\"Main\").layer(\"Old\").opacity",
                   "expressionEnabled": false}}}]}]})json";

class AutoFix : public ScriptBench {
protected:
    void SetUp() override {
        ScriptBench::SetUp();
        load(kProject);
    }
};

TEST_F(AutoFix, BrokenExpressionsFollowTheRenameWhereTheyThenWork) {
    layer("Main", "Old").ownName = "New";
    value(R"(app.project.autoFixExpressions("Old", "New"))");
    const model::Layer& renamed = layer("Main", "New");
    const model::Layer& watcher = layer("Main", "Watcher");
    EXPECT_EQ(renamed.streams.at(4).expression, R"(thisComp.layer("New").opacity)");
    EXPECT_EQ(watcher.streams.at(1).expression, "thisComp.layer('New').position");
    EXPECT_EQ(watcher.streams.at(3).expression, R"(thisComp.layer("Old Man").rotation)");
    EXPECT_EQ(watcher.streams.at(2).expression, "value");
    // "New" has no slider: the rewrite would not work either, so it is not kept.
    EXPECT_EQ(watcher.effects.at(0).params.at(1).expression,
              R"(thisComp.layer("Old").effect("Slider Control")(1))");
    EXPECT_EQ(watcher.masks.at(0).streams.at(2).expression, R"(comp("Main").layer('New').opacity)");
    // Switched-off expressions are fixed too, so they work when switched on.
    EXPECT_EQ(layer("Elsewhere", "Far").streams.at(4).expression,
              R"(comp("Main").layer("New").opacity)");
    EXPECT_EQ(changes, 1);
}

TEST_F(AutoFix, NothingToFixChangesNothing) {
    const model::Project before = project;
    value(R"(app.project.autoFixExpressions("Nobody", "Someone"))");
    value(R"(app.project.autoFixExpressions("Old", "Old"))");
    EXPECT_EQ(project, before);
    EXPECT_EQ(changes, 0);
}

}  // namespace
}  // namespace script_test
