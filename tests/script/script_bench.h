// A project, settings in a temporary folder and a ScriptHost; engines must give all back.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "common/temp_dir.h"
#include "io/project_file.h"
#include "model/project_ops.h"
#include "script/script.h"
#include "script/scriptui.h"
#include "script/settings.h"

namespace script_test {

using namespace host;
using outfold_test::TempDir;
using Names = std::vector<std::string>;
using Cases = std::vector<std::pair<std::string, std::string>>;  // source, value or error

class ScriptBench : public ::testing::Test {
protected:
    void SetUp() override {
        before_ = script::engine_stats();
        host_.project = &project;
        host_.settings = &settings;
        host_.alerts = &alerts;
        host_.dialogs = &dialogs;
        host_.onProjectChanged = [this] { ++changes; };
    }

    void TearDown() override {
        const script::EngineStats after = script::engine_stats();
        EXPECT_EQ(after.liveEngines, 0) << "an engine outlived its run";
        EXPECT_EQ(after.bytesNotReturned, before_.bytesNotReturned)
            << "an engine did not give all its memory back";
    }

    void load(std::string_view json) {
        project = io::project_from_json(nlohmann::json::parse(json));
    }

    virtual script::ScriptRun run(std::string_view source) {
        host_.user = user;
        host_.removeNativeJson = removeNativeJson;
        script::ScriptRun result = script::run_script(host_, source);
        user = host_.user;
        return result;
    }

    std::string value(std::string_view source) {
        const script::ScriptRun result = run(source);
        EXPECT_TRUE(result.ok) << source << "\n  failed: " << result.error;
        return result.value;
    }

    std::string error(std::string_view source) {
        const script::ScriptRun result = run(source);
        EXPECT_FALSE(result.ok) << source << "\n  gave: " << result.value;
        return result.error;
    }

    // Each script is `casePrefix` and its source; each error ends in `errorSuffix`.
    void expect_values(const Cases& cases) {
        for (const auto& [source, expected] : cases)
            EXPECT_EQ(value(casePrefix + source), expected) << source;
    }
    void expect_errors(const Cases& cases) {
        for (const auto& [source, expected] : cases)
            EXPECT_EQ(error(casePrefix + source), expected + errorSuffix) << source;
    }

    model::Composition& comp(const std::string& name) {
        const model::Item* item = model::find_item_by_name(project, name);
        EXPECT_NE(item, nullptr) << "no item " << name;
        return *model::comp_of(project, item->id);
    }
    model::Layer& layer(const std::string& compName, const std::string& layerName) {
        for (model::Layer& candidate : comp(compName).layers)
            if (model::shown_name(project, candidate) == layerName) return candidate;
        ADD_FAILURE() << "no layer " << layerName << " in " << compName;
        static model::Layer none;
        return none;
    }
    Names layer_names(const std::string& compName) {
        Names names;
        for (const model::Layer& candidate : comp(compName).layers)
            names.push_back(model::shown_name(project, candidate));
        return names;
    }

    model::Project project;
    TempDir dir{"script-test"};
    script::SettingsStore settings{dir.path()};
    std::vector<script::Alert> alerts;
    std::vector<script::Dialog> dialogs;
    std::vector<std::string> user;  // the scripted user's actions for the next run
    bool removeNativeJson = false;
    int changes = 0;  // calls of onProjectChanged
    std::string casePrefix, errorSuffix;
    script::ScriptHost& script_host() { return host_; }  // for runs in an engine of the test's

private:
    script::ScriptHost host_;
    script::EngineStats before_;
};

}  // namespace script_test
