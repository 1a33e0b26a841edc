#include "model/project_ops.h"

#include <algorithm>
#include <set>
#include <utility>

#include "model/script_ops.h"
#include "model/streams.h"

namespace host::model {

namespace {

[[noreturn]] void fail(const std::string& what) { throw ModelError(what); }

Id folder_or_root(const Project& project, Id folder) {
    if (folder == kNoId) return project.rootFolder;
    if (is_root_folder(project, folder)) return folder;
    const Item* item = find_item(project, folder);
    if (item == nullptr || item->kind != ItemKind::Folder) fail("no such folder");
    return folder;
}

Item& append_item(Project& project, ItemKind kind, std::string name, Id folder) {
    Item item;
    item.kind = kind;
    item.name = std::move(name);
    item.folder = folder_or_root(project, folder);
    item.id = new_id(project);
    project.items.push_back(std::move(item));
    return project.items.back();
}

// Every item inside the folder, at any depth, and the folder itself.
std::set<Id> folder_and_contents(const Project& project, Id folder) {
    std::set<Id> ids{folder};
    bool grew = true;
    while (grew) {
        grew = false;
        for (const Item& item : project.items) {
            if (ids.count(item.folder) != 0 && ids.insert(item.id).second) grew = true;
        }
    }
    return ids;
}

void forget_layer(Composition& comp, Id layerId) {
    for (Layer& other : comp.layers) {
        if (other.parent == layerId) other.parent = kNoId;
    }
    std::erase_if(comp.selection,
                  [layerId](const SelectionEntry& entry) { return entry.layer == layerId; });
}

int highest_null_number(const Project& project) {
    int highest = 0;
    for (const Item& item : project.items) {
        if (item.kind != ItemKind::Footage || !item.name.starts_with("Null ")) continue;
        const std::string digits = item.name.substr(5);
        if (digits.empty() || digits.size() > 9 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        highest = std::max(highest, std::stoi(digits));
    }
    return highest;
}

Id solids_folder(Project& project) {
    for (const Item& item : project.items) {
        if (item.kind == ItemKind::Folder && item.name == "Solids" &&
            item.folder == project.rootFolder)
            return item.id;
    }
    return add_folder(project, "Solids").id;
}

}  // namespace

Id new_id(Project& project) {
    if (project.nextId <= project.rootFolder) project.nextId = project.rootFolder + 1;
    return project.nextId++;
}

// ---------------------------------------------------------------- items

Item* find_item(Project& project, Id id) {
    for (Item& item : project.items) {
        if (item.id == id) return &item;
    }
    return nullptr;
}

const Item* find_item(const Project& project, Id id) {
    return find_item(const_cast<Project&>(project), id);
}

bool is_root_folder(const Project& project, Id id) {
    return id != kNoId && id == project.rootFolder;
}

int item_script_index(const Project& project, Id id) {
    for (std::size_t i = 0; i < project.items.size(); ++i) {
        if (project.items[i].id == id) return static_cast<int>(i) + 1;
    }
    return 0;
}

Composition* comp_of(Project& project, Id itemId) {
    Item* item = find_item(project, itemId);
    if (item == nullptr || item->kind != ItemKind::Composition || !item->comp) return nullptr;
    return &*item->comp;
}

const Composition* comp_of(const Project& project, Id itemId) {
    return comp_of(const_cast<Project&>(project), itemId);
}

const Item* find_item_by_name(const Project& project, const std::string& name) {
    for (const Item& item : project.items) {
        if (item.name == name) return &item;
    }
    return nullptr;
}

Item& add_folder(Project& project, std::string name, Id parentFolder) {
    return append_item(project, ItemKind::Folder, std::move(name), parentFolder);
}

Item& add_composition(Project& project, std::string name, Composition comp, Id folder) {
    if (comp.frameRate <= Rational::of(0)) fail("a composition needs a positive frame rate");
    Item& item = append_item(project, ItemKind::Composition, std::move(name), folder);
    item.comp = std::move(comp);
    return item;
}

Item& add_footage(Project& project, std::string name, Footage footage, Id folder) {
    Item& item = append_item(project, ItemKind::Footage, std::move(name), folder);
    item.footage = std::move(footage);
    return item;
}

void delete_item(Project& project, Id itemId) {
    if (is_root_folder(project, itemId)) fail("the root folder cannot be deleted");
    const Item* target = find_item(project, itemId);
    if (target == nullptr) fail("no such item");
    const std::set<Id> doomed = target->kind == ItemKind::Folder
                                    ? folder_and_contents(project, itemId)
                                    : std::set<Id>{itemId};
    // Layers that show a doomed item go first, in every remaining composition.
    for (Item& item : project.items) {
        if (!item.comp || doomed.count(item.id) != 0) continue;
        std::vector<Id> users;
        for (const Layer& layer : item.comp->layers) {
            if (layer.source != kNoId && doomed.count(layer.source) != 0) users.push_back(layer.id);
        }
        for (Id user : users) delete_layer(project, user);
    }
    std::erase_if(project.items, [&](const Item& item) { return doomed.count(item.id) != 0; });
    if (doomed.count(project.activeItem) != 0) project.activeItem = kNoId;
}

int count_item_users(const Project& project, Id itemId) {
    int users = 0;
    for (const Item& item : project.items) {
        if (!item.comp) continue;
        for (const Layer& layer : item.comp->layers) {
            if (layer.source == itemId) ++users;
        }
    }
    return users;
}

bool comp_shows(const Project& project, Id compItem, Id itemId) {
    std::set<Id> seen;
    std::vector<Id> pending{compItem};
    while (!pending.empty()) {
        const Id current = pending.back();
        pending.pop_back();
        if (!seen.insert(current).second) continue;
        const Composition* comp = comp_of(project, current);
        if (comp == nullptr) continue;
        for (const Layer& layer : comp->layers) {
            if (layer.source == itemId) return true;
            if (layer.source != kNoId) pending.push_back(layer.source);
        }
    }
    return false;
}

// ---------------------------------------------------------------- layers

namespace {

// Layers drift from their remembered place as others are added, removed or
// reordered in their composition; a layer is looked for there first, outwards
// from that place, so the cost follows how far it drifted (a plug-in moving
// many layers one by one keeps each look-up short) before the whole project
// is searched.
bool near_last_place(const Project& project, Id layerId, Lookups::Place& place) {
    if (place.item >= project.items.size() || !project.items[place.item].comp) return false;
    const auto index = project.items[place.item].comp->layers.find_near(layerId, place.index);
    if (!index) return false;
    place.index = *index;
    return true;
}

std::optional<Lookups::Place> place_of(const Project& project, Id layerId) {
    if (layerId == kNoId) return std::nullopt;
    auto& places = project.lookups.layerPlaces;
    if (const auto known = places.find(layerId); known != places.end()) {
        if (near_last_place(project, layerId, known->second)) return known->second;
    }
    // Search everything, noting every layer's place on the way.
    std::optional<Lookups::Place> found;
    for (std::size_t item = 0; item < project.items.size(); ++item) {
        if (!project.items[item].comp) continue;
        const auto& layers = project.items[item].comp->layers;
        for (std::size_t i = 0; i < layers.size(); ++i) {
            places[layers[i].id] = Lookups::Place{item, i};
            if (layers[i].id == layerId) found = Lookups::Place{item, i};
        }
    }
    if (!found) places.erase(layerId);
    return found;
}

}  // namespace

std::optional<LayerLocation> locate_layer(const Project& project, Id layerId) {
    const auto place = place_of(project, layerId);
    if (!place) return std::nullopt;
    return LayerLocation{project.items[place->item].id, static_cast<int>(place->index)};
}

Layer* find_layer(Project& project, Id layerId) {
    const auto place = place_of(project, layerId);
    if (!place) return nullptr;
    return &project.items[place->item].comp->layers[place->index];
}

const Layer* find_layer(const Project& project, Id layerId) {
    return find_layer(const_cast<Project&>(project), layerId);
}

Layer* find_layer(Project& project, Id layerId, LayerPlace& hint) {
    if (!near_last_place(project, layerId, hint)) {
        const auto place = place_of(project, layerId);
        if (!place) return nullptr;
        hint = *place;
    }
    return &project.items[hint.item].comp->layers[hint.index];
}

std::string shown_name(const Project& project, const Layer& layer) {
    if (!layer.ownName.empty()) return layer.ownName;
    if (const Item* source = find_item(project, layer.source)) return source->name;
    return {};
}

Item& comp_item_of_layer(Project& project, Id layerId) {
    const auto where = locate_layer(project, layerId);
    if (!where) fail("no such layer");
    return *find_item(project, where->comp);
}

Layer& add_layer(Project& project, Id compItem, Layer layer, int index) {
    Composition* comp = comp_of(project, compItem);
    if (comp == nullptr) fail("layers belong to compositions");
    if (layer.source != kNoId) {
        const Item* source = find_item(project, layer.source);
        if (source == nullptr || source->kind == ItemKind::Folder)
            fail("a layer's source must be a composition or footage item");
        if (source->id == compItem || comp_shows(project, source->id, compItem))
            fail("a composition cannot show itself");
    }
    if (layer.id == kNoId || locate_layer(project, layer.id)) layer.id = new_id(project);
    if (layer.parent != kNoId) {
        const auto parent = locate_layer(project, layer.parent);
        if (!parent || parent->comp != compItem) layer.parent = kNoId;
    }
    if (layer.streams.empty()) fill_default_streams(project, *comp, layer);
    project.lookups.expressionStreams.reset();  // the layer may bring expressions
    auto& layers = comp->layers;
    const auto at = (index < 0 || static_cast<std::size_t>(index) > layers.size())
                        ? layers.end()
                        : layers.begin() + index;
    return *layers.insert(at, std::move(layer));
}

void delete_layer(Project& project, Id layerId) {
    const auto where = locate_layer(project, layerId);
    if (!where) fail("no such layer");
    // Its followers stay where they are on screen, as when freed by script.
    std::vector<Id> followers;
    for (const Layer& other : comp_of(project, where->comp)->layers) {
        if (other.parent == layerId) followers.push_back(other.id);
    }
    for (Id follower : followers) set_parent_keeping_look(project, follower, kNoId);
    Composition& comp = *comp_of(project, where->comp);
    comp.layers.erase(comp.layers.begin() + where->index);
    forget_layer(comp, layerId);
}

void reorder_layer(Project& project, Id layerId, int newIndex) {
    const auto where = locate_layer(project, layerId);
    if (!where) fail("no such layer");
    Composition& comp = *comp_of(project, where->comp);
    if (newIndex < 0 || static_cast<std::size_t>(newIndex) >= comp.layers.size())
        fail("layer index out of range");
    comp.layers.move(where->index, static_cast<std::size_t>(newIndex));
}

void set_parent(Project& project, Id childId, Id parentId) {
    const auto child = locate_layer(project, childId);
    if (!child) fail("no such layer");
    Layer& layer = *find_layer(project, childId);
    if (parentId == kNoId) {
        layer.parent = kNoId;
        return;
    }
    const auto parent = locate_layer(project, parentId);
    if (!parent) fail("no such parent layer");
    if (parent->comp != child->comp) fail("a parent must be in the same composition");
    // Walk up from the new parent: meeting the child would close a cycle.
    for (Id up = parentId; up != kNoId; up = find_layer(project, up)->parent) {
        if (up == childId) fail("the parent link would make a cycle");
    }
    layer.parent = parentId;
}

Layer& create_null_layer(Project& project, Id compItem, std::string name, Time duration) {
    const Composition* comp = comp_of(project, compItem);
    if (comp == nullptr) fail("nulls are made in compositions");
    if (duration <= Rational::of(0)) fail("a null needs a positive duration");
    Footage solid;
    solid.kind = FootageKind::Solid;
    solid.width = 100;
    solid.height = 100;
    solid.pixelAspect = comp->pixelAspect;
    solid.frameRate = comp->frameRate;
    solid.color = {1, 1, 1};
    const std::string solidName = "Null " + std::to_string(highest_null_number(project) + 1);
    const Id folder = solids_folder(project);
    const Id solidId = add_footage(project, solidName, std::move(solid), folder).id;

    Layer layer;
    layer.kind = LayerKind::AV;
    layer.isNull = true;
    layer.ownName = std::move(name);
    layer.source = solidId;
    layer.inPoint = Rational::of(0);
    layer.duration = duration;
    layer.offset = Rational::of(0);
    return add_layer(project, compItem, std::move(layer), 0);
}

void set_layer_flag(Layer& layer, std::uint32_t flag, bool on) {
    if (on) {
        layer.flags |= flag;
    } else {
        layer.flags &= ~flag;
    }
}

// ---------------------------------------------------------------- selection

void select_only_layers(Project& project, Id compItem, const std::vector<Id>& layers) {
    Composition* comp = comp_of(project, compItem);
    if (comp == nullptr) fail("no such composition");
    std::vector<SelectionEntry> selection;
    for (Id id : layers) {
        const auto where = locate_layer(project, id);
        if (!where || where->comp != compItem)
            fail("only layers of the composition can be selected");
        selection.push_back(SelectionEntry{SelectionKind::Layer, id, 0, 0});
    }
    comp->selection = std::move(selection);
}

bool is_layer_selected(const Composition& comp, Id layerId) {
    return std::any_of(comp.selection.begin(), comp.selection.end(), [&](const SelectionEntry& e) {
        return e.kind == SelectionKind::Layer && e.layer == layerId;
    });
}

// ---------------------------------------------------------------- checks

void check_invariants(const Project& project) {
    std::set<Id> ids{project.rootFolder};
    auto claim = [&](Id id, const std::string& what) {
        if (id == kNoId || id >= project.nextId) fail(what + " has an id outside the issued range");
        if (!ids.insert(id).second) fail(what + " reuses id " + std::to_string(id));
    };
    if (project.rootFolder >= project.nextId) fail("the root folder id is not below nextId");
    for (const Item& item : project.items) {
        claim(item.id, "item '" + item.name + "'");
        if (!item.comp) continue;
        for (const Layer& layer : item.comp->layers) {
            claim(layer.id, "a layer of '" + item.name + "'");
            for (const Effect& effect : layer.effects) claim(effect.id, "an effect");
            for (const Mask& mask : layer.masks) claim(mask.id, "a mask");
        }
    }
    for (const Item& item : project.items) {
        const Id folder = item.folder;
        const Item* holder = find_item(project, folder);
        if (!is_root_folder(project, folder) &&
            (holder == nullptr || holder->kind != ItemKind::Folder))
            fail("item '" + item.name + "' lies in no folder");
        if (!item.comp) continue;
        for (const Layer& layer : item.comp->layers) {
            if (layer.source != kNoId && find_item(project, layer.source) == nullptr)
                fail("a layer of '" + item.name + "' shows a missing item");
            int steps = 0;
            for (Id up = layer.parent; up != kNoId; ++steps) {
                const auto where = locate_layer(project, up);
                if (!where || where->comp != item.id) fail("a parent lies outside its composition");
                if (steps > static_cast<int>(item.comp->layers.size())) fail("a parent cycle");
                up = find_layer(project, up)->parent;
            }
        }
        for (const SelectionEntry& entry : item.comp->selection) {
            const auto where = locate_layer(project, entry.layer);
            if (!where || where->comp != item.id) fail("a selection entry names a foreign layer");
        }
    }
    for (const Item& item : project.items) {
        if (item.comp && comp_shows(project, item.id, item.id))
            fail("composition '" + item.name + "' shows itself");
    }
    if (project.activeItem != kNoId && find_item(project, project.activeItem) == nullptr)
        fail("the active item does not exist");
}

// ---- layer time

Time comp_time_of(const Layer& layer, Time layerTime) {
    return layer.offset + layer.stretch * layerTime;
}

Time layer_time_of(const Layer& layer, Time compTime) {
    return (compTime - layer.offset) / layer.stretch;
}

Time comp_in_point(const Layer& layer) {
    const Time first = comp_time_of(layer, layer.inPoint);
    const Time last = comp_time_of(layer, layer.inPoint + layer.duration);
    return last < first ? last : first;
}

Time comp_out_point(const Layer& layer) {
    const Time first = comp_time_of(layer, layer.inPoint);
    const Time last = comp_time_of(layer, layer.inPoint + layer.duration);
    return last < first ? first : last;
}

Time comp_duration(const Layer& layer) { return comp_out_point(layer) - comp_in_point(layer); }

void set_stretch_keeping_start(Layer& layer, Rational stretch) {
    const Time start = comp_in_point(layer);
    layer.stretch = stretch;
    layer.offset = layer.offset + start - comp_in_point(layer);
}

// ---- track mattes

const Layer* track_matte_of(const Project& project, Id layerId) {
    const auto where = locate_layer(project, layerId);
    if (!where || where->index == 0) return nullptr;
    const Composition& comp = *comp_of(project, where->comp);
    if (comp.layers[static_cast<std::size_t>(where->index)].trackMatte == TrackMatte::None)
        return nullptr;
    return &comp.layers[static_cast<std::size_t>(where->index - 1)];
}

const Layer* layer_matted_by(const Project& project, Id matteId) {
    const auto where = locate_layer(project, matteId);
    if (!where) return nullptr;
    const Composition& comp = *comp_of(project, where->comp);
    const auto below = static_cast<std::size_t>(where->index + 1);
    if (below >= comp.layers.size() || comp.layers[below].trackMatte == TrackMatte::None)
        return nullptr;
    return &comp.layers[below];
}

void set_track_matte(Project& project, Id layerId, TrackMatte kind) {
    const auto where = locate_layer(project, layerId);
    if (!where) throw ModelError("no such layer");
    auto& layers = comp_of(project, where->comp)->layers;
    Layer& layer = layers[static_cast<std::size_t>(where->index)];
    const bool gains = layer.trackMatte == TrackMatte::None && kind != TrackMatte::None;
    layer.trackMatte = kind;
    if (gains && where->index > 0)
        layers[static_cast<std::size_t>(where->index - 1)].flags &= ~flag::kVideoActive;
}

}  // namespace host::model
