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
// composition holding `precompLayer`, with one generated script, finds the
// copies by their new layer ids and appends them to the collection *extracted
// (a layer item each, every other field zero), from the copy of the source's
// bottom layer to that of its top layer; they end at the top of the stack in
// that order. The composition's selection is as before.
// With fixRandomExpressions set, each copy's expressions are seeded first: the
// i-th copy fetched (1-based) gets the seed N - i.
// `text` is not read. Returns the host's error code (0 = success); after an
// error the collection holds the copies fetched before it.
OUTFOLD_EXPORT_CPP int copy_layers_to_parent(outfold::PluginInfo const* info,
                                             AEGP_LayerH precompLayer, char* text,
                                             AEGP_Collection2H* extracted);

namespace outfold {

struct WholeCopy {
    bool made = false;
    AEGP_LayerH copy = nullptr;
    bool innerLocked = false;  // the copy is to end locked
};

// When the pre-comp holds one plain layer of a source and nothing else (see
// whole_layer.h), its copy is a duplicate of the pre-comp layer showing that
// source, named as the inner layer, appended to `extracted` (seeded as
// copy_layers_to_parent seeds) and told in *copied. Otherwise nothing changes.
A_Err copy_whole_precomp_layer(PluginInfo const* info, AEGP_LayerH precompLayer,
                               AEGP_Collection2H extracted, WholeCopy* copied);

// The script that copies layers 1..layerCount of the composition whose item
// id is `sourceId` into the one whose item id is `parentId`, in that order;
// each copy keeps its layer's name, made the layer's own.
std::string layer_copy_script(A_long sourceId, A_long parentId, A_long layerCount);

}  // namespace outfold
