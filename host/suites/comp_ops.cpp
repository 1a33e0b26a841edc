// Compositions, their selection and new null layers.
//
// A composition's selection is handed out as layer items (type 1) in stack
// order, followed by its other selected entries (masks, effects, streams,
// keyframes) in the order they were selected. For streams and keyframes the
// item's stream number is the layer-stream number.
#include <algorithm>

#include "suites/ops.h"
#include "suites/session.h"
#include "text/codec.h"

namespace host::suites::ops {

namespace {

constexpr std::size_t kMaxNameUnits = 255;

AEGP_CollectionItemV2 collection_item(Session& s, const model::SelectionEntry& entry) {
    AEGP_CollectionItemV2 item{};
    const AEGP_LayerH layer = s.registry().layer_handle(entry.layer);
    switch (entry.kind) {
        case model::SelectionKind::Layer:
            item.type = AEGP_CollectionItemType_LAYER;
            item.u.layer.layerH = layer;
            break;
        case model::SelectionKind::Mask:
            item.type = AEGP_CollectionItemType_MASK;
            item.u.mask = {layer, entry.index};
            break;
        case model::SelectionKind::Effect:
            item.type = AEGP_CollectionItemType_EFFECT;
            item.u.effect = {layer, entry.index};
            break;
        case model::SelectionKind::Stream:
            item.type = AEGP_CollectionItemType_STREAM;
            item.u.stream = {layer, 0, entry.index};
            break;
        case model::SelectionKind::Keyframe:
            item.type = AEGP_CollectionItemType_KEYFRAME;
            item.u.keyframe = {layer, entry.index, entry.sub};
            break;
    }
    return item;
}

model::SelectionEntry selection_entry(Session& s, const AEGP_CollectionItemV2& item,
                                      model::Id compItem) {
    model::SelectionEntry entry;
    const model::Layer& layer = s.layer(item.u.layer.layerH);
    if (s.comp_item_of(layer).id != compItem)
        throw BadArgument("a selected layer lies in another composition");
    entry.layer = layer.id;
    switch (item.type) {
        case AEGP_CollectionItemType_LAYER:
            entry.kind = model::SelectionKind::Layer;
            break;
        case AEGP_CollectionItemType_MASK:
            entry.kind = model::SelectionKind::Mask;
            entry.index = item.u.mask.index;
            break;
        case AEGP_CollectionItemType_EFFECT:
            entry.kind = model::SelectionKind::Effect;
            entry.index = item.u.effect.index;
            break;
        case AEGP_CollectionItemType_STREAM:
            entry.kind = model::SelectionKind::Stream;
            entry.index = item.u.stream.stream;
            break;
        case AEGP_CollectionItemType_KEYFRAME:
            entry.kind = model::SelectionKind::Keyframe;
            entry.index = item.u.keyframe.index;
            entry.sub = item.u.keyframe.keyframe;
            break;
        default:
            throw BadArgument("this kind of item cannot be selected");
    }
    return entry;
}

}  // namespace

A_Err AEGP_GetCompFromItem(AEGP_ItemH itemH, AEGP_CompH* compPH) {
    return run(__func__, [&](Session& s) {
        if (s.is_root(itemH)) throw BadArgument("not a composition");
        const model::Item& item = s.item(itemH);
        AEGP_CompH& comp = out(compPH);
        if (!item.comp) throw BadArgument("not a composition");
        comp = s.registry().comp_handle(item.id);
        return A_Err_NONE;
    });
}

A_Err AEGP_GetItemFromComp(AEGP_CompH compH, AEGP_ItemH* itemPH) {
    return run(__func__, [&](Session& s) {
        const model::Item& item = s.comp_item(compH);
        out(itemPH) = s.registry().item_handle(item.id);
        return A_Err_NONE;
    });
}

A_Err AEGP_GetNewCollectionFromCompSelection(AEGP_PluginID plugin_id, AEGP_CompH compH,
                                             AEGP_Collection2H* collectionPH) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(plugin_id);
        const model::Composition& comp = s.comp(compH);
        AEGP_Collection2H& collection = out(collectionPH);
        CollectionData data;
        for (const model::Layer& layer : comp.layers) {
            if (model::is_layer_selected(comp, layer.id))
                data.items.push_back(
                    collection_item(s, {model::SelectionKind::Layer, layer.id, 0, 0}));
        }
        for (const model::SelectionEntry& entry : comp.selection) {
            if (entry.kind != model::SelectionKind::Layer)
                data.items.push_back(collection_item(s, entry));
        }
        collection = s.registry().new_collection(std::move(data));
        return A_Err_NONE;
    });
}

A_Err AEGP_SetSelection(AEGP_CompH compH, AEGP_Collection2H collectionH) {
    return run(__func__, [&](Session& s) {
        model::Item& compItem = s.comp_item(compH);
        const CollectionData& data = s.registry().collection(collectionH);
        std::vector<model::SelectionEntry> selection;
        for (const AEGP_CollectionItemV2& item : data.items) {
            model::SelectionEntry entry = selection_entry(s, item, compItem.id);
            const bool known = std::any_of(selection.begin(), selection.end(), [&](const auto& e) {
                return e.kind == entry.kind && e.layer == entry.layer && e.index == entry.index &&
                       e.sub == entry.sub;
            });
            if (!known) selection.push_back(entry);
        }
        compItem.comp->selection = std::move(selection);
        return A_Err_NONE;
    });
}

A_Err AEGP_CreateNullInComp(const A_UTF16Char* nameZ, AEGP_CompH compH, const A_Time* durationPT,
                            AEGP_LayerH* new_null_solidPH) {
    return run(__func__, [&](Session& s) {
        if (nameZ == nullptr) throw BadArgument("null name");
        const auto* name = reinterpret_cast<const char16_t*>(nameZ);
        const std::size_t units = text::utf16_length(name, kMaxNameUnits);
        if (units > kMaxNameUnits) throw BadArgument("layer names hold at most 255 units");
        const model::Item& compItem = s.comp_item(compH);
        const model::Time duration = s.from_time(durationPT);
        AEGP_LayerH& layer = out(new_null_solidPH);
        const model::Layer& made = model::create_null_layer(
            s.project(), compItem.id, text::utf16_to_utf8({name, units}), duration);
        layer = s.registry().layer_handle(made.id);
        return A_Err_NONE;
    });
}

}  // namespace host::suites::ops
