#include <nlohmann/json.hpp>

#include "host_fixture.h"
#include "io/project_file.h"
#include "model/streams.h"

namespace {

using namespace host_test;
namespace stream = host::model::stream;
using Numbers = std::vector<double>;

class Streams : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        load("rich.json");
    }

    AEGP_StreamRefH open(AEGP_LayerH layer, AEGP_LayerStream which) {
        return opened_.emplace_back(new_stream(layer, which));
    }

    void TearDown() override {
        for (AEGP_StreamRefH s : opened_) streams().AEGP_DisposeStream(s);
        HostTest::TearDown();
    }

    AEGP_StreamValue2 value_at(AEGP_StreamRefH s, AEGP_LTimeMode mode, A_Time time,
                               A_Boolean beforeExpressions = 1) {
        return made<AEGP_StreamValue2>(streams().AEGP_GetNewStreamValue, plugin_, s, mode, &time,
                                       beforeExpressions);
    }

    // A value's numbers, read back by setting them on a fresh null; the value is disposed.
    Numbers numbers(AEGP_StreamValue2& value) {
        AEGP_LayerH null = make_null("Scene");
        const auto type = got<AEGP_StreamType>(streams().AEGP_GetStreamType, value.streamH);
        const AEGP_LayerStream which = type == AEGP_StreamType_OneD     ? stream::kOpacity
                                       : type == AEGP_StreamType_ThreeD ? stream::kScale
                                                                        : stream::kPosition;
        EXPECT_EQ(streams().AEGP_SetStreamValue(plugin_, open(null, which), &value), A_Err_NONE);
        const Numbers result = model_layer(null).streams.at(which).value;
        EXPECT_EQ(delete_layer(null), A_Err_NONE);
        EXPECT_EQ(streams().AEGP_DisposeStreamValue(&value), A_Err_NONE);
        return result;
    }

    std::vector<AEGP_StreamRefH> opened_;
};

TEST_F(Streams, StreamsDescribeThemselvesAndExpressionsComeInHandles) {
    AEGP_LayerH plate = layer_at("Inner", 1);
    const std::tuple<AEGP_LayerH, AEGP_LayerStream, AEGP_StreamType, A_short, bool, bool> cases[] =
        {{plate, stream::kPosition, AEGP_StreamType_ThreeD_SPATIAL, 1, true, true},
         {plate, stream::kScale, AEGP_StreamType_ThreeD, 3, true, true},
         {plate, stream::kOpacity, AEGP_StreamType_OneD, 1, true, false},
         {plate, stream::kMarker, AEGP_StreamType_MARKER, 1, false, false},
         {layer_at("Inner", 0), stream::kSourceText, AEGP_StreamType_TEXT_DOCUMENT, 1, 1, 1},
         {layer_at("Scene", 3), 17, AEGP_StreamType_COLOR, 1, true, false}};
    for (const auto& [layer, which, type, temporal, canVary, varies] : cases) {
        SCOPED_TRACE(which);
        AEGP_StreamRefH s = open(layer, which);
        EXPECT_EQ(got<AEGP_StreamType>(streams().AEGP_GetStreamType, s), type);
        EXPECT_EQ(got<A_short>(keys().AEGP_GetStreamTemporalDimensionality, s), temporal);
        EXPECT_EQ(got<A_Boolean>(streams().AEGP_CanVaryOverTime, s) != 0, canVary);
        EXPECT_EQ(got<A_Boolean>(streams().AEGP_IsStreamTimevarying, s) != 0, varies);
    }
    const auto legal = streams().AEGP_IsStreamLegal;
    EXPECT_TRUE(got<A_Boolean>(legal, plate, stream::kOrientation)) << "the plate is 3D";
    EXPECT_FALSE(got<A_Boolean>(legal, layer_at("Scene", 0), stream::kOrientation));
    A_Boolean answer = 9;
    expect_errs(A_Err_PARAMETER,
                {{"56", legal(plate, 56, &answer)}, {"-1", legal(plate, -1, &answer)}});

    const auto& s = streams();
    AEGP_StreamRefH opacity = open(plate, stream::kOpacity), marker = open(plate, stream::kMarker);
    const auto expression = [&](AEGP_StreamRefH stream) {
        AEGP_MemHandle text = reinterpret_cast<AEGP_MemHandle>(std::uintptr_t{1});
        EXPECT_EQ(s.AEGP_GetExpression(plugin_, stream, &text), A_Err_NONE);
        return text == nullptr ? std::string("(no handle)") : take_text(text);
    };
    EXPECT_EQ(expression(opacity), "(no handle)");
    OK(s.AEGP_SetExpression(plugin_, opacity, "wiggle(1, 10)"));
    OK(s.AEGP_SetExpressionState(plugin_, opacity, 0));
    EXPECT_FALSE(got<A_Boolean>(s.AEGP_IsStreamTimevarying, opacity)) << "switched off";
    expect_errs(A_Err_PARAMETER, {{"marker", s.AEGP_SetExpression(plugin_, marker, "1")},
                                  {"null", s.AEGP_SetExpression(plugin_, opacity, nullptr)}});
}

TEST_F(Streams, ValuesAreReadAtATimeAndSetOnAnotherStream) {
    const auto& s = streams();
    AEGP_LayerH plate = layer_at("Inner", 1);
    AEGP_StreamRefH position = open(plate, stream::kPosition);
    // Position keys: 0 s at [0,0,0], 1.5 s at [100,50,0] along a straight path, eased a third
    // each way: at a quarter of the time, 3u^2 - 2u^3 = 0.15625 of it. The plate's offset is 0.
    const std::tuple<AEGP_LTimeMode, A_Time, Numbers> cases[] = {
        {0, {0, 1}, {0, 0, 0}}, {1, {3, 8}, {15.625, 7.8125, 0}}, {0, {9, 1}, {100, 50, 0}}};
    for (const auto& [mode, time, expected] : cases) {
        AEGP_StreamValue2 value = value_at(position, mode, time);
        EXPECT_EQ(value.streamH, position);
        const Numbers got = numbers(value);
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], expected[i], 1e-9);
    }
    // The child's offset is -1/6 s.
    AEGP_StreamValue2 held = value_at(open(layer_at("Inner", 2), stream::kRotation), 1, {0, 1});
    AEGP_StreamRefH opacity = open(plate, stream::kOpacity);
    EXPECT_EQ(s.AEGP_SetStreamValue(plugin_, opacity, &held), A_Err_NONE);
    EXPECT_EQ(model_layer(plate).streams.at(stream::kOpacity).value, Numbers{0});
    AEGP_StreamRefH rotation = open(layer_at("Scene", 0), stream::kRotation);
    const A_Time zero{0, 1};
    ASSERT_EQ(keys().AEGP_InsertKeyframe(rotation, 0, &zero, nullptr), A_Err_PARAMETER);
    made<AEGP_KeyframeIndex>(keys().AEGP_InsertKeyframe, rotation, 0, &zero);
    AEGP_StreamValue2 words = value_at(open(layer_at("Inner", 0), stream::kSourceText), 0, {1, 12});
    // A value fits only a stream of its own shape, and only one without keyframes.
    expect_errs(A_Err_PARAMETER,
                {{"1D on 3D", s.AEGP_SetStreamValue(plugin_, open(plate, stream::kScale), &held)},
                 {"keyframed", s.AEGP_SetStreamValue(plugin_, rotation, &held)},
                 {"text on numbers", s.AEGP_SetStreamValue(plugin_, opacity, &words)}});
    OK(s.AEGP_DisposeStreamValue(&words));
    OK(s.AEGP_DisposeStreamValue(&held));
    EXPECT_EQ(s.AEGP_SetStreamValue(plugin_, opacity, &held), A_Err_STRUCT) << "disposed";
}

TEST_F(Streams, KeyframesOneByOneAndEffectsAppliedReadAndSwitched) {
    const auto& k = keys();
    AEGP_LayerH target = layer_at("Scene", 4);  // the null, offset 0
    AEGP_StreamRefH scale = open(target, stream::kScale);
    const A_Time oneSecond{1, 1};
    OK(layers().AEGP_SetLayerOffset(target, &oneSecond));
    const std::pair<A_Time, AEGP_KeyframeIndex> inserts[] = {
        {{3, 1}, 0}, {{2, 1}, 0}, {{5, 2}, 1}, {{3, 1}, 2}};
    for (const auto& [time, expected] : inserts)
        EXPECT_EQ(
            made<AEGP_KeyframeIndex>(k.AEGP_InsertKeyframe, scale, AEGP_LTimeMode_CompTime, &time),
            expected)
            << time.value << "/" << time.scale;
    EXPECT_EQ(got<A_Time>(k.AEGP_GetKeyframeTime, scale, 1, 0).value, 45);  // 1.5 s, 30 fps
    // Reversed at double speed, layer time 1.5 s falls at 1 - 2 * 1.5 = -2 s.
    const A_Ratio reversed{-2, 1};
    OK(layers().AEGP_SetLayerStretch(target, &reversed));
    EXPECT_EQ(got<A_Time>(k.AEGP_GetKeyframeTime, scale, 1, AEGP_LTimeMode_CompTime).value, -60);
    const A_Time atLayerOne{-1, 1};
    EXPECT_EQ(made<AEGP_KeyframeIndex>(k.AEGP_InsertKeyframe, scale, AEGP_LTimeMode_CompTime,
                                       &atLayerOne),
              0)
        << "the keyframe at layer time 1 s";

    // One bit per call; "none" names no bit.
    const std::tuple<AEGP_KeyframeFlags, A_Boolean, AEGP_KeyframeFlags, A_Err> flags[] = {
        {AEGP_KeyframeFlag_ROVING, 1, 0x10, A_Err_NONE},
        {AEGP_KeyframeFlag_TEMPORAL_CONTINUOUS, 1, 0x11, A_Err_NONE},
        {AEGP_KeyframeFlag_NONE, 1, 0x11, A_Err_NONE},
        {AEGP_KeyframeFlag_ROVING, 0, 0x01, A_Err_NONE},
        {0x03, 1, 0x01, A_Err_PARAMETER},
        {0x20, 1, 0x01, A_Err_PARAMETER}};
    for (const auto& [flag, on, after, err] : flags) {
        SCOPED_TRACE(std::to_string(flag) + (on ? " on" : " off"));
        EXPECT_EQ(k.AEGP_SetKeyframeFlag(scale, 1, flag, on), err);
        EXPECT_EQ(got<AEGP_KeyframeFlags>(k.AEGP_GetKeyframeFlags, scale, 1), after);
    }

    const AEGP_KeyframeEase slow{0.5, 80}, fast{4, 20}, bad{0, 0};
    OK(k.AEGP_SetKeyframeTemporalEase(scale, 1, 2, &slow, &fast));
    AEGP_KeyframeEase gotIn{}, gotOut{};
    OK(k.AEGP_GetKeyframeTemporalEase(scale, 1, 0, &gotIn, &gotOut));
    EXPECT_NEAR(gotIn.influenceF, 16.666666667, 1e-6) << "other dimensions keep the default";
    AEGP_StreamValue2 a{}, b{};
    expect_errs(
        A_Err_PARAMETER,
        {{"no interpolation", k.AEGP_SetKeyframeInterpolation(scale, 1, AEGP_KeyInterp_NONE, 1)},
         {"fourth dimension", k.AEGP_SetKeyframeTemporalEase(scale, 1, 3, &slow, &fast)},
         {"zero ease", k.AEGP_SetKeyframeTemporalEase(scale, 1, 0, &bad, &fast)},
         {"no keyframe 3", k.AEGP_GetKeyframeFlags(scale, 3, nullptr)},
         {"no tangents off space",
          k.AEGP_GetNewKeyframeSpatialTangents(plugin_, scale, 0, &a, &b)}});
    const auto& fx = effects();
    AEGP_LayerH null = layer_at("Scene", 4);
    auto applied = made<AEGP_EffectRefH>(fx.AEGP_ApplyEffect, plugin_, null, 3);
    OK(fx.AEGP_SetEffectFlags(applied, 0, AEGP_EffectFlags_NONE));
    EXPECT_EQ(got<AEGP_EffectFlags>(fx.AEGP_GetEffectFlags, applied), AEGP_EffectFlags_ACTIVE)
        << "outside the mask nothing changes";

    const auto param = streams().AEGP_GetNewEffectStreamByIndex;
    AEGP_StreamRefH own = opened_.emplace_back(made<AEGP_StreamRefH>(param, plugin_, applied, 0));
    opened_.emplace_back(made<AEGP_StreamRefH>(param, plugin_, applied, 1));
    EXPECT_EQ(got<AEGP_StreamType>(streams().AEGP_GetStreamType, own), AEGP_StreamType_NO_DATA);
    AEGP_StreamValue2 value{};
    AEGP_StreamRefH extra = nullptr;
    AEGP_EffectRefH none = nullptr;
    const A_Time zero{0, 1};
    expect_errs(
        A_Err_PARAMETER,
        {{"value of no data", streams().AEGP_GetNewStreamValue(plugin_, own, 0, &zero, 1, &value)},
         {"parameter 2", param(plugin_, applied, 2, &extra)},
         {"unknown key", fx.AEGP_ApplyEffect(plugin_, null, 999, &none)},
         {"camera", fx.AEGP_ApplyEffect(plugin_, layer_at("Scene", 2), 1, &none)},
         {"index past the end", fx.AEGP_GetLayerEffectByIndex(plugin_, null, 1, &none)}});
    EXPECT_EQ(none, nullptr);
    OK(fx.AEGP_DisposeEffect(applied));
    EXPECT_EQ(got<A_long>(fx.AEGP_GetLayerNumEffects, null), 1)
        << "disposing a reference leaves the effect on its layer";
}

TEST_F(Streams, BatchesRefuseValuesOfAnotherShapeMissingKeysAndMarkers) {
    const auto& k = keys();
    const auto& s = streams();
    AEGP_StreamRefH source = open(layer_at("Inner", 1), stream::kPosition);
    AEGP_LayerH null = layer_at("Scene", 4);
    auto batch =
        made<AEGP_AddKeyframesInfoH>(k.AEGP_StartAddKeyframes, open(null, stream::kOpacity));
    const A_Time t{1, 1};
    made<A_long>(k.AEGP_AddKeyframes, batch, 0, &t);
    AEGP_StreamValue2 wrong = value_at(source, 0, t),
                      right = value_at(open(null, stream::kOpacity), 0, t);
    expect_errs(A_Err_PARAMETER, {{"3D on 1D", k.AEGP_SetAddKeyframe(batch, 0, &wrong)},
                                  {"no such key", k.AEGP_SetAddKeyframe(batch, 1, &right)}});
    OK(s.AEGP_DisposeStreamValue(&wrong));
    OK(s.AEGP_DisposeStreamValue(&right));
    OK(k.AEGP_EndAddKeyframes(0, batch));
    EXPECT_EQ(k.AEGP_StartAddKeyframes(open(null, stream::kMarker), &batch), A_Err_PARAMETER);
}

constexpr const char* kScene = R"json({
  "items": [{"type": "comp", "name": "Scene", "layers": [
    {"type": "shape", "name": "Hero", "offset": 1, "streams": {
      "Rotation": {"value": 30, "expression": "value + time * 10"},
      "Opacity": {"value": 50, "expression": "thisComp.layer('Nobody').transform.opacity"},
      "Position": {"value": [100, 200, 0], "expression": "[1, thisComp.layer('Probe').transform.xRotation]"},
      "Scale": {"value": [100, 100, 100], "expression": "[1, 1, 1]", "expressionEnabled": false}}},
    {"type": "shape", "name": "Probe", "streams": {"X Rotation": 9}}
  ]}]
})json";

TEST_F(Streams, ValuesAfterExpressionsUnlessAskedForBefore) {
    host().set_project(host::io::project_from_json(nlohmann::json::parse(kScene)));
    const std::tuple<AEGP_LayerStream, A_Boolean, Numbers> cases[] = {
        {stream::kRotation, 1, {30}},          {stream::kRotation, 0, {50}},  // composition time 2
        {stream::kOpacity, 0, {50}},  // the expression fails
        {stream::kPosition, 1, {100, 200, 0}}, {stream::kPosition, 0, {1, 9, 0}},
        {stream::kScale, 0, {100, 100, 100}},  // switched off
    };
    for (const auto& [which, before, expected] : cases) {
        AEGP_StreamValue2 value = value_at(open(layer_at("Scene", 0), which), 1, {2, 1}, before);
        EXPECT_EQ(numbers(value), expected) << which << (before ? " before" : " after");
    }
}

}  // namespace

namespace {

class SeparatedStreams : public Streams {
protected:
    const AEGP_DynamicStreamSuite_v5& dynamic() { return suite<AEGP_DynamicStreamSuite_v5>(); }

    std::string name_of(AEGP_StreamRefH s) {
        const auto handle = made<AEGP_MemHandle>(suite<AEGP_StreamSuite_v11>().AEGP_GetStreamName,
                                                 plugin_, s, A_Boolean{0});
        void* data = nullptr;
        EXPECT_EQ(memory().AEGP_LockMemHandle(handle, &data), A_Err_NONE);
        const std::u16string wideName(static_cast<const char16_t*>(data));
        EXPECT_EQ(memory().AEGP_UnlockMemHandle(handle), A_Err_NONE);
        EXPECT_EQ(memory().AEGP_FreeMemHandle(handle), A_Err_NONE);
        return std::string(wideName.begin(), wideName.end());  // the names here are ASCII
    }
    AEGP_StreamRefH follower(AEGP_StreamRefH leader, A_short dimension) {
        return opened_.emplace_back(
            made<AEGP_StreamRefH>(dynamic().AEGP_GetSeparationFollower, leader, dimension));
    }
};

// Plate's position keys: 0 s at [0,0,0], 1.5 s at [100,50,0]. Separated, they are the followers'
// keys; keyframe calls on the leader fail, values pass through to the followers; joined again, the
// leader has them back.
TEST_F(SeparatedStreams, PositionSeparatesIntoFollowersThatHoldItsKeyframes) {
    const auto& d = dynamic();
    const auto& k = keys();
    AEGP_LayerH plate = layer_at("Inner", 1);
    AEGP_StreamRefH position = open(plate, stream::kPosition);
    AEGP_StreamRefH opacity = open(plate, stream::kOpacity);
    EXPECT_FALSE(got<A_Boolean>(d.AEGP_AreDimensionsSeparated, position));
    AEGP_StreamRefH none = nullptr;
    expect_errs(A_Err_PARAMETER,
                {{"not separated", d.AEGP_GetSeparationFollower(position, 0, &none)},
                 {"opacity", d.AEGP_SetDimensionsSeparated(opacity, 1)}});
    OK(d.AEGP_SetDimensionsSeparated(position, 1));
    EXPECT_TRUE(got<A_Boolean>(d.AEGP_AreDimensionsSeparated, position));
    EXPECT_TRUE(got<A_Boolean>(d.AEGP_IsSeparationLeader, position));
    EXPECT_TRUE(got<A_Boolean>(streams().AEGP_IsStreamTimevarying, position));
    const A_Time zero{0, 1}, atEnd{45, 30};
    A_long count = 0;
    AEGP_KeyframeIndex index = 0;
    AEGP_AddKeyframesInfoH batch = nullptr;
    expect_errs(A_Err_PARAMETER, {{"count", k.AEGP_GetStreamNumKFs(position, &count)},
                                  {"insert", k.AEGP_InsertKeyframe(position, 0, &zero, &index)},
                                  {"batch", k.AEGP_StartAddKeyframes(position, &batch)},
                                  {"fourth", d.AEGP_GetSeparationFollower(position, 3, &none)}});
    // Dimension, name, value at 1.5 s.
    const std::tuple<A_short, std::string, double> followers[] = {
        {0, "X Position", 100}, {1, "Y Position", 50}, {2, "Z Position", 0}};
    for (const auto& [dimension, name, last] : followers) {
        SCOPED_TRACE(name);
        AEGP_StreamRefH f = follower(position, dimension);
        EXPECT_EQ(name_of(f), name);
        EXPECT_TRUE(got<A_Boolean>(d.AEGP_IsSeparationFollower, f));
        EXPECT_EQ(got<A_short>(d.AEGP_GetSeparationDimension, f), dimension);
        AEGP_StreamRefH leader =
            opened_.emplace_back(made<AEGP_StreamRefH>(d.AEGP_GetSeparationLeader, f));
        EXPECT_TRUE(got<A_Boolean>(d.AEGP_AreDimensionsSeparated, leader));
        EXPECT_EQ(got<A_long>(k.AEGP_GetStreamNumKFs, f), 2);
        AEGP_StreamValue2 key = made<AEGP_StreamValue2>(k.AEGP_GetNewKeyframeValue, plugin_, f, 1);
        EXPECT_EQ(numbers(key), Numbers{last});
    }
    AEGP_StreamValue2 shown = value_at(position, 0, atEnd);
    EXPECT_EQ(numbers(shown), (Numbers{100, 50, 0}));
    AEGP_StreamValue2 held = value_at(position, 0, zero);
    EXPECT_EQ(streams().AEGP_SetStreamValue(plugin_, position, &held), A_Err_PARAMETER)
        << "the followers have keyframes";
    OK(streams().AEGP_DisposeStreamValue(&held));
    OK(d.AEGP_SetDimensionsSeparated(position, 0));
    const auto& joined = model_layer(plate).streams.at(stream::kPosition).keyframes;
    ASSERT_EQ(joined.size(), 2u);
    EXPECT_EQ(joined[1].value, (Numbers{100, 50, 0}));
    EXPECT_EQ(k.AEGP_GetStreamNumKFs(opened_[2], &count), A_Err_STRUCT) << "a follower is gone";

    // A value set on a separated position without keyframes lands on its followers.
    AEGP_LayerH null = make_null("Scene");
    AEGP_StreamRefH still = open(null, stream::kPosition);
    OK(d.AEGP_SetDimensionsSeparated(still, 1));
    AEGP_StreamValue2 moved = value_at(position, 0, atEnd);
    OK(streams().AEGP_SetStreamValue(plugin_, still, &moved));
    OK(streams().AEGP_DisposeStreamValue(&moved));
    const auto& x = model_layer(null).positionFollowers;
    ASSERT_EQ(x.size(), 3u);
    EXPECT_EQ((Numbers{x[0].value[0], x[1].value[0], x[2].value[0]}), (Numbers{100, 50, 0}));
}

// An effect's own stream, the parent of its parameters, carries the instance's name; only that
// stream takes a new name.
TEST_F(SeparatedStreams, AnEffectsOwnStreamCarriesItsInstanceName) {
    const auto& d = dynamic();
    AEGP_LayerH plate = layer_at("Inner", 1);
    auto effect = made<AEGP_EffectRefH>(effects().AEGP_GetLayerEffectByIndex, plugin_, plate, 0);
    AEGP_StreamRefH param = opened_.emplace_back(
        made<AEGP_StreamRefH>(streams().AEGP_GetNewEffectStreamByIndex, plugin_, effect, 1));
    AEGP_StreamRefH own =
        opened_.emplace_back(made<AEGP_StreamRefH>(d.AEGP_GetNewParentStreamRef, plugin_, param));
    EXPECT_EQ(name_of(own), model_layer(plate).effects[0].name);
    OK(d.AEGP_SetStreamName(own, wide(u"Glow Left")));
    EXPECT_EQ(model_layer(plate).effects[0].name, "Glow Left");
    EXPECT_EQ(name_of(own), "Glow Left");
    AEGP_StreamRefH position = open(plate, stream::kPosition), parent = nullptr;
    AEGP_StreamType type{};
    expect_errs(A_Err_PARAMETER,
                {{"rename a parameter", d.AEGP_SetStreamName(param, wide(u"x"))},
                 {"rename position", d.AEGP_SetStreamName(position, wide(u"x"))},
                 {"parent of position", d.AEGP_GetNewParentStreamRef(plugin_, position, &parent)},
                 {"parent of the effect", d.AEGP_GetNewParentStreamRef(plugin_, own, &parent)},
                 {"type of the effect", streams().AEGP_GetStreamType(own, &type)}});
    OK(effects().AEGP_DisposeEffect(effect));
}

}  // namespace
