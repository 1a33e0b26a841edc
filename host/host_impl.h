// The inside of a Host, shared by the facade and the suites.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host.h"
#include "menus/menu_book.h"
#include "module/module.h"
#include "script/expression_engine.h"
#include "suites/faults.h"
#include "suites/registry.h"
#include "undo/undo_stack.h"

namespace host {

struct PluginRecord {
    AEGP_PluginID id = 0;
    AEGP_GlobalRefcon refcon = nullptr;  // what the entry point left for its hooks
};

struct CommandHookRecord {
    AEGP_PluginID plugin = 0;
    AEGP_HookPriority priority = AEGP_HP_BeforeAE;
    AEGP_Command command = AEGP_Command_ALL;
    AEGP_CommandHook hook = nullptr;
    AEGP_CommandRefcon refcon = nullptr;
};

struct MenuHookRecord {
    AEGP_PluginID plugin = 0;
    AEGP_UpdateMenuHook hook = nullptr;
    AEGP_UpdateMenuRefcon refcon = nullptr;
};

struct Host::Impl {
    explicit Impl(HostOptions hostOptions);
    ~Impl();

    bool is_plugin(AEGP_PluginID id) const;
    const PluginRecord* plugin(AEGP_PluginID id) const;
    void note_undo_change();                              // keeps `history` in step with `undo`
    script::ScriptRun run_script(std::string_view utf8);  // in the host's script context
    A_Err enter_plugin(AEGP_EntryPoint entry);

    HostOptions options;
    std::uint16_t generation;
    model::Project project;
    suites::Registry registry;
    suites::FaultPlan faults;
    undo::UndoStack undoStack;
    std::vector<UndoEntry> history;
    menus::MenuBook menus;

    std::vector<PluginRecord> plugins;
    AEGP_PluginID nextPluginId = 1001;
    std::vector<CommandHookRecord> commandHooks;
    std::vector<MenuHookRecord> menuHooks;
    A_Err lastMenuHookError = A_Err_NONE;
    std::map<std::pair<std::string, A_long>, std::int64_t> acquired;  // suite pair -> count

    std::vector<std::string> trace;
    // Where each traced call came from, while call sites are recorded.
    bool recordCallSites = false;
    std::vector<CallPath> callSites;
    HostTimes times;
    int operationDepth = 0;  // operations running now (only the outermost is timed)
    std::vector<std::string> reports;
    std::vector<script::Alert> alerts;
    std::vector<std::string> debugLines;
    std::vector<script::Dialog> dialogs;
    std::vector<ScriptRecord> scriptLog;
    std::vector<std::string> user;
    bool removeNativeJson = false;
    std::unique_ptr<script::SettingsStore> settings;
    // Made when first needed, then kept: one sandbox heap for the Host's
    // expression evaluations.
    script::ExpressionEngine& expressions();
    std::unique_ptr<script::ExpressionEngine> expressionEngine;
    std::unique_ptr<script::Engine> engine;  // made by the first script run, kept for the next

    std::vector<module::Module> modules;  // kept loaded for the Host's lifetime
    std::string lastLoadError;
    SPBasicSuite basic{};
};

// The Host whose suites are being called; null when no Host lives.
Host::Impl* active_host();

// For its lifetime, marks the code running on this thread as a plug-in's
// (around a call into an entry point or hook) or the host's (around a suite
// call); the mark before it comes back afterwards.
class CodeOwner {
public:
    explicit CodeOwner(bool plugin);
    ~CodeOwner();
    CodeOwner(const CodeOwner&) = delete;
    CodeOwner& operator=(const CodeOwner&) = delete;

private:
    bool previous_;
};

}  // namespace host
