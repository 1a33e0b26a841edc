// The host's picture of a composition (picture/picture.h) shown to a person:
// a table of leaves, the same as JSON, and frames drawn as a viewer sees them.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "host.h"

namespace tool {

// A time given on the command line: seconds as a decimal ("1.5") or a
// fraction ("1001/30000"), kept exactly. Throws std::runtime_error otherwise.
host::model::Time parse_time(const std::string& text);

void print_picture(std::ostream& out, const host::picture::Picture& picture);
// An array of leaves: path, source, world (4x4, row-major), opacity, visible,
// audible, layerTime, sourceTime, blendingMode, groupModes, trackMatte,
// masks, effects (the README describes them).
std::string picture_json(const host::picture::Picture& picture);

// One row of frames per time, before and after side by side: each visible
// leaf as its source rectangle placed by its world transform, filled at its
// opacity and named. Each leaf is a group <g class="leaf" data-state=
// "before|after" data-time=".." data-path="A/B" data-opacity=".."> so that
// programs can read the picture back.
struct Frames {
    std::string state;  // "before", "after" or "now"
    int width = 0;      // the composition's size
    int height = 0;
    std::vector<host::picture::Picture> pictures;  // one per time
};
std::string frames_svg(const std::vector<std::string>& times, const std::vector<Frames>& columns);

}  // namespace tool
