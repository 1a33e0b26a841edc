// The command-line program as a user runs it from a shell: what it says when
// a run fails and its exit status, the scripts it lists, and the timeline
// picture it draws (rendered by a real SVG renderer).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "io/project_file.h"
#include "model/project_ops.h"

namespace {

namespace model = host::model;

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
    // Runs the program with `args` as typed at a shell, with settings of its
    // own each time, so the dialog always starts the same.
    Outcome run(const std::filesystem::path& project, const std::string& args) {
        const outfold_test::TempDir settings("outfold-host-settings");
        return run_command(quoted(OUTFOLD_HOST_PROGRAM) + " --settings " +
                           quoted(settings.path().string()) + " --project " +
                           quoted(project.string()) + " " + args);
    }
    std::filesystem::path file(const std::string& name) const { return dir_.path() / name; }

    outfold_test::TempDir dir_{"outfold-host"};
};

TEST_F(OutfoldHost, FailuresNameTheProblemAndExitNonZero) {
    std::ofstream(file("broken.json")) << "{\"name\": \"Broken\", \"items\": [";
    const struct {
        std::filesystem::path project;
        std::string args;
        int status;
        std::vector<std::string> said;
    } cases[] = {
        {kDemo,
         "select Main Intro user 'click prependCheckbox' outfold",
         1,
         {"no control named prependCheckbox", "(line ", "result: A_Err_GENERIC (1)"}},
        {file("broken.json"), "show", 2, {"broken.json"}},
        {kDemo, "select Main Outro", 2, {"no layer Outro in Main"}},
        {kDemo, "select Mian Intro", 2, {"no composition named Mian"}},
        {file("none.json"), "show", 2, {"none.json"}},
        {kDemo, "select Main Intro user ok outfold", 0, {"result: A_Err_NONE (0)"}},
    };
    for (const auto& c : cases) {
        const Outcome result = run(c.project, c.args);
        SCOPED_TRACE(c.args + " said:\n" + result.output);
        EXPECT_EQ(result.status, c.status);
        for (const std::string& text : c.said)
            EXPECT_NE(result.output.find(text), std::string::npos) << text;
    }
}

TEST_F(OutfoldHost, ScriptsListsEveryScriptInOrderWithItsOutcome) {
    const auto result =
        run(kDemo, "--scripts select Main Intro user 'set prefixInput Hero' user ok outfold");
    ASSERT_EQ(result.status, 0) << result.output;
    // Each header numbered in turn and followed by how it ended: "1->2->...".
    const std::regex entry(R"(\nscript (\d+):(?=\n)|\n  -> (ok.*|error: .*))");
    const std::string text = "\n" + result.output;  // each line starts after a line end
    std::string order, dialogOutcome, want;
    for (std::sregex_iterator it(text.begin(), text.end(), entry), end; it != end; ++it) {
        order += (*it)[1].matched ? (*it)[1].str() : "->";
        if (order == "1->") dialogOutcome = (*it)[2];
    }
    for (int i = 1; want.size() < order.size(); ++i) want += std::to_string(i) + "->";
    EXPECT_EQ(order, want) << result.output;
    EXPECT_TRUE(order.starts_with("1->2->")) << "the dialog, then the copy";
    EXPECT_NE(dialogOutcome.find("\"Hero\""), std::string::npos) << dialogOutcome;
    EXPECT_NE(result.output.find("  | "), std::string::npos) << "the scripts' text";
}

std::vector<std::string> layer_names(const model::Project& project, const std::string& comp) {
    std::vector<std::string> names;
    if (const model::Item* item = model::find_item_by_name(project, comp); item && item->comp)
        for (const model::Layer& layer : item->comp->layers)
            names.push_back(model::shown_name(project, layer));
    return names;
}

TEST_F(OutfoldHost, TimelineDrawsTheTouchedCompositionsBeforeAndAfter) {
    const struct {
        const char* user;
        std::vector<std::string> panels;
    } cases[] = {
        {"user 'click optionKeepInComp' user ok",
         {"Intro Comp/after", "Intro Comp/before", "Main/after", "Main/before"}},
        // The pre-comp counts as touched: the copy pins its layers' names.
        {"user 'click optionDeleteSource' user ok",
         {"Intro Comp/before", "Main/after", "Main/before"}},
        {"user cancel", {}},
    };
    const model::Project before = host::io::load_project_file(kDemo);
    const std::regex row(
        R"re(<g class="layer" data-comp="([^"]*)" data-state="(before|after)" data-index="(\d+)" data-name="([^"]*)")re");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.user);
        const Outcome result = run(kDemo, "--timeline " + quoted(file("t.svg")) + " --save " +
                                              quoted(file("after.json")) + " select Main Intro " +
                                              c.user + " outfold");
        ASSERT_EQ(result.status, 0) << result.output;
        std::ifstream in(file("t.svg"));
        const std::string svg{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const model::Project after = host::io::load_project_file(file("after.json"));

        // The rows of each panel (composition/state), in stack order.
        std::map<std::string, std::vector<std::string>> panels, want;
        for (auto it = std::sregex_iterator(svg.begin(), svg.end(), row);
             it != std::sregex_iterator(); ++it) {
            auto& names = panels[(*it)[1].str() + "/" + (*it)[2].str()];
            EXPECT_EQ(std::stoul((*it)[3]), names.size() + 1) << "rows out of stack order";
            names.push_back((*it)[4]);
        }
        for (const std::string& panel : c.panels)
            want[panel] = layer_names(panel.ends_with("/before") ? before : after,
                                      panel.substr(0, panel.find('/')));
        EXPECT_EQ(panels, want);

        EXPECT_TRUE(std::regex_search(svg, std::regex(R"re(width="\d+" height="\d+")re")))
            << "the picture gives its size";
        // A real renderer accepts it without a word.
        const Outcome render =
            run_command("rsvg-convert " + quoted(file("t.svg")) + " -o " + quoted(file("t.png")));
        EXPECT_EQ(render.status, 0) << render.output;
        EXPECT_EQ(render.output, "") << "the renderer complained";
    }
}

}  // namespace
