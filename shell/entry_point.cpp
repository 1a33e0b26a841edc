#include "shell/entry_point.h"

#include "pipeline/command_hook.h"
#include "shell/globals.h"
#include "shell/host_suites.h"
#include "shell/menu_hook.h"
#include "shell/running_error.h"
#include "shell/string_table.h"

namespace outfold {

const SPBasicSuite* gSPBasicSuite = nullptr;
AEGP_PluginID gPluginId = 0;
AEGP_Command gCommandId = 0;

namespace {

// Obtains the command number, puts the command at the bottom of the Layer
// menu and registers both hooks; the first failure stops the rest.
A_Err register_command_and_hooks(HostSuites& suites) {
    RunningError error;
    error
        .then([&] { return suites.get<AEGP_CommandSuite_v1>().AEGP_GetUniqueCommand(&gCommandId); })
        .then([&] {
            return suites.get<AEGP_CommandSuite_v1>().AEGP_InsertMenuCommand(
                gCommandId, get_string(kStringSelectPrecomp), AEGP_Menu_LAYER,
                AEGP_MENU_INSERT_AT_BOTTOM);
        })
        .then([&] {
            return suites.get<AEGP_RegisterSuite_v6>().AEGP_RegisterCommandHook(
                gPluginId, AEGP_HP_BeforeAE, AEGP_Command_ALL, &command_hook, nullptr);
        })
        .then([&] {
            return suites.get<AEGP_RegisterSuite_v6>().AEGP_RegisterUpdateMenuHook(
                gPluginId, &update_menu_hook, nullptr);
        });
    return error.code();
}

// The user hears about a failed registration once; the report's own result
// is not the entry point's.
void report_registration_failure(HostSuites& suites) {
    suites.get<AEGP_UtilitySuite_v7>().AEGP_ReportInfo(gPluginId,
                                                       get_string(kStringRegistrationFailed));
}

}  // namespace
}  // namespace outfold

A_Err EntryPointFunc(SPBasicSuite* basicSuite, A_long /*majorVersion*/, A_long /*minorVersion*/,
                     AEGP_PluginID pluginId, AEGP_GlobalRefcon* /*globalRefcon*/) {
    using namespace outfold;
    gSPBasicSuite = basicSuite;
    gPluginId = pluginId;
    return with_suites(gSPBasicSuite, [](HostSuites& suites) {
        const A_Err err = register_command_and_hooks(suites);
        if (err != A_Err_NONE) report_registration_failure(suites);
        return err;
    });
}
