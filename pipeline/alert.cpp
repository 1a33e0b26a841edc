#include "pipeline/alert.h"

#include "expressions/script_string.h"
#include "shell/host_suites.h"

namespace outfold {

std::string alert_script(std::string_view message, std::string_view title) {
    return "alert(" + script_string_literal(message) + ", " + script_string_literal(title) + ");";
}

A_Err show_alert(const PluginInfo* info, std::string_view message, std::string_view title) {
    const std::string script = alert_script(message, title);
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        return suites.get<AEGP_UtilitySuite_v13>().AEGP_ExecuteScript(
            info->pluginId, script.c_str(), false, nullptr, nullptr);
    });
}

}  // namespace outfold
