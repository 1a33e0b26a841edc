// Names of the extracted layers: reading names, composing the prefix,
// renaming, and the expression repair after each rename.
#include <string>
#include <vector>

#include "expressions/fix_expressions.h"
#include "expressions/script_string.h"
#include "extract/rename.h"
#include "extract_harness.h"
#include "shell/text.h"

namespace outfold::testing {
namespace {

namespace model = host::model;
using Names = std::vector<std::string>;

// Fixture "extract_rename", Main from the top: Alpha; a layer without a name
// of its own on Solid Red; Gamma, whose opacity expression names Alpha; Inner
// (a pre-comp layer); a layer with a 40-character name.
constexpr A_long kAlpha = 0;
constexpr A_long kUnnamed = 1;
constexpr A_long kGamma = 2;
constexpr A_long kInner = 3;
constexpr A_long kLong = 4;

const std::string kLongName = "Background plate with a rather long name";

class RenameTest : public ExtractTest {
protected:
    void SetUp() override { load("extract_rename"); }

    std::string name_of(A_long index) { return shown_name(project(), layer_at("Main", index)); }
    A_Err rename_all(const std::vector<A_long>& indices, const std::u16string& prefix) {
        std::vector<AEGP_CollectionItemV2> items;
        for (A_long index : indices) items.push_back(layer_item(layer_handle("Main", index)));
        const AEGP_Collection2H collection = new_collection(items);
        const PluginInfo pluginInfo = info();
        return rename_extracted_layers(&pluginInfo, collection, prefix, u"_");
    }
};

TEST_F(RenameTest, ReadsTheNameALayerShows) {
    struct Case {
        A_long layer;
        std::string name;
    };
    const Case cases[] = {{kAlpha, "Alpha"}, {kUnnamed, "Solid Red"}, {kLong, kLongName}};
    const PluginInfo pluginInfo = info();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::u16string name = u"stale";
        ASSERT_EQ(get_layer_name(&pluginInfo, layer_handle("Main", c.layer), &name), A_Err_NONE);
        EXPECT_EQ(to_utf8(name), c.name);
    }
}

TEST_F(RenameTest, AFailedNameLookUpGivesAnEmptyName) {
    const AEGP_LayerH alpha = layer_handle("Main", kAlpha);
    host_.fail_call("AEGP_GetLayerName", 1, A_Err_GENERIC);
    std::u16string name = u"stale";
    const PluginInfo pluginInfo = info();
    EXPECT_EQ(get_layer_name(&pluginInfo, alpha, &name), A_Err_GENERIC);
    host_.clear_faults();
    EXPECT_EQ(name, u"");
}

TEST_F(RenameTest, ThePrefixJoinsThePrecompNameAndTheText) {
    struct Case {
        bool prependName;
        const char* text;
        std::u16string prefix;
    };
    const Case cases[] = {
        {false, "T", u"T"},
        {true, "", u"Inner"},
        {true, "T", u"Inner_T"},
        {false, "", u""},
        {false,
         "\xC3\x9C"
         "ber",
         u"\u00DCber"},
        {true, "12345678901234567890123456789012345678901234567890",
         u"Inner_12345678901234567890123456789012345678901234567890"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        options_.prependPrecompName = c.prependName;
        const PluginInfo pluginInfo = info();
        EXPECT_EQ(compose_name_prefix(&pluginInfo, layer_handle("Main", kInner), c.text), c.prefix);
    }
}

TEST_F(RenameTest, EveryCopyGetsThePrefix) {
    ASSERT_EQ(rename_all({kAlpha, kUnnamed, kLong}, u"T"), A_Err_NONE);
    EXPECT_EQ(name_of(kAlpha), "T_Alpha");
    EXPECT_EQ(layer_at("Main", kUnnamed).ownName, "T_Solid Red");  // a name of its own from now on
    EXPECT_EQ(name_of(kLong), "T_" + kLongName);                   // long names arrive uncut
    EXPECT_EQ(name_of(kGamma), "Gamma");
}

TEST_F(RenameTest, ExpressionsFollowTheRename) {
    ASSERT_EQ(rename_all({kAlpha}, u"Inner_T"), A_Err_NONE);
    const auto scripts = host_.scripts_run();
    ASSERT_EQ(scripts.size(), 1u);
    EXPECT_EQ(scripts[0], "app.project.autoFixExpressions(\"Alpha\",\"Inner_T_Alpha\");");
    const auto& gamma = comp_named(project(), "Main").layers.at(kGamma);
    EXPECT_EQ(gamma.streams.at(4).expression,
              "thisComp.layer(\"Inner_T_Alpha\").transform.opacity");
}

TEST_F(RenameTest, NamesAreCutTo255Units) {
    struct Case {
        std::u16string prefix;
        std::size_t units;
    };
    const std::u16string pair = u"\U0001F600";  // two UTF-16 units
    const Case cases[] = {
        {std::u16string(200, u'P'), 200 + 1 + 40},
        {std::u16string(214, u'P'), 255},
        {std::u16string(300, u'P'), 255},
        // A pair that would straddle the cut is left out whole.
        {std::u16string(254, u'P') + pair, 254},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.prefix.size());
        load("extract_rename");
        const PluginInfo pluginInfo = info();
        ASSERT_EQ(rename_layer(&pluginInfo, layer_handle("Main", kLong), c.prefix, u"_"),
                  A_Err_NONE);
        const std::u16string name = to_utf16(name_of(kLong));
        EXPECT_EQ(name.size(), c.units);
        std::u16string expected = c.prefix + u"_" + to_utf16(kLongName);
        if (expected.size() > 255) expected.resize(c.units);
        EXPECT_EQ(name, expected);
    }
}

TEST_F(RenameTest, ItemsOtherThanLayersAreSkipped) {
    AEGP_CollectionItemV2 mask{};
    mask.type = AEGP_CollectionItemType_MASK;
    mask.u.mask.layerH = layer_handle("Main", kGamma);
    const AEGP_Collection2H collection =
        new_collection({mask, layer_item(layer_handle("Main", kAlpha))});
    const PluginInfo pluginInfo = info();
    ASSERT_EQ(rename_extracted_layers(&pluginInfo, collection, u"X", u"_"), A_Err_NONE);
    EXPECT_EQ(name_of(kGamma), "Gamma");
    EXPECT_EQ(name_of(kAlpha), "X_Alpha");
}

// A failed expression repair does not stop the renaming.
TEST_F(RenameTest, AFailedRepairIsIgnored) {
    const AEGP_LayerH alpha = layer_handle("Main", kAlpha);
    const AEGP_LayerH gamma = layer_handle("Main", kGamma);
    const AEGP_Collection2H collection = new_collection({layer_item(alpha), layer_item(gamma)});
    host_.fail_call("AEGP_ExecuteScript", 1, A_Err_GENERIC);
    const PluginInfo pluginInfo = info();
    EXPECT_EQ(rename_extracted_layers(&pluginInfo, collection, u"T", u"_"), A_Err_NONE);
    host_.clear_faults();
    EXPECT_EQ(name_of(kAlpha), "T_Alpha");
    EXPECT_EQ(name_of(kGamma), "T_Gamma");
}

// Literals evaluate, in the real script engine, to exactly the text written.
TEST_F(RenameTest, ScriptLiteralsKeepAnyText) {
    const std::string texts[] = {
        "",
        "plain",
        "say \"hi\"",
        "back\\slash\\",
        "trailing \\",
        "line\nbreak\r\ttab",
        std::string("nul\x01"
                    "control\x1f\x7f"),
        "\xE2\x80\xA8 and \xE2\x80\xA9 separators",
        "\xC3\x9C"
        "nic\xC3\xB8"
        "de \xE2\x9C\x93",
        "\"); app.project.item(1).name = \"taken\"; (\"",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        const auto run = host_.run_script(script_string_literal(text));
        ASSERT_TRUE(run.ok) << run.error;
        EXPECT_EQ(run.value, text);
    }
    EXPECT_EQ(item_named(project(), "Main").name, "Main");
}

// Names with quotes, backslashes or script code stay names: the repair runs
// and nothing else does.
TEST_F(RenameTest, TheRepairScriptCannotBeBrokenByAName) {
    struct Case {
        std::u16string oldName;
        std::u16string newName;
        std::string script;
    };
    const Case cases[] = {
        {u"L", u"T_L", "app.project.autoFixExpressions(\"L\",\"T_L\");"},
        {u"Same", u"Same", "app.project.autoFixExpressions(\"Same\",\"Same\");"},
        {u"Say \"hi\"", u"T_Say \"hi\"",
         "app.project.autoFixExpressions(\"Say \\\"hi\\\"\",\"T_Say \\\"hi\\\"\");"},
        {u"a\\", u"T_a\\", "app.project.autoFixExpressions(\"a\\\\\",\"T_a\\\\\");"},
        {u"\u00DC\u2713", u"T_\u00DC\u2713",
         "app.project.autoFixExpressions(\"\xC3\x9C\xE2\x9C\x93\",\"T_\xC3\x9C\xE2\x9C\x93\");"},
        {u"\"); app.project.item(1).name = (\"taken", u"x", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(to_utf8(c.oldName));
        const PluginInfo pluginInfo = info();
        EXPECT_EQ(fix_expressions_after_rename(&pluginInfo, c.oldName, c.newName), A_Err_NONE);
        if (!c.script.empty()) {
            EXPECT_EQ(host_.scripts_run().back(), c.script);
        }
    }
    EXPECT_EQ(item_named(project(), "Main").name, "Main");
}

}  // namespace
}  // namespace outfold::testing
