// The menu-update hook through the loaded module: the command's text and
// state for each kind of selection, and what errors leave untouched.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "plugin_host.h"

namespace outfold::testing {
namespace {

enum class Expect { Usable, Unusable, Unchanged };

struct MenuCase {
    std::string name, active;
    std::vector<std::string> selection;
    bool nonLayer;
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

// The active item, the layers selected in Main, and whether masks, effects
// and keyframes of Intro are selected too.
const std::vector<MenuCase> kCases = {
    {"no active item", "", {"Intro"}, false, Expect::Unchanged},
    {"footage item active", "Grey Solid", {"Intro"}, false, Expect::Unchanged},
    {"folder active", "Assets", {"Intro"}, false, Expect::Unchanged},
    {"nothing selected", "Main", {}, false, Expect::Unusable},
    {"text and solid", "Main", {"Caption", "Plate"}, false, Expect::Unusable},
    {"pre-comp layer last of several",
     "Main",
     {"Caption", "Plate", "Outro"},
     false,
     Expect::Usable},
    {"3D pre-comp layer", "Main", {"Outro"}, false, Expect::Usable},
    {"masks, effects and keyframes of a pre-comp layer", "Main", {}, true, Expect::Unusable},
    {"non-layer items and a solid", "Main", {"Plate"}, true, Expect::Unusable},
    {"selection lies in another composition", "Intro Comp", {"Intro"}, false, Expect::Unusable},
};

TEST_F(MenuHook, TextAndStateFollowTheSelection) {
    for (const MenuCase& c : kCases) {
        for (bool usableBefore : {true, false}) {
            SCOPED_TRACE(c.name + (usableBefore ? ", usable before" : ", unusable before"));
            settle(usableBefore);
            select_layers(host_.project(), "Main", c.selection);
            if (c.nonLayer) add_non_layer_selection(host_.project(), "Main", "Intro");
            make_active(host_.project(), c.active);
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
            host_.fail_call(c.operation, c.nth, 77);
            host_.open_menu(AEGP_Menu_LAYER);
            host_.clear_faults();
            expect_entry(usableBefore ? kUsableText : kUnusableText, usableBefore);
            EXPECT_TRUE(host_.outstanding().none());
        }
    }
}

TEST_F(MenuHook, FailedRenameDoesNotEnable) {
    settle(false);
    select_layers(host_.project(), "Main", {"Intro"});
    host_.fail_call("AEGP_SetMenuCommandName", 1, 77);
    host_.open_menu(AEGP_Menu_LAYER);
    expect_entry(kUnusableText, false);
}

TEST_F(MenuHook, MissingSuiteLeavesTheEntryAndReleasesEverything) {
    for (const auto& [suite, version] : {std::pair{"AEGP Layer Suite", 11},
                                         {"AEGP Item Suite", 3},
                                         {"AEGP Comp Suite", 9},
                                         {"AEGP Collection Suite", 2},
                                         {"AEGP Command Suite", 1}}) {
        SCOPED_TRACE(suite);
        settle(true);
        select_layers(host_.project(), "Main", {"Caption"});
        host_.remove_suite(suite, version);
        host_.open_menu(AEGP_Menu_LAYER);
        host_.clear_faults();
        expect_entry(kUsableText, true);
        EXPECT_EQ(host_.outstanding().suites, 0);
        EXPECT_TRUE(host_.outstanding().none());
    }
}

}  // namespace
}  // namespace outfold::testing
