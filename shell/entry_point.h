// The module's entry point, found by the host through the property list.
#pragma once

#include "aegp.h"

AEGP_EXPORT A_Err EntryPointFunc(SPBasicSuite* basicSuite, A_long majorVersion, A_long minorVersion,
                                 AEGP_PluginID pluginId, AEGP_GlobalRefcon* globalRefcon);
