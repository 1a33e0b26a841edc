#include "placement/carrier.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "expressions/layer_expressions.h"
#include "extract/rename.h"
#include "placement/source_users.h"
#include "shell/host_suites.h"
#include "shell/owned.h"
#include "shell/running_error.h"

namespace outfold {

namespace {

constexpr std::u16string_view kCarrierOpening = u"{{";
constexpr std::u16string_view kCarrierClosing = u"_outfold}}";

// The fixed buffer the name is handed over in: the longest name the host
// accepts plus its terminating zero.
constexpr std::size_t kNameBufferUnits = kMaxLayerNameUnits + 1;
using NameBuffer = std::array<A_UTF16Char, kNameBufferUnits>;

bool is_high_surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

NameBuffer name_buffer(std::u16string_view name) {
    NameBuffer buffer{};
    for (std::size_t i = 0; i < name.size() && i + 1 < buffer.size(); ++i) buffer[i] = name[i];
    return buffer;
}

// What the null copies from the pre-comp layer, read before the null exists.
struct CarrierPlan {
    AEGP_ItemH precompSource = nullptr;
    A_Ratio pixelAspect{0, 0};
    AEGP_CompH parentComp = nullptr;
    A_Time duration{0, 0};
    A_Time inPoint{0, 0};
};

A_Err read_carrier_plan(HostSuites& suites, AEGP_LayerH precompLayer, CarrierPlan* plan) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    err.then([&] { return layers.AEGP_GetLayerSourceItem(precompLayer, &plan->precompSource); })
        .then([&] {
            return suites.get<AEGP_ItemSuite_v7>().AEGP_GetItemPixelAspectRatio(plan->precompSource,
                                                                                &plan->pixelAspect);
        })
        .then([&] { return layers.AEGP_GetLayerParentComp(precompLayer, &plan->parentComp); })
        .then([&] {
            return layers.AEGP_GetLayerDuration(precompLayer, AEGP_LTimeMode_LayerTime,
                                                &plan->duration);
        })
        .then([&] {
            return layers.AEGP_GetLayerInPoint(precompLayer, AEGP_LTimeMode_CompTime,
                                               &plan->inPoint);
        });
    return err.code();
}

// Gives the null's solid the pixel aspect ratio of the pre-comp's source; the
// rest of the interpretation is handed back as it was read.
A_Err match_pixel_aspect(HostSuites& suites, AEGP_LayerH carrier, A_Ratio pixelAspect) {
    const auto& footage = suites.get<AEGP_FootageSuite_v11>();
    RunningError err;
    AEGP_ItemH solid = nullptr;
    AEGP_FootageInterp interpretation{};
    err.then([&] {
           return suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerSourceItem(carrier, &solid);
       })
        .then([&] { return footage.AEGP_GetFootageInterpretation(solid, false, &interpretation); })
        .then([&] {
            interpretation.pix_aspect_ratio = pixelAspect;
            return footage.AEGP_SetFootageInterpretation(solid, false, &interpretation);
        });
    return err.code();
}

// The null's 3D switch is set either way, so it always equals the pre-comp
// layer's.
A_Err match_3d_switch(HostSuites& suites, AEGP_LayerH precompLayer, AEGP_LayerH carrier) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    A_Boolean is3D = false;
    err.then([&] { return layers.AEGP_IsLayer3D(precompLayer, &is3D); }).then([&] {
        return layers.AEGP_SetLayerFlag(carrier, AEGP_LayerFlag_LAYER_IS_3D, is3D);
    });
    return err.code();
}

// The null follows the pre-comp layer's parent, so whatever it carries, and
// whatever it leaves in the copies when it goes, sits in the same space as
// the pre-comp layer did.
A_Err match_parent(HostSuites& suites, AEGP_LayerH precompLayer, AEGP_LayerH carrier) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    AEGP_LayerH parent = nullptr;
    err.then([&] { return layers.AEGP_GetLayerParent(precompLayer, &parent); });
    if (err.ok() && parent != nullptr)
        err.then([&] { return layers.AEGP_SetLayerParent(carrier, parent); });
    return err.code();
}

A_Err build_carrier(HostSuites& suites, AEGP_LayerH precompLayer, const NameBuffer& name,
                    AEGP_LayerH* carrierNull) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    CarrierPlan plan;
    err.then([&] { return read_carrier_plan(suites, precompLayer, &plan); })
        .then([&] {
            return suites.get<AEGP_CompSuite_v25>().AEGP_CreateNullInComp(
                name.data(), plan.parentComp, &plan.duration, carrierNull);
        })
        .then([&] {
            // The null starts at composition time 0, so its layer time is
            // composition time.
            return layers.AEGP_SetLayerInPointAndDuration(*carrierNull, AEGP_LTimeMode_LayerTime,
                                                          &plan.inPoint, &plan.duration);
        })
        .then([&] { return match_pixel_aspect(suites, *carrierNull, plan.pixelAspect); })
        .then([&] { return match_3d_switch(suites, precompLayer, *carrierNull); })
        .then([&] { return match_parent(suites, precompLayer, *carrierNull); });
    return err.code();
}

// The source item goes only when the layer was its last user: deleting an
// item takes every layer that shows it along.
A_Err delete_unused_item(HostSuites& suites, const PluginInfo* info, AEGP_ItemH item) {
    RunningError err;
    A_long users = 0;
    err.then([&] { return count_source_users(info, item, &users); });
    if (err.ok() && users == 0) {
        err.then([&] { return suites.get<AEGP_ItemSuite_v3>().AEGP_DeleteItem(item); });
    }
    return err.code();
}

// Calls visit(item) for every item of the project's walk, the root folder
// first, until it sets an error or *stop.
template <class Visit>
A_Err walk_items(HostSuites& suites, Visit&& visit) {
    const auto& items = suites.get<AEGP_ItemSuite_v10>();
    RunningError err;
    AEGP_ProjectH project = nullptr;
    AEGP_ItemH item = nullptr;
    bool stop = false;
    err.then([&] { return suites.get<AEGP_ProjSuite_v8>().AEGP_GetProjectByIndex(0, &project); })
        .then([&] { return items.AEGP_GetFirstProjItem(project, &item); });
    while (err.ok() && item != nullptr && !stop) {
        err.then([&] { return visit(item, &stop); }).then([&] {
            return items.AEGP_GetNextProjItem(project, item, &item);
        });
    }
    return err.code();
}

}  // namespace

std::u16string carrier_name(std::u16string_view precompName) {
    const std::size_t room = kMaxLayerNameUnits - kCarrierOpening.size() - kCarrierClosing.size();
    std::size_t kept = precompName.size() < room ? precompName.size() : room;
    if (kept < precompName.size() && kept > 0 && is_high_surrogate(precompName[kept - 1])) --kept;
    std::u16string name(kCarrierOpening);
    name += precompName.substr(0, kept);
    name += kCarrierClosing;
    return name;
}

A_Err create_carrier_null(const PluginInfo* info, AEGP_LayerH precompLayer,
                          AEGP_LayerH* carrierNull) {
    // A name that cannot be read leaves the middle empty: "{{_outfold}}".
    std::u16string precompName;
    static_cast<void>(get_layer_name(info, precompLayer, &precompName));
    const NameBuffer name = name_buffer(carrier_name(precompName));
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        return build_carrier(suites, precompLayer, name, carrierNull);
    });
}

A_Err delete_layer_and_source(const PluginInfo* info, AEGP_LayerH layer) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const auto& layers = suites.get<AEGP_LayerSuite_v10>();
        RunningError err;
        AEGP_ItemH source = nullptr;
        err.then([&] { return layers.AEGP_GetLayerSourceItem(layer, &source); }).then([&] {
            return layers.AEGP_DeleteLayer(layer);
        });
        if (err.ok() && source != nullptr) {
            err.then([&] { return delete_unused_item(suites, info, source); });
        }
        return err.code();
    });
}

A_Err list_folders(const PluginInfo* info, std::vector<A_long>* folders) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const auto& items = suites.get<AEGP_ItemSuite_v10>();
        const auto& types = suites.get<AEGP_ItemSuite_v3>();
        const A_Err err = walk_items(suites, [&](AEGP_ItemH item, bool*) {
            RunningError step;
            AEGP_ItemType type = AEGP_ItemType_NONE;
            A_long id = 0;
            step.then([&] { return types.AEGP_GetItemType(item, &type); });
            if (step.ok() && type == AEGP_ItemType_FOLDER) {
                step.then([&] { return items.AEGP_GetItemID(item, &id); });
                if (step.ok()) folders->push_back(id);
            }
            return step.code();
        });
        std::ranges::sort(*folders);
        return err;
    });
}

A_Err new_solid_folder(const PluginInfo* info, AEGP_LayerH carrierNull,
                       const std::vector<A_long>& foldersBefore, AEGP_ItemH* folder) {
    *folder = nullptr;
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const auto& items = suites.get<AEGP_ItemSuite_v10>();
        RunningError err;
        AEGP_ItemH solid = nullptr;
        AEGP_ItemH parent = nullptr;
        A_long id = 0;
        err.then([&] {
               return suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerSourceItem(carrierNull,
                                                                                &solid);
           })
            .then([&] { return items.AEGP_GetItemParentFolder(solid, &parent); });
        if (err.ok() && parent != nullptr) {
            err.then([&] { return items.AEGP_GetItemID(parent, &id); });
            if (err.ok() && !std::ranges::binary_search(foldersBefore, id)) *folder = parent;
        }
        return err.code();
    });
}

A_Err delete_folder_if_empty(const PluginInfo* info, AEGP_ItemH folder) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const auto& items = suites.get<AEGP_ItemSuite_v10>();
        RunningError err;
        A_long folderId = 0;
        bool filled = false;
        err.then([&] { return items.AEGP_GetItemID(folder, &folderId); }).then([&] {
            return walk_items(suites, [&](AEGP_ItemH item, bool* stop) {
                RunningError step;
                AEGP_ItemH parent = nullptr;
                A_long parentId = 0;
                step.then([&] { return items.AEGP_GetItemParentFolder(item, &parent); });
                if (step.ok() && parent != nullptr) {
                    step.then([&] { return items.AEGP_GetItemID(parent, &parentId); });
                    *stop = filled = step.ok() && parentId == folderId;
                }
                return step.code();
            });
        });
        if (err.ok() && !filled) err.then([&] { return items.AEGP_DeleteItem(folder); });
        return err.code();
    });
}

namespace {

// What parenting passes on; opacity is not folded.
constexpr AEGP_LayerStream kFoldedStreams[] = {
    AEGP_LayerStream_ANCHORPOINT, AEGP_LayerStream_POSITION, AEGP_LayerStream_SCALE,
    AEGP_LayerStream_ROTATION,    AEGP_LayerStream_ROTATE_X, AEGP_LayerStream_ROTATE_Y,
    AEGP_LayerStream_ORIENTATION,
};

A_Err has_transform_expression(HostSuites& suites, const PluginInfo* info, AEGP_LayerH layer,
                               bool* found) {
    const auto& streams = suites.get<AEGP_StreamSuite_v9>();
    RunningError err;
    for (const AEGP_LayerStream which : kFoldedStreams) {
        if (*found || !err.ok()) break;
        Owned<AEGP_StreamRefH> stream(streams.AEGP_DisposeStream);
        A_Boolean legal = false, enabled = false;
        // A camera has no scale, a 2D layer no orientation.
        err.then([&] { return streams.AEGP_IsStreamLegal(layer, which, &legal); });
        if (!err.ok() || !legal) continue;
        err.then([&] {
               return streams.AEGP_GetNewLayerStream(info->pluginId, layer, which, stream.out());
           })
            .then([&] {
                return streams.AEGP_GetExpressionState(info->pluginId, stream.get(), &enabled);
            });
        *found = err.ok() && enabled;
        err.keep_first(stream.release());
        // A separated Position's expressions are on its followers.
        if (which == AEGP_LayerStream_POSITION && err.ok() && !*found) {
            err.then([&] {
                return with_followers(suites, info, layer, [&](A_short, AEGP_StreamRefH follower) {
                    A_Boolean on = false;
                    const A_Err got =
                        streams.AEGP_GetExpressionState(info->pluginId, follower, &on);
                    *found = *found || (got == A_Err_NONE && on);
                    return got;
                });
            });
        }
    }
    return err.code();
}

}  // namespace

A_Err copies_need_carrier(const PluginInfo* info, AEGP_CompH parentComp, const ParentIndices& list,
                          bool* needed) {
    if (needed == nullptr) return A_Err_PARAMETER;
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const auto& layers = suites.get<AEGP_LayerSuite_v11>();
        RunningError err;
        bool found = false;
        for (std::size_t i = 0; i < list.size() && err.ok() && !found; ++i) {
            if (list[i] != kNoParent) continue;
            AEGP_LayerH copy = nullptr;
            err.then([&] {
                   return layers.AEGP_GetCompLayerByIndex(parentComp, static_cast<A_long>(i),
                                                          &copy);
               })
                .then([&] { return has_transform_expression(suites, info, copy, &found); });
        }
        if (found) *needed = true;
        return err.code();
    });
}

}  // namespace outfold
