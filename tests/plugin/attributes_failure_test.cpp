// Every host call of a transform or effect copy failing in turn: each way out
// gives back everything obtained (streams, values, tangents, batches, effect
// references, text handles, suites) and reports the injected error, except
// where a layer's failure is meant to stay on that layer.
#include <string>
#include <vector>

#include "attributes/effect_transfer.h"
#include "attributes/stream_transfer.h"
#include "extract_harness.h"

namespace outfold::testing {
namespace {

// Fixture layers: attributes_transform has Carrier 0, Still 1, Moving 2;
// attributes_effects has Source 0, Controls 1, A 3, B 4.
class AttributesFailureTest : public ExtractTest {
protected:
    Prepared transform(A_long target, A_long source) {
        load("attributes_transform");
        const AEGP_LayerH to = layer_handle("Main", target), from = layer_handle("Main", source);
        return {[this, to, from] {
            const PluginInfo pluginInfo = info();
            bool animated = false;
            return copy_transform_to_layer(&pluginInfo, to, from, &animated);
        }};
    }
    Prepared layer_effects(A_long source, A_long target) {
        load("attributes_effects");
        const AEGP_LayerH from = layer_handle("Main", source), to = layer_handle("Main", target);
        return {[this, from, to] {
            const PluginInfo pluginInfo = info();
            return copy_layer_effects(&pluginInfo, from, to);
        }};
    }
};

TEST_F(AttributesFailureTest, TransformFromHeldValuesAndKeyframes) {
    sweep([this] { return transform(0, 1); });
    sweep([this] { return transform(0, 2); });
}

TEST_F(AttributesFailureTest, KeyframedEffectsWithExpressionsAndControls) {
    sweep([this] { return layer_effects(0, 4); });
    sweep([this] { return layer_effects(1, 3); });
}

}  // namespace
}  // namespace outfold::testing
