// Streams, keyframes, expressions and effects through the suites.
#include <gtest/gtest.h>

#include <cstring>

#include "host_fixture.h"
#include "model/streams.h"

namespace {

using host::model::Rational;
using host_test::HostTest;
namespace stream = host::model::stream;

class Streams : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        load("rich.json");
    }

    // Opened streams are disposed when the test ends.
    AEGP_StreamRefH open(AEGP_LayerH layer, AEGP_LayerStream which) {
        AEGP_StreamRefH s = nullptr;
        EXPECT_EQ(streams().AEGP_GetNewLayerStream(plugin_, layer, which, &s), A_Err_NONE) << which;
        opened_.push_back(s);
        return s;
    }

    void TearDown() override {
        for (AEGP_StreamRefH s : opened_) streams().AEGP_DisposeStream(s);
        HostTest::TearDown();
    }

    std::vector<double> numbers(AEGP_StreamValue2& value) {
        // The host keeps a value's numbers; read them back through a stream
        // of a fresh null, which is where a plug-in would put them.
        AEGP_LayerH null = nullptr;
        const A_Time one{1, 1};
        EXPECT_EQ(
            suite<AEGP_CompSuite_v25>("AEGP Comp Suite", 25)
                .AEGP_CreateNullInComp(host_test::wide(u"probe"), comp_named("Scene"), &one, &null),
            A_Err_NONE);
        AEGP_StreamType type = 0;
        EXPECT_EQ(streams().AEGP_GetStreamType(value.streamH, &type), A_Err_NONE);
        const AEGP_LayerStream which = type == AEGP_StreamType_OneD ? 4 : 1;
        AEGP_StreamRefH target = open(null, which);
        EXPECT_EQ(streams().AEGP_SetStreamValue(plugin_, target, &value), A_Err_NONE);
        const std::vector<double> result = stream_of(null, which).value;
        EXPECT_EQ(suite<AEGP_LayerSuite_v10>("AEGP Layer Suite", 10).AEGP_DeleteLayer(null),
                  A_Err_NONE);
        return result;
    }

    const host::model::Stream& stream_of(AEGP_LayerH layer, int which) {
        return model_layer(layer).streams.at(which);
    }

    std::vector<AEGP_StreamRefH> opened_;
};

TEST_F(Streams, StreamsDescribeThemselves) {
    AEGP_LayerH plate = layer_at("Inner", 1);
    AEGP_LayerH label = layer_at("Inner", 0);
    struct Case {
        AEGP_LayerH layer;
        AEGP_LayerStream which;
        AEGP_StreamType type;
        A_short temporal;
        bool canVary;
        bool varies;
    };
    const Case cases[] = {
        {plate, stream::kPosition, AEGP_StreamType_ThreeD_SPATIAL, 1, true, true},
        {plate, stream::kScale, AEGP_StreamType_ThreeD, 3, true, true},  // keyframes
        {plate, stream::kOpacity, AEGP_StreamType_OneD, 1, true, false},
        {plate, stream::kMarker, AEGP_StreamType_MARKER, 1, false, false},
        {label, stream::kSourceText, AEGP_StreamType_TEXT_DOCUMENT, 1, true, true},
        {layer_at("Scene", 3), 17, AEGP_StreamType_COLOR, 1, true, false},
    };
    for (const Case& c : cases) {
        AEGP_StreamRefH s = open(c.layer, c.which);
        AEGP_StreamType type = -1;
        A_short temporal = -1;
        A_Boolean canVary = 9, varies = 9;
        ASSERT_EQ(streams().AEGP_GetStreamType(s, &type), A_Err_NONE);
        ASSERT_EQ(keys().AEGP_GetStreamTemporalDimensionality(s, &temporal), A_Err_NONE);
        ASSERT_EQ(streams().AEGP_CanVaryOverTime(s, &canVary), A_Err_NONE);
        ASSERT_EQ(streams().AEGP_IsStreamTimevarying(s, &varies), A_Err_NONE);
        EXPECT_EQ(type, c.type) << c.which;
        EXPECT_EQ(temporal, c.temporal) << c.which;
        EXPECT_EQ(canVary != 0, c.canVary) << c.which;
        EXPECT_EQ(varies != 0, c.varies) << c.which;
    }
    A_Boolean legal = 9;
    EXPECT_EQ(streams().AEGP_IsStreamLegal(plate, stream::kOrientation, &legal), A_Err_NONE);
    EXPECT_TRUE(legal) << "the plate is 3D";
    EXPECT_EQ(streams().AEGP_IsStreamLegal(layer_at("Scene", 0), stream::kOrientation, &legal),
              A_Err_NONE);
    EXPECT_FALSE(legal);
    EXPECT_EQ(streams().AEGP_IsStreamLegal(plate, 56, &legal), A_Err_PARAMETER);
    EXPECT_EQ(streams().AEGP_IsStreamLegal(plate, -1, &legal), A_Err_PARAMETER);
}

TEST_F(Streams, AnEnabledExpressionMakesAStreamVary) {
    AEGP_StreamRefH opacity = open(layer_at("Inner", 1), stream::kOpacity);
    A_Boolean varies = 9, enabled = 9;
    AEGP_MemHandle text = reinterpret_cast<AEGP_MemHandle>(std::uintptr_t{1});
    ASSERT_EQ(streams().AEGP_GetExpression(plugin_, opacity, &text), A_Err_NONE);
    EXPECT_EQ(text, nullptr) << "no expression, no handle";
    ASSERT_EQ(streams().AEGP_SetExpression(plugin_, opacity, "wiggle(1, 10)"), A_Err_NONE);
    ASSERT_EQ(streams().AEGP_IsStreamTimevarying(opacity, &varies), A_Err_NONE);
    EXPECT_TRUE(varies);
    ASSERT_EQ(streams().AEGP_GetExpressionState(plugin_, opacity, &enabled), A_Err_NONE);
    EXPECT_TRUE(enabled);
    ASSERT_EQ(streams().AEGP_SetExpressionState(plugin_, opacity, 0), A_Err_NONE);
    ASSERT_EQ(streams().AEGP_IsStreamTimevarying(opacity, &varies), A_Err_NONE);
    EXPECT_FALSE(varies);
    ASSERT_EQ(streams().AEGP_GetExpression(plugin_, opacity, &text), A_Err_NONE);
    ASSERT_NE(text, nullptr);
    void* data = nullptr;
    ASSERT_EQ(memory().AEGP_LockMemHandle(text, &data), A_Err_NONE);
    EXPECT_STREQ(static_cast<const char*>(data), "wiggle(1, 10)");
    ASSERT_EQ(memory().AEGP_UnlockMemHandle(text), A_Err_NONE);
    ASSERT_EQ(memory().AEGP_FreeMemHandle(text), A_Err_NONE);

    AEGP_StreamRefH marker = open(layer_at("Inner", 1), stream::kMarker);
    ASSERT_EQ(streams().AEGP_GetExpression(plugin_, marker, &text), A_Err_NONE);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(streams().AEGP_SetExpression(plugin_, marker, "1"), A_Err_PARAMETER);
    EXPECT_EQ(streams().AEGP_SetExpression(plugin_, opacity, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(stream_of(layer_at("Inner", 1), stream::kOpacity).expression, "wiggle(1, 10)");
}

TEST_F(Streams, ValuesAreReadAtATimeAndSetOnAnotherStream) {
    AEGP_LayerH plate = layer_at("Inner", 1);
    AEGP_StreamRefH position = open(plate, stream::kPosition);
    struct Case {
        AEGP_LTimeMode mode;
        A_Time time;
        std::vector<double> value;
    };
    // Position keys: 0 s at [0,0,0], 1.5 s at [100,50,0]; the plate's offset is 0.
    const Case cases[] = {
        {0, {0, 1}, {0, 0, 0}},
        {1, {3, 4}, {50, 25, 0}},
        {0, {9, 1}, {100, 50, 0}},
    };
    for (const Case& c : cases) {
        AEGP_StreamValue2 value{};
        ASSERT_EQ(streams().AEGP_GetNewStreamValue(plugin_, position, c.mode, &c.time, 1, &value),
                  A_Err_NONE);
        EXPECT_EQ(value.streamH, position);
        EXPECT_EQ(numbers(value), c.value);
        ASSERT_EQ(streams().AEGP_DisposeStreamValue(&value), A_Err_NONE);
    }
    // The child shape layer has an offset of -1/6 s: composition time 0 is
    // layer time 1/6.
    AEGP_LayerH child = layer_at("Inner", 2);
    AEGP_StreamRefH childRotation = open(child, stream::kRotation);
    AEGP_StreamValue2 held{};
    const A_Time zero{0, 1};
    ASSERT_EQ(streams().AEGP_GetNewStreamValue(plugin_, childRotation, 1, &zero, 1, &held),
              A_Err_NONE);
    EXPECT_EQ(numbers(held), (std::vector<double>{0}));

    // A value fits only a stream of its own shape, and only one without keyframes.
    AEGP_StreamRefH scale = open(plate, stream::kScale);
    EXPECT_EQ(streams().AEGP_SetStreamValue(plugin_, scale, &held), A_Err_PARAMETER);
    AEGP_StreamRefH opacity = open(plate, stream::kOpacity);
    EXPECT_EQ(streams().AEGP_SetStreamValue(plugin_, opacity, &held), A_Err_NONE);
    AEGP_StreamRefH rotation = open(layer_at("Scene", 0), stream::kRotation);
    ASSERT_EQ(keys().AEGP_InsertKeyframe(rotation, 0, &zero, nullptr), A_Err_PARAMETER);
    AEGP_KeyframeIndex index = -1;
    ASSERT_EQ(keys().AEGP_InsertKeyframe(rotation, 0, &zero, &index), A_Err_NONE);
    EXPECT_EQ(streams().AEGP_SetStreamValue(plugin_, rotation, &held), A_Err_PARAMETER);
    ASSERT_EQ(streams().AEGP_DisposeStreamValue(&held), A_Err_NONE);
    EXPECT_EQ(streams().AEGP_SetStreamValue(plugin_, opacity, &held), A_Err_STRUCT) << "disposed";

    AEGP_StreamRefH text = open(layer_at("Inner", 0), stream::kSourceText);
    AEGP_StreamValue2 words{};
    const A_Time late{1, 12};
    ASSERT_EQ(streams().AEGP_GetNewStreamValue(plugin_, text, 0, &late, 1, &words), A_Err_NONE);
    EXPECT_EQ(streams().AEGP_SetStreamValue(plugin_, opacity, &words), A_Err_PARAMETER)
        << "text on numbers";
    ASSERT_EQ(streams().AEGP_DisposeStreamValue(&words), A_Err_NONE);
}

TEST_F(Streams, KeyframesOneByOne) {
    AEGP_LayerH target = layer_at("Scene", 4);  // the null, offset 0
    AEGP_StreamRefH scale = open(target, stream::kScale);
    const A_Time oneSecond{1, 1};
    ASSERT_EQ(layers().AEGP_SetLayerOffset(target, &oneSecond), A_Err_NONE);
    struct Insert {
        A_Time compTime;
        AEGP_KeyframeIndex expected;
    };
    const Insert inserts[] = {{{3, 1}, 0}, {{2, 1}, 0}, {{5, 2}, 1}, {{3, 1}, 2}};
    for (const Insert& i : inserts) {
        AEGP_KeyframeIndex index = -1;
        ASSERT_EQ(keys().AEGP_InsertKeyframe(scale, AEGP_LTimeMode_CompTime, &i.compTime, &index),
                  A_Err_NONE);
        EXPECT_EQ(index, i.expected) << i.compTime.value << "/" << i.compTime.scale;
    }
    A_long count = 0;
    ASSERT_EQ(keys().AEGP_GetStreamNumKFs(scale, &count), A_Err_NONE);
    EXPECT_EQ(count, 3) << "inserting at a keyframe's time keeps that keyframe";
    A_Time layerTime{}, compTime{};
    ASSERT_EQ(keys().AEGP_GetKeyframeTime(scale, 1, 0, &layerTime), A_Err_NONE);
    ASSERT_EQ(keys().AEGP_GetKeyframeTime(scale, 1, 1, &compTime), A_Err_NONE);
    EXPECT_EQ(layerTime.value, 45);  // 1.5 s at 30 fps
    EXPECT_EQ(compTime.value, 75);
    EXPECT_EQ(compTime.scale, 30u);

    // Flags: one bit per call; "none" names no bit.
    struct Flag {
        AEGP_KeyframeFlags flag;
        A_Boolean on;
        AEGP_KeyframeFlags after;
        A_Err err;
    };
    const Flag flags[] = {
        {AEGP_KeyframeFlag_ROVING, 1, 0x10, A_Err_NONE},
        {AEGP_KeyframeFlag_TEMPORAL_CONTINUOUS, 1, 0x11, A_Err_NONE},
        {AEGP_KeyframeFlag_NONE, 1, 0x11, A_Err_NONE},
        {AEGP_KeyframeFlag_NONE, 0, 0x11, A_Err_NONE},
        {AEGP_KeyframeFlag_ROVING, 0, 0x01, A_Err_NONE},
        {0x03, 1, 0x01, A_Err_PARAMETER},
        {0x20, 1, 0x01, A_Err_PARAMETER},
    };
    for (const Flag& f : flags) {
        EXPECT_EQ(keys().AEGP_SetKeyframeFlag(scale, 1, f.flag, f.on), f.err) << f.flag;
        AEGP_KeyframeFlags now = -1;
        ASSERT_EQ(keys().AEGP_GetKeyframeFlags(scale, 1, &now), A_Err_NONE);
        EXPECT_EQ(now, f.after) << f.flag << (f.on ? " on" : " off");
    }

    // Interpolation and ease per temporal dimension (scale has three).
    ASSERT_EQ(
        keys().AEGP_SetKeyframeInterpolation(scale, 1, AEGP_KeyInterp_HOLD, AEGP_KeyInterp_BEZIER),
        A_Err_NONE);
    AEGP_KeyframeInterpolationType in = 0, out = 0;
    ASSERT_EQ(keys().AEGP_GetKeyframeInterpolation(scale, 1, &in, &out), A_Err_NONE);
    EXPECT_EQ(in, AEGP_KeyInterp_HOLD);
    EXPECT_EQ(out, AEGP_KeyInterp_BEZIER);
    EXPECT_EQ(keys().AEGP_SetKeyframeInterpolation(scale, 1, AEGP_KeyInterp_NONE, 1),
              A_Err_PARAMETER);
    const AEGP_KeyframeEase slow{0.5, 80}, fast{4, 20};
    ASSERT_EQ(keys().AEGP_SetKeyframeTemporalEase(scale, 1, 2, &slow, &fast), A_Err_NONE);
    AEGP_KeyframeEase gotIn{}, gotOut{};
    ASSERT_EQ(keys().AEGP_GetKeyframeTemporalEase(scale, 1, 2, &gotIn, &gotOut), A_Err_NONE);
    EXPECT_EQ(gotIn.influenceF, 80);
    EXPECT_EQ(gotOut.speedF, 4);
    ASSERT_EQ(keys().AEGP_GetKeyframeTemporalEase(scale, 1, 0, &gotIn, &gotOut), A_Err_NONE);
    EXPECT_NEAR(gotIn.influenceF, 16.666666667, 1e-6) << "other dimensions keep the default";
    EXPECT_EQ(keys().AEGP_SetKeyframeTemporalEase(scale, 1, 3, &slow, &fast), A_Err_PARAMETER);
    const AEGP_KeyframeEase bad{0, 0};
    EXPECT_EQ(keys().AEGP_SetKeyframeTemporalEase(scale, 1, 0, &bad, &fast), A_Err_PARAMETER);
    EXPECT_EQ(keys().AEGP_GetKeyframeFlags(scale, 3, nullptr), A_Err_PARAMETER);

    // Scale is not spatial: no tangents.
    AEGP_StreamValue2 a{}, b{};
    EXPECT_EQ(keys().AEGP_GetNewKeyframeSpatialTangents(plugin_, scale, 0, &a, &b),
              A_Err_PARAMETER);
    EXPECT_EQ(host().outstanding().streamValues, 0);
}

TEST_F(Streams, KeyframesCopiedInABatchArriveWhole) {
    AEGP_LayerH plate = layer_at("Inner", 1);
    AEGP_LayerH null = layer_at("Scene", 4);
    AEGP_StreamRefH source = open(plate, stream::kPosition);
    AEGP_StreamRefH target = open(null, stream::kPosition);
    A_long count = 0;
    ASSERT_EQ(keys().AEGP_GetStreamNumKFs(source, &count), A_Err_NONE);
    ASSERT_EQ(count, 2);
    AEGP_AddKeyframesInfoH batch = nullptr;
    ASSERT_EQ(keys().AEGP_StartAddKeyframes(target, &batch), A_Err_NONE);
    for (A_long k = 0; k < count; ++k) {
        A_Time t{};
        ASSERT_EQ(keys().AEGP_GetKeyframeTime(source, k, 1, &t), A_Err_NONE);
        A_long index = -1;
        ASSERT_EQ(keys().AEGP_AddKeyframes(batch, 1, &t, &index), A_Err_NONE);
        EXPECT_EQ(index, k);
        AEGP_StreamValue2 value{};
        ASSERT_EQ(keys().AEGP_GetNewKeyframeValue(plugin_, source, k, &value), A_Err_NONE);
        ASSERT_EQ(keys().AEGP_SetAddKeyframe(batch, k, &value), A_Err_NONE);
        ASSERT_EQ(streams().AEGP_DisposeStreamValue(&value), A_Err_NONE);
    }
    EXPECT_TRUE(stream_of(null, stream::kPosition).keyframes.empty())
        << "nothing until the batch ends";
    ASSERT_EQ(keys().AEGP_EndAddKeyframes(1, batch), A_Err_NONE);
    for (A_long k = 0; k < count; ++k) {
        AEGP_KeyframeInterpolationType in = 0, out = 0;
        ASSERT_EQ(keys().AEGP_GetKeyframeInterpolation(source, k, &in, &out), A_Err_NONE);
        ASSERT_EQ(keys().AEGP_SetKeyframeInterpolation(target, k, in, out), A_Err_NONE);
        AEGP_KeyframeFlags flags = 0;
        ASSERT_EQ(keys().AEGP_GetKeyframeFlags(source, k, &flags), A_Err_NONE);
        for (AEGP_KeyframeFlags bit = 1; bit <= 0x10; bit <<= 1)
            ASSERT_EQ(keys().AEGP_SetKeyframeFlag(target, k, bit, (flags & bit) != 0), A_Err_NONE);
        AEGP_KeyframeEase in_ease{}, out_ease{};
        ASSERT_EQ(keys().AEGP_GetKeyframeTemporalEase(source, k, 0, &in_ease, &out_ease),
                  A_Err_NONE);
        ASSERT_EQ(keys().AEGP_SetKeyframeTemporalEase(target, k, 0, &in_ease, &out_ease),
                  A_Err_NONE);
        AEGP_StreamValue2 tin{}, tout{};
        ASSERT_EQ(keys().AEGP_GetNewKeyframeSpatialTangents(plugin_, source, k, &tin, &tout),
                  A_Err_NONE);
        ASSERT_EQ(keys().AEGP_SetKeyframeSpatialTangents(target, k, &tin, &tout), A_Err_NONE);
        ASSERT_EQ(streams().AEGP_DisposeStreamValue(&tin), A_Err_NONE);
        ASSERT_EQ(streams().AEGP_DisposeStreamValue(&tout), A_Err_NONE);
    }
    // The plate sits at offset 0 and the null too, so layer times agree.
    EXPECT_EQ(stream_of(null, stream::kPosition).keyframes,
              stream_of(plate, stream::kPosition).keyframes);

    // A batch ended without adding leaves the stream alone.
    AEGP_StreamRefH opacity = open(null, stream::kOpacity);
    ASSERT_EQ(keys().AEGP_StartAddKeyframes(opacity, &batch), A_Err_NONE);
    const A_Time t{1, 1};
    A_long index = -1;
    ASSERT_EQ(keys().AEGP_AddKeyframes(batch, 0, &t, &index), A_Err_NONE);
    AEGP_StreamValue2 wrong{};
    ASSERT_EQ(streams().AEGP_GetNewStreamValue(plugin_, source, 0, &t, 1, &wrong), A_Err_NONE);
    EXPECT_EQ(keys().AEGP_SetAddKeyframe(batch, 0, &wrong), A_Err_PARAMETER)
        << "3D value, 1D stream";
    EXPECT_EQ(keys().AEGP_SetAddKeyframe(batch, 1, &wrong), A_Err_PARAMETER) << "no such batch key";
    ASSERT_EQ(streams().AEGP_DisposeStreamValue(&wrong), A_Err_NONE);
    ASSERT_EQ(keys().AEGP_EndAddKeyframes(0, batch), A_Err_NONE);
    EXPECT_TRUE(stream_of(null, stream::kOpacity).keyframes.empty());
    EXPECT_EQ(keys().AEGP_AddKeyframes(batch, 0, &t, &index), A_Err_STRUCT) << "the batch is gone";
    EXPECT_EQ(keys().AEGP_StartAddKeyframes(open(null, stream::kMarker), &batch), A_Err_PARAMETER);
}

TEST_F(Streams, EffectsAreAppliedReadAndSwitched) {
    AEGP_LayerH plate = layer_at("Inner", 1);
    A_long count = 0;
    ASSERT_EQ(effects().AEGP_GetLayerNumEffects(plate, &count), A_Err_NONE);
    ASSERT_EQ(count, 3);
    struct Case {
        A_long index;
        AEGP_InstalledEffectKey key;
        AEGP_EffectFlags flags;
        A_long params;
    };
    const Case cases[] = {
        {0, 3, AEGP_EffectFlags_ACTIVE, 2}, {1, 2, 0, 8}, {2, 4, AEGP_EffectFlags_ACTIVE, 2}};
    for (const Case& c : cases) {
        AEGP_EffectRefH effect = nullptr;
        ASSERT_EQ(effects().AEGP_GetLayerEffectByIndex(plugin_, plate, c.index, &effect),
                  A_Err_NONE);
        AEGP_InstalledEffectKey key = 0;
        AEGP_EffectFlags flags = -1;
        A_long params = 0;
        EXPECT_EQ(effects().AEGP_GetInstalledKeyFromLayerEffect(effect, &key), A_Err_NONE);
        EXPECT_EQ(effects().AEGP_GetEffectFlags(effect, &flags), A_Err_NONE);
        EXPECT_EQ(streams().AEGP_GetEffectNumParamStreams(effect, &params), A_Err_NONE);
        EXPECT_EQ(key, c.key) << c.index;
        EXPECT_EQ(flags, c.flags) << c.index;
        EXPECT_EQ(params, c.params) << c.index;
        EXPECT_EQ(effects().AEGP_DisposeEffect(effect), A_Err_NONE);
    }

    AEGP_LayerH null = layer_at("Scene", 4);
    AEGP_EffectRefH applied = nullptr;
    ASSERT_EQ(effects().AEGP_ApplyEffect(plugin_, null, 3, &applied), A_Err_NONE);
    ASSERT_EQ(effects().AEGP_SetEffectFlags(applied, AEGP_EffectFlags_ACTIVE, 0), A_Err_NONE);
    AEGP_EffectFlags flags = -1;
    ASSERT_EQ(effects().AEGP_GetEffectFlags(applied, &flags), A_Err_NONE);
    EXPECT_EQ(flags, 0);
    ASSERT_EQ(effects().AEGP_SetEffectFlags(applied, 0, AEGP_EffectFlags_ACTIVE), A_Err_NONE);
    ASSERT_EQ(effects().AEGP_GetEffectFlags(applied, &flags), A_Err_NONE);
    EXPECT_EQ(flags, 0) << "outside the mask nothing changes";

    // Parameter 0 carries no data; parameter 1 is the slider.
    AEGP_StreamRefH own = nullptr, slider = nullptr;
    ASSERT_EQ(streams().AEGP_GetNewEffectStreamByIndex(plugin_, applied, 0, &own), A_Err_NONE);
    ASSERT_EQ(streams().AEGP_GetNewEffectStreamByIndex(plugin_, applied, 1, &slider), A_Err_NONE);
    opened_.push_back(own);
    opened_.push_back(slider);
    AEGP_StreamType type = -1;
    ASSERT_EQ(streams().AEGP_GetStreamType(own, &type), A_Err_NONE);
    EXPECT_EQ(type, AEGP_StreamType_NO_DATA);
    AEGP_StreamValue2 value{};
    const A_Time zero{0, 1};
    EXPECT_EQ(streams().AEGP_GetNewStreamValue(plugin_, own, 0, &zero, 1, &value), A_Err_PARAMETER);
    AEGP_StreamRefH extra = nullptr;
    EXPECT_EQ(streams().AEGP_GetNewEffectStreamByIndex(plugin_, applied, 2, &extra),
              A_Err_PARAMETER);
    ASSERT_EQ(streams().AEGP_SetExpression(plugin_, slider, "time"), A_Err_NONE);
    ASSERT_EQ(effects().AEGP_DisposeEffect(applied), A_Err_NONE);
    ASSERT_EQ(effects().AEGP_GetLayerNumEffects(null, &count), A_Err_NONE);
    EXPECT_EQ(count, 1) << "disposing a reference leaves the effect on its layer";

    struct Refused {
        const char* what;
        A_Err got;
        A_Err expected;
    };
    AEGP_EffectRefH none = nullptr;
    const Refused refused[] = {
        {"unknown key", effects().AEGP_ApplyEffect(plugin_, null, 999, &none), A_Err_PARAMETER},
        {"camera", effects().AEGP_ApplyEffect(plugin_, layer_at("Scene", 2), 1, &none),
         A_Err_PARAMETER},
        {"index past the end", effects().AEGP_GetLayerEffectByIndex(plugin_, null, 1, &none),
         A_Err_PARAMETER},
        {"disposed reference", effects().AEGP_GetEffectFlags(applied, &flags), A_Err_STRUCT},
    };
    for (const Refused& r : refused) EXPECT_EQ(r.got, r.expected) << r.what;
    EXPECT_EQ(none, nullptr);
}

}  // namespace
