// Copying a pre-comp's layers into the composition that holds the pre-comp
// layer: the generated script, where the copies are found, their order in the
// extracted-layers collection, seeding, failures.
#include <string>
#include <vector>

#include "extract/copy_layers.h"
#include "extract_harness.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace outfold::testing {
namespace {

namespace model = host::model;
using Names = std::vector<std::string>;

const std::string kHeader = "var tempName = \"\"; var allNames = [];";

// One source layer's statements, written out in full.
std::string block(int source, int layer, int parent) {
    const std::string item =
        "app.project.item(" + std::to_string(source) + ").layer(" + std::to_string(layer) + ")";
    return "tempName = " + item + ".name; allNames.push(tempName);" + item + ".name = tempName;" +
           item + ".copyToComp(app.project.item(" + std::to_string(parent) + "));" + item +
           ".name = tempName;";
}

class CopyTest : public ExtractTest {
protected:
    // Fixture "extract_copy": items Main (1), Inner Comp (2), Empty Comp (3).
    // Main: Title, Inner (pre-comp of Inner Comp), Nothing (pre-comp of Empty
    // Comp), Backdrop. Inner Comp: A, B, C (C has no name of its own).
    void SetUp() override { load("extract_copy"); }

    A_Err copy(const std::string& comp, A_long precompIndex, AEGP_Collection2H collection) {
        const AEGP_LayerH precomp = layer_handle(comp, precompIndex);
        char prefix[kMaxPrefixBytes + 1] = "unused";
        host_.clear_trace();
        const PluginInfo pluginInfo = info();
        return copy_layers_to_parent(&pluginInfo, precomp, prefix, &collection);
    }

    void select_in_main(const std::vector<A_long>& indices) {
        model::Item& comp = item_named(project(), "Main");
        auto& selection = comp.comp->selection;
        selection.clear();
        for (A_long index : indices) {
            model::SelectionEntry entry;
            entry.kind = model::SelectionKind::Layer;
            entry.layer = comp.comp->layers.at(static_cast<std::size_t>(index)).id;
            selection.push_back(entry);
        }
    }
};

// One script copies every layer of the source, top first; an empty source
// still runs the header.
TEST_F(CopyTest, TheScriptCopiesEverySourceLayerInOneRun) {
    struct Case {
        const char* fixture;  // extract_twelve: Main (1), Other (2), Twelve (3) with 12 layers
        A_long precomp;
        int source, layers;
    };
    for (const Case& c : {Case{"extract_copy", 1, 2, 3}, Case{"extract_twelve", 0, 3, 12},
                          Case{"extract_copy", 2, 3, 0}}) {
        SCOPED_TRACE(c.fixture);
        load(c.fixture);
        const AEGP_Collection2H collection = new_collection();
        const std::size_t before = host_.scripts_run().size();
        ASSERT_EQ(copy("Main", c.precomp, collection), A_Err_NONE);
        std::string expected = kHeader;
        for (int k = 1; k <= c.layers; ++k) expected += block(c.source, k, 1);
        ASSERT_EQ(host_.scripts_run().size(), before + 1);
        EXPECT_EQ(host_.scripts_run().back(), expected);
        EXPECT_EQ(collection_items(collection).size(), std::size_t(c.layers));
    }
}

// The host puts each copy above the topmost selected layer of the parent, or
// at the top; either way the collection runs from the copy of the source's
// bottom layer to that of its top layer.
TEST_F(CopyTest, CopiesAreCollectedBottomLayerFirst) {
    struct Case {
        const char* label;
        std::vector<A_long> selected;
        Names stack;
    };
    const Case cases[] = {
        {"nothing selected", {}, {"C", "B", "A", "Title", "Inner", "Nothing", "Backdrop"}},
        {"pre-comp selected", {1}, {"Title", "A", "B", "C", "Inner", "Nothing", "Backdrop"}},
        {"two selected", {3, 1}, {"Title", "A", "B", "C", "Inner", "Nothing", "Backdrop"}},
        {"lowest selected", {3}, {"Title", "Inner", "Nothing", "A", "B", "C", "Backdrop"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        load("extract_copy");
        select_in_main(c.selected);
        const AEGP_Collection2H collection = new_collection();
        ASSERT_EQ(copy("Main", 1, collection), A_Err_NONE);
        EXPECT_EQ(collection_layer_names(collection), (Names{"C", "B", "A"}));
        EXPECT_EQ(layer_names(project(), "Main"), c.stack);
        for (const auto& item : collection_items(collection)) {
            EXPECT_EQ(item.type, AEGP_CollectionItemType_LAYER);
            EXPECT_EQ(item.stream_refH, nullptr);
        }
    }
    // The source composition keeps its layers and their names.
    EXPECT_EQ(layer_names(project(), "Inner Comp"), (Names{"A", "B", "C"}));
}

TEST_F(CopyTest, SeedsRunFromTheTopLayerDown) {
    struct Case {
        bool fix;
        Names expressions;  // of the copies of A, B, C
    };
    const std::string marker = "); // this line was added by Outfold \n\n";
    const Case cases[] = {
        {false, {"random(1)", "random(2)", "random(3)"}},
        {true,
         {"seedRandom(0" + marker + "random(1)", "seedRandom(1" + marker + "random(2)",
          "seedRandom(2" + marker + "random(3)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fix);
        load("extract_copy");
        options_.fixRandomExpressions = c.fix;
        const AEGP_Collection2H collection = new_collection();
        ASSERT_EQ(copy("Main", 1, collection), A_Err_NONE);
        const auto& main = comp_named(project(), "Main");
        Names copies;
        for (std::size_t k : {2u, 1u, 0u})
            copies.push_back(main.layers[k].streams.at(4).expression);
        EXPECT_EQ(copies, c.expressions);
        const auto& inner = comp_named(project(), "Inner Comp");
        EXPECT_EQ(inner.layers[0].streams.at(4).expression, "random(1)");
    }
}

// The loadable module exports the step under its C++ name; called through
// that export it behaves as linked in.
using CopyLayersToParent = int (*)(PluginInfo const*, AEGP_LayerH, char*, AEGP_Collection2H*);

constexpr char kCopyExportName[] =
    "_Z21copy_layers_to_parentPKN7outfold10PluginInfoEP11AEGP_Layer_PcPP16AEGP_Collection_";

CopyLayersToParent find_exported_copy(const std::string& module) {
#if defined(_WIN32)
    const std::string fileName = module.substr(module.find_last_of("/\\") + 1);
    HMODULE handle = GetModuleHandleA(fileName.c_str());
    if (handle == nullptr) return nullptr;
    const FARPROC symbol = GetProcAddress(handle, kCopyExportName);
    return reinterpret_cast<CopyLayersToParent>(reinterpret_cast<void (*)()>(symbol));
#else
    void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return nullptr;
    void* symbol = dlsym(handle, kCopyExportName);
    dlclose(handle);
    return reinterpret_cast<CopyLayersToParent>(symbol);
#endif
}

TEST_F(CopyTest, TheModuleExportsTheStep) {
    ASSERT_EQ(host_.load_plugin(OUTFOLD_MODULE_PATH), A_Err_NONE);
    const CopyLayersToParent exported = find_exported_copy(OUTFOLD_MODULE_PATH);
    ASSERT_NE(exported, nullptr);
    ASSERT_NE(reinterpret_cast<void*>(exported), reinterpret_cast<void*>(&copy_layers_to_parent));
    const AEGP_Collection2H collection = new_collection();
    AEGP_Collection2H handle = collection;
    const AEGP_LayerH precomp = layer_handle("Main", 1);
    char prefix[kMaxPrefixBytes + 1] = {};
    options_.fixRandomExpressions = true;
    const PluginInfo pluginInfo = info();
    ASSERT_EQ(exported(&pluginInfo, precomp, prefix, &handle), A_Err_NONE);
    EXPECT_EQ(collection_layer_names(collection), (Names{"C", "B", "A"}));
    EXPECT_EQ(comp_named(project(), "Main").layers[0].streams.at(4).expression,
              "seedRandom(2); // this line was added by Outfold \n\nrandom(3)");
}

}  // namespace
}  // namespace outfold::testing
