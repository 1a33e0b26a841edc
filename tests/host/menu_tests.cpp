// Menus, commands and hooks as plug-ins register them and users choose them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_fixture.h"

namespace {

using host_test::HostTest;

// What the hooks of the recording plug-ins saw, in order.
std::vector<std::string> gCalls;
A_Boolean gHandles = 0;  // what the "before" hook answers
A_Err gHookError = A_Err_NONE;

A_Err record_hook(const char* who, AEGP_GlobalRefcon refcon, AEGP_Command command,
                  A_Boolean already, A_Boolean* handled, A_Boolean handles) {
    gCalls.push_back(std::string(who) + " " + std::to_string(command) +
                     (already ? " handled" : "") + (refcon ? " refcon" : ""));
    *handled = handles;
    return who == std::string("before") ? gHookError : A_Err_NONE;
}

A_Err first_hook(AEGP_GlobalRefcon g, AEGP_CommandRefcon, AEGP_Command c, AEGP_HookPriority,
                 A_Boolean already, A_Boolean* handled) {
    return record_hook("first", g, c, already, handled, 0);
}
A_Err before_hook(AEGP_GlobalRefcon g, AEGP_CommandRefcon, AEGP_Command c, AEGP_HookPriority,
                  A_Boolean already, A_Boolean* handled) {
    return record_hook("before", g, c, already, handled, gHandles);
}
A_Err after_hook(AEGP_GlobalRefcon g, AEGP_CommandRefcon, AEGP_Command c, AEGP_HookPriority,
                 A_Boolean already, A_Boolean* handled) {
    return record_hook("after", g, c, already, handled, 0);
}
A_Err menu_hook(AEGP_GlobalRefcon, AEGP_UpdateMenuRefcon, AEGP_WindowType) {
    gCalls.push_back("menu");
    return gHookError;
}

int gRefconTarget = 0;

// A plug-in that inserts two commands and hooks (registered after-first-
// before, to show the host orders them by priority).
A_Err menu_plugin(SPBasicSuite* basic, A_long, A_long, AEGP_PluginID id,
                  AEGP_GlobalRefcon* refcon) {
    *refcon = reinterpret_cast<AEGP_GlobalRefcon>(&gRefconTarget);
    const void* table = nullptr;
    basic->AcquireSuite("AEGP Command Suite", 1, &table);
    const auto* commands = static_cast<const AEGP_CommandSuite_v1*>(table);
    basic->AcquireSuite("AEGP Register Suite", 6, &table);
    const auto* reg = static_cast<const AEGP_RegisterSuite_v6*>(table);
    AEGP_Command bottom = 0, top = 0;
    A_Err err = commands->AEGP_GetUniqueCommand(&bottom);
    if (!err) err = commands->AEGP_GetUniqueCommand(&top);
    if (!err)
        err = commands->AEGP_InsertMenuCommand(bottom, "Bottom", AEGP_Menu_LAYER,
                                               AEGP_MENU_INSERT_AT_BOTTOM);
    if (!err)
        err =
            commands->AEGP_InsertMenuCommand(top, "Top", AEGP_Menu_LAYER, AEGP_MENU_INSERT_AT_TOP);
    if (!err)
        err = reg->AEGP_RegisterCommandHook(id, AEGP_HP_AfterAE, AEGP_Command_ALL, after_hook,
                                            nullptr);
    if (!err) err = reg->AEGP_RegisterCommandHook(id, AEGP_HP_First, bottom, first_hook, nullptr);
    if (!err)
        err = reg->AEGP_RegisterCommandHook(id, AEGP_HP_BeforeAE, AEGP_Command_ALL, before_hook,
                                            nullptr);
    if (!err) err = reg->AEGP_RegisterUpdateMenuHook(id, menu_hook, nullptr);
    basic->ReleaseSuite("AEGP Command Suite", 1);
    basic->ReleaseSuite("AEGP Register Suite", 6);
    return err;
}

class Menus : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        gCalls.clear();
        gHandles = 0;
        gHookError = A_Err_NONE;
    }

    const AEGP_CommandSuite_v1& commands() {
        return suite<AEGP_CommandSuite_v1>();
    }

    std::vector<std::string> texts(AEGP_MenuID menu) {
        std::vector<std::string> out;
        for (const host::MenuCommand& entry : host().menu(menu)) out.push_back(entry.text);
        return out;
    }
};

TEST_F(Menus, PluginCommandsGoWhereTheyAreInserted) {
    const std::vector<std::string> own = texts(AEGP_Menu_LAYER);
    ASSERT_GE(own.size(), 8u) << "the application's own entries come first";
    for (const host::MenuCommand& entry : host().menu(AEGP_Menu_LAYER)) EXPECT_EQ(entry.command, 0);

    struct Case {
        const char* text;
        A_long after;
        std::size_t expectedIndex;
    };
    const Case cases[] = {
        {"At bottom", AEGP_MENU_INSERT_AT_BOTTOM, own.size()},
        {"At top", AEGP_MENU_INSERT_AT_TOP, 0},
        {"After 2", 2, 3},
        {"Far past the end", 1000, own.size() + 3},
    };
    for (const Case& c : cases) {
        AEGP_Command command = 0;
        ASSERT_EQ(commands().AEGP_GetUniqueCommand(&command), A_Err_NONE);
        ASSERT_EQ(commands().AEGP_InsertMenuCommand(command, c.text, AEGP_Menu_LAYER, c.after),
                  A_Err_NONE);
        const auto menu = host().menu(AEGP_Menu_LAYER);
        ASSERT_LT(c.expectedIndex, menu.size()) << c.text;
        EXPECT_EQ(menu[c.expectedIndex].text, c.text);
        EXPECT_EQ(menu[c.expectedIndex].command, command);
        EXPECT_EQ(host().find_command(c.text), command);
    }
}

TEST_F(Menus, CommandsAreRenamedEnabledAndDisabled) {
    AEGP_Command command = 0, other = 0;
    ASSERT_EQ(commands().AEGP_GetUniqueCommand(&command), A_Err_NONE);
    ASSERT_EQ(commands().AEGP_GetUniqueCommand(&other), A_Err_NONE);
    EXPECT_NE(command, other);
    ASSERT_EQ(commands().AEGP_InsertMenuCommand(command, "Start", AEGP_Menu_LAYER, -1), A_Err_NONE);
    EXPECT_EQ(commands().AEGP_SetMenuCommandName(command, "Renamed"), A_Err_NONE);
    EXPECT_EQ(commands().AEGP_DisableCommand(command), A_Err_NONE);
    ASSERT_TRUE(host().command(command));
    EXPECT_EQ(host().command(command)->text, "Renamed");
    EXPECT_FALSE(host().command(command)->enabled);
    EXPECT_EQ(commands().AEGP_EnableCommand(command), A_Err_NONE);
    EXPECT_TRUE(host().command(command)->enabled);
    EXPECT_FALSE(host().find_command("Start"));

    struct Refused {
        const char* what;
        A_Err got;
    };
    const Refused refused[] = {
        {"a command never issued", commands().AEGP_EnableCommand(command + 1000)},
        {"inserting twice",
         commands().AEGP_InsertMenuCommand(command, "Again", AEGP_Menu_LAYER, -1)},
        {"an unknown menu", commands().AEGP_InsertMenuCommand(other, "X", 99, -1)},
        {"an unknown position", commands().AEGP_InsertMenuCommand(other, "X", AEGP_Menu_LAYER, -7)},
        {"no text", commands().AEGP_InsertMenuCommand(other, nullptr, AEGP_Menu_LAYER, -1)},
        {"renaming to nothing", commands().AEGP_SetMenuCommandName(command, nullptr)},
    };
    for (const Refused& r : refused) EXPECT_EQ(r.got, A_Err_PARAMETER) << r.what;
    EXPECT_FALSE(host().find_command("X"));
}

TEST_F(Menus, HooksRunInPriorityOrderAndHearWhetherTheCommandWasHandled) {
    ASSERT_EQ(host().load_plugin(&menu_plugin), A_Err_NONE);
    const auto bottom = host().find_command("Bottom");
    const auto top = host().find_command("Top");
    ASSERT_TRUE(bottom && top);
    const auto layerMenu = host().menu(AEGP_Menu_LAYER);
    EXPECT_EQ(layerMenu.front().text, "Top");
    EXPECT_EQ(layerMenu.back().text, "Bottom");

    const std::string b = std::to_string(*bottom);
    struct Case {
        AEGP_Command command;
        A_Boolean beforeHandles;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {*bottom,
         0,
         {"first " + b + " refcon", "before " + b + " refcon", "after " + b + " refcon"}},
        {*bottom,
         1,
         {"first " + b + " refcon", "before " + b + " refcon", "after " + b + " handled refcon"}},
        {*top,
         0,
         {"before " + std::to_string(*top) + " refcon",
          "after " + std::to_string(*top) + " refcon"}},
    };
    for (const Case& c : cases) {
        gCalls.clear();
        gHandles = c.beforeHandles;
        EXPECT_EQ(host().click(c.command), A_Err_NONE);
        EXPECT_EQ(gCalls, c.calls);
    }
}

TEST_F(Menus, AHookErrorEndsTheChainAndDisabledCommandsDoNothing) {
    ASSERT_EQ(host().load_plugin(&menu_plugin), A_Err_NONE);
    const AEGP_Command bottom = *host().find_command("Bottom");
    gHookError = 42;
    EXPECT_EQ(host().click(bottom), 42);
    EXPECT_EQ(gCalls.size(), 2u) << "the after hook is not called";
    gHookError = A_Err_NONE;
    gCalls.clear();
    ASSERT_EQ(commands().AEGP_DisableCommand(bottom), A_Err_NONE);
    EXPECT_EQ(host().click(bottom), A_Err_NONE);
    EXPECT_TRUE(gCalls.empty());
    EXPECT_EQ(host().click(123456), A_Err_PARAMETER) << "no such command";
    AEGP_Command unplaced = 0;
    ASSERT_EQ(commands().AEGP_GetUniqueCommand(&unplaced), A_Err_NONE);
    EXPECT_EQ(host().click(unplaced), A_Err_PARAMETER) << "a command in no menu";
    EXPECT_TRUE(gCalls.empty());
}

TEST_F(Menus, OpeningAMenuCallsTheUpdateHooksFirst) {
    ASSERT_EQ(host().load_plugin(&menu_plugin), A_Err_NONE);
    const auto before = host().menu(AEGP_Menu_LAYER);
    EXPECT_TRUE(gCalls.empty()) << "looking at a menu calls no hook";
    gHookError = 9;
    const auto opened = host().open_menu(AEGP_Menu_LAYER);
    EXPECT_EQ(gCalls, (std::vector<std::string>{"menu"}));
    EXPECT_EQ(host().last_menu_hook_error(), 9);
    EXPECT_EQ(opened.size(), before.size());
}

TEST_F(Menus, RegistrationChecksItsArguments) {
    const auto& reg = suite<AEGP_RegisterSuite_v6>();
    EXPECT_EQ(reg.AEGP_RegisterCommandHook(plugin_, AEGP_HP_BeforeAE, 0, nullptr, nullptr),
              A_Err_PARAMETER);
    EXPECT_EQ(reg.AEGP_RegisterCommandHook(plugin_, 7, 0, before_hook, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(reg.AEGP_RegisterCommandHook(plugin_ + 1, 1, 0, before_hook, nullptr),
              A_Err_PARAMETER);
    EXPECT_EQ(reg.AEGP_RegisterUpdateMenuHook(plugin_, nullptr, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(reg.AEGP_RegisterUpdateMenuHook(0, menu_hook, nullptr), A_Err_PARAMETER);
    host().open_menu(AEGP_Menu_LAYER);
    EXPECT_TRUE(gCalls.empty()) << "refused hooks were not kept";
    EXPECT_EQ(host().plugin_id(), plugin_);
    const auto& utility7 = suite<AEGP_UtilitySuite_v7>();
    EXPECT_EQ(utility7.AEGP_ReportInfo(plugin_, "Something happened"), A_Err_NONE);
    EXPECT_EQ(utility7.AEGP_ReportInfo(plugin_, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(host().reports(), (std::vector<std::string>{"Something happened"}));
}

}  // namespace
