// Collections: lists of collection items. PushBack adopts a copy of the item,
// including its stream reference if it carries one (released with the
// collection).
#include "suites/ops.h"
#include "suites/session.h"

namespace host::suites::ops {

namespace {

void check_item(Session& s, const AEGP_CollectionItemV2& item) {
    if (item.type < AEGP_CollectionItemType_LAYER || item.type > AEGP_CollectionItemType_STREAMREF)
        throw BadArgument("unknown collection item type");
    if (item.type <= AEGP_CollectionItemType_KEYFRAME) s.layer(item.u.layer.layerH);
    if (item.stream_refH != nullptr) s.registry().stream(item.stream_refH);
}

}  // namespace

A_Err AEGP_NewCollection(AEGP_PluginID plugin_id, AEGP_Collection2H* collectionPH) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(plugin_id);
        out(collectionPH) = s.registry().new_collection();
        return A_Err_NONE;
    });
}

A_Err AEGP_DisposeCollection(AEGP_Collection2H collectionH) {
    return run(__func__, [&](Session& s) {
        CollectionData data = s.registry().take_collection(collectionH);
        for (const AEGP_CollectionItemV2& item : data.items) {
            if (item.stream_refH == nullptr) continue;
            try {
                s.registry().dispose_stream(item.stream_refH);
            } catch (const BadHandle&) {
                // Released by someone else already; nothing left to free.
            }
        }
        return A_Err_NONE;
    });
}

A_Err AEGP_GetCollectionNumItems(AEGP_Collection2H collectionH, A_u_long* num_itemsPL) {
    return run(__func__, [&](Session& s) {
        const CollectionData& data = s.registry().collection(collectionH);
        out(num_itemsPL) = static_cast<A_u_long>(data.items.size());
        return A_Err_NONE;
    });
}

A_Err AEGP_GetCollectionItemByIndex(AEGP_Collection2H collectionH, A_u_long indexL,
                                    AEGP_CollectionItemV2* itemP) {
    return run(__func__, [&](Session& s) {
        const CollectionData& data = s.registry().collection(collectionH);
        AEGP_CollectionItemV2& item = out(itemP);
        if (indexL >= data.items.size()) throw BadArgument("collection index out of range");
        item = data.items[indexL];
        return A_Err_NONE;
    });
}

A_Err AEGP_CollectionPushBack(AEGP_Collection2H collectionH, const AEGP_CollectionItemV2* itemP) {
    return run(__func__, [&](Session& s) {
        CollectionData& data = s.registry().collection(collectionH);
        const AEGP_CollectionItemV2& item = in(itemP);
        check_item(s, item);
        data.items.push_back(item);
        return A_Err_NONE;
    });
}

}  // namespace host::suites::ops
