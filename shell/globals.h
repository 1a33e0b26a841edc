// Process-wide values, written once by the entry point before any hook is
// registered and only read afterwards.
#pragma once

#include "aegp.h"

namespace outfold {

extern const SPBasicSuite* gSPBasicSuite;
extern AEGP_PluginID gPluginId;
extern AEGP_Command gCommandId;

}  // namespace outfold
