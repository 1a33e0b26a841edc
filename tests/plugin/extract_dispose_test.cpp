// Counting a source's users, disposing of pre-comp layers, and the alert
// about sources that stayed.
#include <string>
#include <vector>

#include "extract_harness.h"
#include "pipeline/dispose.h"
#include "placement/source_users.h"

namespace outfold::testing {
namespace {

namespace model = host::model;
using Names = std::vector<std::string>;

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
        const PluginInfo pluginInfo = info();
        *users = 0;
        return count_source_users(&pluginInfo, item, users);
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
        const auto& layers = comp_named(project(), "Main").layers;
        for (std::size_t k = 0; k < layers.size(); ++k) {
            if (shown_name(project(), layers[k]) != layerName) continue;
            const AEGP_LayerH layer = layer_handle("Main", static_cast<A_long>(k));
            host_.clear_trace();
            if (failing != nullptr) host_.fail_call(failing, 1, A_Err_GENERIC);
            const PluginInfo pluginInfo = info();
            const A_Err err = dispose_precomp_layer(&pluginInfo, layer, ledger);
            host_.clear_faults();
            return err;
        }
        ADD_FAILURE() << "no layer " << layerName;
        return A_Err_GENERIC;
    }
    A_Err report(const SourceLedger& ledger, unsigned selected) {
        const PluginInfo pluginInfo = info();
        return report_undeleted_sources(&pluginInfo, &ledger, selected);
    }
    const model::Layer* main_layer(const std::string& name) {
        for (const auto& layer : comp_named(project(), "Main").layers) {
            if (shown_name(project(), layer) == name) return &layer;
        }
        return nullptr;
    }
    A_long item_id(const std::string& name) { return item_named(project(), name).id; }
};

TEST_F(DisposeTest, TheOptionsDecideWhatGoes) {
    struct Case {
        const char* label;
        bool keep;
        bool deleteSource;
        const char* layer;
        const char* source;
        bool layerStays;
        bool sourceStays;
        A_long notDeleted;
    };
    const Case cases[] = {
        {"keep", true, false, "Alone", "Alone Comp", true, true, 0},
        {"keep wins over delete", true, true, "Alone", "Alone Comp", true, true, 0},
        {"default", false, false, "Alone", "Alone Comp", false, true, 0},
        {"only user", false, true, "Alone", "Alone Comp", false, false, 0},
        {"used elsewhere", false, true, "Crowd 1", "Crowd Comp", false, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        load("extract_dispose");
        options_.keepInComp = c.keep;
        options_.deleteSource = c.deleteSource;
        const std::size_t layersBefore = comp_named(project(), "Main").layers.size();
        SourceLedger ledger;
        ASSERT_EQ(dispose(c.layer, &ledger), A_Err_NONE);
        const model::Layer* layer = main_layer(c.layer);
        EXPECT_EQ(layer != nullptr, c.layerStays);
        if (layer != nullptr) {
            EXPECT_EQ(layer->flags & model::flag::kVideoActive, 0u);
        }
        EXPECT_EQ(comp_named(project(), "Main").layers.size(),
                  layersBefore - (c.layerStays ? 0 : 1));
        EXPECT_EQ(has_item(project(), c.source), c.sourceStays);
        EXPECT_EQ(ledger.notDeleted, c.notDeleted);
        EXPECT_EQ(ledger.failuresBySource.size(), c.notDeleted > 0 ? 1u : 0u);
    }
}

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
    EXPECT_EQ(main_layer("Pair 2"), nullptr);
    ASSERT_EQ(report(ledger, 2), A_Err_NONE);
    EXPECT_TRUE(host_.alerts().empty());
}

TEST_F(DisposeTest, ASourceUsedElsewhereStaysAndIsCountedPerLayer) {
    options_.deleteSource = true;
    SourceLedger ledger;
    ASSERT_EQ(dispose("Crowd 1", &ledger), A_Err_NONE);
    ASSERT_EQ(dispose("Crowd 2", &ledger), A_Err_NONE);
    EXPECT_EQ(ledger.notDeleted, 2);
    EXPECT_EQ(ledger.failuresBySource.at(item_id("Crowd Comp")), 2);
    EXPECT_TRUE(has_item(project(), "Crowd Comp"));
    EXPECT_EQ(layer_names(project(), "Main"), (Names{"Alone", "Pair 1", "Pair 2", "Caption"}));
    ASSERT_EQ(report(ledger, 2), A_Err_NONE);
    ASSERT_EQ(host_.alerts().size(), 1u);
    EXPECT_EQ(host_.alerts()[0].title, "Sources Not Deleted");
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

// A failing call leaves the layer and its source where they are.
TEST_F(DisposeTest, AFailingCallDeletesNothing) {
    struct Case {
        const char* operation;
        const char* layer;
        bool keep;
        A_long notDeleted;
    };
    const Case cases[] = {
        {"AEGP_GetLayerSourceItem", "Alone", false, 0},
        {"AEGP_GetCompLayerByIndex", "Alone", false, 0},
        {"AEGP_GetItemID", "Alone", false, 0},
        {"AEGP_DeleteItem", "Alone", false, 0},
        {"AEGP_DeleteLayer", "Crowd 1", false, 1},
        {"AEGP_SetLayerFlag", "Alone", true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        load("extract_dispose");
        options_.deleteSource = true;
        options_.keepInComp = c.keep;
        const Names before = layer_names(project(), "Main");
        const std::size_t items = project().items.size();
        SourceLedger ledger;
        EXPECT_EQ(dispose(c.layer, &ledger, c.operation), A_Err_GENERIC);
        EXPECT_EQ(layer_names(project(), "Main"), before);
        EXPECT_EQ(project().items.size(), items);
        EXPECT_EQ(ledger.notDeleted, c.notDeleted);
        EXPECT_EQ(main_layer(c.layer)->flags & model::flag::kVideoActive,
                  model::flag::kVideoActive);
    }
}

}  // namespace
}  // namespace outfold::testing
