// What the command-line program tells about one command: its result by name,
// the scripts the plug-in ran and how each ended, the script errors and the
// plug-in's debug lines.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "host.h"

namespace tool {

// "A_Err_GENERIC (1)"; codes without a name as "error 42".
std::string error_text(A_Err err);

// What the host recorded while one command ran (entries from the given
// positions on).
struct RunRecord {
    const std::vector<host::ScriptRecord>& scripts;
    std::size_t firstScript = 0;
    const std::vector<std::string>& debugLines;
    std::size_t firstDebugLine = 0;
};

// Every script in order, its text and how it ended.
void print_scripts(std::ostream& out, const RunRecord& run);
// The scripts that failed (with the line the engine gave) and the debug lines.
void print_problems(std::ostream& out, const RunRecord& run);

}  // namespace tool
