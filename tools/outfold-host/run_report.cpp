#include "run_report.h"

#include <sstream>

namespace tool {

namespace {

struct ErrorName {
    A_Err code;
    const char* name;
};

constexpr ErrorName kErrorNames[] = {
    {A_Err_NONE, "A_Err_NONE"},
    {A_Err_GENERIC, "A_Err_GENERIC"},
    {A_Err_STRUCT, "A_Err_STRUCT"},
    {A_Err_PARAMETER, "A_Err_PARAMETER"},
    {A_Err_ALLOC, "A_Err_ALLOC"},
    {A_Err_WRONG_THREAD, "A_Err_WRONG_THREAD"},
    {A_Err_CONST_PROJECT_MODIFICATION, "A_Err_CONST_PROJECT_MODIFICATION"},
    {A_Err_MISSING_SUITE, "A_Err_MISSING_SUITE"},
};

std::string outcome_text(const host::ScriptRecord& record) {
    if (!record.outcome) return "the host failed while running it";
    if (!record.outcome->ok) return "error: " + record.outcome->error;
    if (record.outcome->value.empty()) return "ok";
    return "ok, value: " + record.outcome->value;
}

}  // namespace

std::string error_text(A_Err err) {
    for (const ErrorName& entry : kErrorNames)
        if (entry.code == err) return std::string(entry.name) + " (" + std::to_string(err) + ")";
    return "error " + std::to_string(err);
}

void print_scripts(std::ostream& out, const RunRecord& run) {
    for (std::size_t i = run.firstScript; i < run.scripts.size(); ++i) {
        const host::ScriptRecord& record = run.scripts[i];
        out << "script " << i - run.firstScript + 1 << ":\n";
        std::istringstream lines(record.source);
        std::string line;
        while (std::getline(lines, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            out << "  | " << line << "\n";
        }
        out << "  -> " << outcome_text(record) << "\n";
    }
}

void print_problems(std::ostream& out, const RunRecord& run) {
    for (std::size_t i = run.firstScript; i < run.scripts.size(); ++i) {
        const host::ScriptRecord& record = run.scripts[i];
        if (!record.outcome || !record.outcome->ok)
            out << "script error (script " << i - run.firstScript + 1
                << "): " << (record.outcome ? record.outcome->error : outcome_text(record)) << "\n";
    }
    for (std::size_t i = run.firstDebugLine; i < run.debugLines.size(); ++i) {
        std::string line = run.debugLines[i];
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        out << "plug-in debug: " << line << "\n";
    }
}

}  // namespace tool
