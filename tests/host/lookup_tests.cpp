#include <algorithm>
#include <functional>

#include "host_fixture.h"
#include "model/script_ops.h"

namespace host_test {
namespace {

namespace model = host::model;

model::Id layer_id(const model::Project& project, const char* comp, std::size_t index) {
    return model::comp_of(project, item_id(project, comp))->layers.at(index).id;
}

// Twenty more layers in Pre, so that moves go beyond the near places.
void widen(model::Project& project) {
    for (int i = 0; i < 20; ++i)
        model::add_layer(project, item_id(project, "Pre"), {.kind = model::LayerKind::Shape}, -1);
}

const std::pair<const char*, std::function<void(model::Project&)>> kChanges[] = {
    {"top layer to the bottom",
     [](auto& p) { model::reorder_layer(p, layer_id(p, "Pre", 0), 22); }},
    {"bottom layer to the top",
     [](auto& p) { model::reorder_layer(p, layer_id(p, "Pre", 22), 0); }},
    {"a middle layer deleted", [](auto& p) { model::delete_layer(p, layer_id(p, "Pre", 5)); }},
    {"a layer added on top", [](auto& p) { model::add_layer(p, item_id(p, "Pre"), {}, 0); }},
    {"a layer copied to another composition",
     [](auto& p) { model::copy_layer_to_comp(p, layer_id(p, "Pre", 20), item_id(p, "Main")); }},
    {"the stack reversed by hand",
     [](auto& p) {
         auto& layers = model::comp_of(p, item_id(p, "Pre"))->layers;
         std::reverse(layers.begin(), layers.end());
     }},
    {"a layer moved between compositions by hand",
     [](auto& p) {
         auto& from = model::comp_of(p, item_id(p, "Pre"))->layers;
         model::comp_of(p, item_id(p, "Second"))->layers.push_back(from.front());
         from.erase(from.begin());
     }},
    {"a layer's id changed by hand",
     [](auto& p) { model::comp_of(p, item_id(p, "Pre"))->layers.at(7).id = p.nextId++; }},
    {"a composition deleted", [](auto& p) { model::delete_item(p, item_id(p, "Second")); }},
    {"an earlier copy of the project put back", [](auto& p) {
         model::Project before = p;
         model::reorder_layer(p, layer_id(p, "Pre", 0), 10);
         model::delete_layer(p, layer_id(p, "Pre", 3));
         p = before;
     }}};

using Lookups = BasicProjectTest;

TEST_F(Lookups, FindEveryLayerWhereItIsAfterEachChange) {
    model::Project& p = project();
    widen(p);
    std::vector<model::Id> everSeen;
    const auto check = [&](const char* after) {
        std::vector<model::Id> present;
        for (const auto& item : p.items) {
            for (std::size_t i = 0; item.comp && i < item.comp->layers.size(); ++i) {
                const model::Id id = item.comp->layers[i].id;
                present.push_back(id);
                everSeen.push_back(id);
                const auto where = model::locate_layer(p, id);
                EXPECT_TRUE(where && where->comp == item.id && where->index == int(i))
                    << after << ": layer " << id;
                EXPECT_EQ(model::find_layer(p, id), &item.comp->layers[i]) << after;
            }
        }
        for (const model::Id id : everSeen) {
            if (std::find(present.begin(), present.end(), id) != present.end()) continue;
            EXPECT_EQ(model::find_layer(p, id), nullptr) << after << ": gone " << id;
        }
    };
    check("loading");
    for (const auto& [name, apply] : kChanges) {
        apply(p);
        check(name);
    }
}

TEST_F(Lookups, ExpressionsThatArriveLaterAreFixedToo) {
    const auto expression_of = [&](std::size_t index) -> std::string {
        return model_comp("Pre").layers.at(index).streams.at(AEGP_LayerStream_OPACITY).expression;
    };
    auto set_opacity_expression = [&](std::size_t index, const char* text) {
        AEGP_StreamRefH stream =
            new_stream(layer_at("Pre", A_long(index)), AEGP_LayerStream_OPACITY);
        EXPECT_EQ(streams().AEGP_SetExpression(plugin_, stream, text), A_Err_NONE);
        EXPECT_EQ(streams().AEGP_DisposeStream(stream), A_Err_NONE);
    };
    const model::FixCheck any = [](auto&, auto&, auto&) { return true; };  // every rewrite kept
    set_opacity_expression(0, "thisComp.layer(\"Old\").opacity");
    EXPECT_EQ(model::auto_fix_expressions(project(), "Old", "New", any), 1);
    // A layer that held none gets one, then a copy brings one along.
    set_opacity_expression(1, "thisComp.layer(\"New\").opacity");
    EXPECT_EQ(model::auto_fix_expressions(project(), "New", "Newer", any), 2);
    model::copy_layer_to_comp(project(), model_comp("Pre").layers.at(0).id,
                              item_id(project(), "Pre"));
    EXPECT_EQ(model::auto_fix_expressions(project(), "Newer", "Last", any), 3);
    EXPECT_EQ(model::auto_fix_expressions(project(), "Newer", "Last", any), 0);
    // A stream that held one already is not listed twice (twice would give "Last 2 2").
    set_opacity_expression(0, "thisComp.layer(\"Last\").opacity");
    EXPECT_EQ(model::auto_fix_expressions(project(), "Last", "Last 2", any), 3);
    for (std::size_t i : {0, 1, 2})
        EXPECT_EQ(expression_of(i), "thisComp.layer(\"Last 2\").opacity") << i;
}

}  // namespace
}  // namespace host_test
