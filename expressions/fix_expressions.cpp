#include "expressions/fix_expressions.h"

#include "expressions/script_string.h"
#include "shell/host_suites.h"
#include "shell/text.h"

namespace outfold {

std::string expression_fix_script(std::u16string_view oldName, std::u16string_view newName) {
    // Names are user text: written as escaped literals, a quote or backslash in
    // a name stays part of the name instead of ending the string.
    return "app.project.autoFixExpressions(" + script_string_literal(to_utf8(oldName)) + "," +
           script_string_literal(to_utf8(newName)) + ");";
}

A_Err fix_expressions_after_rename(PluginInfo const* info, std::u16string_view oldName,
                                   std::u16string_view newName) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const std::string script = expression_fix_script(oldName, newName);
        return suites.get<AEGP_UtilitySuite_v13>().AEGP_ExecuteScript(
            info->pluginId, script.c_str(), false, nullptr, nullptr);
    });
}

}  // namespace outfold
