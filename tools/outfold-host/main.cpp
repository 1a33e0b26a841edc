// outfold-host: runs a plug-in inside the simulated host from the command line.
//
// The actions are played in order, like a user working through the
// application's menus: open the Layer menu, select layers, choose a command,
// answer its dialog, undo.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#if defined(_WIN32)
// shellapi.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#endif

#include "host.h"
#include "model/project_ops.h"
#include "model/script_ops.h"
#include "picture_view.h"
#include "printing.h"
#include "run_report.h"
#include "script/scriptui.h"
#include "text/codec.h"
#include "timeline.h"

namespace {

namespace model = host::model;

#if defined(_WIN32)
// The arguments as typed, in UTF-8: the narrow argv holds them in the ANSI
// code page, which cannot spell most names.
std::vector<std::string> utf8_arguments() {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; wide != nullptr && i < count; ++i)
        arguments.push_back(host::text::utf16_to_utf8(reinterpret_cast<const char16_t*>(wide[i])));
    LocalFree(wide);
    return arguments;
}
#endif

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) parts.push_back(part);
    return parts;
}

const model::Item& find_composition(const model::Project& project, const std::string& name) {
    const model::Item* item = model::find_item_by_name(project, name);
    if (item == nullptr || !item->comp) throw std::runtime_error("no composition named " + name);
    return *item;
}

// A layer by its shown name or by its 1-based position in the stack; a name
// two layers share names neither.
model::Id find_layer(const model::Project& project, const model::Item& compItem,
                     const std::string& key) {
    const auto& layers = compItem.comp->layers;
    std::vector<std::size_t> named;
    for (std::size_t i = 0; i < layers.size(); ++i)
        if (model::shown_name(project, layers[i]) == key) named.push_back(i);
    if (named.size() > 1)
        throw std::runtime_error("layers " + std::to_string(named[0] + 1) + " and " +
                                 std::to_string(named[1] + 1) + " of " + compItem.name +
                                 " are both named " + key + "; select one by its number");
    if (named.size() == 1) return layers[named[0]].id;
    char* end = nullptr;
    long position = std::strtol(key.c_str(), &end, 10);
    if (end != key.c_str() && *end == '\0' && position >= 1 &&
        position <= static_cast<long>(layers.size()))
        return layers[static_cast<size_t>(position - 1)].id;
    throw std::runtime_error("no layer " + key + " in " + compItem.name);
}

struct SessionOptions {
    bool trace = false;    // print the host calls of each command
    bool scripts = false;  // print every script a command ran
    bool stats = false;    // print the command's time and what it asked of the host
};

class Session {
public:
    Session(host::Host& host, std::ostream& out, SessionOptions options)
        : host_(host), out_(out), options_(options) {}

    void play(std::deque<std::string> words) {
        while (!words.empty()) {
            std::string action = take(words, "action");
            if (action == "menu") {
                open_menu();
            } else if (action == "select") {
                std::string comp = take(words, "composition");
                select(comp, split(take(words, "layers"), ','));
            } else if (action == "precompose") {
                const std::string comp = take(words, "composition");
                const std::vector<std::string> layers = split(take(words, "layers"), ',');
                const std::string name = take(words, "name");
                const bool leave = !words.empty() && words.front() == "leave";
                if (leave) words.pop_front();
                precompose(comp, layers, name, leave);
            } else if (action == "deselect") {
                select(take(words, "composition"), {});
            } else if (action == "activate") {
                activate(take(words, "item"));
            } else if (action == "user") {
                user_.push_back(take(words, "user action"));
            } else if (action == "outfold") {
                host_.open_menu(AEGP_Menu_LAYER);  // as the user opens the menu to get there
                choose(plugin_command());
            } else if (action == "choose") {
                std::string text = take(words, "command text");
                auto command = host_.find_command(text);
                if (!command) throw std::runtime_error("no command \"" + text + "\"");
                choose(*command);
            } else if (action == "undo") {
                out_ << (host_.undo() ? "undone\n" : "nothing to undo\n");
            } else if (action == "show") {
                tool::print_project(out_, host_.project());
            } else if (action == "picture") {
                const std::string comp = take(words, "composition");
                const std::string time = take(words, "time");
                std::optional<std::string> file;
                if (!words.empty() && words.front().ends_with(".json")) file = take(words, "file");
                show_picture(comp, time, file);
            } else {
                throw std::runtime_error("unknown action " + action);
            }
        }
    }

private:
    static std::string take(std::deque<std::string>& words, const char* what) {
        if (words.empty()) throw std::runtime_error(std::string("missing ") + what);
        std::string word = words.front();
        words.pop_front();
        return word;
    }

    void show_picture(const std::string& compName, const std::string& time,
                      const std::optional<std::string>& file) {
        const model::Item& comp = find_composition(host_.project(), compName);
        const host::picture::Picture picture = host_.picture(comp.id, tool::parse_time(time));
        out_ << compName << " at " << time << " s: ";
        tool::print_picture(out_, picture);
        if (!file) return;
        std::ofstream json(*file, std::ios::binary);
        json << tool::picture_json(picture);
        json.close();
        if (!json) throw std::runtime_error("picture: cannot write " + *file);
    }

    void open_menu() {
        out_ << "Layer menu:\n";
        tool::print_menu(out_, host_.open_menu(AEGP_Menu_LAYER));
    }

    void select(const std::string& compName, const std::vector<std::string>& layerKeys) {
        model::Project& project = host_.project();
        const model::Item& comp = find_composition(project, compName);
        std::vector<model::Id> ids;
        for (const auto& key : layerKeys)
            if (!key.empty()) ids.push_back(find_layer(project, comp, key));
        project.activeItem = comp.id;
        model::select_only_layers(project, comp.id, ids);
        out_ << "selected in " << compName << ":";
        for (const auto& key : layerKeys) out_ << " [" << key << "]";
        out_ << (layerKeys.empty() ? " nothing\n" : "\n");
    }

    // As a script's LayerCollection.precompose does it, outside any command.
    void precompose(const std::string& compName, const std::vector<std::string>& layerKeys,
                    const std::string& name, bool leave) {
        model::Project& project = host_.project();
        const model::Item& comp = find_composition(project, compName);
        std::vector<model::Id> ids;
        for (const auto& key : layerKeys)
            if (!key.empty()) ids.push_back(find_layer(project, comp, key));
        model::precompose(project, comp.id, ids, name, !leave);
        out_ << "pre-composed into " << name << (leave ? ", attributes left in " : " from ")
             << compName << "\n";
    }

    void activate(const std::string& name) {
        model::Project& project = host_.project();
        if (name == "none") {
            project.activeItem = model::kNoId;
        } else {
            const model::Item* item = model::find_item_by_name(project, name);
            if (item == nullptr) throw std::runtime_error("no item named " + name);
            project.activeItem = item->id;
        }
        out_ << "active item: " << name << "\n";
    }

    AEGP_Command plugin_command() const {
        for (const auto& entry : host_.menu(AEGP_Menu_LAYER))
            if (entry.command != 0 && entry.text.rfind("Outfold", 0) == 0) return entry.command;
        throw std::runtime_error("the plug-in's command is not in the Layer menu");
    }

    void choose(AEGP_Command command) {
        auto entry = host_.command(command);
        out_ << "choose \"" << (entry ? entry->text : "?") << "\"\n";
        if (entry && !entry->enabled) {
            out_ << "the command is disabled; nothing happens\n";
            return;
        }
        const size_t dialogsBefore = host_.dialogs().size();
        const size_t alertsBefore = host_.alerts().size();
        const size_t undoBefore = host_.undo_history().size();
        const tool::RunRecord record{host_.script_log(), host_.script_log().size(),
                                     host_.debug_lines(), host_.debug_lines().size()};
        model::Project before = host_.project();
        host_.set_user(user_);
        user_.clear();
        host_.clear_trace();
        const size_t scriptsBefore = host_.scripts_run().size();
        const auto start = std::chrono::steady_clock::now();
        A_Err err = host_.click(command);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        lastCommand_ = {std::move(before), host_.project()};
        if (options_.stats) print_stats(elapsed, host_.scripts_run().size() - scriptsBefore);
        if (options_.trace) {
            out_ << "host calls:";
            for (const auto& call : host_.trace())
                if (call != "AcquireSuite" && call != "ReleaseSuite") out_ << " " << call;
            out_ << "\n";
        }

        for (size_t i = dialogsBefore; i < host_.dialogs().size(); ++i)
            tool::print_dialog(out_, host_.dialogs()[i]);
        for (size_t i = alertsBefore; i < host_.alerts().size(); ++i)
            out_ << "alert: [" << host_.alerts()[i].title << "] " << host_.alerts()[i].message
                 << "\n";
        for (size_t i = undoBefore; i < host_.undo_history().size(); ++i)
            out_ << "undo entry: \"" << host_.undo_history()[i].name << "\"\n";
        if (options_.scripts) tool::print_scripts(out_, record);
        tool::print_problems(out_, record);
        out_ << "result: " << tool::error_text(err) << "\n";
        if (err != A_Err_NONE) failed_ = true;
        if (!host_.outstanding().none()) {
            out_ << "warning: the plug-in left host objects unreleased\n";
            leaked_ = true;
        }
    }

    // One line for benchmarks: the command's time, what it asked of the host,
    // and the part of the time spent inside host operations and scripts.
    void print_stats(std::chrono::steady_clock::duration elapsed, size_t scripts) {
        using std::chrono::duration_cast;
        using us = std::chrono::microseconds;
        out_ << "stats: time_us=" << duration_cast<us>(elapsed).count()
             << " host_calls=" << host_.trace().size() << " script_runs=" << scripts
             << " operations_us=" << duration_cast<us>(host_.times().operations).count()
             << " scripts_us=" << duration_cast<us>(host_.times().scripts).count()
             << " median_script_us=" << median_us(host_.times().scriptRuns) << "\n";
    }

    static double median_us(std::vector<std::chrono::nanoseconds> runs) {
        if (runs.empty()) return 0;
        std::nth_element(runs.begin(), runs.begin() + runs.size() / 2, runs.end());
        return std::chrono::duration<double, std::micro>(runs[runs.size() / 2]).count();
    }

public:
    bool leaked() const { return leaked_; }
    bool failed() const { return failed_; }
    // The project just before and just after the last command chosen.
    struct BeforeAfter {
        model::Project before;
        model::Project after;
    };
    const std::optional<BeforeAfter>& last_command() const { return lastCommand_; }

private:
    host::Host& host_;
    std::ostream& out_;
    SessionOptions options_;
    std::vector<std::string> user_;
    bool leaked_ = false;
    bool failed_ = false;
    std::optional<BeforeAfter> lastCommand_;
};

void write_timeline(const Session& session, const std::string& file) {
    if (!session.last_command())
        throw std::runtime_error("--timeline: no command was chosen, so there is nothing to draw");
    std::ofstream out(file, std::ios::binary);
    out << tool::timeline_svg(session.last_command()->before, session.last_command()->after);
    out.close();
    if (!out) throw std::runtime_error("--timeline: cannot write " + file);
}

// The active composition at each time, before and after the last command
// (or as it is now when no command was chosen).
void write_frames(host::Host& host, const Session& session, const std::string& timeList,
                  const std::string& file) {
    const std::vector<std::string> times = split(timeList, ',');
    if (times.empty()) throw std::runtime_error("--frames: no times given");
    std::vector<std::pair<std::string, const model::Project*>> states;
    if (session.last_command()) {
        states = {{"before", &session.last_command()->before},
                  {"after", &session.last_command()->after}};
    } else {
        states = {{"now", &host.project()}};
    }
    const model::Id active = states.back().second->activeItem;
    std::vector<tool::Frames> columns;
    for (const auto& [state, project] : states) {
        const model::Composition* comp = model::comp_of(*project, active);
        if (comp == nullptr) throw std::runtime_error("--frames: no composition is active");
        tool::Frames column{state, comp->width, comp->height, {}};
        for (const std::string& time : times)
            column.pictures.push_back(host.picture(*project, active, tool::parse_time(time)));
        columns.push_back(std::move(column));
    }
    std::ofstream out(file, std::ios::binary);
    out << tool::frames_svg(times, columns);
    out.close();
    if (!out) throw std::runtime_error("--frames: cannot write " + file);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Runs the Outfold plug-in inside the simulated host."};
    std::string projectFile;
    std::string pluginFile = OUTFOLD_MODULE_PATH;
    std::string settingsDir;
    std::string saveFile;
    std::string timelineFile;
    std::vector<std::string> frames;  // the times, then the file
    bool noNativeJson = false;
    SessionOptions sessionOptions;
    app.add_flag("--stats", sessionOptions.stats,
                 "Print the command's time, host calls, script runs and the time in the host");
    std::vector<std::string> actions;
    app.add_option("--project", projectFile, "Project file to open (JSON)");
    app.add_option("--plugin", pluginFile, "Plug-in module to load")->capture_default_str();
    app.add_option("--settings", settingsDir, "Folder of the settings store");
    app.add_option("--save", saveFile, "Save the project here at the end");
    app.add_flag("--trace", sessionOptions.trace, "Print the host calls the command made");
    app.add_flag("--scripts", sessionOptions.scripts,
                 "Print every script the plug-in ran, in order, with its outcome");
    app.add_option("--timeline", timelineFile,
                   "Draw the compositions the last command changed, before and after (SVG)");
    app.add_option("--frames", frames,
                   "T1,T2,... FILE.svg: draw the active composition at those times (seconds),\n"
                   "before and after the last command")
        ->expected(2)
        ->allow_extra_args(false);
    bool newerBuiltins = false;
    app.add_flag("--newer-script-builtins", newerBuiltins,
                 "Give scripts the built-ins of the language's editions after the 3rd, which the "
                 "application's engine lacks (for comparison only)");
    app.add_flag("--no-native-json", noNativeJson,
                 "With --newer-script-builtins: remove the engine's JSON again");
    // Readings of what the application leaves undocumented.
    host::Readings readings;
    const std::map<std::string, host::CopyPlacement> placements = {
        {"above-selection", host::CopyPlacement::AboveSelection},
        {"top", host::CopyPlacement::Top}};
    app.add_option("--copy-placement", readings.copyPlacement,
                   "Where Layer.copyToComp puts the copy: above-selection (default) or top")
        ->transform(CLI::CheckedTransformer(placements));
    app.add_flag("--paste-selects-copy", readings.pasteSelectsCopy,
                 "Layer.copyToComp leaves the copy alone selected");
    const std::map<std::string, host::ItemNumbering> numberings = {
        {"walk", host::ItemNumbering::AsWalk}, {"reversed", host::ItemNumbering::Reversed}};
    app.add_option("--item-numbering", readings.itemNumbering,
                   "How app.project.item(n) numbers the items: walk (the suites' order, default) "
                   "or reversed")
        ->transform(CLI::CheckedTransformer(numberings));
    app.add_flag("--refuse-illegal-streams", readings.refuseIllegalStreams,
                 "AEGP_GetNewLayerStream refuses streams that are not legal on the layer");
    app.add_flag("--auto-fix-skips-locked", readings.autoFixSkipsLocked,
                 "app.project.autoFixExpressions leaves the expressions of locked layers alone");
    app.add_option(
        "actions", actions,
        "Actions, in order:\n"
        "  menu                   open the Layer menu and show it\n"
        "  select COMP L1,L2      make COMP active and select layers (name or 1-based)\n"
        "  deselect COMP          make COMP active with nothing selected\n"
        "  activate ITEM|none     make an item active\n"
        "  precompose COMP L1,L2 NAME [leave]  pre-compose layers (name or 1-based) of\n"
        "                         COMP into a new composition NAME, moving all\n"
        "                         attributes, or with 'leave' (one layer) leaving them in\n"
        "  user ACTION            queue a dialog action: 'set NAME TEXT', 'click NAME',\n"
        "                         'ok', 'cancel', 'close'\n"
        "  outfold                choose the plug-in's command\n"
        "  choose TEXT            choose a Layer-menu command by its text\n"
        "  undo                   undo the newest step\n"
        "  show                   print the compositions and their layers\n"
        "  picture COMP TIME [F.json]  print what a viewer sees of COMP at TIME seconds\n"
        "                         (and write it to F.json)\n"
        "Exit status: 0; 1 when a command returned an error; 2 when the session\n"
        "could not run (a malformed project file, an unknown layer or action);\n"
        "3 when the plug-in left host objects unreleased.");
#if defined(_WIN32)
    std::vector<std::string> arguments = utf8_arguments();
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(argument.data());
    if (!pointers.empty()) {
        argc = static_cast<int>(pointers.size());
        argv = pointers.data();
    }
#endif
    CLI11_PARSE(app, argc, argv);

    try {
        host::HostOptions options;
        options.settingsDir = settingsDir;
        options.readings = readings;
        options.newerScriptBuiltins = newerBuiltins;
        host::Host host(options);
        host.set_remove_native_json(noNativeJson);
        if (!projectFile.empty()) host.load_project(projectFile);
        A_Err err = host.load_plugin(pluginFile);
        std::cout << "loaded " << pluginFile << ": " << tool::error_text(err) << "\n";
        if (err != A_Err_NONE) std::cout << "load error: " << host.last_load_error() << "\n";
        for (const auto& report : host.reports()) std::cout << "report: " << report << "\n";

        Session session(host, std::cout, sessionOptions);
        session.play(std::deque<std::string>(actions.begin(), actions.end()));
        if (!saveFile.empty()) host.save_project(saveFile);
        if (!timelineFile.empty()) write_timeline(session, timelineFile);
        if (!frames.empty()) write_frames(host, session, frames[0], frames[1]);
        if (session.leaked()) return 3;
        return session.failed() ? 1 : 0;
    } catch (const std::exception& e) {
        std::cerr << "outfold-host: " << e.what() << "\n";
        return 2;
    }
}
