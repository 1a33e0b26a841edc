// Extraction steps called directly: copying the layers, renaming them, seeding
// their expressions, disposing of the pre-comp layer; and the expression repair in
// whole runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <tuple>
#include <vector>

#include "expressions/script_string.h"
#include "expressions/seed_random.h"
#include "extract/copy_layers.h"
#include "extract/rename.h"
#include "io/project_file.h"
#include "model/project_ops.h"
#include "pipeline/dispose.h"
#include "placement/source_users.h"
#include "plugin_host.h"
#include "script/expression_engine.h"
#include "shell/host_suites.h"
#include "shell/text.h"
#include "windows/expected_module.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace outfold::testing {
namespace {
namespace model = host::model;
using Names = std::vector<std::string>;

constexpr int kRotation = 3, kOpacity = 4, kRotateX = 8;

std::string seeded(const std::string& seed, const std::string& expression) {
    return "seedRandom(" + seed + "); // this line was added by Outfold \n\n" + expression;
}

// "extract_copy": items Main (1), Inner Comp (2), Empty Comp (3). Main: Title,
// Inner (pre-comp of Inner Comp), Nothing (pre-comp of Empty Comp), Backdrop.
// Inner Comp: A, B, C (C has no name of its own), opacity random(1) to random(3).
// "extract_twelve": Main (1), Other (2), Twelve (3) with 12 layers.
//
// "extract_rename", Main from the top: Alpha; a layer without a name of its own
// on Solid Red; Gamma, whose opacity expression names Alpha; Inner (a pre-comp
// layer); a layer with a 40-character name.
constexpr A_long kAlpha = 0, kUnnamed = 1, kGamma = 2, kInner = 3, kLong = 4;
constexpr A_long kMaskOfGamma = -1;  // in a collection: a mask item
const std::string kLongName = "Background plate with a rather long name";
//
// "extract_expressions", Main from the top: Wobble, an opacity expression and a
// switched-off rotation one; a layer with keyframed position under an
// expression; Plain, no expressions; Many, expressions on anchor point,
// position, rotation and opacity.
constexpr A_long kWobble = 0, kPlain = 2, kMany = 3;

class StepTest : public ExtractTest {
protected:
    A_Err copy(A_long precompIndex, AEGP_Collection2H collection) {
        const AEGP_LayerH precomp = layer_handle("Main", precompIndex);
        char prefix[kMaxPrefixBytes + 1] = "unused";
        return copy_layers_to_parent(info(), precomp, prefix, &collection);
    }
    // Renames through a collection of the given layers of Main.
    A_Err rename_all(const std::vector<A_long>& indices, const std::u16string& prefix) {
        std::vector<AEGP_CollectionItemV2> items;
        for (A_long index : indices) {
            items.push_back(layer_item(layer_handle("Main", index < 0 ? kGamma : index)));
            if (index == kMaskOfGamma) items.back().type = AEGP_CollectionItemType_MASK;
        }
        return rename_extracted_layers(info(), new_collection(items), prefix, u"_");
    }
    // Every expression of a layer of Main, by stream number.
    std::map<int, std::string> expressions(A_long index) {
        std::map<int, std::string> texts;
        for (const auto& [number, stream] : layer_at("Main", index).streams) {
            if (!stream.expression.empty()) texts[number] = stream.expression;
        }
        return texts;
    }
    // Disposes of the named layer of Main; `failing`, when given, fails its
    // first call during the step.
    A_Err dispose(const std::string& layerName, SourceLedger* ledger,
                  const char* failing = nullptr) {
        const AEGP_LayerH layer = layer_handle("Main", layerName);
        if (failing != nullptr) host_.fail_call(failing, 1, A_Err_GENERIC);
        const A_Err err = dispose_precomp_layer(info(), layer, ledger);
        host_.clear_faults();
        return err;
    }
    bool has_item(const std::string& name) {
        return model::find_item_by_name(project(), name) != nullptr;
    }
};

// One script copies every layer of the source (the copies' places and names
// are checked below); an empty source copies nothing.
TEST_F(StepTest, OneScriptCopiesEverySourceLayer) {
    // fixture, pre-comp layer in Main, layers of its source
    const std::tuple<const char*, A_long, std::size_t> cases[] = {
        {"extract_copy", 1, 3}, {"extract_twelve", 0, 12}, {"extract_copy", 2, 0}};
    for (const auto& [fixture, precomp, layers] : cases) {
        SCOPED_TRACE(fixture);
        load(fixture);
        const AEGP_Collection2H collection = new_collection();
        const std::size_t before = host_.scripts_run().size();
        const std::size_t inMain = comp_named(project(), "Main").layers.size();
        ASSERT_EQ(copy(precomp, collection), A_Err_NONE);
        EXPECT_EQ(host_.scripts_run().size(), before + 1);
        EXPECT_EQ(collection_items(collection).size(), layers);
        EXPECT_EQ(comp_named(project(), "Main").layers.size(), inMain + layers);
    }
}

// The host puts each copy above the topmost selected layer of the parent, or
// at the top; either way the collection runs from the copy of the source's
// bottom layer to that of its top layer, and seeds (when asked for) run from
// the top layer down. The source composition keeps its layers and expressions.
TEST_F(StepTest, CopiesAreCollectedBottomLayerFirstAndSeededTopDown) {
    const Names atTop = {"C", "B", "A", "Title", "Inner", "Nothing", "Backdrop"};
    const Names aboveInner = {"Title", "A", "B", "C", "Inner", "Nothing", "Backdrop"};
    // selected in Main, seeded, Main after the copy
    const std::tuple<Names, bool, Names> cases[] = {
        {{}, false, atTop},
        {{}, true, atTop},
        {{"Inner"}, false, aboveInner},
        {{"Backdrop", "Inner"}, true, aboveInner},
        {{"Backdrop"}, false, {"Title", "Inner", "Nothing", "A", "B", "C", "Backdrop"}},
    };
    for (const auto& [selected, seed, stack] : cases) {
        SCOPED_TRACE(::testing::PrintToString(selected) + (seed ? ", seeded" : ""));
        load("extract_copy");
        select_layers(project(), "Main", selected);
        options_.fixRandomExpressions = seed;
        const AEGP_Collection2H collection = new_collection();
        ASSERT_EQ(copy(1, collection), A_Err_NONE);
        EXPECT_EQ(collection_layer_names(collection), (Names{"C", "B", "A"}));
        EXPECT_EQ(layer_names(project(), "Main"), stack);
        for (const auto& item : collection_items(collection)) {
            EXPECT_EQ(item.type, AEGP_CollectionItemType_LAYER);
            EXPECT_EQ(item.stream_refH, nullptr);
        }
        for (int k = 0; k < 3; ++k) {
            const std::string random = "random(" + std::to_string(k + 1) + ")";
            EXPECT_EQ(layer_named(project(), "Main", std::string(1, char('A' + k)))
                          ->streams.at(kOpacity)
                          .expression,
                      seed ? seeded(std::to_string(k), random) : random);
        }
        EXPECT_EQ(layer_names(project(), "Inner Comp"), (Names{"A", "B", "C"}));
        EXPECT_EQ(layer_at("Inner Comp", 0).streams.at(kOpacity).expression, "random(1)");
    }
}

// The loadable module exports the step under its C++ name; called through
// that export it behaves as linked in.
using CopyLayersToParent = int (*)(PluginInfo const*, AEGP_LayerH, char*, AEGP_Collection2H*);

CopyLayersToParent find_exported_copy(const std::string& module) {
#if defined(_WIN32)
    const HMODULE handle = GetModuleHandleA(module.substr(module.find_last_of("/\\") + 1).c_str());
    if (handle == nullptr) return nullptr;
    const FARPROC symbol = GetProcAddress(handle, expected::kExports[0].second.c_str());
    return reinterpret_cast<CopyLayersToParent>(reinterpret_cast<void (*)()>(symbol));
#else
    void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return nullptr;
    void* symbol = dlsym(handle, expected::kExports[0].second.c_str());
    dlclose(handle);
    return reinterpret_cast<CopyLayersToParent>(symbol);
#endif
}

TEST_F(StepTest, TheModuleExportsTheCopy) {
    load("extract_copy");
    ASSERT_EQ(host_.load_plugin(OUTFOLD_MODULE_PATH), A_Err_NONE);
    const CopyLayersToParent exported = find_exported_copy(OUTFOLD_MODULE_PATH);
    ASSERT_NE(exported, nullptr);
    ASSERT_NE(reinterpret_cast<void*>(exported), reinterpret_cast<void*>(&copy_layers_to_parent));
    const AEGP_Collection2H collection = new_collection();
    AEGP_Collection2H handle = collection;
    const AEGP_LayerH precomp = layer_handle("Main", 1);
    char prefix[kMaxPrefixBytes + 1] = {};
    options_.fixRandomExpressions = true;
    // Reachable from outside, so it refuses null pointers instead of following them.
    EXPECT_EQ(exported(nullptr, precomp, prefix, &handle), A_Err_PARAMETER);
    EXPECT_EQ(exported(info(), precomp, prefix, nullptr), A_Err_PARAMETER);
    ASSERT_EQ(exported(info(), precomp, prefix, &handle), A_Err_NONE);
    EXPECT_EQ(collection_layer_names(collection), (Names{"C", "B", "A"}));
    EXPECT_EQ(layer_at("Main", 0).streams.at(kOpacity).expression, seeded("2", "random(3)"));
}

// The name a layer shows (its source's without one of its own); a failed
// look-up gives an empty name.
TEST_F(StepTest, ReadsTheNameALayerShows) {
    load("extract_rename");
    const std::tuple<A_long, const char*, std::string> cases[] = {
        {kAlpha, nullptr, "Alpha"},
        {kUnnamed, nullptr, "Solid Red"},
        {kLong, nullptr, kLongName},
        {kAlpha, "AEGP_GetLayerName", ""}};
    for (const auto& [layer, failing, name] : cases) {
        SCOPED_TRACE(name);
        const AEGP_LayerH handle = layer_handle("Main", layer);
        if (failing != nullptr) host_.fail_call(failing, 1, A_Err_GENERIC);
        std::u16string read = u"stale";
        EXPECT_EQ(get_layer_name(info(), handle, &read), failing ? A_Err_GENERIC : A_Err_NONE);
        host_.clear_faults();
        EXPECT_EQ(to_utf8(read), name);
    }
}

TEST_F(StepTest, ThePrefixJoinsThePrecompNameAndTheText) {
    load("extract_rename");
    const std::string fifty = "12345678901234567890123456789012345678901234567890";
    // pre-comp name prepended, text, prefix
    const std::tuple<bool, std::string, std::u16string> cases[] = {
        {false, "T", u"T"},
        {true, "", u"Inner"},
        {true, "T", u"Inner_T"},
        {false, "", u""},
        {false, std::string("\xC3\x9C") + "ber", u"\u00DCber"},
        {true, fifty, u"Inner_12345678901234567890123456789012345678901234567890"},
    };
    for (const auto& [prependName, text, prefix] : cases) {
        SCOPED_TRACE(text);
        options_.prependPrecompName = prependName;
        EXPECT_EQ(compose_name_prefix(info(), layer_handle("Main", kInner), text.c_str()), prefix);
    }
}

// Every layer item gets the prefix (a layer without a name of its own gets one,
// long names arrive uncut); other items are skipped; a failed expression
// repair does not stop the renaming.
TEST_F(StepTest, EveryCopyGetsThePrefix) {
    // items renamed, the call failing, Main after
    const std::tuple<std::vector<A_long>, const char*, Names> cases[] = {
        {{kAlpha, kUnnamed, kLong},
         nullptr,
         {"T_Alpha", "T_Solid Red", "Gamma", "Inner", "T_" + kLongName}},
        {{kMaskOfGamma, kAlpha}, nullptr, {"T_Alpha", "Solid Red", "Gamma", "Inner", kLongName}},
        {{kAlpha, kGamma},
         "AEGP_ExecuteScript",
         {"T_Alpha", "Solid Red", "T_Gamma", "Inner", kLongName}},
    };
    for (const auto& [items, failing, main] : cases) {
        SCOPED_TRACE(main[0] + (failing ? " failing" : ""));
        load("extract_rename");
        if (failing != nullptr) host_.fail_call(failing, 1, A_Err_GENERIC);
        EXPECT_EQ(rename_all(items, u"T"), A_Err_NONE);
        host_.clear_faults();
        EXPECT_EQ(layer_names(project(), "Main"), main);
    }
}

TEST_F(StepTest, NamesAreCutTo255Units) {
    const std::u16string p254(254, u'P');
    // prefix, units of the new name
    const std::pair<std::u16string, std::size_t> cases[] = {
        {std::u16string(200, u'P'), 200 + 1 + 40},
        {std::u16string(214, u'P'), 255},
        {std::u16string(300, u'P'), 255},
        {p254 + u"\U0001F600", 254},  // a pair that would straddle the cut is left out whole
        {p254 + u"\U00010000", 254},  // the first and the last high surrogate
        {p254 + u"\U0010FFFF", 254},
    };
    for (const auto& [prefix, units] : cases) {
        SCOPED_TRACE(prefix.size());
        load("extract_rename");
        ASSERT_EQ(rename_layer(info(), layer_handle("Main", kLong), prefix, u"_"), A_Err_NONE);
        const std::u16string name = to_utf16(shown_name(project(), layer_at("Main", kLong)));
        EXPECT_EQ(name.size(), units);
        EXPECT_EQ(name, (prefix + u"_" + to_utf16(kLongName)).substr(0, units));
    }
}

// Literals evaluate, in the real script engine, to exactly the text written.
TEST_F(StepTest, ScriptLiteralsKeepAnyText) {
    load("extract_rename");
    const std::string texts[] = {
        "",
        "plain",
        "say \"hi\"",
        "back\\slash\\",
        "trailing \\",
        "line\nbreak\r\ttab",
        std::string("nul\x01") + "control\x1f\x7f",
        "\xE2\x80\xA8 and \xE2\x80\xA9 separators",
        std::string("\xC3\x9Cnic\xC3\xB8") + "de \xE2\x9C\x93",
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

// A seed line goes in front of each switched-on expression; a switched-off one
// does not make its stream vary and stays as it is. A stream the layer lacks is
// no error.
TEST_F(StepTest, PutsTheSeedLineInFrontOfEachExpression) {
    // layer, seed, seed as written
    const std::tuple<A_long, int, std::string> cases[] = {{kWobble, 4, "4"},
                                                          {kWobble, 0, "0"},
                                                          {kWobble, -12, "-12"},
                                                          {kMany, 2147483647, "2147483647"},
                                                          {kPlain, 3, "3"}};
    for (const auto& [layer, seed, seedText] : cases) {
        SCOPED_TRACE(seedText);
        load("extract_expressions");
        const auto before = expressions(layer);
        ASSERT_EQ(seed_random_expressions(info(), layer_handle("Main", layer), seed), A_Err_NONE);
        const auto after = expressions(layer);
        ASSERT_EQ(after.size(), before.size());
        for (const auto& [number, text] : before) {
            const bool on = layer_at("Main", layer).streams.at(number).expressionEnabled;
            EXPECT_EQ(after.at(number), on ? seeded(seedText, text) : text) << "stream " << number;
        }
    }
    const AEGP_LayerH wobble = layer_handle("Main", kWobble);
    {
        HostSuites suites(host_.basic_suite());
        A_Boolean legal = true;
        ASSERT_EQ(suites.get<AEGP_StreamSuite_v9>().AEGP_IsStreamLegal(wobble, kRotateX, &legal),
                  A_Err_NONE);
        ASSERT_FALSE(legal);  // a 2D layer has no X rotation
    }
    EXPECT_EQ(seed_random_stream(info(), wobble, 5, kRotateX), A_Err_NONE);
}

// "extract_users": Main holds Shared (Shared Comp), Only (Only Comp), Twice 1
// and Twice 2 (both Twice Comp) and Caption, a text layer; Other, in a folder,
// holds a layer of Shared Comp; Only Comp and Shared Comp each hold a layer of
// the footage Solid Red; Unused Comp is used nowhere. "extract_footage_only"
// has no composition at all.
TEST_F(StepTest, CountsSourceUsersInEveryComposition) {
    const std::tuple<const char*, const char*, A_long> cases[] = {
        {"extract_users", "Only Comp", 1},        {"extract_users", "Shared Comp", 2},
        {"extract_users", "Twice Comp", 2},       {"extract_users", "Unused Comp", 0},
        {"extract_users", "Solid Red", 2},        {"extract_users", "Main", 0},
        {"extract_footage_only", "Solid Red", 0},
    };
    for (const auto& [fixture, item, count] : cases) {
        SCOPED_TRACE(item);
        load(fixture);
        A_long users = 0;
        ASSERT_EQ(count_source_users(info(), item_handle(item), &users), A_Err_NONE);
        EXPECT_EQ(users, count);
    }
}

// "extract_dispose": Main holds Alone (Alone Comp, used nowhere else), Pair 1
// and Pair 2 (Pair Comp), Crowd 1 and Crowd 2 (Crowd Comp, also used by Crowd 3
// in Elsewhere) and Caption, a text layer.
TEST_F(StepTest, TheLastOfTwoLayersTakesTheirSource) {
    load("extract_dispose");
    options_.deleteSource = true;
    SourceLedger ledger;
    ASSERT_EQ(dispose("Pair 1", &ledger), A_Err_NONE);
    EXPECT_EQ(ledger.notDeleted, 1);
    EXPECT_EQ(ledger.failuresBySource.at(item_named(project(), "Pair Comp").id), 1);
    EXPECT_TRUE(has_item("Pair Comp"));
    ASSERT_EQ(dispose("Pair 2", &ledger), A_Err_NONE);
    EXPECT_EQ(ledger.notDeleted, 0);
    EXPECT_TRUE(ledger.failuresBySource.empty());
    EXPECT_FALSE(has_item("Pair Comp"));
    EXPECT_EQ(layer_named(project(), "Main", "Pair 2"), nullptr);
    ASSERT_EQ(report_undeleted_sources(info(), &ledger, 2), A_Err_NONE);
    EXPECT_TRUE(host_.alerts().empty());
}

TEST_F(StepTest, OneAlertTellsWhatStayed) {
    const std::string some =
        "Some (or all) sources could not be deleted because they are being used in other places";
    const std::string one = " could not be deleted because it is being used in other places";
    // sources not deleted, items selected, message (none: no alert), title
    const std::tuple<A_long, unsigned, std::string, std::string> cases[] = {
        {1, 1, "The source" + one, "Source Not Deleted"},
        {1, 4, "A source" + one, "Source Not Deleted"},
        {2, 1, some, "Sources Not Deleted"},
        {7, 9, some, "Sources Not Deleted"},
        {0, 1, "", ""},
        {-1, 1, "", ""},
    };
    std::size_t shown = 0;
    for (const auto& [notDeleted, selected, message, title] : cases) {
        SCOPED_TRACE(std::to_string(notDeleted) + " of " + std::to_string(selected));
        SourceLedger ledger;
        ledger.notDeleted = notDeleted;
        ASSERT_EQ(report_undeleted_sources(info(), &ledger, selected), A_Err_NONE);
        if (!message.empty()) ++shown;
        ASSERT_EQ(host_.alerts().size(), shown);
        if (message.empty()) continue;
        EXPECT_EQ(host_.alerts().back().message, message);
        EXPECT_EQ(host_.alerts().back().title, title);
        EXPECT_EQ(host_.scripts_run().back(), "alert(\"" + message + "\", \"" + title + "\");");
    }
}

// The options decide what goes; a failing call (named in place of a label)
// leaves the layer, switched on, and its source where they are.
TEST_F(StepTest, TheOptionsDecideWhatGoesAndAFailingCallDeletesNothing) {
    struct Case {
        const char* label;
        bool keep, deleteSource;
        const char* layer;
        const char* source;
        bool fails, layerStays, sourceStays;
        A_long notDeleted;
    };
    const Case cases[] = {
        {"keep", true, false, "Alone", "Alone Comp", false, true, true, 0},
        {"keep wins over delete", true, true, "Alone", "Alone Comp", false, true, true, 0},
        {"default", false, false, "Alone", "Alone Comp", false, false, true, 0},
        {"only user", false, true, "Alone", "Alone Comp", false, false, false, 0},
        {"used elsewhere", false, true, "Crowd 1", "Crowd Comp", false, false, true, 1},
        {"AEGP_GetLayerSourceItem", false, true, "Alone", "Alone Comp", true, true, true, 0},
        {"AEGP_GetCompLayerByIndex", false, true, "Alone", "Alone Comp", true, true, true, 0},
        {"AEGP_GetItemID", false, true, "Alone", "Alone Comp", true, true, true, 0},
        {"AEGP_DeleteItem", false, true, "Alone", "Alone Comp", true, true, true, 0},
        {"AEGP_DeleteLayer", false, true, "Crowd 1", "Crowd Comp", true, true, true, 1},
        {"AEGP_SetLayerFlag", true, true, "Alone", "Alone Comp", true, true, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        load("extract_dispose");
        options_.keepInComp = c.keep;
        options_.deleteSource = c.deleteSource;
        Names layers = layer_names(project(), "Main");
        if (!c.layerStays) std::erase(layers, c.layer);
        const std::size_t items = project().items.size() - (c.sourceStays ? 0 : 1);
        SourceLedger ledger;
        EXPECT_EQ(dispose(c.layer, &ledger, c.fails ? c.label : nullptr),
                  c.fails ? A_Err_GENERIC : A_Err_NONE);
        EXPECT_EQ(layer_names(project(), "Main"), layers);
        if (const model::Layer* layer = layer_named(project(), "Main", c.layer)) {
            EXPECT_EQ((layer->flags & model::flag::kVideoActive) != 0, c.fails);
        }
        EXPECT_EQ(project().items.size(), items);
        EXPECT_EQ(has_item(c.source), c.sourceStays);
        EXPECT_EQ(ledger.notDeleted, c.notDeleted);
        if (!c.fails) {
            EXPECT_EQ(ledger.failuresBySource.size(), c.notDeleted > 0 ? 1u : 0u);
        }
    }
}

// The whole command through the loaded module, with the host fixing only
// broken expressions after each rename: the copies' references follow their
// renamed layers, and no expression that worked before is touched.
//
// "Inner" is the pre-comp shown by "Pre" in "Main". Inner's own expressions
// all work; "Broken" names a layer that exists nowhere. Main and Side have
// layers of their own named "Null 1", as Inner has.
constexpr const char* kProject = R"json({
  "activeItem": "Main",
  "items": [
    {"type": "comp", "name": "Inner", "layers": [
      {"type": "shape", "name": "C"},
      {"type": "shape", "name": "Null 1"},
      {"type": "shape", "name": "D", "streams": {"Rotation": {"expression":
        "thisComp.layer(\"C\").transform.rotation + thisComp.layer(\"Null 1\").rotation"}}},
      {"type": "shape", "name": "A", "streams": {"Rotation": {"expression":
        "thisComp.layer(\"FX_A\").transform.rotation"}}},
      {"type": "shape", "name": "FX_A", "streams": {"Rotation": {"expression":
        "thisComp.layer(\"A\").transform.rotation"}}},
      {"type": "shape", "name": "Broken", "streams": {"Opacity": {"expression":
        "thisComp.layer(\"Ghost\").transform.opacity"}}}
    ]},
    {"type": "comp", "name": "Main", "layers": [
      {"type": "shape", "name": "Watcher", "streams": {"Rotation": {"expression":
        "thisComp.layer(\"Null 1\").transform.rotation"}}},
      {"type": "shape", "name": "Null 1", "streams": {"Rotation": 7}},
      {"name": "Pre", "source": "Inner"}
    ]},
    {"type": "comp", "name": "Side", "layers": [
      {"type": "shape", "name": "Null 1"},
      {"type": "shape", "name": "Far", "streams": {"Rotation": {"expression":
        "thisComp.layer(\"Null 1\").transform.rotation"}}}
    ]}
  ]
})json";

// Every expression of a composition's layers, by layer name and stream.
std::map<std::string, std::string> expressions_of(const model::Project& project,
                                                  const std::string& comp) {
    std::map<std::string, std::string> found;
    for (const model::Layer& layer : comp_named(project, comp).layers) {
        for (const auto& [number, stream] : layer.streams) {
            if (!stream.expression.empty())
                found[model::shown_name(project, layer) + "#" + std::to_string(number)] =
                    stream.expression;
        }
    }
    return found;
}

class ExtractAutoFix : public PluginHostTest {
protected:
    // Extracts the pre-comp layer of Main with the prefix.
    void extract(const std::string& layer, const std::string& prefix) {
        ASSERT_EQ(load_module(), A_Err_NONE);
        select_layers(host_.project(), "Main", {layer});
        host_.open_menu(AEGP_Menu_LAYER);
        host_.set_user({"set prefixInput " + prefix, "ok"});
        ASSERT_EQ(host_.click(command()), A_Err_NONE);
    }
    // Whether the expression on the layer's stream evaluates, at time 0.
    bool works(const std::string& comp, const std::string& layerName, int stream) {
        const model::Layer* layer = layer_named(host_.project(), comp, layerName);
        if (layer == nullptr) {
            ADD_FAILURE() << "no layer " << layerName << " in " << comp;
            return false;
        }
        const model::Stream& s = layer->streams.at(stream);
        return engine_.evaluate({&host_.project(), layer->id, &s, {}}, s.expression).ok;
    }

    host::script::ExpressionEngine engine_;
};

TEST_F(ExtractAutoFix, CopiesFollowTheirRenamesAndWorkingExpressionsStay) {
    host_.set_project(host::io::project_from_json(nlohmann::json::parse(kProject)));
    const model::Project before = host_.project();
    extract("Pre", "FX");
    const model::Project& after = host_.project();

    // The kept pre-comp and the other composition are untouched.
    EXPECT_EQ(expressions_of(after, "Inner"), expressions_of(before, "Inner"));
    EXPECT_EQ(expressions_of(after, "Side"), expressions_of(before, "Side"));

    const std::map<std::string, std::string> expected = {
        // Main's own reference still names Main's own "Null 1" (rotation 7).
        {"Watcher#3", R"(thisComp.layer("Null 1").transform.rotation)"},
        // The copies name the copies, except where Main has a layer of the
        // same name: the copy of D reading "Null 1" never broke (Main's own
        // "Null 1" answers it), so it is not fixed and now reads Main's.
        {"FX_D#3",
         R"(thisComp.layer("FX_C").transform.rotation + thisComp.layer("Null 1").rotation)"},
        // The chain. Copies are renamed bottom-up: FX_A's copy first, which
        // breaks A's copy (no "FX_A" left in Main) and so fixes it to
        // "FX_FX_A"; then A's copy, which breaks FX_A's copy ("A") and fixes
        // it to "FX_A", A's copy. Inner's own pair never broke.
        {"FX_A#3", R"(thisComp.layer("FX_FX_A").transform.rotation)"},
        {"FX_FX_A#3", R"(thisComp.layer("FX_A").transform.rotation)"},
        // Broken before, and not by the renames: left as it was.
        {"FX_Broken#4", R"(thisComp.layer("Ghost").transform.opacity)"},
    };
    EXPECT_EQ(expressions_of(after, "Main"), expected);
    for (const char* layer : {"Watcher", "FX_D", "FX_A", "FX_FX_A"})
        EXPECT_TRUE(works("Main", layer, kRotation)) << layer;
    EXPECT_FALSE(works("Main", "FX_Broken", kOpacity));
}

TEST_F(ExtractAutoFix, TheDemoProjectShowsTheFix) {
    host_.load_project(std::filesystem::path(OUTFOLD_SOURCE_DIR) / "examples" / "demo.json");
    extract("Intro", "Hero");
    EXPECT_EQ(expressions_of(host_.project(), "Main").at("Hero_Title#3"),
              R"(thisComp.layer("Hero_Logo").transform.rotation / 2)");
    EXPECT_EQ(expressions_of(host_.project(), "Intro Comp").at("Title#3"),
              R"(thisComp.layer("Logo").transform.rotation / 2)");
    EXPECT_TRUE(works("Main", "Hero_Title", kRotation));
}
}  // namespace
}  // namespace outfold::testing
