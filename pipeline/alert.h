// The plug-in's one way of telling the user something during a run: a
// one-line alert script run through the host's script service.
#pragma once

#include <string>
#include <string_view>

#include "aegp.h"
#include "shell/plugin_info.h"

namespace outfold {

// alert("message", "title"); with both texts (UTF-8) as script string literals.
std::string alert_script(std::string_view message, std::string_view title);

// Runs the alert script; the host shows it and returns once it is dismissed.
A_Err show_alert(const PluginInfo* info, std::string_view message, std::string_view title);

}  // namespace outfold
