// The command-line program as a user runs it from a shell; its pictures go through a real renderer.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "common/temp_dir.h"
#include "io/project_file.h"
#include "model/project_ops.h"

namespace {

namespace model = host::model;

const std::string kDemo = OUTFOLD_SOURCE_DIR "/examples/demo.json";

std::string read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Outcome {
    int status = -1;
    std::string output;  // standard output and error together
};

// Paths in commands are the tests' own and hold no quote, so single quotes do.
Outcome run_command(const std::string& command) {
    const outfold_test::TempDir dir("outfold-host-output");
    const std::string output = (dir.path() / "output").string();
    const int status = std::system((command + " >'" + output + "' 2>&1").c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read(output)};
}

// With settings of its own each time, so the dialog always starts the same.
Outcome run(const std::string& project, const std::string& args) {
    const outfold_test::TempDir settings("outfold-host-settings");
    return run_command("'" OUTFOLD_HOST_PROGRAM "' --settings '" + settings.path().string() +
                       "' --project '" + project + "' " + args);
}

TEST(OutfoldHost, FailuresNameTheProblemAndExitNonZero) {
    const outfold_test::TempDir dir{"outfold-host"};
    const std::string broken = (dir.path() / "broken.json").string();
    std::ofstream(broken) << "{\"name\": \"Broken\", \"items\": [";
    const std::string refused = (dir.path() / "refused.json").string();
    std::ofstream(refused) << R"({"items": [{"type": "comp", "name": "A", "layers": [
        {"type": "shape", "name": "S", "parent": 1}]}]})";
    const std::string twins = (dir.path() / "twins.json").string();
    std::ofstream(twins) << R"({"items": [{"type": "comp", "name": "A", "layers": [
        {"type": "shape", "name": "Twin"}, {"type": "shape", "name": "S"},
        {"type": "shape", "name": "Twin"}]}]})";
    const std::tuple<std::string, std::string, int, std::vector<std::string>> cases[] = {
        {kDemo,
         "select Main Intro user 'click prependCheckbox' outfold",
         1,
         {"no control named prependCheckbox", "(line ", "result: A_Err_GENERIC (1)"}},
        {broken, "show", 2, {"broken.json: [json.exception.parse_error"}},
        {refused, "show", 2, {"refused.json: items[0].layers[0].parent: no layer at index 1"}},
        {kDemo, "select Main Outro", 2, {"no layer Outro in Main"}},
        {kDemo, "select Mian Intro", 2, {"no composition named Mian"}},
        {twins, "select A Twin", 2, {"layers 1 and 3 of A are both named Twin"}},
        {twins, "select A 3", 0, {"selected in A: [3]"}},
        {(dir.path() / "none.json").string(), "show", 2, {"none.json"}},
        {kDemo, "select Main Intro user ok outfold", 0, {"result: A_Err_NONE (0)"}},
        {kDemo,
         "precompose Main Caption,2 Pre show",
         0,
         {"pre-composed into Pre from Main", "1. Pre  [av of Pre]  0s - 10s  *selected*",
          "composition Pre\n    1. Caption  [text]  0s - 10s\n    2. Intro  [av of Intro Comp]"}},
        {kDemo,
         "precompose Main 1,2 Pre leave",
         2,
         {"leaving the attributes in takes exactly one layer"}},
    };
    for (const auto& [project, args, status, said] : cases) {
        const Outcome result = run(project, args);
        SCOPED_TRACE(args + " said:\n" + result.output);
        EXPECT_EQ(result.status, status);
        for (const std::string& text : said)
            EXPECT_NE(result.output.find(text), std::string::npos) << text;
    }
}

// Every combination of the host's readings of what the application leaves open saves the same
// project; Caption stays selected above Intro, so a paste that goes above it or selects shows.
TEST(OutfoldHost, TheReadingsGiveTheSameProject) {
    const outfold_test::TempDir dir{"outfold-host"};
    const std::string saved = (dir.path() / "after.json").string();
    std::optional<std::string> first;
    for (int combination = 0; combination < 32; ++combination) {
        const std::string options = std::string(combination & 1 ? "--copy-placement top " : "") +
                                    (combination & 2 ? "--paste-selects-copy " : "") +
                                    (combination & 4 ? "--item-numbering reversed " : "") +
                                    (combination & 8 ? "--refuse-illegal-streams " : "") +
                                    (combination & 16 ? "--auto-fix-skips-locked " : "");
        const Outcome result = run(kDemo, options + "--save '" + saved +
                                              "' select Main Caption,Intro user "
                                              "'click optionCopyAttributes' user ok outfold");
        SCOPED_TRACE(options + "said:\n" + result.output);
        ASSERT_EQ(result.status, 0);
        const std::string after = read(saved);
        if (!first) first = after;
        EXPECT_EQ(after, *first);
    }
    EXPECT_NE(run(kDemo, "--copy-placement bottom show").status, 0);
}

TEST(OutfoldHost, ScriptsListsEveryScriptInOrderWithItsOutcome) {
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

TEST(OutfoldHost, TimelineDrawsTheTouchedCompositionsBeforeAndAfter) {
    const outfold_test::TempDir dir{"outfold-host"};
    const std::string svgFile = (dir.path() / "t.svg").string();
    const std::string saved = (dir.path() / "after.json").string();
    const std::pair<const char*, std::vector<std::string>> cases[] = {
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
    for (const auto& [user, drawn] : cases) {
        SCOPED_TRACE(user);
        const Outcome result = run(kDemo, "--timeline '" + svgFile + "' --save '" + saved +
                                              "' select Main Intro " + user + " outfold");
        ASSERT_EQ(result.status, 0) << result.output;
        const std::string svg = read(svgFile);
        const model::Project after = host::io::load_project_file(saved);

        // The rows of each panel (composition/state), in stack order.
        std::map<std::string, std::vector<std::string>> panels, want;
        for (auto it = std::sregex_iterator(svg.begin(), svg.end(), row);
             it != std::sregex_iterator(); ++it) {
            auto& names = panels[(*it)[1].str() + "/" + (*it)[2].str()];
            EXPECT_EQ(std::stoul((*it)[3]), names.size() + 1) << "rows out of stack order";
            names.push_back((*it)[4]);
        }
        for (const std::string& panel : drawn) {
            const model::Project& project = panel.ends_with("/before") ? before : after;
            const std::string comp = panel.substr(0, panel.find('/'));
            for (const model::Layer& layer : model::find_item_by_name(project, comp)->comp->layers)
                want[panel].push_back(model::shown_name(project, layer));
        }
        EXPECT_EQ(panels, want);

        EXPECT_TRUE(std::regex_search(svg, std::regex(R"re(width="\d+" height="\d+")re")))
            << "the picture gives its size";
        // A real renderer accepts it without a word.
        const Outcome render =
            run_command("rsvg-convert '" + svgFile + "' -o '" + svgFile + ".png'");
        EXPECT_EQ(render.status, 0) << render.output;
        EXPECT_EQ(render.output, "") << "the renderer complained";
    }
}

TEST(OutfoldHost, ShowAndTimelineGiveStretchedSpansBlendingModesAndMattes) {
    const outfold_test::TempDir dir{"outfold-host"};
    nlohmann::json doc = nlohmann::json::parse(read(kDemo));
    nlohmann::json& main = doc["items"][5]["layers"];
    main[0].update({{"duration", 2}, {"offset", 1}, {"stretch", 200}, {"blendingMode", "ADD"}});
    main[1].update({{"offset", 7}, {"stretch", -100}});  // its 6 s source, reversed
    main[2].update({{"trackMatte", "ALPHA"}, {"blendingMode", "SOFT_LIGHT"}});
    const std::string project = (dir.path() / "blended.json").string();
    std::ofstream(project) << doc.dump();
    const std::string svgFile = (dir.path() / "t.svg").string();
    const Outcome result = run(project, "--timeline '" + svgFile +
                                            "' show select Main Intro "
                                            "user 'click optionKeepInComp' user ok outfold");
    ASSERT_EQ(result.status, 0) << result.output;
    for (const char* line : {"1. Caption  [text]  1s - 5s  stretch 200%  mode Add\n",
                             "2. Intro  [av of Intro Comp]  1s - 7s  stretch -100%  *selected*\n",
                             "3. Red Solid  [av of Red Solid]  0s - 10s  mode Soft Light  Alpha "
                             "Matte\n"})
        EXPECT_NE(result.output.find(line), std::string::npos) << line << result.output;
    const std::string svg = read(svgFile);
    for (const char* label : {">Add</text>", ">Soft Light, Alpha Matte</text>"})
        EXPECT_NE(svg.find(label), std::string::npos) << label;
    // Before the command, Caption spans 1 s to 5 s and the reversed Intro 1 s to 7 s.
    const auto bar = [&](const std::string& name) {
        const std::regex rowBar(
            "data-state=\"before\" data-index=\"\\d+\" data-name=\"" + name +
            "\"[\\s\\S]*?<rect x=\"([\\d.]+)\" y=\"[\\d.]+\" width=\"([\\d.]+)\"[^>]*rx=\"3\"");
        std::smatch m;
        EXPECT_TRUE(std::regex_search(svg, m, rowBar)) << name;
        return m.empty() ? std::pair(0.0, 0.0) : std::pair(std::stod(m[1]), std::stod(m[2]));
    };
    const auto [captionX, captionWidth] = bar("Caption");
    const auto [introX, introWidth] = bar("Intro");
    EXPECT_NEAR(introX, captionX, 0.1);
    EXPECT_NEAR(introWidth / captionWidth, 1.5, 0.01);
}

TEST(OutfoldHost, PictureAndFramesShowWhatAViewerSees) {
    const outfold_test::TempDir dir{"outfold-host"};
    const std::string json = (dir.path() / "p.json").string();
    const std::string svgFile = (dir.path() / "f.svg").string();
    const Outcome result = run(kDemo, "--frames 1.5,3 '" + svgFile + "' picture Main 2.5 '" + json +
                                          "' select Main Intro user ok outfold");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Main at 2.5 s: picture: 5 leaves, top first\n"),
              std::string::npos)
        << result.output;
    const nlohmann::json leaves = nlohmann::json::parse(read(json));
    ASSERT_EQ(leaves.size(), 5u);
    EXPECT_EQ(leaves[1]["path"], nlohmann::json({"Intro", "Title"}));
    EXPECT_EQ(leaves[1]["layerTime"], 1.5);  // Intro starts at 1 s
    EXPECT_EQ(leaves[3]["effects"][0]["name"], "Gaussian Blur");
    EXPECT_EQ(leaves[4]["opacity"], 50.0);
    EXPECT_EQ(leaves[4]["world"].size(), 16u);

    // Each frame holds the same leaves before and after; a renderer takes it.
    const std::string svg = read(svgFile);
    const std::regex leaf(
        R"re(<g class="leaf" data-state="(before|after)" data-time="([^"]*)" data-path="(?:[^"/]*/)*([^"/]*)")re");
    std::map<std::string, std::vector<std::string>> frames;
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), leaf); it != std::sregex_iterator();
         ++it)
        frames[(*it)[1].str() + " " + (*it)[2].str()].push_back((*it)[3]);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_FALSE(frames["before 3"].empty());
    EXPECT_EQ(frames["before 1.5"], frames["after 1.5"]);
    EXPECT_EQ(frames["before 3"], frames["after 3"]);
    const Outcome render = run_command("rsvg-convert '" + svgFile + "' -o '" + svgFile + ".png'");
    EXPECT_EQ(render.status, 0) << render.output;
    EXPECT_EQ(render.output, "");
    EXPECT_NE(run(kDemo, "picture Main soon").output.find("not a time in seconds: \"soon\""),
              std::string::npos);
}

}  // namespace
