// The whole command through the loaded module, with the host fixing only
// broken expressions after each rename: the copies' references follow their
// renamed layers, and no expression that worked before is touched.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "io/project_file.h"
#include "model/project_ops.h"
#include "plugin_host.h"
#include "script/expression_engine.h"

namespace outfold::testing {
namespace {

namespace model = host::model;

// "Inner" is the pre-comp shown by "Pre" in "Main". Inner's own expressions
// all work; "Broken" names a layer that exists nowhere. Main and Side have
// layers of their own named "Null 1", as Inner has.
constexpr const char* kProject = R"json({
  "activeItem": "Main",
  "items": [
    {"type": "comp", "name": "Inner", "layers": [
      {"type": "shape", "name": "C"},
      {"type": "shape", "name": "Null 1"},
      {"type": "shape", "name": "D", "streams": {"Rotation": {"expression":
        "thisComp.layer(\"C\").transform.rotation + thisComp.layer(\"Null 1\").rotation"}}},
      {"type": "shape", "name": "A", "streams": {"Rotation": {"expression":
        "thisComp.layer(\"FX_A\").transform.rotation"}}},
      {"type": "shape", "name": "FX_A", "streams": {"Rotation": {"expression":
        "thisComp.layer(\"A\").transform.rotation"}}},
      {"type": "shape", "name": "Broken", "streams": {"Opacity": {"expression":
        "thisComp.layer(\"Ghost\").transform.opacity"}}}
    ]},
    {"type": "comp", "name": "Main", "layers": [
      {"type": "shape", "name": "Watcher", "streams": {"Rotation": {"expression":
        "thisComp.layer(\"Null 1\").transform.rotation"}}},
      {"type": "shape", "name": "Null 1", "streams": {"Rotation": 7}},
      {"name": "Pre", "source": "Inner"}
    ]},
    {"type": "comp", "name": "Side", "layers": [
      {"type": "shape", "name": "Null 1"},
      {"type": "shape", "name": "Far", "streams": {"Rotation": {"expression":
        "thisComp.layer(\"Null 1\").transform.rotation"}}}
    ]}
  ]
})json";

// Every expression of a composition's layers, by layer name and stream.
std::map<std::string, std::string> expressions_of(const model::Project& project,
                                                  const std::string& comp) {
    std::map<std::string, std::string> found;
    for (const model::Layer& layer :
         model::comp_of(project, model::find_item_by_name(project, comp)->id)->layers) {
        for (const auto& [number, stream] : layer.streams) {
            if (!stream.expression.empty())
                found[model::shown_name(project, layer) + "#" + std::to_string(number)] =
                    stream.expression;
        }
    }
    return found;
}

class ExtractAutoFix : public PluginHostTest {
protected:
    void SetUp() override {
        host_.set_project(host::io::project_from_json(nlohmann::json::parse(kProject)));
        ASSERT_EQ(load_module(), A_Err_NONE);
    }

    void extract_with_prefix(const std::string& prefix) {
        select_layers(host_.project(), "Main", {"Pre"});
        host_.open_menu(AEGP_Menu_LAYER);
        host_.set_user({"set prefixInput " + prefix, "ok"});
        ASSERT_EQ(host_.click(command()), A_Err_NONE);
    }

    // Whether the expression on the layer's stream evaluates, at time 0.
    bool works(const std::string& comp, const std::string& layerName, int stream) {
        const model::Project& project = host_.project();
        for (const model::Layer& layer :
             model::comp_of(project, model::find_item_by_name(project, comp)->id)->layers) {
            if (model::shown_name(project, layer) != layerName) continue;
            const model::Stream& s = layer.streams.at(stream);
            return engine_.evaluate({&project, layer.id, &s, {}}, s.expression).ok;
        }
        ADD_FAILURE() << "no layer " << layerName << " in " << comp;
        return false;
    }

    host::script::ExpressionEngine engine_;
};

constexpr int kRotation = 3;
constexpr int kOpacity = 4;

TEST_F(ExtractAutoFix, CopiesFollowTheirRenamesAndWorkingExpressionsStay) {
    const model::Project before = host_.project();
    extract_with_prefix("FX");
    const model::Project& after = host_.project();

    // The kept pre-comp and the other composition are untouched.
    EXPECT_EQ(expressions_of(after, "Inner"), expressions_of(before, "Inner"));
    EXPECT_EQ(expressions_of(after, "Side"), expressions_of(before, "Side"));

    const std::map<std::string, std::string> main = expressions_of(after, "Main");
    const std::map<std::string, std::string> expected = {
        // Main's own reference still names Main's own "Null 1" (rotation 7).
        {"Watcher#3", R"(thisComp.layer("Null 1").transform.rotation)"},
        // The copies name the copies, except where Main has a layer of the
        // same name: the copy of D reading "Null 1" never broke (Main's own
        // "Null 1" answers it), so it is not fixed and now reads Main's.
        {"FX_D#3",
         R"(thisComp.layer("FX_C").transform.rotation + thisComp.layer("Null 1").rotation)"},
        // The chain. Copies are renamed bottom-up: FX_A's copy first, which
        // breaks A's copy (no "FX_A" left in Main) and so fixes it to
        // "FX_FX_A"; then A's copy, which breaks FX_A's copy ("A") and fixes
        // it to "FX_A", A's copy. Inner's own pair never broke.
        {"FX_A#3", R"(thisComp.layer("FX_FX_A").transform.rotation)"},
        {"FX_FX_A#3", R"(thisComp.layer("FX_A").transform.rotation)"},
        // Broken before, and not by the renames: left as it was.
        {"FX_Broken#4", R"(thisComp.layer("Ghost").transform.opacity)"},
    };
    EXPECT_EQ(main, expected);
    EXPECT_TRUE(works("Main", "Watcher", kRotation));
    for (const char* copy : {"FX_D", "FX_A", "FX_FX_A"})
        EXPECT_TRUE(works("Main", copy, kRotation)) << copy;
    EXPECT_FALSE(works("Main", "FX_Broken", kOpacity));
}

TEST_F(ExtractAutoFix, TheDemoProjectShowsTheFix) {
    host_.load_project(std::filesystem::path(OUTFOLD_SOURCE_DIR) / "examples" / "demo.json");
    select_layers(host_.project(), "Main", {"Intro"});
    host_.open_menu(AEGP_Menu_LAYER);
    host_.set_user({"set prefixInput Hero", "ok"});
    ASSERT_EQ(host_.click(command()), A_Err_NONE);
    EXPECT_EQ(expressions_of(host_.project(), "Main").at("Hero_Title#3"),
              R"(thisComp.layer("Hero_Logo").transform.rotation / 2)");
    EXPECT_EQ(expressions_of(host_.project(), "Intro Comp").at("Title#3"),
              R"(thisComp.layer("Logo").transform.rotation / 2)");
    EXPECT_TRUE(works("Main", "Hero_Title", kRotation));
}

}  // namespace
}  // namespace outfold::testing
