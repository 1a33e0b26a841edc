// Transform, keyframes and effects of the pre-comp layer onto the carrier and the copies.
#include <algorithm>
#include <tuple>

#include "attributes/effect_transfer.h"
#include "attributes/stream_transfer.h"
#include "plugin_host.h"
#include "shell/host_suites.h"

namespace outfold::testing {
namespace {
namespace model = host::model;

constexpr int kTransform[] = {0, 1, 2, 3, 4, 7, 8, 9, 10};
constexpr int kPosition = 1, kScale = 2, kOpacity = 4, kTimeRemap = 7;

// Layers of Main in "attributes_transform", "attributes_keyframes" and "attributes_effects".
// Still's position has an expression; Keyed has scale keys at layer times 0 and 0.5.
constexpr A_long kCarrier = 0, kStill = 1, kMoving = 2, kFading = 3;
constexpr A_long kKeys = 0, kFresh = 1, kKeyed = 2;
constexpr A_long kSource = 0, kControls = 1, kPlain = 2, kA = 3, kB = 4, kText = 5, kCamera = 6;

enum Copy { kBatch, kOneByOne, kTransformCopy, kEffectsCopy };

// Everything but the id; the switch of an expression that is not there reads as off.
void expect_copy_of(model::Effect copy, model::Effect source) {
    EXPECT_NE(copy.id, source.id);
    copy.id = source.id;
    for (model::Effect* effect : {&copy, &source})
        for (model::Stream& param : effect->params)
            if (param.expression.empty()) param.expressionEnabled = false;
    EXPECT_TRUE(copy == source);
}

class AttributesTest : public ExtractTest {
protected:
    const model::Stream& stream(A_long index, int number) {
        return layer_at("Main", index).streams.at(number);
    }
    const std::vector<model::Keyframe>& keys(A_long index, int number) {
        return stream(index, number).keyframes;
    }
    // Same composition time, value, interpolation, ease, tangents; of the flags the five carried.
    void expect_keys_copied(A_long source, A_long target, int number, std::size_t first = 0) {
        const model::Layer &from = layer_at("Main", source), &to = layer_at("Main", target);
        ASSERT_EQ(keys(target, number).size(), first + keys(source, number).size());
        for (std::size_t k = 0; k < keys(source, number).size(); ++k) {
            const model::Keyframe &key = keys(source, number)[k],
                                  &copy = keys(target, number)[first + k];
            EXPECT_TRUE(key.time + from.offset == copy.time + to.offset);
            EXPECT_EQ(std::tie(copy.value, copy.inInterp, copy.outInterp, copy.inEase, copy.outEase,
                               copy.inTangent, copy.outTangent),
                      std::tie(key.value, key.inInterp, key.outInterp, key.inEase, key.outEase,
                               key.inTangent, key.outTangent));
            EXPECT_EQ(copy.flags, key.flags & 0x1Fu);
        }
    }
    const std::vector<model::Effect>& effects(A_long index) {
        return layer_at("Main", index).effects;
    }
    A_Err transform_from(A_long source, bool* animated) {
        return copy_transform_to_layer(info(), layer_handle("Main", kCarrier),
                                       layer_handle("Main", source), animated);
    }
    // From Keys onto the same stream of the target.
    A_Err copy_keys(Copy form, int number, A_long target) {
        HostSuites suites(host_.basic_suite());
        const auto& streams = suites.get<AEGP_StreamSuite_v9>();
        AEGP_StreamRefH refs[2] = {};
        for (const A_long index : {kKeys, target}) {
            const AEGP_LayerH layer = layer_handle("Main", index);
            AEGP_StreamRefH* ref = &refs[index == target];
            EXPECT_EQ(streams.AEGP_GetNewLayerStream(pluginId_, layer, number, ref), A_Err_NONE);
        }
        const A_Err err = form == kBatch ? copy_keyframes_in_batch(info(), refs[0], refs[1])
                                         : copy_keyframes_one_by_one(info(), refs[0], refs[1]);
        for (const auto ref : refs) EXPECT_EQ(streams.AEGP_DisposeStream(ref), A_Err_NONE);
        return err;
    }
    std::vector<AEGP_CollectionItemV2> layers(const std::vector<A_long>& indices) {
        std::vector<AEGP_CollectionItemV2> items;
        for (const A_long index : indices) items.push_back(item_of(layer_handle("Main", index)));
        return items;
    }
    A_Err copy_to(A_long source, const std::vector<AEGP_CollectionItemV2>& items) {
        return copy_effects_to_layers(info(), layer_handle("Main", source), new_collection(items));
    }
};

// Expressions come along with their switch; the flag goes up for an expression alone too
// (Still's position). A
// stream illegal on either layer (time remapping on a null, X/Y rotation and orientation on a 2D
// layer) is left alone, whether or not the host opens it.
TEST_F(AttributesTest, TransformArrivesAsHeldValuesAndKeyframesAtTheSameCompositionTimes) {
    const std::tuple<A_long, bool, std::vector<int>> cases[] = {
        {kStill, true, {}},
        {kStill, false, {}},
        {kMoving, true, {kPosition, kScale}},
        {kFading, false, {kOpacity}}};
    for (const auto& [source, carrier3D, keyed] : cases) {
        for (const bool refuse : {false, true}) {
            load("attributes_transform");
            host_.set_readings({.refuseIllegalStreams = refuse});
            if (carrier3D) item_named(project(), "Main").comp->layers[0].flags |= model::flag::k3D;
            const model::Layer carrierBefore = layer_at("Main", kCarrier);
            const bool both3D = carrier3D && (layer_at("Main", source).flags & model::flag::k3D);
            bool animated = false;
            ASSERT_EQ(transform_from(source, &animated), A_Err_NONE);
            EXPECT_TRUE(animated) << source;
            for (const int number : kTransform) {
                SCOPED_TRACE(std::to_string(source) + (carrier3D ? ", 3D" : "") +
                             (refuse ? ", refused" : "") + ", stream " + std::to_string(number));
                if (number == kTimeRemap || (number > kTimeRemap && !both3D)) {
                    EXPECT_TRUE(stream(kCarrier, number) == carrierBefore.streams.at(number));
                    continue;
                }
                EXPECT_EQ(std::tuple(stream(kCarrier, number).expression,
                                     stream(kCarrier, number).expressionEnabled),
                          std::tuple(stream(source, number).expression,
                                     stream(source, number).expressionEnabled));
                if (std::ranges::count(keyed, number) != 0) {
                    expect_keys_copied(source, kCarrier, number);
                } else {
                    EXPECT_EQ(stream(kCarrier, number).value, stream(source, number).value);
                    EXPECT_TRUE(keys(kCarrier, number).empty());
                }
            }
        }
    }
}

// One by one writes to the index the host gives back: Keyed's key before the source's keys is
// left alone, the one at the time of the source's first key is taken over (flags written clear).
TEST_F(AttributesTest, BothFormsCopyEveryKeyframe) {
    for (const Copy form : {kBatch, kOneByOne}) {
        load("attributes_keyframes");
        for (const int number : {kScale, kPosition, kOpacity}) {
            SCOPED_TRACE(std::to_string(form) + ", stream " + std::to_string(number));
            ASSERT_EQ(copy_keys(form, number, kFresh), A_Err_NONE);
            expect_keys_copied(kKeys, kFresh, number);
        }
    }
    const model::Keyframe before = keys(kKeyed, kScale).front();
    ASSERT_EQ(copy_keys(kOneByOne, kScale, kKeyed), A_Err_NONE);
    EXPECT_TRUE(keys(kKeyed, kScale).front() == before);
    expect_keys_copied(kKeys, kKeyed, kScale, 1);
}

// One by one, keys inserted before a failure stay; a batch adds all or none of its keys.
TEST_F(AttributesTest, KeysLeftByAFailure) {
    const std::tuple<Copy, const char*, int, std::size_t> cases[] = {
        {kTransformCopy, "AEGP_StartAddKeyframes", 1, 0},
        {kTransformCopy, "AEGP_SetAddKeyframe", 1, 0},
        {kTransformCopy, "AEGP_GetStreamType", 1, 3},
        {kTransformCopy, "AEGP_SetKeyframeSpatialTangents", 1, 3},
        {kOneByOne, "AEGP_GetStreamNumKFs", 1, 0},
        {kOneByOne, "AEGP_InsertKeyframe", 2, 1},
        {kOneByOne, "AEGP_GetNewKeyframeValue", 2, 2},
        {kOneByOne, "AEGP_SetKeyframeInterpolation", 3, 3},
        {kBatch, "AEGP_AddKeyframes", 3, 0},
        {kBatch, "AEGP_GetKeyframeTemporalEase", 4, 3},
    };
    for (const auto& [form, operation, nth, left] : cases) {
        SCOPED_TRACE(std::to_string(form) + " " + operation + " #" + std::to_string(nth));
        const bool transform = form == kTransformCopy;
        load(transform ? "attributes_transform" : "attributes_keyframes");
        bool animated = false;
        const auto step = [&] {
            return transform ? transform_from(kMoving, &animated) : copy_keys(form, kScale, kFresh);
        };
        EXPECT_EQ(failing(operation, nth, A_Err_PARAMETER, step), A_Err_PARAMETER);
        if (!transform) {
            EXPECT_EQ(keys(kFresh, kScale).size(), left);
            continue;
        }
        EXPECT_TRUE(animated);
        EXPECT_EQ(keys(kCarrier, kPosition).size(), left);
        EXPECT_TRUE(keys(kCarrier, kScale).empty());
        EXPECT_EQ(stream(kCarrier, 0).value, stream(kMoving, 0).value);
    }
}

// Nothing to copy changes nothing; the camera refuses effects, yet later layers get theirs: 0.
TEST_F(AttributesTest, EveryLayerGetsItsOwnEffectCopiesInSourceOrder) {
    load("attributes_effects");
    const auto mask = item_of(layer_handle("Main", kA), AEGP_CollectionItemType_MASK);
    const auto effect = item_of(layer_handle("Main", kB), AEGP_CollectionItemType_EFFECT);
    const std::pair<A_long, std::vector<AEGP_CollectionItemV2>> cases[] = {
        {kPlain, layers({kA, kB})}, {kSource, {}}, {kSource, {mask, effect}}};
    for (const auto& [source, items] : cases) {
        const model::Project before = project();
        EXPECT_EQ(copy_to(source, items), A_Err_NONE);
        EXPECT_TRUE(project() == before);
    }
    const std::vector<model::Effect> ownOfA = effects(kA);
    ASSERT_EQ(copy_to(kSource, layers({kCamera, kA, kB, kText})), A_Err_NONE);
    EXPECT_TRUE(effects(kCamera).empty());
    for (const auto& [target, before] : {std::pair{kA, 1u}, {kB, 0u}, {kText, 0u}}) {
        SCOPED_TRACE(target);
        const auto& got = effects(target);
        ASSERT_EQ(got.size(), before + 2);
        for (const std::size_t e : {0u, 1u}) expect_copy_of(got[before + e], effects(kSource)[e]);
        EXPECT_EQ(std::pair(got[before].active, got[before + 1].active), std::pair(true, false));
    }
    EXPECT_EQ(effects(kA)[0], ownOfA[0]);
    EXPECT_NE(effects(kB)[0].id, effects(kText)[0].id);
    EXPECT_NE(
        copy_layer_effects(info(), layer_handle("Main", kSource), layer_handle("Main", kCamera)),
        A_Err_NONE);
}

// Also where an expression alone makes the parameter vary; Fill's single keyframe stays one.
TEST_F(AttributesTest, HeldEffectValuesAndParametersThatCannotVary) {
    load("attributes_effects");
    ASSERT_EQ(copy_to(kControls, layers({kB})), A_Err_NONE);
    ASSERT_EQ(effects(kB).size(), 3u);
    for (std::size_t e = 0; e < 3; ++e) expect_copy_of(effects(kB)[e], effects(kControls)[e]);
    EXPECT_EQ(effects(kB)[0].params[1].value, (std::vector<double>{7}));
    EXPECT_EQ(effects(kB)[0].params[1].expression, "value * 2");
    // An effect with parameter 0 only is applied and switched like the source.
    model::Effect& blur = item_named(project(), "Main").comp->layers[kSource].effects[0];
    blur.params.resize(1);
    blur.active = false;
    ASSERT_EQ(copy_to(kSource, layers({kText})), A_Err_NONE);
    ASSERT_EQ(effects(kText).size(), 2u);
    EXPECT_EQ(effects(kText)[0].installedKey, effects(kSource)[0].installedKey);
    EXPECT_FALSE(effects(kText)[0].active);
}

TEST_F(AttributesTest, AFailureOnOneLayerStaysOnThatLayer) {
    // call failing, its nth, effects new on A, Point Control's switch reached A, its Point's keys
    const std::tuple<const char*, int, std::size_t, bool, std::size_t> cases[] = {
        {"AEGP_ApplyEffect", 2, 1, false, 0},   {"AEGP_SetEffectFlags", 2, 2, false, 0},
        {"AEGP_InsertKeyframe", 4, 2, true, 1}, {"AEGP_SetKeyframeValue", 3, 2, true, 1},
        {"AEGP_SetExpression", 3, 2, true, 2},
    };
    for (const auto& [operation, nth, newOnA, switchedOff, pointKeys] : cases) {
        SCOPED_TRACE(std::string(operation) + " #" + std::to_string(nth));
        load("attributes_effects");
        const auto targets = layers({kA, kB});
        const auto copy = [&] { return copy_to(kSource, targets); };
        EXPECT_EQ(failing(operation, nth, A_Err_PARAMETER, copy), A_Err_NONE);
        const auto& onA = effects(kA);
        ASSERT_EQ(onA.size(), 1 + newOnA);
        expect_copy_of(onA[1], effects(kSource)[0]);
        if (newOnA == 2) {
            EXPECT_EQ(std::tuple(onA[2].active, onA[2].params[1].keyframes.size(),
                                 onA[2].params[1].expression),
                      std::tuple(!switchedOff, pointKeys, std::string()));
        }
        ASSERT_EQ(effects(kB).size(), 2u);
        for (const std::size_t e : {0u, 1u}) expect_copy_of(effects(kB)[e], effects(kSource)[e]);
    }
}

// Whole runs pass failures of effects on one copy over, so only these sweeps see them.
TEST_F(AttributesTest, EveryFailingCallGivesBackWhatWasObtained) {
    // the carrier from Still and from Moving; Source's effects onto B, Controls' onto A
    const std::tuple<Copy, A_long, A_long> cases[] = {{kTransformCopy, kStill, kCarrier},
                                                      {kTransformCopy, kMoving, kCarrier},
                                                      {kEffectsCopy, kSource, kB},
                                                      {kEffectsCopy, kControls, kA}};
    for (const auto& [copy, source, target] : cases) {
        SCOPED_TRACE(std::to_string(source) + " onto " + std::to_string(target));
        sweep([this, copy, source, target]() -> std::function<A_Err()> {
            load(copy == kTransformCopy ? "attributes_transform" : "attributes_effects");
            const AEGP_LayerH from = layer_handle("Main", source);
            const AEGP_LayerH to = layer_handle("Main", target);
            return {[this, copy, from, to] {
                bool animated = false;
                return copy == kTransformCopy ? copy_transform_to_layer(info(), to, from, &animated)
                                              : copy_layer_effects(info(), from, to);
            }};
        });
    }
}
}  // namespace
}  // namespace outfold::testing
