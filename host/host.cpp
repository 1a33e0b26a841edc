#include "host.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdexcept>

#include "host_impl.h"
#include "io/project_file.h"
#include "model/project_ops.h"
#include "script/scriptui.h"
#include "script/settings.h"
#include "suites/ops.h"

namespace host {

namespace {

Host::Impl* gActive = nullptr;
thread_local bool gPluginCodeRunning = false;
std::uint16_t gGenerations = 0;

std::uint16_t next_generation() {
    if (++gGenerations == 0) ++gGenerations;  // 0 never names a Host
    return gGenerations;
}

std::filesystem::path default_settings_dir() {
#if defined(_WIN32)
    const char* base = std::getenv("APPDATA");
    if (base != nullptr && *base != '\0') return std::filesystem::path(base) / "outfold-host";
#else
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && *config != '\0') return std::filesystem::path(config) / "outfold-host";
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0')
        return std::filesystem::path(home) / ".config" / "outfold-host";
#endif
    return std::filesystem::temp_directory_path() / "outfold-host";
}

// The order in which the application calls command hooks of each priority;
// its own handling comes between "before" and "after".
constexpr AEGP_HookPriority kHookOrder[] = {AEGP_HP_First, AEGP_HP_BeforeAE, AEGP_HP_AfterAE};

}  // namespace

Host::Impl* active_host() { return gActive; }

bool Outstanding::none() const {
    return collections == 0 && streams == 0 && streamValues == 0 && effects == 0 &&
           memHandles == 0 && lockedMemHandles == 0 && keyframeBatches == 0 &&
           openUndoGroups == 0 && suites == 0;
}

// ---------------------------------------------------------------- Impl

Host::Impl::Impl(HostOptions hostOptions)
    : options(std::move(hostOptions)), generation(next_generation()), registry(generation) {
    basic.AcquireSuite = &suites::ops::AcquireSuite;
    basic.ReleaseSuite = &suites::ops::ReleaseSuite;
    const std::filesystem::path dir =
        options.settingsDir.empty() ? default_settings_dir() : options.settingsDir;
    settings = std::make_unique<script::SettingsStore>(dir);
}

Host::Impl::~Impl() = default;

script::ExpressionEngine& Host::Impl::expressions() {
    if (!expressionEngine) expressionEngine = std::make_unique<script::ExpressionEngine>();
    return *expressionEngine;
}

bool Host::Impl::is_plugin(AEGP_PluginID id) const { return plugin(id) != nullptr; }

const PluginRecord* Host::Impl::plugin(AEGP_PluginID id) const {
    for (const PluginRecord& record : plugins) {
        if (record.id == id) return &record;
    }
    return nullptr;
}

void Host::Impl::note_undo_change() {
    history.clear();
    for (const undo::Entry& entry : undoStack.entries()) history.push_back(UndoEntry{entry.name});
}

script::ScriptRun Host::Impl::run_script(std::string_view utf8) {
    script::ScriptHost context;
    context.project = &project;
    context.settings = settings.get();
    context.alerts = &alerts;
    context.user = std::move(user);
    context.removeNativeJson = removeNativeJson;
    context.readings = options.readings;
    context.newerBuiltins = options.newerScriptBuiltins;
    context.dialogs = &dialogs;
    context.expressions = &expressions();
    const auto start = std::chrono::steady_clock::now();
    if (!engine) engine = std::make_unique<script::Engine>();
    script::ScriptRun result = engine->run(context, utf8);
    const auto took = std::chrono::steady_clock::now() - start;
    times.scripts += took;
    times.scriptRuns.push_back(took);
    user = std::move(context.user);  // what the dialogs did not consume
    return result;
}

A_Err Host::Impl::enter_plugin(AEGP_EntryPoint entry) {
    if (entry == nullptr) return A_Err_PARAMETER;
    const AEGP_PluginID id = nextPluginId++;
    plugins.push_back(PluginRecord{id, nullptr});
    AEGP_GlobalRefcon refcon = nullptr;
    const A_Err err = [&] {
        const CodeOwner pluginCode(true);
        return entry(&basic, options.majorVersion, options.minorVersion, id, &refcon);
    }();
    for (PluginRecord& record : plugins) {
        if (record.id == id) record.refcon = refcon;
    }
    return err;
}

CodeOwner::CodeOwner(bool plugin) : previous_(gPluginCodeRunning) { gPluginCodeRunning = plugin; }
CodeOwner::~CodeOwner() { gPluginCodeRunning = previous_; }

bool plugin_code_running() { return gPluginCodeRunning; }

// ---------------------------------------------------------------- Host

Host::Host(HostOptions options) {
    if (gActive != nullptr) throw std::logic_error("another Host is already active");
    impl_ = std::make_unique<Impl>(std::move(options));
    gActive = impl_.get();
}

Host::~Host() {
    gActive = nullptr;
    impl_.reset();
}

Host::Impl& Host::impl() { return *impl_; }

picture::Picture Host::picture(model::Id compItem, model::Time time) {
    return picture(impl_->project, compItem, time);
}

picture::Picture Host::picture(const model::Project& project, model::Id compItem,
                               model::Time time) {
    return picture::picture_of(project, compItem, time, impl_->expressions());
}

model::Project& Host::project() { return impl_->project; }

void Host::load_project(const std::filesystem::path& file) {
    set_project(io::load_project_file(file));
}

void Host::save_project(const std::filesystem::path& file) const {
    io::save_project_file(impl_->project, file);
}

void Host::set_project(model::Project project) {
    model::check_invariants(project);
    impl_->project = std::move(project);
    impl_->undoStack.clear();
    impl_->note_undo_change();
}

A_Err Host::load_plugin(const std::filesystem::path& module) {
    A_Err err = A_Err_NONE;
    module::Module loaded = module::Module::load(module, err, impl_->lastLoadError);
    if (err != A_Err_NONE) return err;
    const AEGP_EntryPoint entry = loaded.entry();
    impl_->modules.push_back(std::move(loaded));
    return impl_->enter_plugin(entry);
}

A_Err Host::load_plugin(AEGP_EntryPoint entry) { return impl_->enter_plugin(entry); }

const std::string& Host::last_load_error() const { return impl_->lastLoadError; }

AEGP_PluginID Host::plugin_id() const {
    return impl_->plugins.empty() ? 0 : impl_->plugins.back().id;
}

const SPBasicSuite* Host::basic_suite() const { return &impl_->basic; }

std::vector<MenuCommand> Host::open_menu(AEGP_MenuID menu) {
    impl_->lastMenuHookError = A_Err_NONE;
    const auto hooks = impl_->menuHooks;  // a hook may register more
    for (const MenuHookRecord& record : hooks) {
        const PluginRecord* plugin = impl_->plugin(record.plugin);
        const A_Err err = [&] {
            const CodeOwner pluginCode(true);
            return record.hook(plugin ? plugin->refcon : nullptr, record.refcon, 0);
        }();
        if (impl_->lastMenuHookError == A_Err_NONE) impl_->lastMenuHookError = err;
    }
    return impl_->menus.menu(menu);
}

A_Err Host::last_menu_hook_error() const { return impl_->lastMenuHookError; }

std::vector<MenuCommand> Host::menu(AEGP_MenuID menu) const { return impl_->menus.menu(menu); }

std::optional<MenuCommand> Host::command(AEGP_Command command) const {
    return impl_->menus.command(command);
}

A_Err Host::click(AEGP_Command command) {
    const auto entry = impl_->menus.command(command);
    if (!entry || !impl_->menus.is_in_a_menu(command)) return A_Err_PARAMETER;
    if (!entry->enabled) return A_Err_NONE;
    bool alreadyHandled = false;
    const auto hooks = impl_->commandHooks;
    for (const AEGP_HookPriority priority : kHookOrder) {
        for (const CommandHookRecord& record : hooks) {
            if (record.priority != priority) continue;
            if (record.command != AEGP_Command_ALL && record.command != command) continue;
            const PluginRecord* plugin = impl_->plugin(record.plugin);
            A_Boolean handled = 0;
            const A_Err err = [&] {
                const CodeOwner pluginCode(true);
                return record.hook(plugin ? plugin->refcon : nullptr, record.refcon, command,
                                   priority, alreadyHandled, &handled);
            }();
            if (err != A_Err_NONE) return err;
            if (handled) alreadyHandled = true;
        }
    }
    return A_Err_NONE;
}

std::optional<AEGP_Command> Host::find_command(const std::string& text) const {
    return impl_->menus.find(text);
}

const std::vector<UndoEntry>& Host::undo_history() const { return impl_->history; }

bool Host::undo() {
    const bool undone = impl_->undoStack.undo(impl_->project);
    impl_->note_undo_change();
    return undone;
}

Outstanding Host::outstanding() const {
    const suites::Registry& registry = impl_->registry;
    Outstanding o;
    o.collections = registry.collections();
    o.streams = registry.streams();
    o.streamValues = registry.values();
    o.effects = registry.effects();
    o.memHandles = registry.mems();
    o.lockedMemHandles = registry.locked_mems();
    o.keyframeBatches = registry.batches();
    o.openUndoGroups = impl_->undoStack.depth();
    for (const auto& [pair, count] : impl_->acquired) o.suites += count;
    return o;
}

const std::vector<std::string>& Host::trace() const { return impl_->trace; }

void Host::clear_trace() {
    impl_->trace.clear();
    impl_->callSites.clear();
    impl_->times = {};
}

void Host::record_call_sites(bool on) {
    impl_->recordCallSites = on;
    impl_->callSites.clear();
}

const std::vector<CallPath>& Host::call_sites() const { return impl_->callSites; }

const HostTimes& Host::times() const { return impl_->times; }

void Host::fail_call(const std::string& operation, int nth, A_Err code) {
    impl_->faults.fail_call(operation, nth, code);
}

void Host::remove_suite(const std::string& name, A_long version) {
    impl_->faults.remove_suite(name, version);
}

void Host::clear_faults() { impl_->faults.clear(); }

const std::vector<std::string>& Host::reports() const { return impl_->reports; }

const std::vector<script::Alert>& Host::alerts() const { return impl_->alerts; }

const std::vector<std::string>& Host::debug_lines() const { return impl_->debugLines; }

const std::vector<script::Dialog>& Host::dialogs() const { return impl_->dialogs; }

std::vector<std::string> Host::scripts_run() const {
    std::vector<std::string> sources;
    for (const ScriptRecord& record : impl_->scriptLog) sources.push_back(record.source);
    return sources;
}

const std::vector<ScriptRecord>& Host::script_log() const { return impl_->scriptLog; }

void Host::set_user(std::vector<std::string> actions) { impl_->user = std::move(actions); }

void Host::set_remove_native_json(bool remove) { impl_->removeNativeJson = remove; }

void Host::set_readings(const Readings& readings) { impl_->options.readings = readings; }

script::ScriptRun Host::run_script(const std::string& source) { return impl_->run_script(source); }

}  // namespace host

#if !defined(_WIN32)
// The debug sink the plug-in writes to: it records into the active Host (a
// loaded module finds this symbol in the executable, which exports it).
extern "C" __attribute__((visibility("default"))) void OutputDebugStringA(const char* text) {
    if (text == nullptr) return;
    if (host::Host::Impl* active = host::active_host()) {
        try {
            active->debugLines.emplace_back(text);
        } catch (const std::bad_alloc&) {
            // A line that cannot be stored is dropped: nothing may unwind
            // into the plug-in that called.
        }
    } else {
        std::fputs(text, stderr);
    }
}
#endif
