// The pre-comp layer's transform onto the carrier layer: held values where a
// property has no keyframes, every keyframe (batch form) where it has.
#include <iterator>
#include <string>
#include <vector>

#include "attributes/stream_transfer.h"
#include "extract_harness.h"
#include "shell/host_suites.h"

namespace outfold::testing {
namespace {

namespace model = host::model;

// Layers of the fixture's "Main", top first.
constexpr A_long kCarrier = 0;  // a null without keyframes: the target
constexpr A_long kStill = 1;    // nothing keyframed, in-point not 0, position under an expression
constexpr A_long kMoving = 2;   // keyframed position, scale and time remap; rotation held
constexpr A_long kFading = 3;   // only opacity keyframed

// The transform properties, in the order they are copied.
constexpr int kTransform[] = {0, 1, 2, 3, 4, 7, 8, 9, 10};
constexpr int kPosition = 1;
constexpr int kScale = 2;
constexpr int kRotation = 3;
constexpr int kOpacity = 4;
constexpr int kTimeRemap = 7;

constexpr std::uint32_t kCarriedFlags = 0x1F;

model::Time composition_time(const model::Layer& layer, const model::Keyframe& key) {
    return key.time + layer.offset;
}

// A copied keyframe matches its source at the same composition time; of its
// flags only the five carried ones arrive.
void expect_copied(const model::Layer& sourceLayer, const model::Keyframe& source,
                   const model::Layer& copyLayer, const model::Keyframe& copy) {
    EXPECT_TRUE(composition_time(sourceLayer, source) == composition_time(copyLayer, copy));
    EXPECT_EQ(copy.value, source.value);
    EXPECT_EQ(copy.inInterp, source.inInterp);
    EXPECT_EQ(copy.outInterp, source.outInterp);
    EXPECT_EQ(copy.inEase, source.inEase);
    EXPECT_EQ(copy.outEase, source.outEase);
    EXPECT_EQ(copy.inTangent, source.inTangent);
    EXPECT_EQ(copy.outTangent, source.outTangent);
    EXPECT_EQ(copy.flags, source.flags & kCarriedFlags);
}

class TransformTransferTest : public ExtractTest {
protected:
    void SetUp() override { load("attributes_transform"); }

    const model::Layer& layer(A_long index) {
        return comp_named(project(), "Main").layers.at(static_cast<std::size_t>(index));
    }
    const model::Stream& stream(A_long index, int number) {
        return layer(index).streams.at(number);
    }
    A_Err copy_transform(A_long source, bool* animated) {
        const PluginInfo pluginInfo = info();
        const AEGP_LayerH target = layer_handle("Main", kCarrier);
        const AEGP_LayerH from = layer_handle("Main", source);
        host_.clear_trace();
        return copy_transform_to_layer(&pluginInfo, target, from, animated);
    }
};

TEST_F(TransformTransferTest, PropertiesWithoutKeyframesArriveAsHeldValues) {
    bool animated = false;
    ASSERT_EQ(copy_transform(kStill, &animated), A_Err_NONE);
    // Position varies through its expression alone: the carrier must stay.
    EXPECT_TRUE(animated);
    for (const int number : kTransform) {
        SCOPED_TRACE("stream " + std::to_string(number));
        EXPECT_EQ(stream(kCarrier, number).value, stream(kStill, number).value);
        EXPECT_TRUE(stream(kCarrier, number).keyframes.empty());
        // Expressions of the transform stay behind.
        EXPECT_EQ(stream(kCarrier, number).expression, "");
    }
    EXPECT_EQ(calls_to("AEGP_SetStreamValue"), 9u);
    EXPECT_EQ(calls_to("AEGP_StartAddKeyframes"), 0u);
    EXPECT_EQ(calls_to("AEGP_InsertKeyframe"), 0u);
}

TEST_F(TransformTransferTest, KeyframedPropertiesArriveAtTheSameCompositionTimes) {
    bool animated = false;
    ASSERT_EQ(copy_transform(kMoving, &animated), A_Err_NONE);
    EXPECT_TRUE(animated);
    for (const int number : {kPosition, kScale, kTimeRemap}) {
        SCOPED_TRACE("stream " + std::to_string(number));
        const auto& source = stream(kMoving, number).keyframes;
        const auto& copies = stream(kCarrier, number).keyframes;
        ASSERT_EQ(copies.size(), source.size());
        for (std::size_t k = 0; k < source.size(); ++k) {
            SCOPED_TRACE("keyframe " + std::to_string(k));
            expect_copied(layer(kMoving), source[k], layer(kCarrier), copies[k]);
        }
    }
    // The source's offset is 1 s and the carrier's 0: a key at layer time 0
    // of the source sits at layer time 1 of the carrier.
    EXPECT_TRUE(stream(kCarrier, kPosition).keyframes.front().time == model::Rational::of(1));
    EXPECT_EQ(stream(kCarrier, kRotation).value, (std::vector<double>{45}));
    EXPECT_TRUE(stream(kCarrier, kRotation).keyframes.empty());
}

// The flag only ever goes up: to true when a property has keyframes.
TEST_F(TransformTransferTest, AnimatedIsRaisedByKeyframesAndExpressions) {
    struct Case {
        A_long source;
        bool before;
        bool after;
    };
    const Case cases[] = {
        {kStill, false, true},  // an expression on position
        {kStill, true, true},
        {kMoving, false, true},
        {kFading, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.source) + (c.before ? " raised" : " lowered"));
        load("attributes_transform");
        bool animated = c.before;
        ASSERT_EQ(copy_transform(c.source, &animated), A_Err_NONE);
        EXPECT_EQ(animated, c.after);
    }
}

// Tangents are read and written for spatial streams only (here position);
// flags are written only for keyframes that have some.
TEST_F(TransformTransferTest, TangentAndFlagCallsFollowTheKeyframes) {
    struct Case {
        A_long source;
        std::size_t tangentReads;
        std::size_t flagWrites;
    };
    const Case cases[] = {
        // position: 3 keys (flags 12, 16, 0); scale: 2 keys (35, 0); time remap: 2 keys (0, 0)
        {kMoving, 3, 10 + 5},
        // opacity: 2 keys (3, 0)
        {kFading, 0, 5},
        {kStill, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        load("attributes_transform");
        bool animated = false;
        ASSERT_EQ(copy_transform(c.source, &animated), A_Err_NONE);
        EXPECT_EQ(calls_to("AEGP_GetNewKeyframeSpatialTangents"), c.tangentReads);
        EXPECT_EQ(calls_to("AEGP_SetKeyframeSpatialTangents"), c.tangentReads);
        EXPECT_EQ(calls_to("AEGP_SetKeyframeFlag"), c.flagWrites);
    }
}

TEST_F(TransformTransferTest, OpacityKeyframesOfAnotherLayerArriveToo) {
    bool animated = false;
    ASSERT_EQ(copy_transform(kFading, &animated), A_Err_NONE);
    const auto& source = stream(kFading, kOpacity).keyframes;
    const auto& copies = stream(kCarrier, kOpacity).keyframes;
    ASSERT_EQ(copies.size(), 2u);
    expect_copied(layer(kFading), source[0], layer(kCarrier), copies[0]);
    expect_copied(layer(kFading), source[1], layer(kCarrier), copies[1]);
}

// The first failing call ends the copy: the properties before it stay copied,
// the failing one and those after it keep the carrier's own values.
TEST_F(TransformTransferTest, AFailureStopsAtItsProperty) {
    struct Case {
        const char* operation;
        int nth;
        std::size_t copied;
    };
    const Case cases[] = {
        {"AEGP_GetLayerInPoint", 1, 0},     {"AEGP_GetNewLayerStream", 1, 0},
        {"AEGP_GetNewStreamValue", 1, 0},   {"AEGP_GetNewLayerStream", 2, 0},
        {"AEGP_IsStreamTimevarying", 1, 0}, {"AEGP_SetStreamValue", 1, 0},
        {"AEGP_GetNewLayerStream", 3, 1},   {"AEGP_GetStreamNumKFs", 1, 1},
        {"AEGP_SetStreamValue", 6, 5},      {"AEGP_SetStreamValue", 9, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.operation) + " #" + std::to_string(c.nth));
        load("attributes_transform");
        const model::Layer carrier = layer(kCarrier);
        const PluginInfo pluginInfo = info();
        const AEGP_LayerH target = layer_handle("Main", kCarrier);
        const AEGP_LayerH source = layer_handle("Main", kStill);
        host_.clear_trace();
        host_.fail_call(c.operation, c.nth, A_Err_GENERIC);
        bool animated = false;
        EXPECT_EQ(copy_transform_to_layer(&pluginInfo, target, source, &animated), A_Err_GENERIC);
        host_.clear_faults();
        // Raised once position (under an expression) is read through.
        EXPECT_EQ(animated, c.copied > 1);
        EXPECT_EQ(calls_to("AEGP_GetLayerInPoint"), c.copied + 1);
        for (std::size_t i = 0; i < std::size(kTransform); ++i) {
            const int number = kTransform[i];
            const auto& expected =
                i < c.copied ? stream(kStill, number) : carrier.streams.at(number);
            EXPECT_EQ(stream(kCarrier, number).value, expected.value) << "stream " << number;
        }
        EXPECT_TRUE(host_.outstanding().none());
    }
}

// A failure inside the batch adds none of its keyframes; the flag is up all
// the same, because the property was found to be animated.
TEST_F(TransformTransferTest, AFailedBatchAddsNoKeyframes) {
    const char* operations[] = {"AEGP_StartAddKeyframes", "AEGP_GetKeyframeTime",
                                "AEGP_AddKeyframes", "AEGP_GetNewKeyframeValue",
                                "AEGP_SetAddKeyframe"};
    for (const char* operation : operations) {
        SCOPED_TRACE(operation);
        load("attributes_transform");
        const PluginInfo pluginInfo = info();
        const AEGP_LayerH target = layer_handle("Main", kCarrier);
        const AEGP_LayerH source = layer_handle("Main", kMoving);
        host_.fail_call(operation, 1, A_Err_PARAMETER);
        bool animated = false;
        EXPECT_EQ(copy_transform_to_layer(&pluginInfo, target, source, &animated), A_Err_PARAMETER);
        host_.clear_faults();
        EXPECT_TRUE(animated);
        EXPECT_TRUE(stream(kCarrier, kPosition).keyframes.empty());
        EXPECT_EQ(stream(kCarrier, 0).value, stream(kMoving, 0).value);  // anchor point went first
        EXPECT_EQ(host_.outstanding().keyframeBatches, 0);
        EXPECT_TRUE(host_.outstanding().none());
    }
}

// After the batch is ended its keyframes stay, even when a later detail fails.
TEST_F(TransformTransferTest, AFailureAfterTheBatchKeepsItsKeyframes) {
    const char* operations[] = {"AEGP_GetStreamType",
                                "AEGP_SetKeyframeInterpolation",
                                "AEGP_SetKeyframeFlag",
                                "AEGP_SetKeyframeTemporalEase",
                                "AEGP_GetNewKeyframeSpatialTangents",
                                "AEGP_SetKeyframeSpatialTangents"};
    for (const char* operation : operations) {
        SCOPED_TRACE(operation);
        load("attributes_transform");
        const PluginInfo pluginInfo = info();
        const AEGP_LayerH target = layer_handle("Main", kCarrier);
        const AEGP_LayerH source = layer_handle("Main", kMoving);
        host_.fail_call(operation, 1, A_Err_PARAMETER);
        bool animated = false;
        EXPECT_EQ(copy_transform_to_layer(&pluginInfo, target, source, &animated), A_Err_PARAMETER);
        host_.clear_faults();
        EXPECT_EQ(stream(kCarrier, kPosition).keyframes.size(), 3u);
        EXPECT_TRUE(stream(kCarrier, kScale).keyframes.empty());
        EXPECT_TRUE(host_.outstanding().none());
    }
}

TEST_F(TransformTransferTest, AMissingSuiteEndsTheCopyWithItsCode) {
    const model::Layer carrier = layer(kCarrier);
    host_.remove_suite("AEGP Layer Suite", 10);
    bool animated = false;
    EXPECT_EQ(copy_transform(kStill, &animated), kMissingSuiteError);
    host_.clear_faults();
    EXPECT_EQ(layer(kCarrier), carrier);
    EXPECT_EQ(calls_to("AEGP_GetNewLayerStream"), 0u);
}

}  // namespace
}  // namespace outfold::testing
