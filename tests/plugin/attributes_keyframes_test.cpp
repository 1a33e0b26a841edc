// The two keyframe copies side by side, on streams of the same layers: the
// batch form (transform) and the one-by-one form (effect parameters).
#include <string>
#include <vector>

#include "attributes/stream_transfer.h"
#include "extract_harness.h"
#include "shell/host_suites.h"

namespace outfold::testing {
namespace {

namespace model = host::model;

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
        const PluginInfo pluginInfo = info();
        return form(&pluginInfo, from, to);
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

}  // namespace
}  // namespace outfold::testing
