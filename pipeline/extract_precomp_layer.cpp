#include "pipeline/extract_precomp_layer.h"

#include <string>
#include <vector>

#include "attributes/effect_transfer.h"
#include "attributes/look_transfer.h"
#include "attributes/still_look.h"
#include "attributes/stream_transfer.h"
#include "extract/copy_layers.h"
#include "extract/rename.h"
#include "pipeline/copy_references.h"
#include "pipeline/layer_locks.h"
#include "placement/carrier.h"
#include "placement/layer_3d.h"
#include "placement/parenting.h"
#include "placement/stacking.h"
#include "placement/timing.h"
#include "shell/owned.h"
#include "shell/running_error.h"

namespace outfold {
namespace {

constexpr char16_t kNameSeparator[] = u"_";

// What the steps for one pre-comp layer hand on to each other.
struct LayerExtraction {
    AEGP_LayerH precompLayer = nullptr;
    AEGP_LayerH carrierNull = nullptr;
    ParentIndices parentIndices;
    // The links inside the pre-comp are cleared and not yet put back.
    bool precompLinksCleared = false;
    // The carrier stays: something on it varies (keyframes or an expression),
    // or folding it into the copies would not keep them exactly in place.
    bool keepsCarrier = false;
    A_long targetIndex = 0;
    // The folders before the carrier was made, and the one made for its
    // solid, if any: it goes when the carrier leaves it empty.
    std::vector<A_long> foldersBefore;
    AEGP_ItemH solidFolder = nullptr;
    // Locked layers inside the pre-comp, unlocked while the copy script
    // renames them; the copies of locked layers, locked at the end.
    std::vector<bool> innerLocked;
    std::vector<AEGP_LayerH> unlockedInner;
    std::vector<AEGP_LayerH> copiesToLock;
    // The copies' expressions as they were copied, pointed at the copies at the end.
    CopiedExpressions copied;
    Uncarried* notes = nullptr;
};

A_Err unlock_inner_layers(HostSuites& suites, LayerExtraction& layer, const PluginInfo* info) {
    RunningError error;
    AEGP_ItemH source = nullptr;
    AEGP_CompH inner = nullptr;
    error
        .then([&] {
            return suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerSourceItem(layer.precompLayer,
                                                                             &source);
        })
        .then([&] { return suites.get<AEGP_CompSuite_v9>().AEGP_GetCompFromItem(source, &inner); })
        .then([&] {
            return unlock_layers_of(info, inner, &layer.innerLocked, &layer.unlockedInner);
        });
    return error.code();
}

// Collection item k is the copy of the pre-comp layer at index N - 1 - k.
A_Err note_copies_of_locked(HostSuites& suites, LayerExtraction& layer,
                            AEGP_Collection2H extracted) {
    const auto& collections = suites.get<AEGP_CollectionSuite_v2>();
    const std::size_t count = layer.innerLocked.size();
    RunningError error;
    for (std::size_t k = 0; k < count && error.ok(); ++k) {
        if (!layer.innerLocked[count - 1 - k]) continue;
        AEGP_CollectionItemV2 item{};
        error.then([&] {
            return collections.AEGP_GetCollectionItemByIndex(extracted, static_cast<A_u_long>(k),
                                                             &item);
        });
        if (error.ok()) layer.copiesToLock.push_back(item.u.layer.layerH);
    }
    return error.code();
}

bool copies_attributes(const ExtractionRun& run) {
    return run.info->options != nullptr && run.info->options->copyAttributes;
}

bool keeps_precomp_layer(const ExtractionRun& run) {
    return run.info->options != nullptr && run.info->options->keepInComp;
}

A_Err detach_links_inside_precomp(const ExtractionRun& run, LayerExtraction& layer) {
    // Set before the call: a failure halfway may already have cleared links.
    layer.precompLinksCleared = true;
    return detach_precomp_parents(run.info, layer.precompLayer, &layer.parentIndices);
}

A_Err restore_links_inside_precomp(const ExtractionRun& run, LayerExtraction& layer) {
    const A_Err err = restore_precomp_parents(run.info, layer.precompLayer, layer.parentIndices);
    if (err == A_Err_NONE) layer.precompLinksCleared = false;
    return err;
}

// Copies of a 3D pre-comp layer's layers become 3D as well.
A_Err match_3d_switch(HostSuites& suites, const ExtractionRun& run, AEGP_LayerH precompLayer,
                      AEGP_Collection2H extracted) {
    RunningError error;
    A_Boolean is3D = false;
    error.then(
        [&] { return suites.get<AEGP_LayerSuite_v11>().AEGP_IsLayer3D(precompLayer, &is3D); });
    if (is3D) error.then([&] { return make_layers_3d(run.info, extracted); });
    return error.code();
}

// The copies' new names: the pre-comp layer's name and/or the user's prefix
// in front of each; nothing is renamed when both are absent. *renamed tells
// whether the fix after renaming ran.
// Whether the application's fix touches expressions on locked layers is left
// open, and it may find them anywhere on a layer: every locked layer of the
// project is unlocked while the fixes run, so they reach them either way.
A_Err rename_copies(HostSuites& suites, const ExtractionRun& run, AEGP_LayerH precompLayer,
                    AEGP_Collection2H extracted, bool* renamed) {
    const std::u16string prefix = compose_name_prefix(run.info, precompLayer, run.prefix);
    *renamed = !prefix.empty();
    if (prefix.empty()) return A_Err_NONE;
    OwnedUnlocks unlocked(suites.get<AEGP_LayerSuite_v11>());
    RunningError error;
    A_u_long copies = 0;
    error.then([&] {
        return suites.get<AEGP_CollectionSuite_v2>().AEGP_GetCollectionNumItems(extracted, &copies);
    });
    if (copies > 0) error.then([&] { return unlock_project_layers(run.info, &unlocked); });
    error.then(
        [&] { return rename_extracted_layers(run.info, extracted, prefix, kNameSeparator); });
    error.keep_first(unlocked.release());
    return error.code();
}

// Puts the copies where the pre-comp layer is now.
A_Err place_copies(HostSuites& suites, const ExtractionRun& run, LayerExtraction& layer,
                   AEGP_Collection2H extracted) {
    RunningError error;
    error
        .then([&] {
            return suites.get<AEGP_LayerSuite_v12>().AEGP_GetLayerIndex(layer.precompLayer,
                                                                        &layer.targetIndex);
        })
        .then([&] { return place_extracted_layers(run.info, extracted, layer.targetIndex); });
    return error.code();
}

// The carrier carries animation: it joins the copies at the pre-comp layer's
// place and counts as one of them from now on.
A_Err keep_carrier(HostSuites& suites, const LayerExtraction& layer, AEGP_Collection2H extracted) {
    RunningError error;
    error
        .then([&] {
            return suites.get<AEGP_LayerSuite_v12>().AEGP_ReorderLayer(layer.carrierNull,
                                                                       layer.targetIndex);
        })
        .then([&] {
            AEGP_CollectionItemV2 item{};
            item.type = AEGP_CollectionItemType_LAYER;
            item.u.layer.layerH = layer.carrierNull;
            return suites.get<AEGP_CollectionSuite_v2>().AEGP_CollectionPushBack(extracted, &item);
        });
    return error.code();
}

// Hands the pre-comp layer's attributes to the copies: 3D switch (done
// earlier, right after the copy), timing, the carrier as parent with the
// pre-comp layer's transform, its effects, switches, blending and opacity.
void transfer_attributes(RunningError& error, const ExtractionRun& run, LayerExtraction& layer,
                         AEGP_Collection2H extracted) {
    const PluginInfo* info = run.info;
    FoldCheck fold;
    error
        .then(
            [&] { return retime_extracted_layers(info, layer.precompLayer, layer.parentIndices); })
        .then([&] { return attach_to_carrier(info, layer.carrierNull, layer.parentIndices); })
        .then([&] {
            layer.keepsCarrier = false;
            return copy_transform_to_layer(info, layer.carrierNull, layer.precompLayer,
                                           &layer.keepsCarrier);
        })
        .then([&] { return copy_effects_to_layers(info, layer.precompLayer, extracted); })
        .then([&] {
            return carry_look_to_layers(info, layer.precompLayer, layer.carrierNull, extracted,
                                        &layer.keepsCarrier, &layer.notes->look);
        })
        .then([&] {
            return carry_still_look(info, layer.precompLayer, run.parentComp, layer.parentIndices,
                                    &fold, &layer.notes->look);
        });
    // Only a still carrier is folded into the copies, and only where that is
    // exact. Copies with transform expressions keep it, unless it changes
    // nothing.
    if (!layer.keepsCarrier && fold.exact && !fold.identity) {
        bool needed = false;
        error.then([&] {
            return copies_need_carrier(info, run.parentComp, layer.parentIndices, &needed);
        });
        layer.keepsCarrier = needed;
    }
    if (!fold.exact) layer.keepsCarrier = true;
}

// The steps after a whole-layer copy: the copy already has everything the
// pre-comp layer had, so it only takes the name prefix, the pre-comp layer's
// place and its followers. The time remapping and track matte go along.
A_Err run_whole_layer_steps(HostSuites& suites, ExtractionRun& run, LayerExtraction& layer,
                            const WholeCopy& whole, AEGP_Collection2H extracted, bool lastItem) {
    const PluginInfo* info = run.info;
    layer.notes->timeRemapping = layer.notes->trackMatte = false;
    if (whole.innerLocked) layer.copiesToLock.push_back(whole.copy);
    RunningError error;
    if (run.parentComp == nullptr) {
        error.then([&] {
            return suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerParentComp(layer.precompLayer,
                                                                             &run.parentComp);
        });
    }
    bool renamed = false;
    error.then([&] { return rename_copies(suites, run, layer.precompLayer, extracted, &renamed); })
        .then([&] { return place_copies(suites, run, layer, extracted); });
    if (!keeps_precomp_layer(run))
        error.then([&] { return hand_over_followers(info, layer.precompLayer, whole.copy); });
    error.then([&] { return dispose_precomp_layer(info, layer.precompLayer, &run.ledger); });
    if (lastItem) {
        error.then([&] {
            return suites.get<AEGP_CompSuite_v14>().AEGP_SetSelection(run.parentComp, extracted);
        });
    }
    return error.code();
}

// Every step for one pre-comp layer, in order, each only while no error has
// occurred and under its condition.
A_Err run_layer_steps(HostSuites& suites, ExtractionRun& run, LayerExtraction& layer,
                      Owned<AEGP_Collection2H>& extracted, bool lastItem) {
    const PluginInfo* info = run.info;
    const bool attributes = copies_attributes(run);
    RunningError error;
    error.then([&] {
        return suites.get<AEGP_CollectionSuite_v2>().AEGP_NewCollection(info->pluginId,
                                                                        extracted.out());
    });
    WholeCopy whole;
    if (attributes) {
        error.then([&] {
            return copy_whole_precomp_layer(info, layer.precompLayer, extracted.get(), &whole);
        });
    }
    if (error.ok() && whole.made)
        return run_whole_layer_steps(suites, run, layer, whole, extracted.get(), lastItem);
    error.then([&] { return list_folders(info, &layer.foldersBefore); })
        .then([&] { return create_carrier_null(info, layer.precompLayer, &layer.carrierNull); })
        .then([&] {
            return new_solid_folder(info, layer.carrierNull, layer.foldersBefore,
                                    &layer.solidFolder);
        })
        .then([&] { return detach_links_inside_precomp(run, layer); })
        .then([&] { return unlock_inner_layers(suites, layer, info); })
        .then([&] {
            return copy_layers_to_parent(info, layer.precompLayer, run.prefix, extracted.out());
        });
    error.keep_first(lock_layers(info, layer.unlockedInner));
    layer.unlockedInner.clear();
    error.then([&] { return note_copies_of_locked(suites, layer, extracted.get()); }).then([&] {
        return read_copied_expressions(info, layer.precompLayer, extracted.get(), &layer.copied);
    });
    if (attributes) {
        error.then(
            [&] { return match_3d_switch(suites, run, layer.precompLayer, extracted.get()); });
    }
    if (run.parentComp == nullptr) {
        error.then([&] {
            return suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerParentComp(layer.precompLayer,
                                                                             &run.parentComp);
        });
    }
    error.then([&] { return gather_extracted_layers(info, extracted.get()); })
        .then([&] { return restore_parents(info, run.parentComp, layer.parentIndices); })
        .then([&] { return restore_links_inside_precomp(run, layer); });
    if (attributes) transfer_attributes(error, run, layer, extracted.get());
    const bool keepCarrier = attributes && layer.keepsCarrier;
    if (!keepCarrier) {
        // While the copies still hold the top of the stack.
        error.then([&] {
            return detach_from_carrier(info, run.parentComp, layer.carrierNull,
                                       layer.parentIndices);
        });
    }
    bool renamed = false;
    error
        .then([&] {
            return rename_copies(suites, run, layer.precompLayer, extracted.get(), &renamed);
        })
        .then([&] { return place_copies(suites, run, layer, extracted.get()); });
    if (keepCarrier) {
        error.then([&] { return keep_carrier(suites, layer, extracted.get()); });
    } else {
        error.then([&] { return delete_layer_and_source(info, layer.carrierNull); });
        if (layer.solidFolder != nullptr)
            error.then([&] { return delete_folder_if_empty(info, layer.solidFolder); });
    }
    error.then([&] {
        // The fix after renaming may have touched the copies' expressions.
        PointedCopies pointed;
        const A_Err pointing = point_copies_at_copies(info, layer.precompLayer, run.parentComp,
                                                      std::move(layer.copied), renamed, &run.quoted,
                                                      &layer.notes->unresolvedReferences, &pointed);
        if (pointed.byIndex) run.pointed.push_back(std::move(pointed));
        return pointing;
    });
    if (!keeps_precomp_layer(run)) {
        error.then([&] {
            return hand_over_followers(info, layer.precompLayer,
                                       keepCarrier ? layer.carrierNull : nullptr);
        });
    }
    error.then([&] { return dispose_precomp_layer(info, layer.precompLayer, &run.ledger); });
    if (lastItem) {
        error.then([&] {
            return suites.get<AEGP_CompSuite_v14>().AEGP_SetSelection(run.parentComp,
                                                                      extracted.get());
        });
    }
    return error.code();
}

}  // namespace

A_Err extract_precomp_layer(HostSuites& suites, ExtractionRun& run, AEGP_LayerH precompLayer,
                            bool lastItem, Uncarried* notes) {
    Owned<AEGP_Collection2H> extracted(
        suites.get<AEGP_CollectionSuite_v2>().AEGP_DisposeCollection);
    LayerExtraction layer;
    layer.precompLayer = precompLayer;
    layer.notes = notes;
    RunningError error;
    error.then([&] {
        return exception_as_error(
            [&] { return run_layer_steps(suites, run, layer, extracted, lastItem); });
    });
    // A run that stopped before the links inside the pre-comp were put back
    // leaves the pre-comp as it found it all the same.
    if (layer.precompLinksCleared) error.keep_first(restore_links_inside_precomp(run, layer));
    error.keep_first(lock_layers(run.info, layer.unlockedInner));
    error.keep_first(lock_layers(run.info, layer.copiesToLock));
    error.keep_first(extracted.release());
    return error.code();
}

}  // namespace outfold
