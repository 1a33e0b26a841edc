// Extraction steps called directly: copying the layers, renaming them, seeding
// their expressions, disposing of the pre-comp layer; and the expression repair in
// whole runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "expressions/fix_expressions.h"
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

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace outfold::testing {
namespace model = host::model;
using Names = std::vector<std::string>;

// Copying a pre-comp's layers into the composition that holds the pre-comp
// layer: the generated script, where the copies are found, their order in the
// extracted-layers collection, and seeding.
namespace extract_copy {
const std::string kHeader = "var tempName = \"\"; var allNames = [];";

// One source layer's statements, written out in full.
std::string block(int source, int layer, int parent) {
    const std::string item =
        "app.project.item(" + std::to_string(source) + ").layer(" + std::to_string(layer) + ")";
    return "tempName = " + item + ".name; allNames.push(tempName);" + item + ".name = tempName;" +
           item + ".copyToComp(app.project.item(" + std::to_string(parent) + "));" + item +
           ".name = tempName;";
}

class CopyTest : public ExtractTest {
protected:
    // Fixture "extract_copy": items Main (1), Inner Comp (2), Empty Comp (3).
    // Main: Title, Inner (pre-comp of Inner Comp), Nothing (pre-comp of Empty
    // Comp), Backdrop. Inner Comp: A, B, C (C has no name of its own).
    void SetUp() override { load("extract_copy"); }

    A_Err copy(const std::string& comp, A_long precompIndex, AEGP_Collection2H collection) {
        const AEGP_LayerH precomp = layer_handle(comp, precompIndex);
        char prefix[kMaxPrefixBytes + 1] = "unused";
        host_.clear_trace();
        return copy_layers_to_parent(info(), precomp, prefix, &collection);
    }

    void select_in_main(const std::vector<A_long>& indices) {
        model::Item& comp = item_named(project(), "Main");
        auto& selection = comp.comp->selection;
        selection.clear();
        for (A_long index : indices) {
            model::SelectionEntry entry;
            entry.kind = model::SelectionKind::Layer;
            entry.layer = comp.comp->layers.at(static_cast<std::size_t>(index)).id;
            selection.push_back(entry);
        }
    }
};

// One script copies every layer of the source, top first; an empty source
// still runs the header.
TEST_F(CopyTest, TheScriptCopiesEverySourceLayerInOneRun) {
    struct Case {
        const char* fixture;  // extract_twelve: Main (1), Other (2), Twelve (3) with 12 layers
        A_long precomp;
        int source, layers;
    };
    for (const Case& c : {Case{"extract_copy", 1, 2, 3}, Case{"extract_twelve", 0, 3, 12},
                          Case{"extract_copy", 2, 3, 0}}) {
        SCOPED_TRACE(c.fixture);
        load(c.fixture);
        const AEGP_Collection2H collection = new_collection();
        const std::size_t before = host_.scripts_run().size();
        ASSERT_EQ(copy("Main", c.precomp, collection), A_Err_NONE);
        std::string expected = kHeader;
        for (int k = 1; k <= c.layers; ++k) expected += block(c.source, k, 1);
        ASSERT_EQ(host_.scripts_run().size(), before + 1);
        EXPECT_EQ(host_.scripts_run().back(), expected);
        EXPECT_EQ(collection_items(collection).size(), std::size_t(c.layers));
    }
}

// The host puts each copy above the topmost selected layer of the parent, or
// at the top; either way the collection runs from the copy of the source's
// bottom layer to that of its top layer.
TEST_F(CopyTest, CopiesAreCollectedBottomLayerFirst) {
    struct Case {
        const char* label;
        std::vector<A_long> selected;
        Names stack;
    };
    const Case cases[] = {
        {"nothing selected", {}, {"C", "B", "A", "Title", "Inner", "Nothing", "Backdrop"}},
        {"pre-comp selected", {1}, {"Title", "A", "B", "C", "Inner", "Nothing", "Backdrop"}},
        {"two selected", {3, 1}, {"Title", "A", "B", "C", "Inner", "Nothing", "Backdrop"}},
        {"lowest selected", {3}, {"Title", "Inner", "Nothing", "A", "B", "C", "Backdrop"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        load("extract_copy");
        select_in_main(c.selected);
        const AEGP_Collection2H collection = new_collection();
        ASSERT_EQ(copy("Main", 1, collection), A_Err_NONE);
        EXPECT_EQ(collection_layer_names(collection), (Names{"C", "B", "A"}));
        EXPECT_EQ(layer_names(project(), "Main"), c.stack);
        for (const auto& item : collection_items(collection)) {
            EXPECT_EQ(item.type, AEGP_CollectionItemType_LAYER);
            EXPECT_EQ(item.stream_refH, nullptr);
        }
    }
    // The source composition keeps its layers and their names.
    EXPECT_EQ(layer_names(project(), "Inner Comp"), (Names{"A", "B", "C"}));
}

TEST_F(CopyTest, SeedsRunFromTheTopLayerDown) {
    struct Case {
        bool fix;
        Names expressions;  // of the copies of A, B, C
    };
    const std::string marker = "); // this line was added by Outfold \n\n";
    const Case cases[] = {
        {false, {"random(1)", "random(2)", "random(3)"}},
        {true,
         {"seedRandom(0" + marker + "random(1)", "seedRandom(1" + marker + "random(2)",
          "seedRandom(2" + marker + "random(3)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fix);
        load("extract_copy");
        options_.fixRandomExpressions = c.fix;
        const AEGP_Collection2H collection = new_collection();
        ASSERT_EQ(copy("Main", 1, collection), A_Err_NONE);
        const auto& main = comp_named(project(), "Main");
        Names copies;
        for (std::size_t k : {2u, 1u, 0u})
            copies.push_back(main.layers[k].streams.at(4).expression);
        EXPECT_EQ(copies, c.expressions);
        const auto& inner = comp_named(project(), "Inner Comp");
        EXPECT_EQ(inner.layers[0].streams.at(4).expression, "random(1)");
    }
}

// The loadable module exports the step under its C++ name; called through
// that export it behaves as linked in.
using CopyLayersToParent = int (*)(PluginInfo const*, AEGP_LayerH, char*, AEGP_Collection2H*);

constexpr char kCopyExportName[] =
    "_Z21copy_layers_to_parentPKN7outfold10PluginInfoEP11AEGP_Layer_PcPP16AEGP_Collection_";

CopyLayersToParent find_exported_copy(const std::string& module) {
#if defined(_WIN32)
    const std::string fileName = module.substr(module.find_last_of("/\\") + 1);
    HMODULE handle = GetModuleHandleA(fileName.c_str());
    if (handle == nullptr) return nullptr;
    const FARPROC symbol = GetProcAddress(handle, kCopyExportName);
    return reinterpret_cast<CopyLayersToParent>(reinterpret_cast<void (*)()>(symbol));
#else
    void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return nullptr;
    void* symbol = dlsym(handle, kCopyExportName);
    dlclose(handle);
    return reinterpret_cast<CopyLayersToParent>(symbol);
#endif
}

TEST_F(CopyTest, TheModuleExportsTheStep) {
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
    EXPECT_EQ(comp_named(project(), "Main").layers[0].streams.at(4).expression,
              "seedRandom(2); // this line was added by Outfold \n\nrandom(3)");
}
}  // namespace extract_copy

// Names of the extracted layers: reading names, composing the prefix,
// renaming, and the expression repair after each rename.
namespace extract_rename {
// Fixture "extract_rename", Main from the top: Alpha; a layer without a name
// of its own on Solid Red; Gamma, whose opacity expression names Alpha; Inner
// (a pre-comp layer); a layer with a 40-character name.
constexpr A_long kAlpha = 0;
constexpr A_long kUnnamed = 1;
constexpr A_long kGamma = 2;
constexpr A_long kInner = 3;
constexpr A_long kLong = 4;
constexpr A_long kMaskOfGamma = -1;

const std::string kLongName = "Background plate with a rather long name";

class RenameTest : public ExtractTest {
protected:
    void SetUp() override { load("extract_rename"); }

    std::string name_of(A_long index) { return shown_name(project(), layer_at("Main", index)); }
    // Renames through a collection of the given layers (kMaskOfGamma: a mask item).
    A_Err rename_all(const std::vector<A_long>& indices, const std::u16string& prefix) {
        std::vector<AEGP_CollectionItemV2> items;
        for (A_long index : indices) {
            AEGP_CollectionItemV2 item =
                layer_item(layer_handle("Main", index < 0 ? kGamma : index));
            if (index < 0) item.type = AEGP_CollectionItemType_MASK;
            items.push_back(item);
        }
        return rename_extracted_layers(info(), new_collection(items), prefix, u"_");
    }
};

// The name a layer shows (its source's without one of its own); a failed
// look-up gives an empty name.
TEST_F(RenameTest, ReadsTheNameALayerShows) {
    struct Case {
        A_long layer;
        const char* failing;
        std::string name;
    };
    const Case cases[] = {{kAlpha, nullptr, "Alpha"},
                          {kUnnamed, nullptr, "Solid Red"},
                          {kLong, nullptr, kLongName},
                          {kAlpha, "AEGP_GetLayerName", ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const AEGP_LayerH layer = layer_handle("Main", c.layer);
        if (c.failing != nullptr) host_.fail_call(c.failing, 1, A_Err_GENERIC);
        std::u16string name = u"stale";
        EXPECT_EQ(get_layer_name(info(), layer, &name), c.failing ? A_Err_GENERIC : A_Err_NONE);
        host_.clear_faults();
        EXPECT_EQ(to_utf8(name), c.name);
    }
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
        EXPECT_EQ(compose_name_prefix(info(), layer_handle("Main", kInner), c.text), c.prefix);
    }
}

// Every layer item gets the prefix (a layer without a name of its own gets one,
// long names arrive uncut); other items are skipped; a failed expression
// repair does not stop the renaming.
TEST_F(RenameTest, EveryCopyGetsThePrefix) {
    struct Case {
        std::vector<A_long> items;
        const char* failing;
        Names main;
    };
    const Case cases[] = {
        {{kAlpha, kUnnamed, kLong},
         nullptr,
         {"T_Alpha", "T_Solid Red", "Gamma", "Inner", "T_" + kLongName}},
        {{kMaskOfGamma, kAlpha}, nullptr, {"T_Alpha", "Solid Red", "Gamma", "Inner", kLongName}},
        {{kAlpha, kGamma},
         "AEGP_ExecuteScript",
         {"T_Alpha", "Solid Red", "T_Gamma", "Inner", kLongName}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.main[0] + (c.failing ? " failing" : ""));
        load("extract_rename");
        if (c.failing != nullptr) host_.fail_call(c.failing, 1, A_Err_GENERIC);
        EXPECT_EQ(rename_all(c.items, u"T"), A_Err_NONE);
        host_.clear_faults();
        EXPECT_EQ(layer_names(project(), "Main"), c.main);
    }
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
        // The first and the last high surrogate.
        {std::u16string(254, u'P') + u"\U00010000", 254},
        {std::u16string(254, u'P') + u"\U0010FFFF", 254},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.prefix.size());
        load("extract_rename");
        ASSERT_EQ(rename_layer(info(), layer_handle("Main", kLong), c.prefix, u"_"), A_Err_NONE);
        const std::u16string name = to_utf16(name_of(kLong));
        EXPECT_EQ(name.size(), c.units);
        std::u16string expected = c.prefix + u"_" + to_utf16(kLongName);
        if (expected.size() > 255) expected.resize(c.units);
        EXPECT_EQ(name, expected);
    }
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
}  // namespace extract_rename

// Seed lines in front of the expressions of a layer.
namespace extract_seed {
constexpr int kRotateX = 8;

std::string seeded(const std::string& seed, const std::string& expression) {
    return "seedRandom(" + seed + "); // this line was added by Outfold \n\n" + expression;
}

class SeedTest : public ExtractTest {
protected:
    void SetUp() override { load("extract_expressions"); }

    const model::Layer& layer(A_long index) { return layer_at("Main", index); }
    std::string expression(A_long index, int stream) {
        const auto& streams = layer(index).streams;
        const auto found = streams.find(stream);
        return found == streams.end() ? std::string("<no stream>") : found->second.expression;
    }
    // Every expression of the layer, by stream number.
    std::map<int, std::string> expressions(A_long index) {
        std::map<int, std::string> texts;
        for (const auto& [number, stream] : layer(index).streams) {
            if (!stream.expression.empty()) texts[number] = stream.expression;
        }
        return texts;
    }
    A_Err seed_layer(A_long index, int seed) {
        return seed_random_expressions(info(), layer_handle("Main", index), seed);
    }
};

// Layers of the fixture's "Main", top first.
constexpr A_long kWobble = 0;                  // an opacity expression; a switched-off rotation one
[[maybe_unused]] constexpr A_long kKeyed = 1;  // keyframed position with an expression
constexpr A_long kPlain = 2;                   // no expressions
constexpr A_long kMany = 3;  // expressions on anchor point, position, rotation, opacity

TEST_F(SeedTest, PutsTheSeedLineInFrontOfEachExpression) {
    struct Case {
        A_long layer;
        int seed;
        std::string seedText;
    };
    const Case cases[] = {{kWobble, 4, "4"},
                          {kWobble, 0, "0"},
                          {kWobble, -12, "-12"},
                          {kMany, 2147483647, "2147483647"},
                          {kPlain, 3, "3"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seedText);
        load("extract_expressions");
        const auto before = expressions(c.layer);
        ASSERT_EQ(seed_layer(c.layer, c.seed), A_Err_NONE);
        const auto after = expressions(c.layer);
        ASSERT_EQ(after.size(), before.size());
        for (const auto& [number, text] : before) {
            // A switched-off expression does not make its stream vary: it stays as it is.
            const bool on = layer(c.layer).streams.at(number).expressionEnabled;
            EXPECT_EQ(after.at(number), on ? seeded(c.seedText, text) : text)
                << "stream " << number;
        }
    }
}

TEST_F(SeedTest, AStreamTheLayerLacksIsNoError) {
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
}  // namespace extract_seed

// Counting a source's users, disposing of pre-comp layers, and the alert
// about sources that stayed.
namespace extract_dispose {
bool has_item(const model::Project& project, const std::string& name) {
    for (const auto& item : project.items) {
        if (item.name == name) return true;
    }
    return false;
}

class SourceUsersTest : public ExtractTest {
protected:
    A_Err count(const std::string& itemName, A_long* users) {
        const AEGP_ItemH item = item_handle(itemName);
        host_.clear_trace();
        *users = 0;
        return count_source_users(info(), item, users);
    }
};

// Fixture "extract_users": Main holds Shared (Shared Comp), Only (Only
// Comp), Twice 1 and Twice 2 (both Twice Comp) and Caption, a text layer; Other, in a
// folder, holds a layer of Shared Comp; Only Comp and Shared Comp each hold a
// layer of the footage Solid Red; Unused Comp is used nowhere.
// "extract_footage_only" has no composition at all.
TEST_F(SourceUsersTest, CountsLayersInEveryComposition) {
    struct Case {
        const char* fixture;
        const char* item;
        A_long users;
    };
    const Case cases[] = {
        {"extract_users", "Only Comp", 1},        {"extract_users", "Shared Comp", 2},
        {"extract_users", "Twice Comp", 2},       {"extract_users", "Unused Comp", 0},
        {"extract_users", "Solid Red", 2},        {"extract_users", "Main", 0},
        {"extract_footage_only", "Solid Red", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        load(c.fixture);
        A_long users = -1;
        ASSERT_EQ(count(c.item, &users), A_Err_NONE);
        EXPECT_EQ(users, c.users);
    }
}

// Fixture "extract_dispose": Main holds Alone (Alone Comp, used nowhere
// else), Pair 1 and Pair 2 (Pair Comp), Crowd 1 and Crowd 2 (Crowd Comp, also
// used by Crowd 3 in Elsewhere) and Caption, a text layer.
class DisposeTest : public ExtractTest {
protected:
    void SetUp() override { load("extract_dispose"); }

    // Disposes of the named layer of Main; `failing`, when given, fails its
    // first call during the step.
    A_Err dispose(const std::string& layerName, SourceLedger* ledger,
                  const char* failing = nullptr) {
        const AEGP_LayerH layer = layer_handle("Main", layerName);
        host_.clear_trace();
        if (failing != nullptr) host_.fail_call(failing, 1, A_Err_GENERIC);
        const A_Err err = dispose_precomp_layer(info(), layer, ledger);
        host_.clear_faults();
        return err;
    }
    A_Err report(const SourceLedger& ledger, unsigned selected) {
        return report_undeleted_sources(info(), &ledger, selected);
    }
    A_long item_id(const std::string& name) { return item_named(project(), name).id; }
};

TEST_F(DisposeTest, TheLastOfTwoLayersTakesTheirSource) {
    options_.deleteSource = true;
    SourceLedger ledger;
    ASSERT_EQ(dispose("Pair 1", &ledger), A_Err_NONE);
    EXPECT_EQ(ledger.notDeleted, 1);
    EXPECT_EQ(ledger.failuresBySource.at(item_id("Pair Comp")), 1);
    EXPECT_TRUE(has_item(project(), "Pair Comp"));
    ASSERT_EQ(dispose("Pair 2", &ledger), A_Err_NONE);
    EXPECT_EQ(ledger.notDeleted, 0);
    EXPECT_TRUE(ledger.failuresBySource.empty());
    EXPECT_FALSE(has_item(project(), "Pair Comp"));
    EXPECT_EQ(layer_named(project(), "Main", "Pair 2"), nullptr);
    ASSERT_EQ(report(ledger, 2), A_Err_NONE);
    EXPECT_TRUE(host_.alerts().empty());
}

TEST_F(DisposeTest, OneAlertTellsWhatStayed) {
    struct Case {
        A_long notDeleted;
        unsigned selected;
        const char* message;  // null: no alert
        const char* title;
    };
    const Case cases[] = {
        {1, 1, "The source could not be deleted because it is being used in other places",
         "Source Not Deleted"},
        {1, 4, "A source could not be deleted because it is being used in other places",
         "Source Not Deleted"},
        {2, 1,
         "Some (or all) sources could not be deleted because they are being used in other places",
         "Sources Not Deleted"},
        {7, 9,
         "Some (or all) sources could not be deleted because they are being used in other places",
         "Sources Not Deleted"},
        {0, 1, nullptr, nullptr},
        {-1, 1, nullptr, nullptr},
    };
    std::size_t shown = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.notDeleted) + " of " + std::to_string(c.selected));
        SourceLedger ledger;
        ledger.notDeleted = c.notDeleted;
        ASSERT_EQ(report(ledger, c.selected), A_Err_NONE);
        if (c.message == nullptr) {
            EXPECT_EQ(host_.alerts().size(), shown);
            continue;
        }
        ASSERT_EQ(host_.alerts().size(), ++shown);
        EXPECT_EQ(host_.alerts().back().message, c.message);
        EXPECT_EQ(host_.alerts().back().title, c.title);
        EXPECT_EQ(host_.scripts_run().back(),
                  std::string("alert(\"") + c.message + "\", \"" + c.title + "\");");
    }
}

// The options decide what goes; a failing call (named in place of a label)
// leaves the layer, switched on, and its source where they are.
TEST_F(DisposeTest, TheOptionsDecideWhatGoesAndAFailingCallDeletesNothing) {
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
        EXPECT_EQ(has_item(project(), c.source), c.sourceStays);
        EXPECT_EQ(ledger.notDeleted, c.notDeleted);
        if (!c.fails) {
            EXPECT_EQ(ledger.failuresBySource.size(), c.notDeleted > 0 ? 1u : 0u);
        }
    }
}
}  // namespace extract_dispose

// The whole command through the loaded module, with the host fixing only
// broken expressions after each rename: the copies' references follow their
// renamed layers, and no expression that worked before is touched.
namespace extract_autofix {
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
    for (const model::Layer& layer :
         model::comp_of(project, model::find_item_by_name(project, comp)->id)->layers) {
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
    void SetUp() override {
        host_.set_project(host::io::project_from_json(nlohmann::json::parse(kProject)));
        ASSERT_EQ(load_module(), A_Err_NONE);
    }

    void extract_with_prefix(const std::string& prefix) {
        select_layers(host_.project(), "Main", {"Pre"});
        host_.open_menu(AEGP_Menu_LAYER);
        host_.set_user({"set prefixInput " + prefix, "ok"});
        ASSERT_EQ(host_.click(command()), A_Err_NONE);
    }

    // Whether the expression on the layer's stream evaluates, at time 0.
    bool works(const std::string& comp, const std::string& layerName, int stream) {
        const model::Project& project = host_.project();
        for (const model::Layer& layer :
             model::comp_of(project, model::find_item_by_name(project, comp)->id)->layers) {
            if (model::shown_name(project, layer) != layerName) continue;
            const model::Stream& s = layer.streams.at(stream);
            return engine_.evaluate({&project, layer.id, &s, {}}, s.expression).ok;
        }
        ADD_FAILURE() << "no layer " << layerName << " in " << comp;
        return false;
    }

    host::script::ExpressionEngine engine_;
};

constexpr int kRotation = 3;
constexpr int kOpacity = 4;

TEST_F(ExtractAutoFix, CopiesFollowTheirRenamesAndWorkingExpressionsStay) {
    const model::Project before = host_.project();
    extract_with_prefix("FX");
    const model::Project& after = host_.project();

    // The kept pre-comp and the other composition are untouched.
    EXPECT_EQ(expressions_of(after, "Inner"), expressions_of(before, "Inner"));
    EXPECT_EQ(expressions_of(after, "Side"), expressions_of(before, "Side"));

    const std::map<std::string, std::string> main = expressions_of(after, "Main");
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
    EXPECT_EQ(main, expected);
    EXPECT_TRUE(works("Main", "Watcher", kRotation));
    for (const char* copy : {"FX_D", "FX_A", "FX_FX_A"})
        EXPECT_TRUE(works("Main", copy, kRotation)) << copy;
    EXPECT_FALSE(works("Main", "FX_Broken", kOpacity));
}

TEST_F(ExtractAutoFix, TheDemoProjectShowsTheFix) {
    host_.load_project(std::filesystem::path(OUTFOLD_SOURCE_DIR) / "examples" / "demo.json");
    select_layers(host_.project(), "Main", {"Intro"});
    host_.open_menu(AEGP_Menu_LAYER);
    host_.set_user({"set prefixInput Hero", "ok"});
    ASSERT_EQ(host_.click(command()), A_Err_NONE);
    EXPECT_EQ(expressions_of(host_.project(), "Main").at("Hero_Title#3"),
              R"(thisComp.layer("Hero_Logo").transform.rotation / 2)");
    EXPECT_EQ(expressions_of(host_.project(), "Intro Comp").at("Title#3"),
              R"(thisComp.layer("Logo").transform.rotation / 2)");
    EXPECT_TRUE(works("Main", "Hero_Title", kRotation));
}
}  // namespace extract_autofix

}  // namespace outfold::testing
