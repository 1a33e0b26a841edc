// A picture of what a command did to the project's compositions, drawn the
// way an editor's timeline looks: for every composition the command changed,
// its layer stack before and after, one row per layer (top of the stack
// first) with a bar over the time the layer is visible.
#pragma once

#include <string>

#include "model/model.h"

namespace tool {

// SVG text. Every row is a group <g class="layer" data-comp=".." data-state=
// "before|after" data-index="1-based" data-name=".."> so that programs can
// read the picture back. A composition the command removed is drawn before
// only; one it made, after only.
std::string timeline_svg(const host::model::Project& before, const host::model::Project& after);

}  // namespace tool
