#include "placement/layer_3d.h"

#include "shell/host_suites.h"
#include "shell/running_error.h"

namespace outfold {

A_Err make_layers_3d(const PluginInfo* info, AEGP_Collection2H layers) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const auto& collections = suites.get<AEGP_CollectionSuite_v2>();
        RunningError err;
        A_u_long count = 0;
        err.then([&] { return collections.AEGP_GetCollectionNumItems(layers, &count); });
        AEGP_CollectionItemV2 item{};
        for (A_u_long i = 0; i < count && err.ok(); ++i) {
            err.then([&] { return collections.AEGP_GetCollectionItemByIndex(layers, i, &item); });
            if (!err.ok() || item.type != AEGP_CollectionItemType_LAYER) continue;
            err.then([&] {
                return suites.get<AEGP_LayerSuite_v11>().AEGP_SetLayerFlag(
                    item.u.layer.layerH, AEGP_LayerFlag_LAYER_IS_3D, true);
            });
        }
        return err.code();
    });
}

}  // namespace outfold
