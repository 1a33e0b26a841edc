// Items, the project and footage interpretation.
//
// The item walk starts at the root folder and then visits the project's items
// in their script numbering, so an item's position in the walk is its script
// number.
#include <cstring>
#include <limits>

#include "suites/ops.h"
#include "suites/session.h"

namespace host::suites::ops {

namespace {

A_Ratio to_ratio(model::Rational r) {
    if (r.num > std::numeric_limits<A_long>::max() || r.num < std::numeric_limits<A_long>::min() ||
        r.den > std::numeric_limits<A_u_long>::max())
        throw std::overflow_error("ratio out of range");
    return A_Ratio{static_cast<A_long>(r.num), static_cast<A_u_long>(r.den)};
}

void put_u32(std::uint8_t* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The interpretation record as the host hands it out. Only the pixel aspect
// ratio may be changed; the other bytes describe the rest of the footage's
// interpretation (item id, conformed frame rate, kind) and must come back
// as they were read.
AEGP_FootageInterp interpretation_of(const model::Item& item) {
    AEGP_FootageInterp record;
    std::memset(&record, 0, sizeof record);
    const model::Footage& footage = *item.footage;
    put_u32(record.leading, static_cast<std::uint32_t>(item.id));
    put_u32(record.leading + 4, static_cast<std::uint32_t>(footage.frameRate.num));
    put_u32(record.leading + 8, static_cast<std::uint32_t>(footage.frameRate.den));
    put_u32(record.leading + 12, static_cast<std::uint32_t>(footage.kind));
    record.pix_aspect_ratio = to_ratio(footage.pixelAspect);
    return record;
}

model::Item& footage_item(Session& s, AEGP_ItemH itemH, A_Boolean proxyB) {
    if (s.is_root(itemH)) throw BadArgument("the root folder is not footage");
    model::Item& item = s.item(itemH);
    if (!item.footage) throw BadArgument("not a footage item");
    if (proxyB) throw BadArgument("the item has no proxy");
    return item;
}

}  // namespace

A_Err AEGP_GetProjectByIndex(A_long proj_indexL, AEGP_ProjectH* projPH) {
    return run(__func__, [&](Session& s) {
        AEGP_ProjectH& project = out(projPH);
        if (proj_indexL != 0) throw BadArgument("only project 0 is open");
        project = s.registry().project_handle();
        return A_Err_NONE;
    });
}

A_Err AEGP_GetActiveItem(AEGP_ItemH* itemPH) {
    return run(__func__, [&](Session& s) {
        AEGP_ItemH& item = out(itemPH);
        const model::Id active = s.project().activeItem;
        item = model::find_item(s.project(), active) ? s.registry().item_handle(active) : nullptr;
        return A_Err_NONE;
    });
}

A_Err AEGP_IsItemSelected(AEGP_ItemH itemH, A_Boolean* selectedPB) {
    return run(__func__, [&](Session& s) {
        const bool selected = !s.is_root(itemH) && s.item(itemH).selected;
        out(selectedPB) = selected;
        return A_Err_NONE;
    });
}

A_Err AEGP_GetItemType(AEGP_ItemH itemH, AEGP_ItemType* item_type) {
    return run(__func__, [&](Session& s) {
        AEGP_ItemType type = AEGP_ItemType_FOLDER;
        if (!s.is_root(itemH)) {
            switch (s.item(itemH).kind) {
                case model::ItemKind::Folder:
                    type = AEGP_ItemType_FOLDER;
                    break;
                case model::ItemKind::Composition:
                    type = AEGP_ItemType_COMP;
                    break;
                case model::ItemKind::Footage:
                    type = AEGP_ItemType_FOOTAGE;
                    break;
            }
        }
        out(item_type) = type;
        return A_Err_NONE;
    });
}

A_Err AEGP_DeleteItem(AEGP_ItemH itemH) {
    return run(__func__, [&](Session& s) {
        if (s.is_root(itemH)) throw BadArgument("the root folder cannot be deleted");
        model::delete_item(s.project(), s.item(itemH).id);
        return A_Err_NONE;
    });
}

A_Err AEGP_GetItemID(AEGP_ItemH itemH, A_long* item_id) {
    return run(__func__, [&](Session& s) {
        const model::Id id = s.is_root(itemH) ? s.project().rootFolder : s.item(itemH).id;
        out(item_id) = id;
        return A_Err_NONE;
    });
}

A_Err AEGP_GetItemPixelAspectRatio(AEGP_ItemH itemH, A_Ratio* pix_aspect_ratioPRt) {
    return run(__func__, [&](Session& s) {
        if (s.is_root(itemH)) throw BadArgument("folders have no pixel aspect ratio");
        const model::Item& item = s.item(itemH);
        A_Ratio& ratio = out(pix_aspect_ratioPRt);
        if (item.comp) {
            ratio = to_ratio(item.comp->pixelAspect);
        } else if (item.footage) {
            ratio = to_ratio(item.footage->pixelAspect);
        } else {
            throw BadArgument("folders have no pixel aspect ratio");
        }
        return A_Err_NONE;
    });
}

A_Err AEGP_GetFirstProjItem(AEGP_ProjectH projectH, AEGP_ItemH* itemPH) {
    return run(__func__, [&](Session& s) {
        s.registry().check_project(projectH);
        out(itemPH) = s.registry().item_handle(s.project().rootFolder);
        return A_Err_NONE;
    });
}

// The root folder has none (a null handle).
A_Err AEGP_GetItemParentFolder(AEGP_ItemH itemH, AEGP_ItemH* parent_folder_itemPH) {
    return run(__func__, [&](Session& s) {
        const bool root = s.is_root(itemH);
        const model::Id folder = root ? model::kNoId : s.item(itemH).folder;
        AEGP_ItemH& parent = out(parent_folder_itemPH);
        parent = root ? nullptr : s.registry().item_handle(folder);
        return A_Err_NONE;
    });
}

A_Err AEGP_GetNextProjItem(AEGP_ProjectH projectH, AEGP_ItemH itemH, AEGP_ItemH* next_itemPH) {
    return run(__func__, [&](Session& s) {
        s.registry().check_project(projectH);
        AEGP_ItemH& next = out(next_itemPH);
        const auto& items = s.project().items;
        const std::size_t following =
            s.is_root(itemH)
                ? 0
                : static_cast<std::size_t>(model::item_script_index(s.project(), s.item(itemH).id));
        next = following < items.size() ? s.registry().item_handle(items[following].id) : nullptr;
        return A_Err_NONE;
    });
}

A_Err AEGP_GetFootageInterpretation(AEGP_ItemH itemH, A_Boolean proxyB,
                                    AEGP_FootageInterp* interpP) {
    return run(__func__, [&](Session& s) {
        const model::Item& item = footage_item(s, itemH, proxyB);
        out(interpP) = interpretation_of(item);
        return A_Err_NONE;
    });
}

A_Err AEGP_SetFootageInterpretation(AEGP_ItemH itemH, A_Boolean proxyB,
                                    const AEGP_FootageInterp* interpP) {
    return run(__func__, [&](Session& s) {
        model::Item& item = footage_item(s, itemH, proxyB);
        const AEGP_FootageInterp& given = in(interpP);
        const AEGP_FootageInterp current = interpretation_of(item);
        if (std::memcmp(given.leading, current.leading, sizeof given.leading) != 0 ||
            std::memcmp(given.trailing, current.trailing, sizeof given.trailing) != 0)
            throw BadArgument("the interpretation record was not read from this item");
        if (given.pix_aspect_ratio.num <= 0 || given.pix_aspect_ratio.den == 0)
            throw BadArgument("pixel aspect ratio must be positive");
        item.footage->pixelAspect =
            model::Rational::of(given.pix_aspect_ratio.num, given.pix_aspect_ratio.den);
        return A_Err_NONE;
    });
}

}  // namespace host::suites::ops
