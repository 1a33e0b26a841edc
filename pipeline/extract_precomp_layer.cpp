#include "pipeline/extract_precomp_layer.h"

#include <string>

#include "extract/copy_layers.h"
#include "extract/rename.h"
#include "placement/stacking.h"
#include "shell/owned_collection.h"
#include "shell/running_error.h"

namespace outfold {
namespace {

constexpr char16_t kNameSeparator[] = u"_";

// The copies' new names: the pre-comp layer's name and/or the user's prefix
// in front of each; nothing is renamed when both are absent.
A_Err rename_copies(const ExtractionRun& run, AEGP_LayerH precompLayer,
                    AEGP_Collection2H extracted) {
    const std::u16string prefix = compose_name_prefix(run.info, precompLayer, run.prefix);
    if (prefix.empty()) return A_Err_NONE;
    return rename_extracted_layers(run.info, extracted, prefix, kNameSeparator);
}

// Puts the copies where the pre-comp layer is now.
A_Err place_copies(HostSuites& suites, const ExtractionRun& run, AEGP_LayerH precompLayer,
                   AEGP_Collection2H extracted) {
    A_long targetIndex = 0;
    RunningError error;
    error
        .then([&] {
            return suites.get<AEGP_LayerSuite_v12>().AEGP_GetLayerIndex(precompLayer, &targetIndex);
        })
        .then([&] { return place_extracted_layers(run.info, extracted, targetIndex); });
    return error.code();
}

}  // namespace

A_Err extract_precomp_layer(HostSuites& suites, ExtractionRun& run, AEGP_LayerH precompLayer,
                            bool lastItem) {
    const PluginInfo* info = run.info;
    const auto& collections = suites.get<AEGP_CollectionSuite_v2>();
    OwnedCollection extracted(collections);
    RunningError error;
    error.then([&] { return collections.AEGP_NewCollection(info->pluginId, extracted.address()); })
        .then([&] {
            return copy_layers_to_parent(info, precompLayer, run.prefix, extracted.address());
        });
    if (run.parentComp == nullptr) {
        error.then([&] {
            return suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerParentComp(precompLayer,
                                                                             &run.parentComp);
        });
    }
    error.then([&] { return gather_extracted_layers(info, extracted.get()); })
        .then([&] { return rename_copies(run, precompLayer, extracted.get()); })
        .then([&] { return place_copies(suites, run, precompLayer, extracted.get()); })
        .then([&] { return dispose_precomp_layer(info, precompLayer, &run.ledger); });
    if (lastItem) {
        error.then([&] {
            return suites.get<AEGP_CompSuite_v14>().AEGP_SetSelection(run.parentComp,
                                                                      extracted.get());
        });
    }
    error.keep_first(extracted.dispose());
    return error.code();
}

}  // namespace outfold
