#include "pipeline/time_remap_report.h"

#include "extract/rename.h"
#include "pipeline/alert.h"
#include "shell/host_suites.h"
#include "shell/running_error.h"
#include "shell/text.h"

namespace outfold {

namespace {

constexpr char kAlertTitle[] = "Outfold";

// Names the noted layers; empty when none were noted.
std::string uncarried_time_remaps_message(const UncarriedTimeRemaps& notes) {
    if (notes.layerNames.empty()) return {};
    std::string names;
    for (const std::u16string& name : notes.layerNames)
        names += (names.empty() ? "\"" : ", \"") + to_utf8(name) + "\"";
    const bool one = notes.layerNames.size() == 1;
    return std::string("Time remapping was not carried over from ") +
           (one ? "the pre-comp layer " : "the pre-comp layers ") + names +
           (one ? ": its" : ": their") + " extracted layers play at normal speed.";
}

}  // namespace

A_Err note_time_remapping(const PluginInfo* info, AEGP_LayerH precompLayer,
                          UncarriedTimeRemaps* notes) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        RunningError error;
        AEGP_LayerFlags flags = 0;
        error.then([&] {
            return suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerFlags(precompLayer, &flags);
        });
        if (!error.ok() || (flags & AEGP_LayerFlag_TIME_REMAPPING) == 0) return error.code();
        std::u16string name;
        error.then([&] { return get_layer_name(info, precompLayer, &name); });
        if (error.ok()) notes->layerNames.push_back(std::move(name));
        return error.code();
    });
}

A_Err report_uncarried_time_remaps(const PluginInfo* info, const UncarriedTimeRemaps* notes) {
    const std::string message = uncarried_time_remaps_message(*notes);
    if (message.empty()) return A_Err_NONE;
    return show_alert(info, message, kAlertTitle);
}

}  // namespace outfold
