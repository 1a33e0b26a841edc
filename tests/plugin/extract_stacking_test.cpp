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
        const PluginInfo pluginInfo = info();
        return gather_extracted_layers(&pluginInfo, collection);
    }
    A_Err place(AEGP_Collection2H collection, A_long targetIndex) {
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

// Any collection: its layers go to the top in collection order, then to the
// target as one block; other items are passed over.
TEST_F(StackingTest, CollectionsOfAnyShape) {
    AEGP_CollectionItemV2 mask{};
    mask.type = AEGP_CollectionItemType_MASK;
    mask.u.mask.layerH = layer_handle("Main", 0);
    const auto at = [&](A_long index) { return layer_item(layer_handle("Main", index)); };
    struct Case {
        std::vector<AEGP_CollectionItemV2> items;
        Names gathered;
        A_long target;
        Names placed;
    };
    const Case cases[] = {
        {{}, {"Top", "Inner", "Bottom"}, 2, {"Top", "Inner", "Bottom"}},
        {{at(2)}, {"Bottom", "Top", "Inner"}, 1, {"Top", "Bottom", "Inner"}},
        {{at(2), mask, at(1)}, {"Inner", "Bottom", "Top"}, 2, {"Top", "Inner", "Bottom"}},
    };
    for (const Case& c : cases) {
        load("extract_stack");
        const AEGP_Collection2H collection = new_collection(c.items);
        ASSERT_EQ(gather(collection), A_Err_NONE);
        EXPECT_EQ(layer_names(project(), "Main"), c.gathered);
        ASSERT_EQ(place(collection, c.target), A_Err_NONE);
        EXPECT_EQ(layer_names(project(), "Main"), c.placed);
    }
}

}  // namespace
}  // namespace outfold::testing
