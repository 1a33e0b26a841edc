// Letting the host repair expressions that name a renamed layer.
#pragma once

#include <string>
#include <string_view>

#include "aegp.h"
#include "shell/plugin_info.h"

namespace outfold {

// The script that makes the host rewrite, project-wide, expressions that
// refer to `oldName` so that they refer to `newName`.
std::string expression_fix_script(std::u16string_view oldName, std::u16string_view newName);

// Runs that script; returns the script run's error code.
A_Err fix_expressions_after_rename(PluginInfo const* info, std::u16string_view oldName,
                                   std::u16string_view newName);

}  // namespace outfold
