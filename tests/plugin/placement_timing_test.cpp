// Timing of extracted layers: moved by the pre-comp layer's offset and
// trimmed to the span the pre-comp layer shows.
#include <cstdint>
#include <string>

#include "extract_harness.h"
#include "placement/timing.h"

namespace outfold::testing {
namespace {

namespace model = host::model;
using model::Rational;

Rational frames(std::int64_t n) { return Rational::of(n, 30); }

// A layer's times in frames: offset, in point in layer time, duration.
struct Times {
    std::int64_t offset;
    std::int64_t in;
    std::int64_t duration;
};

// What a retimed layer shows: its offset, its in point in composition time,
// its duration (frames), and whether its video and audio are on.
struct Shown {
    std::int64_t offset;
    std::int64_t compIn;
    std::int64_t duration;
    bool on;
};

void set_times(model::Layer& layer, Times times) {
    layer.offset = frames(times.offset);
    layer.inPoint = frames(times.in);
    layer.duration = frames(times.duration);
}

// Fixture "placement_timing": Main (30 fps) holds L and M (the extracted
// layers, at the top), P (pre-comp of Inner Comp, which holds L and M as they
// were before the copy) and Below.
class TimingTest : public ExtractTest {
protected:
    void SetUp() override { load("placement_timing"); }

    model::Layer& main_layer(std::size_t index) {
        return item_named(project(), "Main").comp->layers.at(index);
    }
    model::Layer& precomp() { return main_layer(2); }
    // A copy and the layer inside the pre-comp it was made from.
    void set_copy_times(std::size_t index, Times times) {
        set_times(main_layer(index), times);
        set_times(item_named(project(), "Inner Comp").comp->layers.at(index), times);
    }

    A_Err retime(std::size_t extracted) {
        const AEGP_LayerH layer = layer_handle("Main", 2);
        host_.clear_trace();
        const PluginInfo pluginInfo = info();
        return retime_extracted_layers(&pluginInfo, layer, ParentIndices(extracted, kNoParent));
    }

    void expect_shown(const model::Layer& layer, Shown shown) {
        EXPECT_EQ(layer.offset, frames(shown.offset));
        EXPECT_EQ(layer.inPoint + layer.offset, frames(shown.compIn));
        EXPECT_EQ(layer.duration, frames(shown.duration));
        const std::uint32_t switches = model::flag::kVideoActive | model::flag::kAudioActive;
        EXPECT_EQ((layer.flags & switches) != 0, shown.on);
    }
};

TEST_F(TimingTest, CopiesAreMovedAndTrimmedToThePrecompLayer) {
    struct Case {
        const char* label;
        Times precomp;
        Times layer;
        Shown shown;
    };
    const Case cases[] = {
        {"the pre-comp layer shows everything", {0, 0, 300}, {0, 0, 120}, {0, 0, 120, true}},
        // In at 30, out at 90: the layer spans exactly that.
        {"worked example", {0, 30, 60}, {0, 0, 120}, {0, 30, 60, true}},
        {"moved later by 45", {45, 0, 300}, {0, 10, 100}, {45, 55, 100, true}},
        {"ends after the out point", {0, 0, 60}, {0, 0, 120}, {0, 0, 60, true}},
        {"cut at the head, keeps its out point", {0, 90, 120}, {0, 0, 150}, {0, 90, 60, true}},
        {"starts later inside the pre-comp", {0, 50, 200}, {40, 0, 120}, {40, 50, 110, true}},
        {"moved earlier, cut at both ends", {-20, 50, 100}, {40, 0, 120}, {20, 30, 100, true}},
        {"ends before the in point", {0, 60, 60}, {0, 0, 30}, {0, 0, 30, false}},
        {"ends at the in point", {0, 30, 60}, {0, 0, 30}, {0, 0, 30, false}},
        {"starts after the out point", {0, 0, 30}, {0, 60, 30}, {0, 60, 30, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        load("placement_timing");
        set_times(precomp(), c.precomp);
        set_copy_times(0, c.layer);
        const model::Layer untouched = main_layer(1);
        ASSERT_EQ(retime(1), A_Err_NONE);
        expect_shown(main_layer(0), c.shown);
        EXPECT_EQ(main_layer(1), untouched);
    }
}

TEST_F(TimingTest, AnEmptyListOnlyReadsThePrecompLayer) {
    const model::Project before = project();
    ASSERT_EQ(retime(0), A_Err_NONE);
    EXPECT_EQ(project(), before);
}

// The first failure ends the work; layers already retimed keep their times.
// P shows 35 to 95; L and M span 0 to 120 before.
TEST_F(TimingTest, AFailureLeavesTheLaterLayersAsTheyWere) {
    struct Case {
        const char* operation;
        int nth;
        Shown first;
        Shown second;
    };
    const Case cases[] = {
        {"AEGP_GetLayerOffset", 1, {0, 0, 120, true}, {0, 0, 120, true}},
        {"AEGP_GetLayerParentComp", 1, {0, 0, 120, true}, {0, 0, 120, true}},
        {"AEGP_SetLayerOffset", 1, {0, 0, 120, true}, {0, 0, 120, true}},
        {"AEGP_SetLayerOffset", 2, {5, 35, 60, true}, {0, 0, 120, true}},
        {"AEGP_SetLayerInPointAndDuration", 2, {5, 35, 60, true}, {5, 5, 120, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.operation) + " #" + std::to_string(c.nth));
        load("placement_timing");
        set_times(precomp(), {5, 30, 60});
        set_copy_times(0, {0, 0, 120});
        set_copy_times(1, {0, 0, 120});
        const AEGP_LayerH layer = layer_handle("Main", 2);
        host_.fail_call(c.operation, c.nth, A_Err_GENERIC);
        const PluginInfo pluginInfo = info();
        EXPECT_EQ(retime_extracted_layers(&pluginInfo, layer, ParentIndices(2, kNoParent)),
                  A_Err_GENERIC);
        host_.clear_faults();
        expect_shown(main_layer(0), c.first);
        expect_shown(main_layer(1), c.second);
    }
}

// A shift the host's 32-bit times cannot hold is refused before anything is
// written, instead of wrapping around.
TEST_F(TimingTest, AShiftPastTheHostsRangeIsRefused) {
    set_times(precomp(), {100'000'000, 0, 300});
    set_copy_times(0, {2'100'000'000, 0, 120});
    const model::Layer before = main_layer(0);
    EXPECT_EQ(retime(1), A_Err_PARAMETER);
    EXPECT_EQ(main_layer(0), before);
}

}  // namespace
}  // namespace outfold::testing
