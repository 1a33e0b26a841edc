// Project item numbers for generated scripts, checked against the script
// engine's own app.project.item() numbering.
#include <string>

#include "extract/project_item_index.h"
#include "extract_harness.h"
#include "shell/host_suites.h"

namespace outfold::testing {
namespace {

class ItemIndexTest : public ExtractTest {
protected:
    void SetUp() override { load("extract_items"); }

    // The item at `position` of the host's own walk, reached step by step.
    AEGP_ItemH walk_item(int position) {
        HostSuites suites(host_.basic_suite());
        const auto& items = suites.get<AEGP_ItemSuite_v10>();
        AEGP_ProjectH projectH = nullptr;
        EXPECT_EQ(suites.get<AEGP_ProjSuite_v8>().AEGP_GetProjectByIndex(0, &projectH), 0);
        AEGP_ItemH item = nullptr;
        EXPECT_EQ(items.AEGP_GetFirstProjItem(projectH, &item), 0);
        for (int i = 0; i < position && item != nullptr; ++i) {
            EXPECT_EQ(items.AEGP_GetNextProjItem(projectH, item, &item), 0);
        }
        return item;
    }

    std::string script_item_name(int index) {
        const auto run = host_.run_script("app.project.item(" + std::to_string(index) + ").name");
        EXPECT_TRUE(run.ok) << run.error;
        return run.value;
    }
};

TEST_F(ItemIndexTest, ScriptsReachTheItemUnderItsNumber) {
    const PluginInfo pluginInfo = info();
    for (const auto& item : project().items) {
        SCOPED_TRACE(item.name);
        int index = -1;
        ASSERT_EQ(find_project_item_index(&pluginInfo, item_handle(item.name), &index), 0);
        ASSERT_GE(index, 1);
        EXPECT_EQ(script_item_name(index), item.name);
    }
}

TEST_F(ItemIndexTest, CountsFromTheFirstItemOfTheWalk) {
    const PluginInfo pluginInfo = info();
    for (int position : {0, 1, 2}) {
        SCOPED_TRACE(position);
        int index = -1;
        ASSERT_EQ(find_project_item_index(&pluginInfo, walk_item(position), &index), 0);
        EXPECT_EQ(index, position);
    }
}

}  // namespace
}  // namespace outfold::testing
