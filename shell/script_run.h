// Running a script the plug-in wrote, and reading the text it gives back.
#pragma once

#include <string>

#include "aegp.h"
#include "shell/host_suites.h"
#include "shell/plugin_info.h"

namespace outfold {

// Runs a script and, when answer is given, copies the text it returned. The
// result handle is the plug-in's and is freed on every path.
A_Err execute_script(const PluginInfo& info, HostSuites& suites, const char* script,
                     std::string* answer);

}  // namespace outfold
