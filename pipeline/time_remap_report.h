// Pre-comp layers whose time remapping the copies do not take over: noted as
// each layer is extracted, told to the user in one alert after the run.
#pragma once

#include <string>
#include <vector>

#include "aegp.h"
#include "shell/plugin_info.h"

namespace outfold {

struct UncarriedTimeRemaps {
    std::vector<std::u16string> layerNames;  // in the order they were extracted
};

// Notes the pre-comp layer's name when its time remapping is switched on.
A_Err note_time_remapping(const PluginInfo* info, AEGP_LayerH precompLayer,
                          UncarriedTimeRemaps* notes);

// One alert titled "Outfold" naming the noted layers; nothing when none were.
A_Err report_uncarried_time_remaps(const PluginInfo* info, const UncarriedTimeRemaps* notes);

}  // namespace outfold
