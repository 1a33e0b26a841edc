// Records every step of the plug-in receives.
#pragma once

#include "aegp.h"

namespace outfold {

inline constexpr unsigned kMaxPrefixBytes = 50;

// The six choices of one run, in the order of the dialog's answer.
struct ExtractOptions {
    bool copyAttributes;
    bool deleteSource;
    bool keepInComp;
    char prefix[kMaxPrefixBytes + 1];
    bool prependPrecompName;
    bool fixRandomExpressions;
};

// Built on the stack by each hook call; steps only read it.
struct PluginInfo {
    const SPBasicSuite* spBasic;
    AEGP_PluginID pluginId;
    const ExtractOptions* options;  // null in the menu-update hook
};

}  // namespace outfold
