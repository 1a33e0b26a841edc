// The menu-update hook runs before every menu opens: when the first selected
// layer is a pre-comp layer, the host calls it makes do not grow with the
// size of the selection.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/project_ops.h"
#include "plugin_host.h"

namespace outfold::testing {
namespace {

class MenuHookCost : public PluginHostTest {
protected:
    // Host calls of one menu update with the pre-comp layer and `more` text
    // layers below it selected.
    std::size_t calls_with_selection_of(int more) {
        host::model::Project project = scene();
        const host::model::Id main = host::model::find_item_by_name(project, "Main")->id;
        std::vector<std::string> selected{"Intro"};
        for (int i = 0; i < more; ++i) {
            host::model::Layer layer;
            layer.kind = host::model::LayerKind::Text;
            layer.ownName = "Extra " + std::to_string(i);
            host::model::add_layer(project, main, layer, -1);
            selected.push_back(layer.ownName);
        }
        select_layers(project, "Main", selected);
        host_.set_project(std::move(project));
        host_.clear_trace();
        host_.open_menu(AEGP_Menu_LAYER);
        EXPECT_EQ(host_.command(command())->text, kUsableText) << more;
        return host_calls().size();
    }
};

TEST_F(MenuHookCost, CallsDoNotGrowWithTheSelection) {
    ASSERT_EQ(load_module(), A_Err_NONE);
    const std::size_t one = calls_with_selection_of(0);
    for (const int more : {1, 10, 500}) EXPECT_EQ(calls_with_selection_of(more), one) << more;
}

}  // namespace
}  // namespace outfold::testing
