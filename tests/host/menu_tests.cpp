#include "host_fixture.h"

namespace {

using namespace host_test;

std::vector<std::string> gCalls;
A_Boolean gHandles = 0;  // what the "before" hook answers
A_Err gHookError = A_Err_NONE;
int gRefconTarget = 0;
AEGP_Command gClicked = 0;

enum Who { kFirst, kBefore, kAfter };

template <Who who>
A_Err hook(AEGP_GlobalRefcon refcon, AEGP_CommandRefcon, AEGP_Command command, AEGP_HookPriority,
           A_Boolean already, A_Boolean* handled) {
    const char* names[] = {"first", "before", "after"};
    EXPECT_EQ(refcon, reinterpret_cast<AEGP_GlobalRefcon>(&gRefconTarget));
    EXPECT_EQ(command, gClicked);
    gCalls.push_back(std::string(names[who]) + (already ? " handled" : ""));
    *handled = who == kBefore ? gHandles : 0;
    return who == kBefore ? gHookError : A_Err_NONE;
}
A_Err menu_hook(AEGP_GlobalRefcon, AEGP_UpdateMenuRefcon, AEGP_WindowType) {
    gCalls.push_back("menu");
    return gHookError;
}

// Hooks registered after-first-before, so the host must order them by priority.
A_Err menu_plugin(SPBasicSuite* basic, A_long, A_long, AEGP_PluginID id,
                  AEGP_GlobalRefcon* refcon) {
    *refcon = reinterpret_cast<AEGP_GlobalRefcon>(&gRefconTarget);
    const void *commandTable = nullptr, *registerTable = nullptr;
    basic->AcquireSuite("AEGP Command Suite", 1, &commandTable);
    basic->AcquireSuite("AEGP Register Suite", 6, &registerTable);
    const auto* commands = static_cast<const AEGP_CommandSuite_v1*>(commandTable);
    const auto* reg = static_cast<const AEGP_RegisterSuite_v6*>(registerTable);
    AEGP_Command bottom = 0, top = 0;
    A_Err err = A_Err_NONE;
    for (A_Err e : {
             commands->AEGP_GetUniqueCommand(&bottom),
             commands->AEGP_GetUniqueCommand(&top),
             commands->AEGP_InsertMenuCommand(bottom, "Bottom", AEGP_Menu_LAYER,
                                              AEGP_MENU_INSERT_AT_BOTTOM),
             commands->AEGP_InsertMenuCommand(top, "Top", AEGP_Menu_LAYER, AEGP_MENU_INSERT_AT_TOP),
             reg->AEGP_RegisterCommandHook(id, AEGP_HP_AfterAE, AEGP_Command_ALL, hook<kAfter>,
                                           nullptr),
             reg->AEGP_RegisterCommandHook(id, AEGP_HP_First, bottom, hook<kFirst>, nullptr),
             reg->AEGP_RegisterCommandHook(id, AEGP_HP_BeforeAE, AEGP_Command_ALL, hook<kBefore>,
                                           nullptr),
             reg->AEGP_RegisterUpdateMenuHook(id, menu_hook, nullptr),
         })
        err = err ? err : e;
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

    const AEGP_CommandSuite_v1& commands() { return suite<AEGP_CommandSuite_v1>(); }
    AEGP_Command new_command() { return made<AEGP_Command>(commands().AEGP_GetUniqueCommand); }
};

TEST_F(Menus, PluginCommandsGoWhereTheyAreInsertedAndRegistrationChecksItsArguments) {
    const std::size_t own = host().menu(AEGP_Menu_LAYER).size();
    ASSERT_GE(own, 8u) << "the application's own entries come first";
    for (const host::MenuCommand& entry : host().menu(AEGP_Menu_LAYER)) EXPECT_EQ(entry.command, 0);
    const std::tuple<const char*, AEGP_MenuID, A_long, std::size_t> cases[] = {
        {"At bottom", AEGP_Menu_LAYER, AEGP_MENU_INSERT_AT_BOTTOM, own},
        {"At top", AEGP_Menu_LAYER, AEGP_MENU_INSERT_AT_TOP, 0},
        {"After 2", AEGP_Menu_LAYER, 2, 3},
        {"Far past the end", AEGP_Menu_LAYER, 1000, own + 3},
        {"In menu 0", 0, AEGP_MENU_INSERT_AT_BOTTOM, 0},
        {"In menu 13", 13, AEGP_MENU_INSERT_AT_TOP, 0}};
    for (const auto& [text, id, after, index] : cases) {
        const AEGP_Command command = new_command();
        OK(commands().AEGP_InsertMenuCommand(command, text, id, after));
        const auto menu = host().menu(id);
        ASSERT_LT(index, menu.size()) << text;
        EXPECT_EQ(menu[index].text, text);
        EXPECT_EQ(menu[index].command, command);
        EXPECT_EQ(host().find_command(text), command);
    }

    const AEGP_Command command = new_command(), other = new_command();
    OK(commands().AEGP_InsertMenuCommand(command, "Start", AEGP_Menu_LAYER, -1));

    const auto insert = commands().AEGP_InsertMenuCommand;
    expect_errs(A_Err_PARAMETER,
                {{"a command never issued", commands().AEGP_EnableCommand(command + 1000)},
                 {"inserting twice", insert(command, "Again", AEGP_Menu_LAYER, -1)},
                 {"an unknown menu", insert(other, "X", 14, -1)},
                 {"a negative menu", insert(other, "X", -1, -1)},
                 {"an unknown position", insert(other, "X", AEGP_Menu_LAYER, -7)},
                 {"no text", insert(other, nullptr, AEGP_Menu_LAYER, -1)},
                 {"renaming to nothing", commands().AEGP_SetMenuCommandName(command, nullptr)}});
    EXPECT_FALSE(host().find_command("X"));

    const auto& reg = suite<AEGP_RegisterSuite_v6>();
    const auto& utility7 = suite<AEGP_UtilitySuite_v7>();
    const auto command_hook = reg.AEGP_RegisterCommandHook;
    expect_errs(A_Err_PARAMETER,
                {{"no hook", command_hook(plugin_, AEGP_HP_BeforeAE, 0, nullptr, nullptr)},
                 {"priority 7", command_hook(plugin_, 7, 0, hook<kBefore>, nullptr)},
                 {"unknown plug-in", command_hook(plugin_ + 1, 1, 0, hook<kBefore>, nullptr)},
                 {"no menu hook", reg.AEGP_RegisterUpdateMenuHook(plugin_, nullptr, nullptr)},
                 {"plug-in 0", reg.AEGP_RegisterUpdateMenuHook(0, menu_hook, nullptr)},
                 {"no report", utility7.AEGP_ReportInfo(plugin_, nullptr)}});
    host().open_menu(AEGP_Menu_LAYER);
    EXPECT_TRUE(gCalls.empty()) << "refused hooks were not kept";
    EXPECT_TRUE(host().reports().empty());
}

TEST_F(Menus, HooksRunInPriorityOrderAndHearWhetherTheCommandWasHandled) {
    OK(host().load_plugin(&menu_plugin));
    const auto bottom = host().find_command("Bottom"), top = host().find_command("Top");
    ASSERT_TRUE(bottom && top);
    const std::tuple<AEGP_Command, A_Boolean, std::vector<std::string>> cases[] = {
        {*bottom, 0, {"first", "before", "after"}},
        {*bottom, 1, {"first", "before", "after handled"}},
        {*top, 0, {"before", "after"}}};
    for (const auto& [command, handles, calls] : cases) {
        gCalls.clear();
        gHandles = handles;
        gClicked = command;
        EXPECT_EQ(host().click(command), A_Err_NONE);
        EXPECT_EQ(gCalls, calls);
    }

    gHookError = 42;
    gCalls.clear();
    gClicked = *bottom;
    EXPECT_EQ(host().click(*bottom), 42);
    EXPECT_EQ(gCalls.size(), 2u) << "the after hook is not called";
    gHookError = A_Err_NONE;
    gCalls.clear();
    OK(commands().AEGP_DisableCommand(*bottom));
    EXPECT_EQ(host().click(*bottom), A_Err_NONE);
    EXPECT_EQ(host().click(123456), A_Err_PARAMETER) << "no such command";
    EXPECT_EQ(host().click(new_command()), A_Err_PARAMETER) << "a command in no menu";
    EXPECT_TRUE(gCalls.empty());

    const auto before = host().menu(AEGP_Menu_LAYER);
    EXPECT_TRUE(gCalls.empty()) << "looking at a menu calls no hook";
    gHookError = 9;
    EXPECT_EQ(host().open_menu(AEGP_Menu_LAYER).size(), before.size());
    EXPECT_EQ(gCalls, (std::vector<std::string>{"menu"}));
    EXPECT_EQ(host().last_menu_hook_error(), 9);
}

}  // namespace
