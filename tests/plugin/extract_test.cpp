// Extraction steps called directly, and a whole run's expression repair.
#include <map>
#include <tuple>

#include "common/expected_module.h"
#include "expressions/script_string.h"
#include "expressions/seed_random.h"
#include "extract/copy_layers.h"
#include "extract/rename.h"
#include "io/project_file.h"
#include "pipeline/dispose.h"
#include "placement/source_users.h"
#include "plugin_host.h"
#include "shell/text.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace outfold::testing {
namespace {
namespace model = host::model;
using Names = std::vector<std::string>;

constexpr int kOpacity = 4, kRotateX = 8;

std::string seeded(const std::string& seed, const std::string& expression) {
    return "seedRandom(" + seed + "); // this line was added by Outfold \n\n" + expression;
}

// Layers of Main in "extract_rename" (Unnamed shows Solid Red; Gamma's expression names Alpha)
// and in "extract_expressions" (Wobble has a switched-off rotation expression).
constexpr A_long kAlpha = 0, kUnnamed = 1, kGamma = 2, kInner = 3, kLong = 4;
constexpr A_long kMaskOfGamma = -1;  // in a collection: a mask item
const std::string kLongName = "Background plate with a rather long name";
constexpr A_long kWobble = 0, kPlain = 2, kMany = 3;

class StepTest : public ExtractTest {
protected:
    A_Err copy(A_long precompIndex, AEGP_Collection2H collection) {
        const AEGP_LayerH precomp = layer_handle("Main", precompIndex);
        char prefix[kMaxPrefixBytes + 1] = "unused";
        return copy_layers_to_parent(info(), precomp, prefix, &collection);
    }
    A_Err rename_all(const std::vector<A_long>& indices, const std::u16string& prefix) {
        std::vector<AEGP_CollectionItemV2> items;
        for (A_long index : indices) {
            items.push_back(index == kMaskOfGamma ? item_of(layer_handle("Main", kGamma),
                                                            AEGP_CollectionItemType_MASK)
                                                  : item_of(layer_handle("Main", index)));
        }
        return rename_extracted_layers(info(), new_collection(items), prefix, u"_");
    }
    std::map<int, std::string> expressions(A_long index) {
        std::map<int, std::string> texts;
        for (const auto& [number, stream] : layer_at("Main", index).streams) {
            if (!stream.expression.empty()) texts[number] = stream.expression;
        }
        return texts;
    }
    A_Err dispose(const std::string& layerName, SourceLedger* ledger, const char* fault = "") {
        const AEGP_LayerH layer = layer_handle("Main", layerName);
        return failing(fault, 1, A_Err_GENERIC,
                       [&] { return dispose_precomp_layer(info(), layer, ledger); });
    }
};

// Two-digit layer numbers included; an empty source copies nothing.
TEST_F(StepTest, OneScriptCopiesEverySourceLayer) {
    const std::tuple<const char*, A_long, std::size_t> cases[] = {{"extract_twelve", 0, 12},
                                                                  {"extract_copy", 2, 0}};
    for (const auto& [fixture, precomp, layers] : cases) {
        SCOPED_TRACE(fixture);
        load(fixture);
        const AEGP_Collection2H collection = new_collection();
        const std::size_t before = host_.scripts_run().size();
        const std::size_t inMain = comp_named(project(), "Main").layers.size();
        ASSERT_EQ(copy(precomp, collection), A_Err_NONE);
        EXPECT_EQ(host_.scripts_run().size(), before + 1);
        EXPECT_EQ(collection_layer_names(collection).size(), layers);
        EXPECT_EQ(comp_named(project(), "Main").layers.size(), inMain + layers);
    }
}

// Wherever a paste puts the copy and whatever it selects, the copies are found by their ids and
// end on top, the selection as it was; the source keeps its layers.
TEST_F(StepTest, CopiesAreCollectedBottomLayerFirstAndSeededTopDown) {
    using enum host::CopyPlacement;
    const std::tuple<Names, bool, host::CopyPlacement, bool> cases[] = {
        {{}, false, AboveSelection, false},
        {{"Backdrop", "Inner"}, true, Top, false},
        {{"Backdrop", "Inner"}, true, AboveSelection, false},
        {{"Backdrop"}, false, AboveSelection, true},
        {{"Nothing"}, true, Top, true},
        {{}, false, Top, true},
    };
    for (const auto& [selected, seed, placement, selects] : cases) {
        SCOPED_TRACE(::testing::PrintToString(selected) + (seed ? ", seeded" : "") +
                     (placement == Top ? ", on top" : "") + (selects ? ", selects" : ""));
        load("extract_copy");
        host_.set_readings({.copyPlacement = placement, .pasteSelectsCopy = selects});
        select_layers(project(), "Main", selected);
        options_.fixRandomExpressions = seed;
        const Names selectedBefore = layer_names(project(), "Main", true);
        const AEGP_Collection2H collection = new_collection();
        ASSERT_EQ(copy(1, collection), A_Err_NONE);
        EXPECT_EQ(collection_layer_names(collection), (Names{"C", "B", "A"}));
        EXPECT_EQ(layer_names(project(), "Main"),
                  (Names{"C", "B", "A", "Title", "Inner", "Nothing", "Backdrop"}));
        EXPECT_EQ(layer_names(project(), "Main", true), selectedBefore);
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
    load("extract_copy");  // a failed script gives the selection back too
    select_layers(project(), "Main", {"Backdrop"});
    const AEGP_Collection2H collection = new_collection();
    EXPECT_EQ(failing("AEGP_ExecuteScript", 1, 5, [&] { return copy(1, collection); }), 5);
    EXPECT_EQ(layer_names(project(), "Main", true), Names{"Backdrop"});
}

// The module exports the step under its C++ name; through it, it works as linked in.
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
    AEGP_Collection2H collection = new_collection();
    const AEGP_LayerH precomp = layer_handle("Main", 1);
    char prefix[kMaxPrefixBytes + 1] = {};
    EXPECT_EQ(exported(nullptr, precomp, prefix, &collection), A_Err_PARAMETER);
    EXPECT_EQ(exported(info(), precomp, prefix, nullptr), A_Err_PARAMETER);
    ASSERT_EQ(exported(info(), precomp, prefix, &collection), A_Err_NONE);
    EXPECT_EQ(collection_layer_names(collection), (Names{"C", "B", "A"}));
}

// The text is read up to 50 bytes; a failed name look-up leaves the name out.
TEST_F(StepTest, ThePrefixJoinsThePrecompNameAndTheText) {
    load("extract_rename");
    const std::string fifty = "12345678901234567890123456789012345678901234567890";
    const std::tuple<bool, std::string, const char*, std::u16string> cases[] = {
        {false, "\303\234ber", "", u"\u00DCber"},
        {true, "", "", u"Inner"},
        {false, "", "", u""},
        {true, fifty + "X", "", u"Inner_" + to_utf16(fifty)},
        {true, "T", "AEGP_GetLayerName", u"T"},
    };
    const AEGP_LayerH inner = layer_handle("Main", kInner);
    for (const auto& [prependName, text, fault, prefix] : cases) {
        SCOPED_TRACE(text);
        options_.prependPrecompName = prependName;
        EXPECT_EQ(failing(fault, 1, A_Err_GENERIC,
                          [&] { return compose_name_prefix(info(), inner, text.c_str()); }),
                  prefix);
    }
    const AEGP_LayerH alpha = layer_handle("Main", kAlpha);
    std::u16string name = u"stale";
    EXPECT_EQ(failing("AEGP_GetLayerName", 1, A_Err_GENERIC,
                      [&] { return get_layer_name(info(), alpha, &name); }),
              A_Err_GENERIC);
    EXPECT_EQ(name, u"");
}

// Other items are skipped; a failed expression repair does not stop the renaming.
TEST_F(StepTest, EveryCopyGetsThePrefix) {
    const std::tuple<std::vector<A_long>, const char*, Names> cases[] = {
        {{kAlpha, kUnnamed, kLong},
         "",
         {"T_Alpha", "T_Solid Red", "Gamma", "Inner", "T_" + kLongName}},
        {{kMaskOfGamma, kAlpha}, "", {"T_Alpha", "Solid Red", "Gamma", "Inner", kLongName}},
        {{kAlpha, kGamma},
         "AEGP_ExecuteScript",
         {"T_Alpha", "Solid Red", "T_Gamma", "Inner", kLongName}},
    };
    for (const auto& [items, fault, main] : cases) {
        SCOPED_TRACE(main[0] + fault);
        load("extract_rename");
        EXPECT_EQ(failing(fault, 1, A_Err_GENERIC, [&] { return rename_all(items, u"T"); }),
                  A_Err_NONE);
        EXPECT_EQ(layer_names(project(), "Main"), main);
    }
}

TEST_F(StepTest, NamesAreCutTo255Units) {
    const std::u16string p254(254, u'P');
    const std::pair<std::u16string, std::size_t> cases[] = {
        {std::u16string(214, u'P'), 255},
        // A pair that would straddle the cut is left out whole.
        {p254 + u"\U00010000", 254},
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
    const std::string texts[] = {"",
                                 "say \"hi\"",
                                 "back\\slash\\",
                                 "line\nbreak\r\ttab",
                                 std::string("nul\x01") + "control\x1f\x7f",
                                 "\"); app.project.item(1).name = \"taken\"; (\""};
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        const auto run = host_.run_script(script_string_literal(text));
        ASSERT_TRUE(run.ok) << run.error;
        EXPECT_EQ(run.value, text);
    }
    EXPECT_EQ(item_named(project(), "Main").name, "Main");
}

// A switched-off expression stays as it is; a stream the layer lacks is no error.
TEST_F(StepTest, PutsTheSeedLineInFrontOfEachExpression) {
    const std::tuple<A_long, int, std::string> cases[] = {
        {kWobble, -12, "-12"}, {kMany, 2147483647, "2147483647"}, {kPlain, 3, "3"}};
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
    EXPECT_EQ(seed_random_stream(info(), layer_handle("Main", kWobble), 5, kRotateX), A_Err_NONE);
}

// Other, in a folder, also holds a layer of Shared Comp.
TEST_F(StepTest, CountsSourceUsersInEveryComposition) {
    const std::tuple<const char*, const char*, A_long> cases[] = {
        {"extract_users", "Only Comp", 1},        {"extract_users", "Shared Comp", 2},
        {"extract_users", "Unused Comp", 0},      {"extract_users", "Solid Red", 2},
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

TEST_F(StepTest, OneAlertTellsWhatStayed) {
    const std::string some =
        "Some (or all) sources could not be deleted because they are being used in other places";
    const std::string one = " could not be deleted because it is being used in other places";
    // sources not deleted, items selected, message (none: no alert), title
    const std::tuple<A_long, unsigned, std::string, std::string> cases[] = {
        {1, 1, "The source" + one, "Source Not Deleted"},
        {1, 4, "A source" + one, "Source Not Deleted"},
        {2, 1, some, "Sources Not Deleted"},
        {0, 1, "", ""},
        {-1, 1, "", ""},
    };
    std::size_t shown = 0;
    for (const auto& [notDeleted, selected, message, title] : cases) {
        SCOPED_TRACE(std::to_string(notDeleted) + " of " + std::to_string(selected));
        SourceLedger ledger;
        ledger.notDeleted = notDeleted;
        ASSERT_EQ(report_undeleted_sources(info(), &ledger, selected), A_Err_NONE);
        ASSERT_EQ(host_.alerts().size(), shown += !message.empty());
        if (message.empty()) continue;
        EXPECT_EQ(host_.alerts().back().message, message);
        EXPECT_EQ(host_.alerts().back().title, title);
    }
}

// A failing call (named as the label) leaves the layer, switched on, and its source. Crowd Comp
// is also used by Crowd 3 in Elsewhere; of the two layers of Pair Comp the last takes it.
TEST_F(StepTest, TheOptionsDecideWhatGoesTheLastUserTakesTheSourceAFailingCallDeletesNothing) {
    const std::tuple<const char*, const char*, const char*, bool, bool, bool, bool, bool, A_long>
        cases[] = {
            {"keep wins over delete", "Alone", "Alone Comp", true, true, false, true, true, 0},
            {"default", "Alone", "Alone Comp", false, false, false, false, true, 0},
            {"only user", "Alone", "Alone Comp", false, true, false, false, false, 0},
            {"used elsewhere", "Crowd 1", "Crowd Comp", false, true, false, false, true, 1},
            {"AEGP_GetLayerSourceItem", "Alone", "Alone Comp", false, true, true, true, true, 0},
            {"AEGP_GetCompLayerByIndex", "Alone", "Alone Comp", false, true, true, true, true, 0},
            {"AEGP_DeleteItem", "Alone", "Alone Comp", false, true, true, true, true, 0},
            {"AEGP_DeleteLayer", "Crowd 1", "Crowd Comp", false, true, true, true, true, 1},
            {"AEGP_SetLayerFlag", "Alone", "Alone Comp", true, true, true, true, true, 0},
        };
    for (const auto& [label, name, source, keep, deleteSource, fails, layerStays, sourceStays,
                      notDeleted] : cases) {
        SCOPED_TRACE(label);
        load("extract_dispose");
        options_.keepInComp = keep;
        options_.deleteSource = deleteSource;
        Names layers = layer_names(project(), "Main");
        if (!layerStays) std::erase(layers, name);
        const std::size_t items = project().items.size() - (sourceStays ? 0 : 1);
        SourceLedger ledger;
        EXPECT_EQ(dispose(name, &ledger, fails ? label : ""), fails ? A_Err_GENERIC : A_Err_NONE);
        EXPECT_EQ(layer_names(project(), "Main"), layers);
        if (const model::Layer* layer = layer_named(project(), "Main", name)) {
            EXPECT_EQ((layer->flags & model::flag::kVideoActive) != 0, fails);
        }
        EXPECT_EQ(project().items.size(), items);
        EXPECT_EQ(model::find_item_by_name(project(), source) != nullptr, sourceStays);
        EXPECT_EQ(ledger.notDeleted, notDeleted);
        if (!fails) {
            EXPECT_EQ(ledger.failuresBySource.size(), notDeleted > 0 ? 1u : 0u);
        }
    }
    load("extract_dispose");
    options_.keepInComp = false;
    options_.deleteSource = true;
    SourceLedger ledger;
    ASSERT_EQ(dispose("Pair 1", &ledger), A_Err_NONE);
    EXPECT_EQ(ledger.notDeleted, 1);
    EXPECT_EQ(ledger.failuresBySource.at(item_named(project(), "Pair Comp").id), 1);
    EXPECT_NE(model::find_item_by_name(project(), "Pair Comp"), nullptr);
    ASSERT_EQ(dispose("Pair 2", &ledger), A_Err_NONE);
    EXPECT_EQ(ledger.notDeleted, 0);
    EXPECT_TRUE(ledger.failuresBySource.empty());
    EXPECT_EQ(model::find_item_by_name(project(), "Pair Comp"), nullptr);
    EXPECT_EQ(layer_named(project(), "Main", "Pair 2"), nullptr);
}

// Inner's expressions all work (A reads FX_A's opacity, not its rotation: references read
// values after expressions, so rotations reading each other would be a cycle); Main has a
// layer of its own named "Null 1", as Inner has.
constexpr const char* kProject = R"json({"activeItem": "Main", "items": [
    {"type": "comp", "name": "Inner", "layers": [{"type": "shape", "name": "C"},
      {"type": "shape", "name": "Null 1"},
      {"type": "shape", "name": "D", "streams": {"Rotation": {"expression":
        "thisComp.layer(\"C\").transform.rotation + thisComp.layer(\"Null 1\").rotation"}}},
      {"type": "shape", "name": "A", "streams": {"Rotation": {"expression":
        "thisComp.layer(\"FX_A\").transform.opacity"}}},
      {"type": "shape", "name": "FX_A", "streams": {"Rotation": {"expression":
        "thisComp.layer(\"A\").transform.rotation"}}}]},
    {"type": "comp", "name": "Main",
      "layers": [{"type": "shape", "name": "Null 1"}, {"name": "Pre", "source": "Inner"}]}]})json";

class ExtractAutoFix : public PluginHostTest {};

TEST_F(ExtractAutoFix, CopiesFollowTheirRenamesInOrder) {
    host_.set_project(host::io::project_from_json(nlohmann::json::parse(kProject)));
    ASSERT_EQ(load_module(), A_Err_NONE);
    ASSERT_EQ(run({"Pre"}, {"set prefixInput FX", "ok"}), A_Err_NONE);
    std::map<std::string, std::string> found;
    for (const model::Layer& layer : comp_named(host_.project(), "Main").layers) {
        if (const auto s = layer.streams.find(3);
            s != layer.streams.end() && !s->second.expression.empty())
            found[model::shown_name(host_.project(), layer)] = s->second.expression;
    }
    const std::map<std::string, std::string> expected = {
        // D's copy names C's, whose rename to FX_C breaks it; the repair replaces "C" in
        // "thisComp" too, so it fails and is dropped. "Null 1" never broke (Main's own answers).
        {"FX_D", R"(thisComp.layer("C").transform.rotation + thisComp.layer("Null 1").rotation)"},
        // Renamed bottom-up: FX_A's copy first (repairing A's), then A's (repairing FX_A's).
        {"FX_A", R"(thisComp.layer("FX_FX_A").transform.opacity)"},
        {"FX_FX_A", R"(thisComp.layer("FX_A").transform.rotation)"},
    };
    EXPECT_EQ(found, expected);
}
}  // namespace
}  // namespace outfold::testing
