// The pre-comp layer's attributes onto the extracted layers and the carrier:
// transform, keyframes and effects, and what a failing host call leaves.
#include <algorithm>
#include <string>
#include <vector>

#include "attributes/effect_transfer.h"
#include "attributes/stream_transfer.h"
#include "plugin_host.h"
#include "shell/host_suites.h"

namespace outfold::testing {
namespace model = host::model;
using Names = std::vector<std::string>;

// The pre-comp layer's transform onto the carrier layer: held values where a
// property has no keyframes, every keyframe (batch form) where it has.
namespace attributes_transform {
// Layers of the fixture's "Main", top first.
constexpr A_long kCarrier = 0;  // a null without keyframes: the target
constexpr A_long kStill = 1;    // nothing keyframed, in-point not 0, position under an expression
constexpr A_long kMoving = 2;   // keyframed position, scale and time remap; rotation held
constexpr A_long kFading = 3;   // only opacity keyframed

// The transform properties, in the order they are copied.
constexpr int kTransform[] = {0, 1, 2, 3, 4, 7, 8, 9, 10};
constexpr int kPosition = 1, kScale = 2, kOpacity = 4, kTimeRemap = 7;

class TransformTransferTest : public ExtractTest {
protected:
    void SetUp() override { load("attributes_transform"); }

    const model::Stream& stream(A_long index, int number) {
        return layer_at("Main", index).streams.at(number);
    }
    A_Err copy_from(A_long source, bool* animated) {
        return copy_transform_to_layer(info(), layer_handle("Main", kCarrier),
                                       layer_handle("Main", source), animated);
    }
};

// Keyframed properties arrive key by key at the same composition times (the
// sources' offsets differ from the carrier's), the others as held values;
// expressions stay behind. The flag goes up for keyframes and for an
// expression alone (Still's position): the carrier must stay.
TEST_F(TransformTransferTest, HeldValuesAndKeyframesArriveAtTheSameCompositionTimes) {
    struct Case {
        A_long source;
        std::vector<int> keyed;
    };
    for (const Case& c : {Case{kStill, {}}, Case{kMoving, {kPosition, kScale, kTimeRemap}},
                          Case{kFading, {kOpacity}}}) {
        load("attributes_transform");
        bool animated = false;
        ASSERT_EQ(copy_from(c.source, &animated), A_Err_NONE);
        EXPECT_TRUE(animated) << c.source;
        for (const int number : kTransform) {
            SCOPED_TRACE(std::to_string(c.source) + ", stream " + std::to_string(number));
            const model::Stream& from = stream(c.source, number);
            const model::Stream& to = stream(kCarrier, number);
            EXPECT_EQ(to.expression, "");
            if (std::find(c.keyed.begin(), c.keyed.end(), number) == c.keyed.end()) {
                EXPECT_EQ(to.value, from.value);
                EXPECT_TRUE(to.keyframes.empty());
                continue;
            }
            ASSERT_EQ(to.keyframes.size(), from.keyframes.size());
            for (std::size_t k = 0; k < from.keyframes.size(); ++k) {
                expect_key_copied(layer_at("Main", c.source), from.keyframes[k],
                                  layer_at("Main", kCarrier), to.keyframes[k]);
            }
        }
    }
}

// A failure inside a batch adds none of its keyframes (anchor point went
// before); one after the batch was ended keeps them. The flag is up either way.
TEST_F(TransformTransferTest, KeyframesOfAFailedCopy) {
    struct Case {
        const char* operation;
        std::size_t positionKeys;
    };
    const Case cases[] = {
        {"AEGP_StartAddKeyframes", 0},
        {"AEGP_GetKeyframeTime", 0},
        {"AEGP_AddKeyframes", 0},
        {"AEGP_GetNewKeyframeValue", 0},
        {"AEGP_SetAddKeyframe", 0},
        {"AEGP_GetStreamType", 3},
        {"AEGP_SetKeyframeInterpolation", 3},
        {"AEGP_SetKeyframeFlag", 3},
        {"AEGP_SetKeyframeTemporalEase", 3},
        {"AEGP_GetNewKeyframeSpatialTangents", 3},
        {"AEGP_SetKeyframeSpatialTangents", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        load("attributes_transform");
        bool animated = false;
        EXPECT_EQ(
            failing(c.operation, 1, A_Err_PARAMETER, [&] { return copy_from(kMoving, &animated); }),
            A_Err_PARAMETER);
        EXPECT_TRUE(animated);
        EXPECT_EQ(stream(kCarrier, kPosition).keyframes.size(), c.positionKeys);
        EXPECT_TRUE(stream(kCarrier, kScale).keyframes.empty());
        EXPECT_EQ(stream(kCarrier, 0).value, stream(kMoving, 0).value);
    }
}
}  // namespace attributes_transform

// The two keyframe copies side by side, on streams of the same layers: the
// batch form (transform) and the one-by-one form (effect parameters).
namespace attributes_keyframes {
// Layers of the fixture's "Main", top first.
constexpr A_long kSource = 0;  // keyframed scale, position and opacity; offset 0.5 s
constexpr A_long kFresh = 1;   // no keyframes
constexpr A_long kKeyed = 2;   // scale keys (flags all set) at layer times 0 and 0.5

constexpr int kPosition = 1, kScale = 2, kOpacity = 4;

using CopyForm = A_Err (*)(PluginInfo const*, AEGP_StreamRefH, AEGP_StreamRefH);
constexpr CopyForm kBatch = &copy_keyframes_in_batch;
constexpr CopyForm kOneByOne = &copy_keyframes_one_by_one;

class KeyframeTransferTest : public ExtractTest {
protected:
    void SetUp() override { load("attributes_keyframes"); }
    void TearDown() override {
        {
            HostSuites suites(host_.basic_suite());
            for (AEGP_StreamRefH stream : streams_) {
                EXPECT_EQ(suites.get<AEGP_StreamSuite_v9>().AEGP_DisposeStream(stream), A_Err_NONE);
            }
        }
        ExtractTest::TearDown();
    }

    const std::vector<model::Keyframe>& keys(A_long index, int number) {
        return layer_at("Main", index).streams.at(number).keyframes;
    }
    // Copies the keyframes of one stream of the source onto the same stream
    // of another layer.
    A_Err copy(CopyForm form, int number, A_long target) {
        const AEGP_StreamRefH from = open_stream(kSource, number);
        const AEGP_StreamRefH to = open_stream(target, number);
        return form(info(), from, to);
    }
    void expect_copied(int number, std::size_t k, A_long target, std::size_t j) {
        expect_key_copied(layer_at("Main", kSource), keys(kSource, number).at(k),
                          layer_at("Main", target), keys(target, number).at(j));
    }

private:
    AEGP_StreamRefH open_stream(A_long index, int number) {
        HostSuites suites(host_.basic_suite());
        AEGP_StreamRefH stream = nullptr;
        EXPECT_EQ(suites.get<AEGP_StreamSuite_v9>().AEGP_GetNewLayerStream(
                      pluginId_, layer_handle("Main", index), number, &stream),
                  A_Err_NONE);
        streams_.push_back(stream);
        return stream;
    }
    std::vector<AEGP_StreamRefH> streams_;
};

// Same count, composition times, values, interpolation, carried flags (scale
// keys carry 0, 0x10 and 0x45), ease in every temporal dimension, and
// tangents, whichever form copies.
TEST_F(KeyframeTransferTest, BothFormsCopyEveryKeyframe) {
    for (const CopyForm form : {kBatch, kOneByOne}) {
        for (const int number : {kScale, kPosition, kOpacity}) {
            SCOPED_TRACE(std::string(form == kBatch ? "batch" : "one by one") + ", stream " +
                         std::to_string(number));
            load("attributes_keyframes");
            ASSERT_EQ(copy(form, number, kFresh), A_Err_NONE);
            ASSERT_EQ(keys(kFresh, number).size(), keys(kSource, number).size());
            for (std::size_t k = 0; k < keys(kSource, number).size(); ++k) {
                expect_copied(number, k, kFresh, k);
            }
        }
    }
}

// The one-by-one form writes to the index the host gives back. Keyed already
// has a key before the source's keys (left alone) and one at the time of the
// source's first key (taken over, its flags written clear).
TEST_F(KeyframeTransferTest, OneByOneWritesWhereTheHostInserted) {
    const model::Keyframe earlier = keys(kKeyed, kScale).at(0);
    ASSERT_EQ(copy(kOneByOne, kScale, kKeyed), A_Err_NONE);
    ASSERT_EQ(keys(kKeyed, kScale).size(), 4u);
    EXPECT_EQ(keys(kKeyed, kScale).at(0), earlier);
    for (std::size_t k = 0; k < 3; ++k) expect_copied(kScale, k, kKeyed, k + 1);
}

// One by one, keys inserted before a failure stay; a failure inside the batch
// adds nothing, and one after the batch leaves its keys in place.
TEST_F(KeyframeTransferTest, KeysLeftByAFailure) {
    struct Case {
        CopyForm form;
        const char* operation;
        int nth;
        std::size_t left;
    };
    const Case cases[] = {
        {kOneByOne, "AEGP_GetStreamNumKFs", 1, 0},
        {kOneByOne, "AEGP_GetKeyframeTime", 1, 0},
        {kOneByOne, "AEGP_InsertKeyframe", 2, 1},
        {kOneByOne, "AEGP_GetNewKeyframeValue", 2, 2},
        {kOneByOne, "AEGP_SetKeyframeFlag", 7, 2},
        {kOneByOne, "AEGP_GetKeyframeTemporalEase", 3, 1},
        {kOneByOne, "AEGP_SetKeyframeInterpolation", 3, 3},
        {kBatch, "AEGP_AddKeyframes", 3, 0},
        {kBatch, "AEGP_SetAddKeyframe", 2, 0},
        {kBatch, "AEGP_GetKeyframeTemporalEase", 4, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.operation) + " #" + std::to_string(c.nth));
        load("attributes_keyframes");
        EXPECT_EQ(failing(c.operation, c.nth, A_Err_PARAMETER,
                          [&] { return copy(c.form, kScale, kFresh); }),
                  A_Err_PARAMETER);
        EXPECT_EQ(keys(kFresh, kScale).size(), c.left);
        EXPECT_EQ(host_.outstanding().streamValues, 0);
        EXPECT_EQ(host_.outstanding().keyframeBatches, 0);
    }
}
}  // namespace attributes_keyframes

// The pre-comp layer's effects onto every extracted layer: the same kinds in
// the same order, their switches, and every parameter with its value or
// keyframes and its expression.
namespace attributes_effects {
// Layers of the fixture's "Main", top first.
constexpr A_long kSource = 0;    // Gaussian Blur (keyframed), Point Control (off, keyframed)
constexpr A_long kControls = 1;  // Slider (expression only), Layer Control, Fill
constexpr A_long kPlain = 2;     // no effects
constexpr A_long kA = 3;         // has a Color Control of its own
constexpr A_long kB = 4;
constexpr A_long kText = 5;
constexpr A_long kCamera = 6;  // takes no effects

// An effect instance that is a copy of another: everything but the id. The
// switch of an expression that is not there reads as off.
void expect_copy_of(const model::Effect& copy, const model::Effect& source) {
    const auto as_seen = [](model::Stream param) {
        if (param.expression.empty()) param.expressionEnabled = false;
        return param;
    };
    EXPECT_NE(copy.id, source.id);
    EXPECT_EQ(copy.installedKey, source.installedKey);
    EXPECT_EQ(copy.active, source.active);
    ASSERT_EQ(copy.params.size(), source.params.size());
    for (std::size_t p = 0; p < source.params.size(); ++p) {
        EXPECT_TRUE(as_seen(copy.params[p]) == as_seen(source.params[p])) << "parameter " << p;
    }
}

class EffectTransferTest : public ExtractTest {
protected:
    void SetUp() override { load("attributes_effects"); }

    const std::vector<model::Effect>& effects(A_long index) {
        return layer_at("Main", index).effects;
    }
    std::vector<AEGP_CollectionItemV2> layers(const std::vector<A_long>& indices) {
        std::vector<AEGP_CollectionItemV2> items;
        for (const A_long index : indices) items.push_back(layer_item(layer_handle("Main", index)));
        return items;
    }
    // Copies the source's effects onto the given items through a collection.
    A_Err copy_to(A_long source, const std::vector<AEGP_CollectionItemV2>& items) {
        const AEGP_Collection2H collection = new_collection(items);
        const A_Err err = copy_effects_to_layers(info(), layer_handle("Main", source), collection);
        dispose_collection(collection);
        return err;
    }
    A_Err copy_onto(A_long source, A_long target) {
        return copy_layer_effects(info(), layer_handle("Main", source),
                                  layer_handle("Main", target));
    }
};

TEST_F(EffectTransferTest, NothingToCopyOrNoLayerChangesNothing) {
    AEGP_CollectionItemV2 mask{}, effect{};
    mask.type = AEGP_CollectionItemType_MASK;
    mask.u.mask.layerH = layer_handle("Main", kA);
    effect.type = AEGP_CollectionItemType_EFFECT;
    effect.u.effect.layerH = layer_handle("Main", kB);
    struct Case {
        A_long source;
        std::vector<AEGP_CollectionItemV2> items;
    };
    for (const Case& c :
         {Case{kPlain, layers({kA, kB})}, Case{kSource, {}}, Case{kSource, {mask, effect}}}) {
        const model::Project before = project();
        EXPECT_EQ(copy_to(c.source, c.items), A_Err_NONE);
        EXPECT_TRUE(project() == before);
    }
}

// Three layers and two effects: each layer gets its own copies, after the
// effects it had, in the source's order; the switched-off one stays off.
TEST_F(EffectTransferTest, EveryLayerGetsItsOwnCopiesInSourceOrder) {
    const std::vector<model::Effect> ownOfA = effects(kA);
    ASSERT_EQ(copy_to(kSource, layers({kA, kB, kText})), A_Err_NONE);
    for (const auto& [target, before] : {std::pair{kA, 1u}, {kB, 0u}, {kText, 0u}}) {
        SCOPED_TRACE(target);
        const auto& got = effects(target);
        ASSERT_EQ(got.size(), before + 2);
        expect_copy_of(got[before], effects(kSource)[0]);
        expect_copy_of(got[before + 1], effects(kSource)[1]);
        EXPECT_TRUE(got[before].active);
        EXPECT_FALSE(got[before + 1].active);
    }
    EXPECT_EQ(effects(kA)[0], ownOfA[0]);
    EXPECT_NE(effects(kB)[0].id, effects(kText)[0].id);
}

// Expression text and switch travel with keyframed parameters (Blurriness,
// switched off; Point, on) and with held ones (Repeat Edge Pixels).
TEST_F(EffectTransferTest, ExpressionsTravelWithTheirSwitch) {
    ASSERT_EQ(copy_onto(kSource, kB), A_Err_NONE);
    struct Case {
        std::size_t effect, param;
        const char* expression;
        bool enabled;
        std::size_t keyframes;
    };
    for (const Case& c : {Case{0, 1, "value + 1", false, 2}, Case{0, 3, "value", true, 0},
                          Case{1, 1, "value + [1, 1]", true, 2}}) {
        SCOPED_TRACE(std::to_string(c.effect) + "/" + std::to_string(c.param));
        const model::Stream& copied = effects(kB).at(c.effect).params.at(c.param);
        EXPECT_EQ(copied.expression, c.expression);
        EXPECT_EQ(copied.expressionEnabled, c.enabled);
        EXPECT_EQ(copied.keyframes.size(), c.keyframes);
    }
}

// Held values arrive also where an expression alone makes the parameter
// vary, parameters that cannot vary get their value, and a parameter with a
// single keyframe (Fill's opacity) keeps it as a keyframe.
TEST_F(EffectTransferTest, HeldValuesAndParametersThatCannotVary) {
    ASSERT_EQ(copy_onto(kControls, kB), A_Err_NONE);
    ASSERT_EQ(effects(kB).size(), 3u);
    for (std::size_t e = 0; e < 3; ++e) expect_copy_of(effects(kB)[e], effects(kControls)[e]);
    EXPECT_EQ(effects(kB)[0].params[1].value, (std::vector<double>{7}));
    EXPECT_EQ(effects(kB)[0].params[1].expression, "value * 2");
}

// An effect with parameter 0 only is applied and switched like the source.
TEST_F(EffectTransferTest, AnEffectWithOnlyItsOwnParameter) {
    model::Effect& blur = item_named(project(), "Main").comp->layers[kSource].effects[0];
    blur.params.resize(1);
    blur.active = false;
    ASSERT_EQ(copy_onto(kSource, kB), A_Err_NONE);
    ASSERT_EQ(effects(kB).size(), 2u);
    EXPECT_EQ(effects(kB)[0].installedKey, effects(kSource)[0].installedKey);
    EXPECT_FALSE(effects(kB)[0].active);
}

// The camera refuses effects; the layers after it still get theirs and the
// overall result stays 0.
TEST_F(EffectTransferTest, ARefusedLayerDoesNotStopTheOthers) {
    ASSERT_EQ(copy_to(kSource, layers({kCamera, kA, kText})), A_Err_NONE);
    EXPECT_TRUE(effects(kCamera).empty());
    EXPECT_EQ(effects(kA).size(), 3u);
    EXPECT_EQ(effects(kText).size(), 2u);
    EXPECT_NE(copy_onto(kSource, kCamera), A_Err_NONE);
}

// A failure while copying onto the first layer ends that layer's work where it
// happened; the second layer still gets both effects complete; the result is 0.
TEST_F(EffectTransferTest, AFailureOnOneLayerStaysOnThatLayer) {
    struct Case {
        const char* operation;
        int nth;
        std::size_t newOnA;
        bool secondSwitchedOff;  // Point Control's switch reached A
        std::size_t pointKeys;   // keyframes of A's copied Point parameter
    };
    const Case cases[] = {
        {"AEGP_ApplyEffect", 2, 1, false, 0},   {"AEGP_SetEffectFlags", 2, 2, false, 0},
        {"AEGP_InsertKeyframe", 4, 2, true, 1}, {"AEGP_SetKeyframeValue", 3, 2, true, 1},
        {"AEGP_SetExpression", 3, 2, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.operation) + " #" + std::to_string(c.nth));
        load("attributes_effects");
        const auto targets = layers({kA, kB});
        EXPECT_EQ(
            failing(c.operation, c.nth, A_Err_PARAMETER, [&] { return copy_to(kSource, targets); }),
            A_Err_NONE);
        const auto& onA = effects(kA);
        ASSERT_EQ(onA.size(), 1 + c.newOnA);
        expect_copy_of(onA[1], effects(kSource)[0]);
        if (c.newOnA == 2) {
            EXPECT_EQ(onA[2].active, !c.secondSwitchedOff);
            EXPECT_EQ(onA[2].params[1].keyframes.size(), c.pointKeys);
            EXPECT_EQ(onA[2].params[1].expression, "");
        }
        ASSERT_EQ(effects(kB).size(), 2u);
        expect_copy_of(effects(kB)[0], effects(kSource)[0]);
        expect_copy_of(effects(kB)[1], effects(kSource)[1]);
    }
}
}  // namespace attributes_effects

// Every host call of a copy onto one layer failing in turn: each way out gives
// back everything obtained (streams, values, tangents, batches, effect
// references, text handles, suites) and reports the injected error. Whole runs
// pass failures of effects on one copy over, so only these sweeps see them.
namespace attributes_failure {
// Fixture layers: attributes_transform has Carrier 0, Still 1, Moving 2;
// attributes_effects has Source 0, Controls 1, A 3, B 4.
class AttributesFailureTest : public ExtractTest {
protected:
    Prepared transform(A_long target, A_long source) {
        load("attributes_transform");
        const AEGP_LayerH to = layer_handle("Main", target), from = layer_handle("Main", source);
        return {[this, to, from] {
            bool animated = false;
            return copy_transform_to_layer(info(), to, from, &animated);
        }};
    }
    Prepared layer_effects(A_long source, A_long target) {
        load("attributes_effects");
        const AEGP_LayerH from = layer_handle("Main", source), to = layer_handle("Main", target);
        return {[this, from, to] { return copy_layer_effects(info(), from, to); }};
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
}  // namespace attributes_failure

}  // namespace outfold::testing
