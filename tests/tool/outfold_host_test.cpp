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
    Outcome run(const Args& args) {
        const outfold_test::TempDir settings("outfold-host-settings");
        std::string command =
            quoted(OUTFOLD_HOST_PROGRAM) + " --settings " + quoted(settings.path().string());
        for (const std::string& arg : args) command += " " + quoted(arg);
        return run_command(command);
    }
    std::filesystem::path file(const std::string& name) const { return dir_.path() / name; }

    outfold_test::TempDir dir_{"outfold-host"};
};

TEST_F(OutfoldHost, FailuresNameTheProblemAndExitNonZero) {
    {
        std::ofstream broken(file("broken.json"));
        broken << "{\"name\": \"Broken\", \"items\": [";
    }
    struct Case {
        const char* what;
        Args args;
        int status;
        std::vector<std::string> said;
    };
    const Case cases[] = {
        {"a dialog action naming no control",
         {"--project", kDemo.string(), "select", "Main", "Intro", "user", "click prependCheckbox",
          "outfold"},
         1,
         {"no control named prependCheckbox", "(line ", "result: A_Err_GENERIC (1)"}},
        {"a malformed project file",
         {"--project", file("broken.json").string(), "show"},
         2,
         {"broken.json"}},
        {"a missing layer",
         {"--project", kDemo.string(), "select", "Main", "Outro"},
         2,
         {"no layer Outro in Main"}},
        {"a missing composition",
         {"--project", kDemo.string(), "select", "Mian", "Intro"},
         2,
         {"no composition named Mian"}},
        {"a missing project file",
         {"--project", file("none.json").string(), "show"},
         2,
         {"none.json"}},
        {"a run that works",
         {"--project", kDemo.string(), "select", "Main", "Intro", "user", "ok", "outfold"},
         0,
         {"result: A_Err_NONE (0)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome result = run(c.args);
        EXPECT_EQ(result.status, c.status) << result.output;
        for (const std::string& text : c.said)
            EXPECT_NE(result.output.find(text), std::string::npos)
                << "missing \"" << text << "\" in\n"
                << result.output;
    }
}

TEST_F(OutfoldHost, ScriptsListsEveryScriptInOrderWithItsOutcome) {
    const Outcome result = run({"--project", kDemo.string(), "--scripts", "select", "Main", "Intro",
                                "user", "set prefixInput Hero", "user", "ok", "outfold"});
    ASSERT_EQ(result.status, 0) << result.output;
    // The dialog, then the copy; each followed by how it ended.
    const std::regex header(R"(^script (\d+):$)");
    const std::regex outcome(R"(^  -> (ok.*|error: .*)$)");
    std::istringstream lines(result.output);
    std::vector<int> numbers;
    int outcomes = 0;
    std::string dialogOutcome;
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_match(line, match, header)) numbers.push_back(std::stoi(match[1]));
        if (std::regex_match(line, match, outcome)) {
            if (++outcomes == 1) dialogOutcome = match[1];
        }
    }
    ASSERT_GE(numbers.size(), 2u) << result.output;
    for (std::size_t i = 0; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], int(i) + 1);
    EXPECT_EQ(outcomes, int(numbers.size()));
    EXPECT_NE(dialogOutcome.find("\"Hero\""), std::string::npos) << dialogOutcome;
    EXPECT_NE(result.output.find("  | "), std::string::npos) << "the scripts' text";
}

// Rows of the picture, by composition and state, as the picture lists them.
using Rows = std::map<std::string, std::vector<std::string>>;

std::string unescape(std::string text) {
    const std::pair<const char*, const char*> entities[] = {
        {"&quot;", "\""}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}};
    for (const auto& [entity, character] : entities)
        for (std::size_t at; (at = text.find(entity)) != std::string::npos;)
            text.replace(at, std::string(entity).size(), character);
    return text;
}

Rows rows_of_picture(const std::string& svg) {
    Rows rows;
    const std::regex row(
        R"re(<g class="layer" data-comp="([^"]*)" data-state="(before|after)" data-index="(\d+)" data-name="([^"]*)")re");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), row); it != std::sregex_iterator();
         ++it) {
        auto& names = rows[unescape((*it)[1]) + "/" + std::string((*it)[2])];
        EXPECT_EQ(std::stoul((*it)[3]), names.size() + 1) << "rows out of stack order";
        names.push_back(unescape((*it)[4]));
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

std::pair<int, int> png_size(const std::filesystem::path& png) {
    std::ifstream in(png, std::ios::binary);
    std::array<unsigned char, 24> head{};
    in.read(reinterpret_cast<char*>(head.data()), head.size());
    const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!in || !std::equal(std::begin(signature), std::end(signature), head.begin())) return {0, 0};
    auto be32 = [&](int at) {
        return head[at] << 24 | head[at + 1] << 16 | head[at + 2] << 8 | head[at + 3];
    };
    return {be32(16), be32(20)};
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
        Args args = {"--project",  kDemo.string(),
                     "--timeline", file("t.svg").string(),
                     "--save",     file("after.json").string(),
                     "select",     "Main",
                     "Intro"};
        args.insert(args.end(), c.user.begin(), c.user.end());
        args.push_back("outfold");
        const Outcome result = run(args);
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

        // A real renderer draws it, at the size the picture gives.
        const Outcome render = run_command("rsvg-convert " + quoted(file("t.svg").string()) +
                                           " -o " + quoted(file("t.png").string()));
        EXPECT_EQ(render.status, 0) << render.output;
        EXPECT_EQ(render.output, "") << "the renderer complained";
        std::smatch size;
        ASSERT_TRUE(
            std::regex_search(svg, size, std::regex(R"re(width="(\d+)" height="(\d+)")re")));
        EXPECT_EQ(png_size(file("t.png")), std::make_pair(std::stoi(size[1]), std::stoi(size[2])));
    }
}

}  // namespace
