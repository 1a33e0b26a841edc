// The host's script service: runs script text in a real JavaScript engine
// whose object model is bound live to the simulated project.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/model.h"
#include "readings.h"

namespace host::script {

class SettingsStore;     // settings.h
struct Dialog;           // scriptui.h
class ExpressionEngine;  // expression_engine.h

struct Alert {
    std::string message;
    std::string title;
};

// What a script run may reach in the rest of the host. The host owns all of it;
// the engine only borrows it for the length of one run.
struct ScriptHost {
    model::Project* project = nullptr;
    SettingsStore* settings = nullptr;
    std::vector<Alert>* alerts = nullptr;
    // The scripted user: one action per line, consumed by dialogs as they are
    // shown (see scriptui.h for the action language).
    std::vector<std::string> user;
    // The run starts without the engine's native JSON object (else with it),
    // so scripts' own JSON fallbacks get exercised.
    bool removeNativeJson = false;
    // The run also sees the built-ins of the language's later editions (for
    // comparison only: the application's engine has none of them).
    bool newerBuiltins = false;
    Readings readings;
    // Every dialog shown, kept for inspection after the run.
    std::vector<Dialog>* dialogs = nullptr;
    // The sandbox that evaluates expressions (autoFixExpressions); without
    // one, a run that needs it makes its own.
    ExpressionEngine* expressions = nullptr;
    // Called after each change a script makes to the project (a name, a
    // parent, a copy, a removal, expressions fixed), while the script runs.
    std::function<void()> onProjectChanged;
};

struct ScriptRun {
    bool ok = false;
    std::string value;  // the last expression's value as text (UTF-8)
    std::string error;  // the error text when !ok
};

// A script engine for many runs, as the application keeps one for its
// session: the object model's globals are made once, and globals a script
// leaves behind persist into later runs. run() runs the script (UTF-8; a
// leading byte-order mark and CR LF line ends are fine) with the host's
// project, settings and records bound for the length of the run. Its last
// expression's value comes back as String(value) would give it, undefined as
// the empty text. A failure gives the error as text, with the script's line
// where known: "TypeError: ... (line 3)"; the engine stays usable.
class Engine {
public:
    Engine();
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    ScriptRun run(ScriptHost& host, std::string_view utf8Source);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Runs the script in a fresh engine that ends with the run.
ScriptRun run_script(ScriptHost& host, std::string_view utf8Source);

// Bookkeeping of the engines behind run_script, for tests: a run that ends
// with an engine still alive, or with engine memory not given back, leaked.
struct EngineStats {
    int liveEngines = 0;
    std::size_t bytesNotReturned = 0;  // summed over every engine destroyed so far
    std::size_t largestHeap = 0;       // the most memory one engine held at once
};
EngineStats engine_stats();

}  // namespace host::script
