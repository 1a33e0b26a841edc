// What the copies of each pre-comp layer do not take over: noted as each
// layer is extracted, told to the user in one alert after the run.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "aegp.h"
#include "attributes/look_transfer.h"
#include "shell/plugin_info.h"

namespace outfold {

// One pre-comp layer's losses.
struct Uncarried {
    std::u16string layerName;
    bool timeRemapping = false;
    bool trackMatte = false;       // it has one or is one
    bool wholeCompLayers = false;  // adjustment layers, cameras or lights inside
    LookLosses look;
    // References in the copies' expressions that could not be followed, as written.
    std::vector<std::string> unresolvedReferences;
};

struct RunReport {
    std::vector<Uncarried> layers;  // in the order they were extracted, only those with losses
};

// Reads, before the pre-comp layer is extracted, its name, its time remapping
// switch, its track matte either way and what kinds of layer its source holds.
A_Err note_precomp_layer(const PluginInfo* info, AEGP_LayerH precompLayer, Uncarried* notes);

// Keeps the notes when anything was lost.
void add_to_report(Uncarried notes, RunReport* report);

// The report's text; empty when nothing was lost.
std::string run_report_message(const RunReport& report);

// One alert titled "Outfold" with the report; nothing when nothing was lost.
A_Err show_run_report(const PluginInfo* info, const RunReport* report);

}  // namespace outfold
