// The command-line program as a user runs it: what it says when a run fails
// and its exit status, the scripts it lists, and the timeline picture it
// draws (rendered by a real SVG renderer).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "io/project_file.h"
#include "model/project_ops.h"

namespace {

namespace model = host::model;
using Args = std::vector<std::string>;

const std::filesystem::path kDemo =
    std::filesystem::path(OUTFOLD_SOURCE_DIR) / "examples/demo.json";

struct Outcome {
    int status = -1;
    std::string output;  // standard output and error together
};

std::string quoted(const std::string& word) {
    std::string text = "'";
    for (char c : word) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

Outcome run_command(const std::string& command) {
    Outcome result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> buffer{};
    while (std::fgets(buffer.data(), int(buffer.size()), pipe) != nullptr)
        result.output += buffer.data();
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class OutfoldHost : public ::testing::Test {
protected:
    // Each run with settings of its own, so the dialog always starts the same.
    Outcome run(const std::filesystem::path& project, const Args& args) {
        const outfold_test::TempDir settings("outfold-host-settings");
        std::string command = quoted(OUTFOLD_HOST_PROGRAM) + " --settings " +
                              quoted(settings.path().string()) + " --project " +
                              quoted(project.string());
        for (const std::string& arg : args) command += " " + quoted(arg);
        return run_command(command);
    }
    std::filesystem::path file(const std::string& name) const { return dir_.path() / name; }

    outfold_test::TempDir dir_{"outfold-host"};
};

TEST_F(OutfoldHost, FailuresNameTheProblemAndExitNonZero) {
    std::ofstream(file("broken.json")) << "{\"name\": \"Broken\", \"items\": [";
    struct Case {
        std::filesystem::path project;
        Args args;
        int status;
        std::vector<std::string> said;
    };
    const Case cases[] = {
        {kDemo,
         {"select", "Main", "Intro", "user", "click prependCheckbox", "outfold"},
         1,
         {"no control named prependCheckbox", "(line ", "result: A_Err_GENERIC (1)"}},
        {file("broken.json"), {"show"}, 2, {"broken.json"}},
        {kDemo, {"select", "Main", "Outro"}, 2, {"no layer Outro in Main"}},
        {kDemo, {"select", "Mian", "Intro"}, 2, {"no composition named Mian"}},
        {file("none.json"), {"show"}, 2, {"none.json"}},
        {kDemo,
         {"select", "Main", "Intro", "user", "ok", "outfold"},
         0,
         {"result: A_Err_NONE (0)"}},
    };
    for (const Case& c : cases) {
        const Outcome result = run(c.project, c.args);
        EXPECT_EQ(result.status, c.status) << result.output;
        for (const std::string& text : c.said)
            EXPECT_NE(result.output.find(text), std::string::npos) << text << " in\n"
                                                                   << result.output;
    }
}

TEST_F(OutfoldHost, ScriptsListsEveryScriptInOrderWithItsOutcome) {
    const Outcome result = run(kDemo, {"--scripts", "select", "Main", "Intro", "user",
                                       "set prefixInput Hero", "user", "ok", "outfold"});
    ASSERT_EQ(result.status, 0) << result.output;
    // The dialog, then the copy; each header numbered in turn and followed by how it ended.
    const std::regex entry(R"(^script (\d+):$|^  -> (ok.*|error: .*)$)");
    std::istringstream lines(result.output);
    std::vector<std::string> seen;  // "1", "->", "2", "->", ...
    std::string dialogOutcome;
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (!std::regex_match(line, match, entry)) continue;
        seen.push_back(match[1].matched ? std::string(match[1]) : "->");
        if (seen.size() == 2) dialogOutcome = match[2];
    }
    ASSERT_GE(seen.size(), 4u) << result.output;
    for (std::size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(seen[i], i % 2 ? "->" : std::to_string(i / 2 + 1)) << result.output;
    EXPECT_EQ(seen.size() % 2, 0u);
    EXPECT_NE(dialogOutcome.find("\"Hero\""), std::string::npos) << dialogOutcome;
    EXPECT_NE(result.output.find("  | "), std::string::npos) << "the scripts' text";
}

// Rows of the picture, by composition and state, as the picture lists them.
using Rows = std::map<std::string, std::vector<std::string>>;

Rows rows_of_picture(const std::string& svg) {
    Rows rows;
    const std::regex row(
        R"re(<g class="layer" data-comp="([^"]*)" data-state="(before|after)" data-index="(\d+)" data-name="([^"]*)")re");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), row); it != std::sregex_iterator();
         ++it) {
        auto& names = rows[std::string((*it)[1]) + "/" + std::string((*it)[2])];
        EXPECT_EQ(std::stoul((*it)[3]), names.size() + 1) << "rows out of stack order";
        names.push_back((*it)[4]);
    }
    return rows;
}

std::vector<std::string> layer_names(const model::Project& project, const std::string& comp) {
    std::vector<std::string> names;
    if (const model::Item* item = model::find_item_by_name(project, comp); item && item->comp)
        for (const model::Layer& layer : item->comp->layers)
            names.push_back(model::shown_name(project, layer));
    return names;
}

TEST_F(OutfoldHost, TimelineDrawsTheTouchedCompositionsBeforeAndAfter) {
    struct Case {
        const char* what;
        Args user;
        std::vector<std::string> panels;  // composition/state, sorted
    };
    const Case cases[] = {
        {"keep the pre-comp layer",
         {"user", "click optionKeepInComp", "user", "ok"},
         {"Intro Comp/after", "Intro Comp/before", "Main/after", "Main/before"}},
        // The pre-comp counts as touched: the copy pins its layers' names.
        {"delete the source",
         {"user", "click optionDeleteSource", "user", "ok"},
         {"Intro Comp/before", "Main/after", "Main/before"}},
        {"cancelled", {"user", "cancel"}, {}},
    };
    const model::Project before = host::io::load_project_file(kDemo);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Args args = {"--timeline", file("t.svg").string(),
                     "--save",     file("after.json").string(),
                     "select",     "Main",
                     "Intro"};
        args.insert(args.end(), c.user.begin(), c.user.end());
        args.push_back("outfold");
        const Outcome result = run(kDemo, args);
        ASSERT_EQ(result.status, 0) << result.output;
        std::ifstream in(file("t.svg"));
        const std::string svg{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const model::Project after = host::io::load_project_file(file("after.json"));

        const Rows rows = rows_of_picture(svg);
        std::vector<std::string> panels;
        for (const auto& [panel, names] : rows) {
            panels.push_back(panel);
            const std::string comp = panel.substr(0, panel.find('/'));
            const bool isBefore = panel.ends_with("/before");
            EXPECT_EQ(names, layer_names(isBefore ? before : after, comp)) << panel;
        }
        EXPECT_EQ(panels, c.panels);

        EXPECT_TRUE(std::regex_search(svg, std::regex(R"re(width="\d+" height="\d+")re")))
            << "the picture gives its size";
        // A real renderer accepts it without a word.
        const Outcome render = run_command("rsvg-convert " + quoted(file("t.svg").string()) +
                                           " -o " + quoted(file("t.png").string()));
        EXPECT_EQ(render.status, 0) << render.output;
        EXPECT_EQ(render.output, "") << "the renderer complained";
    }
}

}  // namespace
