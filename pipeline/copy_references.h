// The copies' expressions keep referring to what they referred to inside the
// pre-comp: their layer references follow the copies, names other
// expressions rely on stay unambiguous, and their reads of the composition's
// own values keep the pre-comp's values.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "aegp.h"
#include "expressions/layer_expressions.h"
#include "expressions/reference_rewrite.h"
#include "shell/plugin_info.h"

namespace outfold {

// One pre-comp layer's copies and the expressions they were copied with.
struct CopiedExpressions {
    struct Held {
        std::size_t copy;  // into `copies`
        StreamPlace place;
        std::string text;
    };
    std::vector<AEGP_LayerH> copies;  // the copy of the pre-comp's layer 1 first
    PrecompFacts facts;               // the pre-comp's name and its layers' names
    std::vector<Held> expressions;
    bool layerParams = false;  // some copy has an effect with a layer parameter
};

// The texts the project's expressions quote: read with one walk over the
// project the first time a run needs them, then kept up to date by the run.
struct QuotedTexts {
    bool read = false;
    std::set<std::string, std::less<>> texts;
};

// Reads, right after the copy, the copies' names and expressions (before
// anything else changes them). Collection item k is the copy of pre-comp
// layer N - k.
A_Err read_copied_expressions(const PluginInfo* info, AEGP_LayerH precompLayer,
                              AEGP_Collection2H extracted, CopiedExpressions* copied);

// What one pre-comp layer's copies were pointed with, kept for the end of
// the run: pre-comp layers extracted later may move them.
struct PointedCopies {
    CopiedExpressions copied;
    PrecompFacts facts;  // the composition's values as written
    CopyPlaces places;
    bool byIndex = false;  // some reference names a copy by its index
};

// After the copies were renamed and placed in `parentComp`, in their final
// places: gives a copy a name of its own (the application's numbering for
// duplicates) where its name is shared with another layer there and an
// expression relies on it, then writes each copied expression with its
// references pointing at the copies. `rewriteAll` writes every one back,
// also those without references (the host's fix after renaming may have
// changed them). References left as written are added to *unresolved.
A_Err point_copies_at_copies(const PluginInfo* info, AEGP_LayerH precompLayer,
                             AEGP_CompH parentComp, CopiedExpressions copied, bool rewriteAll,
                             QuotedTexts* quoted, std::vector<std::string>* unresolved,
                             PointedCopies* pointed);

// At the end of the run: the references by index follow copies that moved
// since they were written.
A_Err settle_copy_indices(const PluginInfo* info, std::vector<PointedCopies>& pointed);

// The next name for a duplicate of `name` that is neither taken nor quoted:
// a trailing number counts up ("Null 1" gives "Null 2"), else " 2" is added
// and counts up.
std::string duplicate_name(const std::string& name, const std::multiset<std::string>& taken,
                           const QuotedTexts& quoted);

}  // namespace outfold
