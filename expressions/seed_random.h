// Fixed random seeds for the expressions of an extracted layer: each
// expression on the layer's own properties gets a seedRandom() line in front,
// so copies of one pre-comp keep distinct but repeatable random streams.
#pragma once

#include <string>

#include "aegp.h"
#include "shell/plugin_info.h"

namespace outfold {

// The line put in front of an expression: seedRandom(<seed>) with a marker
// comment, followed by an empty line.
std::string seed_line(int seed);

// Seeds every layer stream (numbers 0 to 55) that carries an expression; stops
// at the first error.
A_Err seed_random_expressions(PluginInfo const* info, AEGP_LayerH layer, int seed);

// Seeds one layer stream. A stream the layer lacks, one that cannot or does
// not vary over time, or one without an expression is left as it is.
A_Err seed_random_stream(PluginInfo const* info, AEGP_LayerH layer, int seed, int streamNumber);

}  // namespace outfold
