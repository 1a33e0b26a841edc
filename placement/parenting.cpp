#include "placement/parenting.h"

#include <cstddef>
#include <string>

#include "extract/project_item_index.h"
#include "shell/host_suites.h"
#include "shell/running_error.h"

namespace outfold {

namespace {

// What a statement uses to name the parent composition when it cannot use
// app.project.activeItem and the item walk does not find it.
constexpr int kUnknownItemIndex = -1;

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

A_Err same_item(HostSuites& suites, AEGP_ItemH a, AEGP_ItemH b, bool* same) {
    const auto& items = suites.get<AEGP_ItemSuite_v7>();
    RunningError err;
    A_long idA = 0;
    A_long idB = 0;
    err.then([&] { return items.AEGP_GetItemID(a, &idA); }).then([&] {
        return items.AEGP_GetItemID(b, &idB);
    });
    *same = err.ok() && idA == idB;
    return err.code();
}

// app.project.activeItem names the composition only when it is the active
// item; being selected in the project panel alone does not make it so, and a
// statement sent to another composition would unparent that one's layers.
A_Err addressable_as_active_item(HostSuites& suites, AEGP_ItemH compItem, bool* active) {
    const auto& items = suites.get<AEGP_ItemSuite_v3>();
    RunningError err;
    A_Boolean selected = false;
    AEGP_ItemH activeItem = nullptr;
    *active = false;
    err.then([&] { return items.AEGP_IsItemSelected(compItem, &selected); });
    if (!err.ok() || !selected) return err.code();
    err.then([&] { return items.AEGP_GetActiveItem(&activeItem); });
    if (!err.ok() || activeItem == nullptr) return err.code();
    err.then([&] { return same_item(suites, compItem, activeItem, active); });
    return err.code();
}

std::string release_statement(const std::string& comp, A_long position) {
    return comp + ".layer(" + std::to_string(position) + ").parent = null; ";
}

// Builds the statement for the layer at `index` and runs it. `itemIndex`
// keeps the last number the item walk gave across entries.
A_Err release_from_parent(HostSuites& suites, const PluginInfo* info, AEGP_CompH parentComp,
                          A_long index, int* itemIndex) {
    RunningError err;
    AEGP_ItemH compItem = nullptr;
    bool active = false;
    err.then([&] {
           return suites.get<AEGP_CompSuite_v25>().AEGP_GetItemFromComp(parentComp, &compItem);
       })
        .then([&] { return addressable_as_active_item(suites, compItem, &active); });
    if (err.ok() && !active) {
        err.then([&] { return find_project_item_index(info, compItem, itemIndex); });
    }
    const std::string comp = active ? std::string("app.project.activeItem")
                                    : "app.project.item(" + std::to_string(*itemIndex) + ")";
    const std::string statement = release_statement(comp, index + 1);
    AEGP_LayerH layer = nullptr;
    err.then([&] {
           return suites.get<AEGP_LayerSuite_v11>().AEGP_GetCompLayerByIndex(parentComp, index,
                                                                             &layer);
       })
        .then([&] {
            return suites.get<AEGP_UtilitySuite_v13>().AEGP_ExecuteScript(
                info->pluginId, statement.c_str(), false, nullptr, nullptr);
        });
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

A_Err detach_from_carrier(const PluginInfo* info, AEGP_CompH parentComp, ParentIndices list) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        RunningError err;
        int itemIndex = kUnknownItemIndex;
        for (std::size_t i = 0; i < list.size() && err.ok(); ++i) {
            if (list[i] != kNoParent) continue;
            err.then([&] {
                return release_from_parent(suites, info, parentComp, static_cast<A_long>(i),
                                           &itemIndex);
            });
        }
        return err.code();
    });
}

}  // namespace outfold
