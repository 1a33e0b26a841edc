#include "placement/stacking.h"

#include "shell/host_suites.h"
#include "shell/running_error.h"

namespace outfold {

namespace {

// Moves the layer of item `position` to `targetIndex`; other kinds of item
// are passed over.
A_Err move_layer_item(HostSuites& suites, AEGP_Collection2H layers, A_u_long position,
                      A_long targetIndex) {
    RunningError err;
    AEGP_CollectionItemV2 item{};
    err.then([&] {
        return suites.get<AEGP_CollectionSuite_v2>().AEGP_GetCollectionItemByIndex(layers, position,
                                                                                   &item);
    });
    if (!err.ok() || item.type != AEGP_CollectionItemType_LAYER) return err.code();
    err.then([&] {
        return suites.get<AEGP_LayerSuite_v11>().AEGP_ReorderLayer(item.u.layer.layerH,
                                                                   targetIndex);
    });
    return err.code();
}

A_Err count_items(HostSuites& suites, AEGP_Collection2H layers, A_u_long* count) {
    return suites.get<AEGP_CollectionSuite_v2>().AEGP_GetCollectionNumItems(layers, count);
}

}  // namespace

A_Err gather_extracted_layers(const PluginInfo* info, AEGP_Collection2H extractedLayers) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        RunningError err;
        A_u_long count = 0;
        err.then([&] { return count_items(suites, extractedLayers, &count); });
        for (A_u_long i = 0; i < count; ++i) {
            err.then([&] { return move_layer_item(suites, extractedLayers, i, 0); });
        }
        return err.code();
    });
}

A_Err place_extracted_layers(const PluginInfo* info, AEGP_Collection2H extractedLayers,
                             A_long targetIndex) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        RunningError err;
        A_u_long count = 0;
        err.then([&] { return count_items(suites, extractedLayers, &count); });
        for (A_u_long i = count; i > 0; --i) {
            err.then([&] { return move_layer_item(suites, extractedLayers, i - 1, targetIndex); });
        }
        return err.code();
    });
}

}  // namespace outfold
