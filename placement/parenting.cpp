#include "placement/parenting.h"

#include <cstddef>
#include <string>
#include <vector>

#include "shell/host_suites.h"
#include "shell/owned.h"
#include "shell/running_error.h"

namespace outfold {

namespace {

A_Err source_comp_of(HostSuites& suites, AEGP_LayerH precompLayer, AEGP_CompH* comp) {
    RunningError err;
    AEGP_ItemH source = nullptr;
    err.then([&] {
           return suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerSourceItem(precompLayer, &source);
       })
        .then([&] { return suites.get<AEGP_CompSuite_v9>().AEGP_GetCompFromItem(source, comp); });
    return err.code();
}

// Appends the parent's index of the layer at `index` and clears its link.
A_Err record_and_clear_parent(HostSuites& suites, AEGP_CompH comp, A_long index,
                              ParentIndices* out) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    AEGP_LayerH layer = nullptr;
    AEGP_LayerH parent = nullptr;
    err.then([&] { return layers.AEGP_GetCompLayerByIndex(comp, index, &layer); }).then([&] {
        return layers.AEGP_GetLayerParent(layer, &parent);
    });
    if (!err.ok()) return err.code();
    if (parent == nullptr) {
        out->push_back(kNoParent);
        return err.code();
    }
    A_long parentIndex = kNoParent;
    err.then([&] { return layers.AEGP_GetLayerIndex(parent, &parentIndex); });
    if (!err.ok()) return err.code();
    out->push_back(parentIndex);
    err.then([&] { return layers.AEGP_SetLayerParent(layer, nullptr); });
    return err.code();
}

A_Err link_layers(HostSuites& suites, AEGP_CompH comp, A_long child, A_long parent) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    AEGP_LayerH parentLayer = nullptr;
    AEGP_LayerH childLayer = nullptr;
    err.then([&] { return layers.AEGP_GetCompLayerByIndex(comp, parent, &parentLayer); })
        .then([&] { return layers.AEGP_GetCompLayerByIndex(comp, child, &childLayer); })
        .then([&] { return layers.AEGP_SetLayerParent(childLayer, parentLayer); });
    return err.code();
}

A_Err restore_links(HostSuites& suites, AEGP_CompH comp, const ParentIndices& list) {
    RunningError err;
    for (std::size_t i = 0; i < list.size() && err.ok(); ++i) {
        if (list[i] == kNoParent) continue;
        err.then([&] { return link_layers(suites, comp, static_cast<A_long>(i), list[i]); });
    }
    return err.code();
}

// The statement that gives the layer at 1-based `position` the layer at
// `parentPosition` as its parent, or none when that is 0.
std::string parent_statement(const std::string& comp, A_long position, A_long parentPosition) {
    const std::string parent = parentPosition == 0
                                   ? std::string("null")
                                   : comp + ".layer(" + std::to_string(parentPosition) + ")";
    return comp + ".layer(" + std::to_string(position) + ").parent = " + parent + "; ";
}

// Generated statements name the parent composition by its item id: the
// scripting engine's item numbering need not follow the suites' item walk.
A_Err comp_reference(HostSuites& suites, AEGP_CompH parentComp, std::string* reference) {
    RunningError err;
    AEGP_ItemH compItem = nullptr;
    A_long id = 0;
    err.then([&] {
           return suites.get<AEGP_CompSuite_v25>().AEGP_GetItemFromComp(parentComp, &compItem);
       })
        .then([&] { return suites.get<AEGP_ItemSuite_v7>().AEGP_GetItemID(compItem, &id); });
    if (err.ok()) *reference = "app.project.itemByID(" + std::to_string(id) + ")";
    return err.code();
}

A_Err run_statement(HostSuites& suites, const PluginInfo* info, const std::string& statement) {
    return suites.get<AEGP_UtilitySuite_v13>().AEGP_ExecuteScript(info->pluginId, statement.c_str(),
                                                                  false, nullptr, nullptr);
}

// 1-based position of a layer in its composition, 0 for none.
A_Err script_position(HostSuites& suites, AEGP_LayerH layer, A_long* position) {
    *position = 0;
    if (layer == nullptr) return A_Err_NONE;
    RunningError err;
    A_long index = 0;
    err.then([&] { return suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerIndex(layer, &index); });
    if (err.ok()) *position = index + 1;
    return err.code();
}

A_Err parent_of(HostSuites& suites, AEGP_LayerH layer, AEGP_LayerH* parent) {
    *parent = nullptr;
    if (layer == nullptr) return A_Err_NONE;
    return suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerParent(layer, parent);
}

// Moves the layer at `index` of the parent composition under `newParent`
// (none when null) by script, which keeps the layer's place and look.
A_Err reparent_by_script(HostSuites& suites, const PluginInfo* info, AEGP_CompH parentComp,
                         A_long index, AEGP_LayerH newParent) {
    RunningError err;
    std::string comp;
    A_long parentPosition = 0;
    AEGP_LayerH layer = nullptr;
    err.then([&] { return comp_reference(suites, parentComp, &comp); })
        .then([&] { return script_position(suites, newParent, &parentPosition); })
        .then([&] {
            return suites.get<AEGP_LayerSuite_v11>().AEGP_GetCompLayerByIndex(parentComp, index,
                                                                              &layer);
        })
        .then([&] {
            return run_statement(suites, info, parent_statement(comp, index + 1, parentPosition));
        });
    return err.code();
}

// Where a copy freed from the carrier goes: under the carrier's own parent
// when it hangs on the carrier and the carrier has one (the carrier's
// transform alone is then folded in, so the copy keeps following that
// parent's motion), else under no parent.
A_Err release_target(HostSuites& suites, AEGP_CompH parentComp, A_long index,
                     AEGP_LayerH carrierNull, AEGP_LayerH carrierParent, AEGP_LayerH* target) {
    *target = nullptr;
    if (carrierParent == nullptr) return A_Err_NONE;
    RunningError err;
    AEGP_LayerH layer = nullptr;
    AEGP_LayerH parent = nullptr;
    err.then([&] {
           return suites.get<AEGP_LayerSuite_v11>().AEGP_GetCompLayerByIndex(parentComp, index,
                                                                             &layer);
       })
        .then([&] { return parent_of(suites, layer, &parent); });
    if (err.ok() && parent == carrierNull) *target = carrierParent;
    return err.code();
}

// Layers of the composition whose parent is `layer`.
A_Err followers_of(HostSuites& suites, AEGP_LayerH layer, std::vector<AEGP_LayerH>* followers) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    RunningError err;
    AEGP_CompH comp = nullptr;
    A_long count = 0;
    err.then([&] { return layers.AEGP_GetLayerParentComp(layer, &comp); }).then([&] {
        return layers.AEGP_GetCompNumLayers(comp, &count);
    });
    for (A_long i = 0; i < count && err.ok(); ++i) {
        AEGP_LayerH candidate = nullptr;
        AEGP_LayerH parent = nullptr;
        err.then([&] { return layers.AEGP_GetCompLayerByIndex(comp, i, &candidate); }).then([&] {
            return parent_of(suites, candidate, &parent);
        });
        if (err.ok() && parent == layer) followers->push_back(candidate);
    }
    return err.code();
}

}  // namespace

A_Err detach_precomp_parents(const PluginInfo* info, AEGP_LayerH precompLayer, ParentIndices* out) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        RunningError err;
        AEGP_CompH comp = nullptr;
        A_long count = 0;
        err.then([&] { return source_comp_of(suites, precompLayer, &comp); }).then([&] {
            return suites.get<AEGP_LayerSuite_v11>().AEGP_GetCompNumLayers(comp, &count);
        });
        for (A_long i = 0; i < count && err.ok(); ++i) {
            err.then([&] { return record_and_clear_parent(suites, comp, i, out); });
        }
        return err.code();
    });
}

A_Err restore_parents(const PluginInfo* info, AEGP_CompH comp, ParentIndices list) {
    return with_suites(info->spBasic,
                       [&](HostSuites& suites) { return restore_links(suites, comp, list); });
}

A_Err restore_precomp_parents(const PluginInfo* info, AEGP_LayerH precompLayer,
                              ParentIndices list) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        RunningError err;
        AEGP_CompH comp = nullptr;
        err.then([&] { return source_comp_of(suites, precompLayer, &comp); }).then([&] {
            return restore_links(suites, comp, list);
        });
        return err.code();
    });
}

A_Err attach_to_carrier(const PluginInfo* info, AEGP_LayerH carrierNull, ParentIndices list) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const auto& layers = suites.get<AEGP_LayerSuite_v11>();
        RunningError err;
        AEGP_CompH comp = nullptr;
        err.then([&] { return layers.AEGP_GetLayerParentComp(carrierNull, &comp); });
        for (std::size_t i = 0; i < list.size() && err.ok(); ++i) {
            if (list[i] != kNoParent) continue;
            AEGP_LayerH layer = nullptr;
            err.then([&] {
                   return layers.AEGP_GetCompLayerByIndex(comp, static_cast<A_long>(i), &layer);
               })
                .then([&] { return layers.AEGP_SetLayerParent(layer, carrierNull); });
        }
        return err.code();
    });
}

A_Err detach_from_carrier(const PluginInfo* info, AEGP_CompH parentComp, AEGP_LayerH carrierNull,
                          ParentIndices list) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        RunningError err;
        AEGP_LayerH carrierParent = nullptr;
        err.then([&] { return parent_of(suites, carrierNull, &carrierParent); });
        for (std::size_t i = 0; i < list.size() && err.ok(); ++i) {
            if (list[i] != kNoParent) continue;
            const auto index = static_cast<A_long>(i);
            AEGP_LayerH target = nullptr;
            err.then([&] {
                   return release_target(suites, parentComp, index, carrierNull, carrierParent,
                                         &target);
               })
                .then([&] { return reparent_by_script(suites, info, parentComp, index, target); });
        }
        return err.code();
    });
}

A_Err hand_over_followers(const PluginInfo* info, AEGP_LayerH precompLayer,
                          AEGP_LayerH keptCarrier) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const auto& layers = suites.get<AEGP_LayerSuite_v11>();
        RunningError err;
        std::vector<AEGP_LayerH> followers;
        AEGP_LayerH precompParent = nullptr;
        AEGP_CompH comp = nullptr;
        err.then([&] { return followers_of(suites, precompLayer, &followers); })
            .then([&] { return parent_of(suites, precompLayer, &precompParent); })
            .then([&] { return layers.AEGP_GetLayerParentComp(precompLayer, &comp); });
        // A locked follower is freed by script all the same, and locked again.
        OwnedUnlocks unlocked(layers);
        for (AEGP_LayerH follower : followers) {
            if (keptCarrier != nullptr) {
                // The carrier's values and parent are the pre-comp layer's.
                err.then([&] { return layers.AEGP_SetLayerParent(follower, keptCarrier); });
                continue;
            }
            A_long index = 0;
            AEGP_LayerFlags flags = 0;
            err.then([&] { return layers.AEGP_GetLayerFlags(follower, &flags); });
            if ((flags & AEGP_LayerFlag_LOCKED) != 0)
                err.then([&] { return unlocked.unlock(follower); });
            err.then([&] { return layers.AEGP_GetLayerIndex(follower, &index); }).then([&] {
                return reparent_by_script(suites, info, comp, index, precompParent);
            });
        }
        err.keep_first(unlocked.release());
        return err.code();
    });
}

}  // namespace outfold
