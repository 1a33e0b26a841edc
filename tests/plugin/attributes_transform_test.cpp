// The pre-comp layer's transform onto the carrier layer: held values where a
// property has no keyframes, every keyframe (batch form) where it has.
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
constexpr int kPosition = 1, kScale = 2, kRotation = 3, kOpacity = 4, kTimeRemap = 7;

class TransformTransferTest : public ExtractTest {
protected:
    void SetUp() override { load("attributes_transform"); }

    const model::Stream& stream(A_long index, int number) {
        return layer_at("Main", index).streams.at(number);
    }
    A_Err copy_from(A_long source, bool* animated) {
        const PluginInfo pluginInfo = info();
        return copy_transform_to_layer(&pluginInfo, layer_handle("Main", kCarrier),
                                       layer_handle("Main", source), animated);
    }
};

TEST_F(TransformTransferTest, PropertiesWithoutKeyframesArriveAsHeldValues) {
    bool animated = false;
    ASSERT_EQ(copy_from(kStill, &animated), A_Err_NONE);
    // Position varies through its expression alone: the carrier must stay.
    EXPECT_TRUE(animated);
    for (const int number : kTransform) {
        SCOPED_TRACE(number);
        EXPECT_EQ(stream(kCarrier, number).value, stream(kStill, number).value);
        EXPECT_TRUE(stream(kCarrier, number).keyframes.empty());
        EXPECT_EQ(stream(kCarrier, number).expression, "");  // expressions stay behind
    }
}

TEST_F(TransformTransferTest, KeyframedPropertiesArriveAtTheSameCompositionTimes) {
    struct Case {
        A_long source;
        std::vector<int> streams;
    };
    for (const Case& c :
         {Case{kMoving, {kPosition, kScale, kTimeRemap}}, Case{kFading, {kOpacity}}}) {
        load("attributes_transform");
        bool animated = false;
        ASSERT_EQ(copy_from(c.source, &animated), A_Err_NONE);
        for (const int number : c.streams) {
            SCOPED_TRACE("stream " + std::to_string(number));
            const auto& source = stream(c.source, number).keyframes;
            const auto& copies = stream(kCarrier, number).keyframes;
            ASSERT_EQ(copies.size(), source.size());
            for (std::size_t k = 0; k < source.size(); ++k) {
                expect_key_copied(layer_at("Main", c.source), source[k], layer_at("Main", kCarrier),
                                  copies[k]);
            }
        }
    }
    // Moving's offset is 1 s and the carrier's 0: its key at layer time 0
    // sits at layer time 1 of the carrier; its held rotation arrives held.
    load("attributes_transform");
    bool animated = false;
    ASSERT_EQ(copy_from(kMoving, &animated), A_Err_NONE);
    EXPECT_TRUE(stream(kCarrier, kPosition).keyframes.front().time == model::Rational::of(1));
    EXPECT_EQ(stream(kCarrier, kRotation).value, (std::vector<double>{45}));
    EXPECT_TRUE(stream(kCarrier, kRotation).keyframes.empty());
}

// The flag only ever goes up: to true when a property has keyframes.
TEST_F(TransformTransferTest, AnimatedIsRaisedByKeyframesAndExpressions) {
    struct Case {
        A_long source;
        bool before, after;
    };
    for (const Case c : {Case{kStill, false, true}, Case{kStill, true, true},
                         Case{kMoving, false, true}, Case{kFading, false, true}}) {
        SCOPED_TRACE(std::to_string(c.source) + (c.before ? " raised" : " lowered"));
        load("attributes_transform");
        bool animated = c.before;
        ASSERT_EQ(copy_from(c.source, &animated), A_Err_NONE);
        EXPECT_EQ(animated, c.after);
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

}  // namespace
}  // namespace outfold::testing
