// The simulated host: one object that plays the application for a plug-in.
//
// It owns the project, the suites it publishes through the SP basic suite,
// the handle registry, undo, menus, the script service and the settings
// store. Only one Host may be active at a time (the C function tables the
// plug-in calls carry no context, so they reach the active Host).
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "aegp.h"
#include "model/model.h"
#include "picture/picture.h"
#include "readings.h"
#include "script/script.h"

namespace host {

// Objects a plug-in obtains and must give back. A run that ends with any of
// these above zero has leaked.
// Where a suite call came from: see Host::record_call_sites.
using CallPath = std::vector<std::uint64_t>;

struct Outstanding {
    std::int64_t collections = 0;
    std::int64_t streams = 0;
    std::int64_t streamValues = 0;
    std::int64_t effects = 0;
    std::int64_t memHandles = 0;
    std::int64_t lockedMemHandles = 0;
    std::int64_t keyframeBatches = 0;
    std::int64_t openUndoGroups = 0;
    std::int64_t suites = 0;  // acquired and not yet released
    bool none() const;
};

// Where the time of a plug-in's work went, for benchmarks: inside the host's
// suite operations (script runs included) and, of that, inside script runs.
struct HostTimes {
    std::chrono::nanoseconds operations{};
    std::chrono::nanoseconds scripts{};
    std::vector<std::chrono::nanoseconds> scriptRuns;  // each run's time, in order
};

struct MenuCommand {
    AEGP_Command command = 0;  // 0 for the application's own entries
    std::string text;
    bool enabled = true;
};

struct UndoEntry {
    std::string name;
};

// One script given to ExecuteScript, and how it ended (no outcome when the
// host itself failed while running it).
struct ScriptRecord {
    std::string source;  // as the engine read it (UTF-8)
    std::optional<script::ScriptRun> outcome;
};

struct HostOptions {
    // Folder of the settings store; empty: a per-user default folder.
    std::filesystem::path settingsDir;
    A_long majorVersion = 13;
    A_long minorVersion = 28;
    Readings readings;
    // Scripts also get the built-ins of the language's editions after the
    // 3rd, which the application's scripting engine lacks: for comparison only.
    bool newerScriptBuiltins = false;
};

class Host {
public:
    explicit Host(HostOptions options = {});
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // ---- project (docs/project-format.md describes the files)
    model::Project& project();
    // Both replace the project and clear the undo history; both throw a
    // std::runtime_error (model::ModelError for set_project) when the project
    // cannot be read or breaks the model's invariants.
    void load_project(const std::filesystem::path& file);
    void save_project(const std::filesystem::path& file) const;
    void set_project(model::Project project);

    // What a viewer sees of the composition item at a composition time
    // (picture/picture.h); throws model::ModelError for other items.
    picture::Picture picture(model::Id compItem, model::Time time);
    // The same of another project (a copy kept from before a command, say).
    picture::Picture picture(const model::Project& project, model::Id compItem, model::Time time);

    // ---- plug-ins
    // Loads a module from a path, finds its entry point as the application
    // does, and calls it. Returns the entry point's result.
    A_Err load_plugin(const std::filesystem::path& module);
    // Calls an entry point that is linked into this process.
    A_Err load_plugin(AEGP_EntryPoint entry);
    // Why the last load_plugin(path) failed (empty after a success).
    const std::string& last_load_error() const;
    // The id given to the most recently loaded plug-in (0 before any); plug-ins
    // are numbered from 1001 in load order.
    AEGP_PluginID plugin_id() const;
    const SPBasicSuite* basic_suite() const;

    // ---- menus
    // Calls every registered menu-update hook, then returns the menu's entries.
    std::vector<MenuCommand> open_menu(AEGP_MenuID menu);
    // The first error a menu-update hook returned during the last open_menu.
    A_Err last_menu_hook_error() const;
    // The menu's entries as they stand, without calling any hook.
    std::vector<MenuCommand> menu(AEGP_MenuID menu) const;
    std::optional<MenuCommand> command(AEGP_Command command) const;
    // Chooses a command as a user would; returns the first hook error, or 0.
    // Hooks registered for the command (or for all commands) are called in
    // priority order (first, before the application, after it), each in
    // registration order; once one reports it handled the command, the later
    // ones are told so through their "already handled" argument. A hook error
    // ends the chain. Choosing a disabled command does nothing and returns 0;
    // a command that is in no menu gives A_Err_PARAMETER.
    A_Err click(AEGP_Command command);
    // The command a plug-in inserted with this text, if any.
    std::optional<AEGP_Command> find_command(const std::string& text) const;

    // ---- undo
    const std::vector<UndoEntry>& undo_history() const;
    bool undo();  // restores the project as it was before the newest group

    // ---- bookkeeping for tests
    Outstanding outstanding() const;
    const std::vector<std::string>& trace() const;  // operation names, in order
    void clear_trace();                             // also starts the times afresh
    // While on, each traced call also records where in the plug-in it came
    // from: the return addresses on the calling thread's stack that lie in a
    // loaded module, innermost (the call itself) first, each as its offset
    // from its module's base, so the same place in the same build gives the
    // same numbers on every run. module::FunctionSymbols names them.
    void record_call_sites(bool on);
    const std::vector<CallPath>& call_sites() const;  // parallel to trace()
    const HostTimes& times() const;                   // since the last clear_trace
    // The n-th call (1-based, counted from now) of the operation fails with code.
    void fail_call(const std::string& operation, int nth, A_Err code);
    // AcquireSuite of this pair fails from now on.
    void remove_suite(const std::string& name, A_long version);
    void clear_faults();

    // ---- what the user saw
    const std::vector<std::string>& reports() const;  // AEGP_ReportInfo texts
    const std::vector<script::Alert>& alerts() const;
    const std::vector<std::string>& debug_lines() const;  // OutputDebugStringA
    const std::vector<script::Dialog>& dialogs() const;   // dialogs shown by scripts
    std::vector<std::string> scripts_run() const;         // texts given to ExecuteScript
    const std::vector<ScriptRecord>& script_log() const;  // the same, with their outcomes

    // ---- script service
    // The scripted user: actions consumed by the next dialogs shown.
    void set_user(std::vector<std::string> actions);
    void set_remove_native_json(bool remove);
    // Takes effect from the next call.
    void set_readings(const Readings& readings);
    script::ScriptRun run_script(const std::string& source);  // as ExecuteScript would

    struct Impl;
    Impl& impl();

private:
    std::unique_ptr<Impl> impl_;
};

// True while a plug-in's own code runs on this thread: inside an entry point
// or hook the host called, and not inside a suite call the plug-in made back.
// Tests use it to tell the plug-in's allocations from the host's.
bool plugin_code_running();

}  // namespace host
