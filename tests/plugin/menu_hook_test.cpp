// The menu-update hook through the loaded module: the command's text and
// state for each kind of selection, and what errors leave untouched.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "plugin_host.h"

namespace outfold::testing {
namespace {

using Setup = std::function<void(host::model::Project&)>;

enum class Expect { Usable, Unusable, Unchanged };

struct MenuCase {
    std::string name;
    Setup setup;
    Expect expect;
};

class MenuHook : public PluginHostTest {
protected:
    void SetUp() override {
        host_.set_project(scene());
        ASSERT_EQ(load_module(), A_Err_NONE);
    }

    // Brings the entry into a known state through the hook itself.
    void settle(bool usable) {
        host_.set_project(scene());
        select_layers(host_.project(), "Main",
                      usable ? std::vector<std::string>{"Intro"} : std::vector<std::string>{});
        host_.open_menu(AEGP_Menu_LAYER);
        expect_entry(usable ? kUsableText : kUnusableText, usable);
    }

    void expect_entry(const std::string& text, bool enabled) {
        const auto entry = host_.command(command());
        ASSERT_TRUE(entry.has_value());
        EXPECT_EQ(entry->text, text);
        EXPECT_EQ(entry->enabled, enabled);
    }
};

const std::vector<MenuCase> kCases = {
    {"no active item", [](auto& p) { make_active(p, ""); }, Expect::Unchanged},
    {"footage item active", [](auto& p) { make_active(p, "Grey Solid"); }, Expect::Unchanged},
    {"folder active", [](auto& p) { make_active(p, "Assets"); }, Expect::Unchanged},
    {"nothing selected", [](auto& p) { select_layers(p, "Main", {}); }, Expect::Unusable},
    {"text and solid",
     [](auto& p) {
         select_layers(p, "Main", {"Caption", "Plate"});
     },
     Expect::Unusable},
    {"pre-comp layer last of several",
     [](auto& p) {
         select_layers(p, "Main", {"Caption", "Plate", "Outro"});
     },
     Expect::Usable},
    {"3D pre-comp layer", [](auto& p) { select_layers(p, "Main", {"Outro"}); }, Expect::Usable},
    {"masks, effects and keyframes of a pre-comp layer",
     [](auto& p) {
         select_layers(p, "Main", {});
         add_non_layer_selection(p, "Main", "Intro");
     },
     Expect::Unusable},
    {"non-layer items and a solid",
     [](auto& p) {
         select_layers(p, "Main", {"Plate"});
         add_non_layer_selection(p, "Main", "Intro");
     },
     Expect::Unusable},
    {"selection lies in another composition",
     [](auto& p) {
         select_layers(p, "Main", {"Intro"});
         make_active(p, "Intro Comp");
     },
     Expect::Unusable},
};

TEST_F(MenuHook, TextAndStateFollowTheSelection) {
    for (const MenuCase& c : kCases) {
        for (bool usableBefore : {true, false}) {
            SCOPED_TRACE(c.name + (usableBefore ? ", usable before" : ", unusable before"));
            settle(usableBefore);
            c.setup(host_.project());
            host_.open_menu(AEGP_Menu_LAYER);
            switch (c.expect) {
                case Expect::Usable:
                    expect_entry(kUsableText, true);
                    break;
                case Expect::Unusable:
                    expect_entry(kUnusableText, false);
                    break;
                case Expect::Unchanged:
                    expect_entry(usableBefore ? kUsableText : kUnusableText, usableBefore);
                    break;
            }
            EXPECT_TRUE(host_.outstanding().none());
        }
    }
}

TEST_F(MenuHook, WithoutActiveCompositionOnlyAsksForTheActiveItem) {
    settle(true);
    make_active(host_.project(), "");
    host_.clear_trace();
    host_.open_menu(AEGP_Menu_LAYER);
    EXPECT_EQ(host_calls(), std::vector<std::string>{"AEGP_GetActiveItem"});
}

TEST_F(MenuHook, ScanStopsAtTheFirstPrecompLayer) {
    settle(false);
    select_layers(host_.project(), "Main", {"Intro", "Caption", "Plate", "Outro"});
    host_.clear_trace();
    host_.open_menu(AEGP_Menu_LAYER);
    expect_entry(kUsableText, true);
    EXPECT_EQ(calls_to("AEGP_GetCollectionItemByIndex"), 1u);
    EXPECT_EQ(calls_to("AEGP_GetLayerObjectType"), 1u);
    EXPECT_EQ(calls_to("AEGP_DisposeCollection"), 1u);
}

TEST_F(MenuHook, NonAvLayersAreNotAskedForTheirSource) {
    settle(false);
    select_layers(host_.project(), "Main", {"Caption"});
    host_.clear_trace();
    host_.open_menu(AEGP_Menu_LAYER);
    EXPECT_EQ(calls_to("AEGP_GetLayerObjectType"), 1u);
    EXPECT_EQ(calls_to("AEGP_GetLayerSourceItem"), 0u);
}

struct ErrorCase {
    std::string operation;
    int nth;
};

TEST_F(MenuHook, HostErrorLeavesTheEntryAsItWasAndDisposesTheSelection) {
    const std::vector<ErrorCase> cases = {
        {"AEGP_GetActiveItem", 1},         {"AEGP_GetItemType", 1},  // the active item's type
        {"AEGP_GetCollectionNumItems", 1}, {"AEGP_GetCollectionItemByIndex", 1},
        {"AEGP_GetLayerObjectType", 1},    {"AEGP_GetLayerSourceItem", 1},
        {"AEGP_GetItemType", 2},  // the source item's type
        {"AEGP_GetCompFromItem", 1},       {"AEGP_GetNewCollectionFromCompSelection", 1},
    };
    for (const ErrorCase& c : cases) {
        for (bool usableBefore : {true, false}) {
            SCOPED_TRACE(c.operation + (usableBefore ? ", usable before" : ", unusable before"));
            settle(usableBefore);
            // The opposite selection, so that a hook that went on would change the entry.
            select_layers(host_.project(), "Main",
                          usableBefore ? std::vector<std::string>{"Plate"}
                                       : std::vector<std::string>{"Plate", "Intro"});
            host_.clear_trace();
            host_.fail_call(c.operation, c.nth, 77);
            host_.open_menu(AEGP_Menu_LAYER);
            host_.clear_faults();
            expect_entry(usableBefore ? kUsableText : kUnusableText, usableBefore);
            EXPECT_EQ(calls_to("AEGP_SetMenuCommandName"), 0u);
            EXPECT_TRUE(host_.outstanding().none());
        }
    }
}

TEST_F(MenuHook, FailedRenameDoesNotEnable) {
    settle(false);
    select_layers(host_.project(), "Main", {"Intro"});
    host_.clear_trace();
    host_.fail_call("AEGP_SetMenuCommandName", 1, 77);
    host_.open_menu(AEGP_Menu_LAYER);
    EXPECT_EQ(calls_to("AEGP_EnableCommand"), 0u);
    expect_entry(kUnusableText, false);
}

struct MissingCase {
    std::string suite;
    A_long version;
};

TEST_F(MenuHook, MissingSuiteLeavesTheEntryAndReleasesEverything) {
    const std::vector<MissingCase> cases = {{"AEGP Layer Suite", 11},
                                            {"AEGP Item Suite", 3},
                                            {"AEGP Comp Suite", 9},
                                            {"AEGP Collection Suite", 2},
                                            {"AEGP Command Suite", 1}};
    for (const MissingCase& c : cases) {
        SCOPED_TRACE(c.suite);
        settle(true);
        select_layers(host_.project(), "Main", {"Caption"});
        host_.remove_suite(c.suite, c.version);
        host_.open_menu(AEGP_Menu_LAYER);
        host_.clear_faults();
        expect_entry(kUsableText, true);
        EXPECT_EQ(host_.outstanding().suites, 0);
        EXPECT_TRUE(host_.outstanding().none());
    }
}

}  // namespace
}  // namespace outfold::testing
