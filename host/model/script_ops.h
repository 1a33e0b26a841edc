// Project operations that only the script service performs: the layer copy
// of Layer.copyToComp, parenting that keeps a layer's look, and the
// project-wide expression fix after a rename. Failures throw ModelError.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "model/model.h"
#include "model/project_ops.h"

namespace host::model {

// Copies the layer into the composition: directly above the topmost selected
// layer there, or at the top when nothing there is selected (always at the
// top with `onTop`); `selectCopy` leaves the copy alone selected there, else
// the selection is left as it was. The copy carries everything the layer has and gets new ids
// (its effects and masks too). It keeps its parent link only when copied into
// the composition that holds the parent; a copy into another composition has
// no parent and keeps its own transform values as they are. A copy that would
// make a composition show itself (the target is, or is inside, the layer's
// source) is refused. Returns the copy's id.
Id copy_layer_to_comp(Project& project, Id layerId, Id targetComp, bool onTop = false,
                      bool selectCopy = false);

// Layer.duplicate: a copy of the layer with everything it has (new ids for it,
// its effects and masks), directly above it in its composition; the
// selection is left alone. Returns the copy's id.
Id duplicate_layer(Project& project, Id layerId);

// AVLayer.replaceSource: the layer shows `newSource` (a composition or
// footage item) from now on and keeps everything else it has; its audio
// levels come and go with the new source's audio. Refused for a layer
// without a source item and where the layer's composition would show itself.
void replace_layer_source(Project& project, Id layerId, Id newSource);

// Makes `parentId` the layer's parent (kNoId: no parent) while keeping the
// layer where it is on screen: the transform of the old ancestors is folded
// into the layer's own anchor-relative values and that of the new ones taken
// out. Exact for chains of translations, rotations and uniform scales; a
// non-uniform scale under rotation, which would shear, keeps position and
// orientation and the nearest scale. Ancestors are read at the composition
// time where the layer starts. The layer's own keyframes are mapped value by
// value through the same change (positions exactly, rotations and scales by
// the change's rotation and scale).
void set_parent_keeping_look(Project& project, Id layerId, Id parentId);

// Edits a script makes to a layer property (Property.setValue, setValueAtKey,
// setTemporalEaseAtKey); failures throw ModelError and change nothing.
// Values: one number for a one-value stream, else 2 up to the stream's
// count (missing ones keep theirs), finite. A stream with keyframes takes
// no held value. `key` is 0-based. Eases: one per temporal dimension of the
// stream, influence within 0.1 to 100 %, finite speed.
void set_held_value(Stream& stream, const std::vector<double>& values);
void set_key_value(Stream& stream, std::size_t key, const std::vector<double>& values);
void set_key_ease(Stream& stream, std::size_t key, const std::vector<Ease>& in,
                  const std::vector<Ease>& out);
// A keyframe's eases as scripts read them: one per temporal dimension, the
// default ease where the keyframe holds none.
std::vector<Ease> key_ease(const Stream& stream, std::size_t key, bool out);

// Pre-compose: gathers layers of the composition into a new composition,
// filed in the original's folder and appended to the items, and puts a
// layer of it in their place. Returns the new composition's id.
// - Moving all attributes: the new composition takes the original's size,
//   pixel aspect, frame rate and duration; the layers move into it in their
//   stack order, ids and everything they carry kept. A parent link between a
//   moved and a staying layer (either way) ends, the child keeping its look
//   as with set_parent_keeping_look. The new layer goes where the topmost
//   moved layer was and spans the original from time 0.
// - Leaving them in (exactly one layer, with a source item): the new
//   composition has the source's size and pixel aspect, the original's frame
//   rate, and the source's duration when it has time of its own, else the
//   original's. The layer stays, showing the new composition instead of its
//   source, under the new composition's name; inside, a fresh layer of the
//   source with default properties spans the new composition and takes over
//   the layer's own name and its audio levels (layers of compositions have
//   none).
// Either way the new layer alone is selected in the original composition
// and nothing in the new one.
Id precompose(Project& project, Id compItem, const std::vector<Id>& layers, std::string name,
              bool moveAllAttributes);

// Whether a rewritten expression is kept: given the stream (on its layer)
// as it is and the rewritten text.
using FixCheck = std::function<bool(const Layer&, const Stream&, const std::string& fixed)>;

// In every expression of the project (layer streams, effect parameters, mask
// streams) that holds the old text, every occurrence of it becomes the new
// text, wherever it is (names, other literals, comments, code); a rewrite is
// kept only where `keep` agrees. Only expressions holding the old text reach
// `keep`; an empty old text changes nothing. Returns how many changed.
int auto_fix_expressions(Project& project, std::string_view oldText, std::string_view newText,
                         const FixCheck& keep);

// Tells the project's list of expression streams that the stream at the
// place, which held no expression, now holds one.
void note_expression_set(Project& project, const ExpressionPlace& place);

}  // namespace host::model
