// Copying a pre-comp's layers into the composition that holds the pre-comp
// layer.
#pragma once

#include <string>

#include "aegp.h"
#include "shell/plugin_info.h"

// Functions the module exports under their C++ (decorated) names.
#if defined(_WIN32)
#define OUTFOLD_EXPORT_CPP __declspec(dllexport)
#else
#define OUTFOLD_EXPORT_CPP __attribute__((visibility("default")))
#endif

// Copies every layer of `precompLayer`'s source composition into the
// composition holding `precompLayer`, with one generated script, then appends
// the copies to the collection *extracted (a layer item each, every other field
// zero), from the copy of the source's bottom layer to that of its top layer.
// With fixRandomExpressions set, each copy's expressions are seeded first: the
// i-th copy fetched (1-based) gets the seed N - i.
// `text` is not read. Returns the host's error code (0 = success); after an
// error the collection holds the copies fetched before it.
OUTFOLD_EXPORT_CPP int copy_layers_to_parent(outfold::PluginInfo const* info,
                                             AEGP_LayerH precompLayer, char* text,
                                             AEGP_Collection2H* extracted);

namespace outfold {

// The script that copies layers 1..layerCount of project item `sourceIndex`
// into project item `parentIndex`, keeping each copy's name.
std::string layer_copy_script(int sourceIndex, int parentIndex, int layerCount);

}  // namespace outfold
