// The per-layer sequence of one run: everything that happens to one selected
// pre-comp layer, in order.
#pragma once

#include "aegp.h"
#include "pipeline/copy_references.h"
#include "pipeline/dispose.h"
#include "pipeline/run_report.h"
#include "shell/host_suites.h"
#include "shell/plugin_info.h"

namespace outfold {

// What the per-layer steps of one run share.
struct ExtractionRun {
    const PluginInfo* info;
    char* prefix;                     // the run's prefix buffer (kMaxPrefixBytes + 1)
    AEGP_CompH parentComp = nullptr;  // looked up at the first pre-comp layer
    SourceLedger ledger;
    RunReport report;
    QuotedTexts quoted;                  // what the project's expressions quote, once needed
    std::vector<PointedCopies> pointed;  // copies referred to by index, settled at the end
};

// Extracts one pre-comp layer into its parent composition and disposes of it:
// carrier null, copies, stacking, parent links, and with copyAttributes the
// 3D switch, timing, transform (on the carrier), effects and look. The carrier
// stays with the copies only when something on it varies or folding it would
// not be exact. When lastItem is set
// (the layer is the selection's last item) its copies become the
// composition's selection. The extracted-layers collection is created and
// disposed here on every path, and a run that stops early still puts back the
// parent links it cleared inside the pre-comp.
// Copies that keep a look of their own, and references the copies' expressions
// keep as written, are noted in *notes.
A_Err extract_precomp_layer(HostSuites& suites, ExtractionRun& run, AEGP_LayerH precompLayer,
                            bool lastItem, Uncarried* notes);

}  // namespace outfold
