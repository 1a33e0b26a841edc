// The carrier null (what it takes from the pre-comp layer), its removal
// together with its solid, and the 3D switch of extracted layers.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "extract_harness.h"
#include "model/project_ops.h"
#include "placement/carrier.h"
#include "placement/layer_3d.h"

namespace outfold::testing {
namespace {

namespace model = host::model;
using model::Rational;
using Names = std::vector<std::string>;

const std::string kLongName = std::string(242, 'x') + "\xF0\x9F\x98\x80";

Rational seconds(std::int64_t n) { return Rational::of(n); }

// Fixture "placement_carrier": Main (30 fps) holds Intro (Intro Comp; in
// point 1 s of layer time, 4 s long, starting at 2 s), an unnamed 3D layer of
// Wide Comp (pixel aspect 2), a layer of Intro Comp named kLongName, Backdrop
// and Also Red (both on Solid Red, which Intro Comp's layer shows as well)
// and Caption, a text layer.
class PlacementFixture : public ExtractTest {
protected:
    void SetUp() override { load("placement_carrier"); }

    const model::Layer& main_layer(A_long index) { return layer_at("Main", index); }
    const model::Layer* main_layer_named(const std::string& name) {
        for (const model::Layer& layer : comp_named(project(), "Main").layers) {
            if (model::shown_name(project(), layer) == name) return &layer;
        }
        return nullptr;
    }
    const model::Item* item_with_id(model::Id id) { return model::find_item(project(), id); }
    std::size_t item_count() { return project().items.size(); }

    A_Err create(A_long precompIndex, AEGP_LayerH* carrier) {
        const AEGP_LayerH precomp = layer_handle("Main", precompIndex);
        const PluginInfo pluginInfo = info();
        return create_carrier_null(&pluginInfo, precomp, carrier);
    }
    A_Err remove(AEGP_LayerH layer) {
        const PluginInfo pluginInfo = info();
        return delete_layer_and_source(&pluginInfo, layer);
    }
};

using CarrierTest = PlacementFixture;

TEST_F(CarrierTest, TakesNameTimesSwitchAndPixelAspectFromThePrecompLayer) {
    struct Case {
        A_long precomp;
        std::string name;
        bool is3D;
        Rational pixelAspect;
        Rational inPoint;
        Rational duration;
    };
    const Case cases[] = {
        {0, "{{Intro_outfold}}", false, Rational::of(1), seconds(3), seconds(4)},
        // No name of its own: the source's name.
        {1, "{{Wide Comp_outfold}}", true, Rational::of(2), seconds(0), seconds(10)},
        // Cut to fit 255 units without splitting the emoji's surrogate pair.
        {2, "{{" + std::string(242, 'x') + "_outfold}}", false, Rational::of(1), seconds(0),
         seconds(10)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.substr(0, 24));
        load("placement_carrier");
        const std::size_t layersBefore = comp_named(project(), "Main").layers.size();
        AEGP_LayerH carrier = nullptr;
        ASSERT_EQ(create(c.precomp, &carrier), A_Err_NONE);

        ASSERT_EQ(comp_named(project(), "Main").layers.size(), layersBefore + 1);
        const model::Layer& made = main_layer(0);
        EXPECT_EQ(carrier, layer_handle("Main", 0));
        EXPECT_TRUE(made.isNull);
        EXPECT_EQ(made.ownName, c.name);
        EXPECT_EQ((made.flags & model::flag::k3D) != 0, c.is3D);
        EXPECT_EQ(made.offset, seconds(0));
        EXPECT_EQ(made.inPoint, c.inPoint);
        EXPECT_EQ(made.duration, c.duration);
        const model::Item* solid = item_with_id(made.source);
        ASSERT_NE(solid, nullptr);
        ASSERT_TRUE(solid->footage.has_value());
        EXPECT_EQ(solid->footage->pixelAspect, c.pixelAspect);
    }
}

TEST_F(CarrierTest, ANameThatCannotBeReadLeavesTheMarksAlone) {
    host_.fail_call("AEGP_GetLayerName", 1, A_Err_GENERIC);
    AEGP_LayerH carrier = nullptr;
    const AEGP_LayerH precomp = layer_handle("Main", 0);
    const PluginInfo pluginInfo = info();
    ASSERT_EQ(create_carrier_null(&pluginInfo, precomp, &carrier), A_Err_NONE);
    EXPECT_EQ(main_layer(0).ownName, "{{_outfold}}");
}

using DeleteLayerAndSourceTest = PlacementFixture;

TEST_F(DeleteLayerAndSourceTest, TheCarrierGoesWithItsSolid) {
    const Names layersBefore = layer_names(project(), "Main");
    const std::size_t itemsBefore = item_count();
    AEGP_LayerH carrier = nullptr;
    ASSERT_EQ(create(0, &carrier), A_Err_NONE);
    const model::Id solid = main_layer(0).source;
    ASSERT_NE(item_with_id(solid), nullptr);

    ASSERT_EQ(remove(carrier), A_Err_NONE);
    EXPECT_EQ(layer_names(project(), "Main"), layersBefore);
    EXPECT_EQ(item_with_id(solid), nullptr);
    // Only the folder the host files solids in may stay behind.
    EXPECT_LE(item_count(), itemsBefore + 1);
}

// An item that other layers still show stays, and so do those layers.
TEST_F(DeleteLayerAndSourceTest, ASourceThatOthersUseStays) {
    struct Case {
        const char* layer;
        Names remaining;
    };
    const Case cases[] = {
        {"Backdrop", {"Intro", "Wide Comp", kLongName, "Also Red", "Caption"}},
        {"Caption", {"Intro", "Wide Comp", kLongName, "Backdrop", "Also Red"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layer);
        load("placement_carrier");
        const std::size_t itemsBefore = item_count();
        const Names names = layer_names(project(), "Main");
        const auto at = std::find(names.begin(), names.end(), c.layer) - names.begin();
        ASSERT_EQ(remove(layer_handle("Main", static_cast<A_long>(at))), A_Err_NONE);
        EXPECT_EQ(layer_names(project(), "Main"), c.remaining);
        EXPECT_EQ(item_count(), itemsBefore);
        EXPECT_EQ(layer_names(project(), "Intro Comp"), Names{"Inner"});
    }
}

class Layers3DTest : public PlacementFixture {
protected:
    A_Err switch_to_3d(AEGP_Collection2H layers) {
        const PluginInfo pluginInfo = info();
        return make_layers_3d(&pluginInfo, layers);
    }
    bool is_3d(const std::string& name) {
        return (main_layer_named(name)->flags & model::flag::k3D) != 0;
    }
};

TEST_F(Layers3DTest, EveryLayerItemBecomes3D) {
    AEGP_CollectionItemV2 mask{};
    mask.type = AEGP_CollectionItemType_MASK;
    mask.u.mask.layerH = layer_handle("Main", 3);
    // Intro is 2D, the Wide Comp layer already 3D; a mask item is passed over.
    const AEGP_Collection2H layers =
        new_collection({layer_item(layer_handle("Main", 0)), layer_item(layer_handle("Main", 1)),
                        mask, layer_item(layer_handle("Main", 5))});
    ASSERT_EQ(switch_to_3d(layers), A_Err_NONE);
    EXPECT_TRUE(is_3d("Intro"));
    EXPECT_TRUE(is_3d("Wide Comp"));
    EXPECT_TRUE(is_3d("Caption"));
    EXPECT_FALSE(is_3d("Backdrop"));
    EXPECT_EQ(switch_to_3d(new_collection()), A_Err_NONE);
}

}  // namespace
}  // namespace outfold::testing
