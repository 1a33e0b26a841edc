// Projects for placement checks and the check itself: after a run of the
// command, every copy must show where and when the pre-comp layer showed the
// layer it was made from, and the layers that followed the pre-comp layer
// where they were. Positions come from the test's own evaluator
// (common/world_eval.h), never from the host's folding.
#pragma once

#include <string>
#include <vector>

#include "model/model.h"
#include "plugin_host.h"

namespace outfold::testing {

// A project with "Main" (30 fps, active) holding, top first: "Follower"
// (when wanted), the pre-comp layer "P" of "Inner", then "Link" and "Grand"
// (P's parent chain, when wanted); "Inner" holds the layers named "[L0]",
// "[L1]", ... (first on top) on the solid "Solid".
struct SceneBuilder {
    host::model::Project project;
    host::model::Id main = host::model::kNoId;
    host::model::Id inner = host::model::kNoId;
    host::model::Id solid = host::model::kNoId;

    explicit SceneBuilder(host::model::Rational innerRate);
    // Adds a layer at the bottom of the composition; its streams are the
    // defaults until changed.
    host::model::Layer& add(host::model::Id comp, const std::string& name, bool threeD);
    host::model::Layer& layer(host::model::Id comp, const std::string& name);
};

void set_value(host::model::Layer& layer, int number, std::vector<double> value);
// Keyframes at the layer times, all with one interpolation.
void set_keys(host::model::Layer& layer, int number, const std::vector<host::model::Time>& times,
              const std::vector<std::vector<double>>& values,
              host::model::Interpolation interpolation = host::model::Interpolation::Linear);

// How a run ends for the pre-comp layer.
struct RunOptions {
    bool attributes = true;
    bool keep = false;
    bool deleteSource = false;
};

// The dialog answers that give the options, from the choices the dialog
// remembers of the previous run (the first run starts from the defaults).
class DialogAnswers {
public:
    std::vector<std::string> actions_for(const RunOptions& options);

private:
    bool keep_ = false;
    bool deleteSource_ = false;
};

// How far the copies may be from the pre-comp layer's picture.
enum class Exactness {
    Exact,          // every copy's map within 1e-6
    AreaAndAnchor,  // each copy's anchor point within 1e-6, its area within 1e-9 (relative)
};

struct CheckStats {
    int comparisons = 0;
    int inexactFrames = 0;  // maps further than 1e-6 off, in the approximate mode
};

// Compares `after` (the project after the run) with `before` at the sample
// times; reports failures through gtest with `label`.
void expect_placement_kept(const host::model::Project& before, const host::model::Project& after,
                           const RunOptions& options, Exactness exactness, const std::string& label,
                           CheckStats& stats);

}  // namespace outfold::testing
