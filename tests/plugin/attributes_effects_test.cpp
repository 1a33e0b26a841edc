// The pre-comp layer's effects onto every extracted layer: the same kinds in
// the same order, their switches, and every parameter with its value or
// keyframes and its expression.
#include <string>
#include <vector>

#include "attributes/effect_transfer.h"
#include "extract_harness.h"

namespace outfold::testing {
namespace {

namespace model = host::model;

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
        const PluginInfo pluginInfo = info();
        const A_Err err =
            copy_effects_to_layers(&pluginInfo, layer_handle("Main", source), collection);
        dispose_collection(collection);
        return err;
    }
    A_Err copy_onto(A_long source, A_long target) {
        const PluginInfo pluginInfo = info();
        return copy_layer_effects(&pluginInfo, layer_handle("Main", source),
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
// vary, and parameters that cannot vary get their value.
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

}  // namespace
}  // namespace outfold::testing
