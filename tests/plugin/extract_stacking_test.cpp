// Stacking order of the extracted layers: gathered at the top in the
// pre-comp's order, then placed as one block where the pre-comp layer is.
#include <string>
#include <vector>

#include "extract/copy_layers.h"
#include "extract_harness.h"
#include "placement/stacking.h"

namespace outfold::testing {
namespace {

using Names = std::vector<std::string>;

class StackingTest : public ExtractTest {
protected:
    // Fixture "extract_stack": Main holds Top, Inner (pre-comp of Inner Comp:
    // A, B, C) and Bottom; Solo holds only Lone (pre-comp of Inner Comp).
    void SetUp() override { load("extract_stack"); }

    AEGP_Collection2H copies_of(const std::string& comp, A_long precompIndex) {
        const AEGP_Collection2H collection = new_collection();
        AEGP_Collection2H handle = collection;
        char prefix[kMaxPrefixBytes + 1] = {};
        const PluginInfo pluginInfo = info();
        EXPECT_EQ(
            copy_layers_to_parent(&pluginInfo, layer_handle(comp, precompIndex), prefix, &handle),
            A_Err_NONE);
        return collection;
    }
    A_Err gather(AEGP_Collection2H collection) {
        host_.clear_trace();
        const PluginInfo pluginInfo = info();
        return gather_extracted_layers(&pluginInfo, collection);
    }
    A_Err place(AEGP_Collection2H collection, A_long targetIndex) {
        host_.clear_trace();
        const PluginInfo pluginInfo = info();
        return place_extracted_layers(&pluginInfo, collection, targetIndex);
    }
};

// The copies go to the top in pre-comp order, then join the pre-comp layer.
TEST_F(StackingTest, CopiesTakeThePrecompLayersPlace) {
    struct Case {
        const char* comp;
        A_long precomp;
        Names copied;
        Names gathered;
        A_long target;
        Names placed;
    };
    const Case cases[] = {
        {"Main",
         1,
         {"C", "B", "A", "Top", "Inner", "Bottom"},
         {"A", "B", "C", "Top", "Inner", "Bottom"},
         4,
         {"Top", "Inner", "A", "B", "C", "Bottom"}},
        {"Solo", 0, {"C", "B", "A", "Lone"}, {"A", "B", "C", "Lone"}, 3, {"Lone", "A", "B", "C"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.comp);
        load("extract_stack");
        const AEGP_Collection2H collection = copies_of(c.comp, c.precomp);
        EXPECT_EQ(layer_names(project(), c.comp), c.copied);
        ASSERT_EQ(gather(collection), A_Err_NONE);
        EXPECT_EQ(layer_names(project(), c.comp), c.gathered);
        ASSERT_EQ(place(collection, c.target), A_Err_NONE);
        EXPECT_EQ(layer_names(project(), c.comp), c.placed);
    }
}

TEST_F(StackingTest, AnEmptyCollectionMovesNothing) {
    const AEGP_Collection2H collection = new_collection();
    const Names before = layer_names(project(), "Main");
    EXPECT_EQ(gather(collection), A_Err_NONE);
    EXPECT_EQ(place(collection, 2), A_Err_NONE);
    EXPECT_EQ(calls_to("AEGP_ReorderLayer"), 0u);
    EXPECT_EQ(layer_names(project(), "Main"), before);
}

TEST_F(StackingTest, ASingleLayerGoesToTheTopAndToTheTarget) {
    const AEGP_Collection2H collection = new_collection({layer_item(layer_handle("Main", 2))});
    ASSERT_EQ(gather(collection), A_Err_NONE);
    EXPECT_EQ(layer_names(project(), "Main"), (Names{"Bottom", "Top", "Inner"}));
    ASSERT_EQ(place(collection, 1), A_Err_NONE);
    EXPECT_EQ(layer_names(project(), "Main"), (Names{"Top", "Bottom", "Inner"}));
}

TEST_F(StackingTest, ItemsOtherThanLayersArePassedOver) {
    AEGP_CollectionItemV2 mask{};
    mask.type = AEGP_CollectionItemType_MASK;
    mask.u.mask.layerH = layer_handle("Main", 0);
    mask.u.mask.index = 0;
    const AEGP_Collection2H collection = new_collection(
        {layer_item(layer_handle("Main", 2)), mask, layer_item(layer_handle("Main", 1))});
    ASSERT_EQ(gather(collection), A_Err_NONE);
    EXPECT_EQ(calls_to("AEGP_ReorderLayer"), 2u);
    EXPECT_EQ(layer_names(project(), "Main"), (Names{"Inner", "Bottom", "Top"}));
    ASSERT_EQ(place(collection, 2), A_Err_NONE);
    EXPECT_EQ(calls_to("AEGP_ReorderLayer"), 2u);
    EXPECT_EQ(layer_names(project(), "Main"), (Names{"Top", "Inner", "Bottom"}));
}

// After the first failure no layer moves; those moved before stay moved.
TEST_F(StackingTest, AFailingMoveStopsThePass) {
    struct Case {
        const char* operation;
        int nth;
        Names gathered;
    };
    const Case cases[] = {
        {"AEGP_GetCollectionNumItems", 1, {"Top", "Inner", "Bottom"}},
        {"AEGP_GetCollectionItemByIndex", 2, {"Bottom", "Top", "Inner"}},
        {"AEGP_ReorderLayer", 1, {"Top", "Inner", "Bottom"}},
        {"AEGP_ReorderLayer", 2, {"Bottom", "Top", "Inner"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.operation) + " #" + std::to_string(c.nth));
        load("extract_stack");
        const AEGP_Collection2H collection = new_collection({layer_item(layer_handle("Main", 2)),
                                                             layer_item(layer_handle("Main", 1)),
                                                             layer_item(layer_handle("Main", 0))});
        host_.fail_call(c.operation, c.nth, A_Err_GENERIC);
        EXPECT_EQ(gather(collection), A_Err_GENERIC);
        host_.clear_faults();
        EXPECT_EQ(layer_names(project(), "Main"), c.gathered);
        EXPECT_LE(calls_to("AEGP_ReorderLayer"), static_cast<std::size_t>(c.nth));
    }
}

}  // namespace
}  // namespace outfold::testing
