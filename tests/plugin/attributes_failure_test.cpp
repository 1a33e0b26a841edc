// Every host call of a transform or effect copy failing in turn: each way out
// gives back everything obtained (streams, values, tangents, batches, effect
// references, text handles, suites) and reports the injected error, except
// where a layer's failure is meant to stay on that layer.
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "attributes/effect_transfer.h"
#include "attributes/stream_transfer.h"
#include "extract_harness.h"
#include "shell/host_suites.h"

namespace outfold::testing {
namespace {

constexpr A_Err kInjected = 77;

// A release the host refuses keeps its object: the plug-in cannot do better
// than ask once, so such calls are not made to fail here.
const std::set<std::string> kReleases = {
    "ReleaseSuite",       "AEGP_DisposeCollection",  "AEGP_FreeMemHandle", "AEGP_UnlockMemHandle",
    "AEGP_DisposeStream", "AEGP_DisposeStreamValue", "AEGP_DisposeEffect", "AEGP_EndAddKeyframes",
};

// What reaches the caller when `operation` fails.
enum class Reach {
    Everything,      // the injected error (a missing suite for AcquireSuite)
    CollectionOnly,  // only collection reads; a failing layer stays quiet
};

struct Prepared {
    std::function<A_Err()> call;
    std::function<void()> after = [] {};
};

class AttributesFailureTest : public ExtractTest {
protected:
    // Runs the prepared call once cleanly to learn its host calls, then once
    // per call with that call failing.
    void sweep(const std::function<Prepared()>& prepare, Reach reach) {
        std::vector<std::string> calls;
        {
            const Prepared clean = prepare();
            host_.clear_trace();
            ASSERT_EQ(clean.call(), A_Err_NONE);
            calls = host_.trace();
            clean.after();
            ASSERT_TRUE(host_.outstanding().none());
        }
        ASSERT_GT(calls.size(), 20u);
        std::map<std::string, int> seen;
        for (std::size_t k = 0; k < calls.size(); ++k) {
            const std::string& operation = calls[k];
            const int nth = ++seen[operation];
            if (kReleases.count(operation) != 0) continue;
            SCOPED_TRACE("call " + std::to_string(k) + ": " + operation + " #" +
                         std::to_string(nth));
            const Prepared run = prepare();
            host_.fail_call(operation, nth, kInjected);
            const A_Err err = run.call();
            host_.clear_faults();
            run.after();
            const A_Err injected = operation == "AcquireSuite" ? kMissingSuiteError : kInjected;
            if (reach == Reach::Everything || operation.rfind("AEGP_GetCollection", 0) == 0) {
                EXPECT_EQ(err, injected);
            } else {
                EXPECT_TRUE(err == A_Err_NONE || err == injected) << "result " << err;
            }
            const host::Outstanding left = host_.outstanding();
            EXPECT_TRUE(left.none())
                << "collections " << left.collections << ", streams " << left.streams << ", values "
                << left.streamValues << ", effects " << left.effects << ", memory "
                << left.memHandles << ", locked " << left.lockedMemHandles << ", batches "
                << left.keyframeBatches << ", suites " << left.suites;
        }
    }

    Prepared transform(A_long target, A_long source) {
        load("attributes_transform");
        const AEGP_LayerH to = layer_handle("Main", target);
        const AEGP_LayerH from = layer_handle("Main", source);
        return {[this, to, from] {
            const PluginInfo pluginInfo = info();
            bool animated = false;
            return copy_transform_to_layer(&pluginInfo, to, from, &animated);
        }};
    }

    Prepared layer_effects(A_long source, A_long target) {
        load("attributes_effects");
        const AEGP_LayerH from = layer_handle("Main", source);
        const AEGP_LayerH to = layer_handle("Main", target);
        return {[this, from, to] {
            const PluginInfo pluginInfo = info();
            return copy_layer_effects(&pluginInfo, from, to);
        }};
    }

    Prepared effects_to_layers(A_long source, const std::vector<A_long>& targets) {
        load("attributes_effects");
        std::vector<AEGP_CollectionItemV2> items;
        for (const A_long target : targets)
            items.push_back(layer_item(layer_handle("Main", target)));
        const AEGP_Collection2H collection = new_collection(items);
        const AEGP_LayerH from = layer_handle("Main", source);
        return {[this, from, collection] {
                    const PluginInfo pluginInfo = info();
                    return copy_effects_to_layers(&pluginInfo, from, collection);
                },
                [this, collection] { dispose_collection(collection); }};
    }
};

// Fixture layers: attributes_transform has Carrier 0, Still 1, Moving 2;
// attributes_effects has Source 0, Controls 1, A 3, B 4.
TEST_F(AttributesFailureTest, TransformFromHeldValues) {
    sweep([this] { return transform(0, 1); }, Reach::Everything);
}

TEST_F(AttributesFailureTest, TransformFromKeyframes) {
    sweep([this] { return transform(0, 2); }, Reach::Everything);
}

TEST_F(AttributesFailureTest, KeyframedEffectsWithExpressions) {
    sweep([this] { return layer_effects(0, 4); }, Reach::Everything);
}

TEST_F(AttributesFailureTest, ControlEffects) {
    sweep([this] { return layer_effects(1, 3); }, Reach::Everything);
}

TEST_F(AttributesFailureTest, EffectsOntoACollection) {
    sweep([this] { return effects_to_layers(0, {3, 4}); }, Reach::CollectionOnly);
}

}  // namespace
}  // namespace outfold::testing
