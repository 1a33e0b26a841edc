// Operations on the simulated project that keep its invariants.
//
// The suites, the script service and the project-file loader all change the
// project through these functions, so a layer made one way is the same kind
// of thing as a layer made another way. Failures throw ModelError; callers
// translate it into their own error convention.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/model.h"

namespace host::model {

class ModelError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// ---- identities
Id new_id(Project& project);  // the next never-used id

// ---- item lookups
Item* find_item(Project& project, Id id);
const Item* find_item(const Project& project, Id id);
bool is_root_folder(const Project& project, Id id);
// 1-based position in the script numbering (app.project.item(i)); 0 if absent.
int item_script_index(const Project& project, Id id);
Composition* comp_of(Project& project, Id itemId);  // null unless a composition
const Composition* comp_of(const Project& project, Id itemId);
const Item* find_item_by_name(const Project& project, const std::string& name);

// ---- layer lookups
struct LayerLocation {
    Id comp = kNoId;  // the composition item holding the layer
    int index = 0;    // 0 = top of the stack
};
std::optional<LayerLocation> locate_layer(const Project& project, Id layerId);
Layer* find_layer(Project& project, Id layerId);
const Layer* find_layer(const Project& project, Id layerId);
// The same, looking first near the caller's hint, which then holds the place.
Layer* find_layer(Project& project, Id layerId, LayerPlace& hint);
// The name the layer shows: its own name, else its source item's name.
std::string shown_name(const Project& project, const Layer& layer);
// The item whose composition holds the layer; throws if the layer is unknown.
Item& comp_item_of_layer(Project& project, Id layerId);

// ---- layer time
// Composition time = offset + stretch * layer time; keyframes, in points and
// durations are kept in layer time. A layer's span on the composition's
// timeline runs from the earlier to the later of its ends (a reversed layer,
// with a negative stretch, shows its out point first).
Time comp_time_of(const Layer& layer, Time layerTime);
Time layer_time_of(const Layer& layer, Time compTime);
Time comp_in_point(const Layer& layer);   // where the layer starts in composition time
Time comp_out_point(const Layer& layer);  // where it ends
Time comp_duration(const Layer& layer);   // |stretch| * duration
// Sets the stretch and moves the offset so that the layer still starts at the
// same composition time (its in point in composition time stays put).
void set_stretch_keeping_start(Layer& layer, Rational stretch);

// ---- track mattes
// A layer with a track matte is matted by the layer directly above it.
const Layer* track_matte_of(const Project& project, Id layerId);   // null: none
const Layer* layer_matted_by(const Project& project, Id matteId);  // null: not a matte
// Sets the layer's track matte. A layer that gets a matte where it had none
// switches off the video of the layer above, which serves as its matte now,
// as the application's interface does; other changes leave the flags alone.
void set_track_matte(Project& project, Id layerId, TrackMatte kind);

// ---- items
Item& add_folder(Project& project, std::string name, Id parentFolder = kNoId);
Item& add_composition(Project& project, std::string name, Composition comp = {}, Id folder = kNoId);
Item& add_footage(Project& project, std::string name, Footage footage, Id folder = kNoId);
// Removes the item; a folder takes its contents with it, and every layer that
// shows a removed item goes too (with the bookkeeping of delete_layer).
void delete_item(Project& project, Id itemId);
// Number of layers, in all compositions, whose source is the item.
int count_item_users(const Project& project, Id itemId);
// Whether the composition shows the item through its layers, at any depth of
// nesting. A composition that would show itself makes a cycle.
bool comp_shows(const Project& project, Id compItem, Id itemId);

// ---- layers
// Inserts the layer at the index (0 = top; -1 or past the end = bottom). A
// layer without an id gets a new one, a layer without streams its defaults.
Layer& add_layer(Project& project, Id compItem, Layer layer, int index = 0);
// Removes the layer; the layers that followed it lose the link and keep
// their place on screen (its transform is folded into them).
void delete_layer(Project& project, Id layerId);
// Moves the layer to the index; the others keep their relative order.
void reorder_layer(Project& project, Id layerId, int newIndex);
// Sets (or with kNoId clears) the parent link. The parent must be another
// layer of the same composition and the link must not close a cycle.
void set_parent(Project& project, Id childId, Id parentId);
// A null layer on top of the composition, shown through a new solid item
// ("Null 1", "Null 2", ...) kept in a "Solids" folder made on demand.
Layer& create_null_layer(Project& project, Id compItem, std::string name, Time duration);
// Switches a layer flag; turning 3D on or off keeps the streams as they are
// (3D-only streams exist on every layer that can be 3D; only their legality
// depends on the switch).
void set_layer_flag(Layer& layer, std::uint32_t flag, bool on);

// ---- selection
void select_only_layers(Project& project, Id compItem, const std::vector<Id>& layers);
bool is_layer_selected(const Composition& comp, Id layerId);

// ---- checks
// Throws ModelError describing the first broken invariant (ids unique and
// below nextId, layers' parents in the same composition without cycles,
// sources that exist, selection entries that refer to layers of their comp).
void check_invariants(const Project& project);

}  // namespace host::model
