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

constexpr int kPosition = 1;
constexpr int kScale = 2;  // three temporal dimensions
constexpr int kOpacity = 4;

constexpr std::uint32_t kCarriedFlags = 0x1F;

using CopyForm = A_Err (*)(PluginInfo const*, AEGP_StreamRefH, AEGP_StreamRefH);

struct Form {
    const char* name;
    CopyForm copy;
};
const Form kForms[] = {{"batch", &copy_keyframes_in_batch},
                       {"one by one", &copy_keyframes_one_by_one}};

class KeyframeTransferTest : public ExtractTest {
protected:
    void SetUp() override { load("attributes_keyframes"); }
    void TearDown() override {
        close_streams();
        ExtractTest::TearDown();
    }

    const model::Layer& layer(A_long index) {
        return comp_named(project(), "Main").layers.at(static_cast<std::size_t>(index));
    }
    const std::vector<model::Keyframe>& keys(A_long index, int number) {
        return layer(index).streams.at(number).keyframes;
    }

    // Copies the keyframes of one stream of the source onto the same stream
    // of another layer; the trace then holds only the copy's calls.
    A_Err copy(const Form& form, int number, A_long target) {
        const AEGP_StreamRefH from = open_stream(kSource, number);
        const AEGP_StreamRefH to = open_stream(target, number);
        const PluginInfo pluginInfo = info();
        host_.clear_trace();
        return form.copy(&pluginInfo, from, to);
    }

    // Keyframe k of the source against keyframe j of the target, in
    // composition time.
    void expect_copied(int number, std::size_t k, A_long target, std::size_t j) {
        const model::Keyframe& source = keys(kSource, number).at(k);
        const model::Keyframe& copy = keys(target, number).at(j);
        EXPECT_TRUE(source.time + layer(kSource).offset == copy.time + layer(target).offset);
        EXPECT_EQ(copy.value, source.value);
        EXPECT_EQ(copy.inInterp, source.inInterp);
        EXPECT_EQ(copy.outInterp, source.outInterp);
        EXPECT_EQ(copy.inEase, source.inEase);
        EXPECT_EQ(copy.outEase, source.outEase);
        EXPECT_EQ(copy.inTangent, source.inTangent);
        EXPECT_EQ(copy.outTangent, source.outTangent);
        EXPECT_EQ(copy.flags, source.flags & kCarriedFlags);
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
    void close_streams() {
        HostSuites suites(host_.basic_suite());
        for (AEGP_StreamRefH stream : streams_) {
            EXPECT_EQ(suites.get<AEGP_StreamSuite_v9>().AEGP_DisposeStream(stream), A_Err_NONE);
        }
        streams_.clear();
    }

    std::vector<AEGP_StreamRefH> streams_;
};

// Same count, composition times, values, interpolation, carried flags, ease in
// every temporal dimension, and tangents, whichever form copies.
TEST_F(KeyframeTransferTest, BothFormsCopyEveryKeyframe) {
    for (const Form& form : kForms) {
        for (const int number : {kScale, kPosition, kOpacity}) {
            SCOPED_TRACE(std::string(form.name) + ", stream " + std::to_string(number));
            load("attributes_keyframes");
            ASSERT_EQ(copy(form, number, kFresh), A_Err_NONE);
            ASSERT_EQ(keys(kFresh, number).size(), keys(kSource, number).size());
            for (std::size_t k = 0; k < keys(kSource, number).size(); ++k) {
                SCOPED_TRACE("keyframe " + std::to_string(k));
                expect_copied(number, k, kFresh, k);
            }
        }
    }
}

// Scale keys carry flags 0, 0x10 (roving only) and 0x45: the batch form
// writes the five carried flags only for keys that have some; the one-by-one
// form writes "none" and the five for every key.
TEST_F(KeyframeTransferTest, FlagWritesDependOnTheForm) {
    struct Case {
        const Form& form;
        std::size_t flagWrites;
    };
    const Case cases[] = {{kForms[0], 0 + 5 + 5}, {kForms[1], 6 + 6 + 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.form.name);
        load("attributes_keyframes");
        ASSERT_EQ(copy(c.form, kScale, kFresh), A_Err_NONE);
        EXPECT_EQ(calls_to("AEGP_SetKeyframeFlag"), c.flagWrites);
        std::vector<std::uint32_t> flags;
        for (const model::Keyframe& key : keys(kFresh, kScale)) flags.push_back(key.flags);
        EXPECT_EQ(flags, (std::vector<std::uint32_t>{0x00, 0x10, 0x05}));
    }
}

// Ease goes to every temporal dimension (scale has three), tangents only to
// spatial streams (position).
TEST_F(KeyframeTransferTest, EaseAndTangentCallsPerStream) {
    struct Case {
        int stream;
        std::size_t easeWrites;
        std::size_t tangentWrites;
    };
    const Case cases[] = {{kScale, 3 * 3, 0}, {kPosition, 2 * 1, 2}, {kOpacity, 2 * 1, 0}};
    for (const Form& form : kForms) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(form.name) + ", stream " + std::to_string(c.stream));
            load("attributes_keyframes");
            ASSERT_EQ(copy(form, c.stream, kFresh), A_Err_NONE);
            EXPECT_EQ(calls_to("AEGP_SetKeyframeTemporalEase"), c.easeWrites);
            EXPECT_EQ(calls_to("AEGP_GetNewKeyframeSpatialTangents"), c.tangentWrites);
            EXPECT_EQ(calls_to("AEGP_SetKeyframeSpatialTangents"), c.tangentWrites);
        }
    }
}

// The one-by-one form writes to the index the host gives back. Keyed already
// has a key before the source's keys (left alone) and one at the time of the
// source's first key (taken over, its flags written clear).
TEST_F(KeyframeTransferTest, OneByOneWritesWhereTheHostInserted) {
    const model::Keyframe earlier = keys(kKeyed, kScale).at(0);
    ASSERT_EQ(copy(kForms[1], kScale, kKeyed), A_Err_NONE);
    ASSERT_EQ(keys(kKeyed, kScale).size(), 4u);
    EXPECT_EQ(keys(kKeyed, kScale).at(0), earlier);
    for (std::size_t k = 0; k < 3; ++k) {
        SCOPED_TRACE("keyframe " + std::to_string(k));
        expect_copied(kScale, k, kKeyed, k + 1);
    }
}

// Keys inserted before a failure stay; the failing one keeps what it got.
TEST_F(KeyframeTransferTest, OneByOneKeepsWhatWasInsertedBeforeAFailure) {
    struct Case {
        const char* operation;
        int nth;
        std::size_t inserted;
    };
    const Case cases[] = {
        {"AEGP_GetStreamNumKFs", 1, 0},          {"AEGP_GetKeyframeTime", 1, 0},
        {"AEGP_InsertKeyframe", 2, 1},           {"AEGP_GetNewKeyframeValue", 2, 2},
        {"AEGP_SetKeyframeFlag", 7, 2},          {"AEGP_GetKeyframeTemporalEase", 3, 1},
        {"AEGP_SetKeyframeInterpolation", 3, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.operation) + " #" + std::to_string(c.nth));
        load("attributes_keyframes");
        host_.fail_call(c.operation, c.nth, A_Err_PARAMETER);
        EXPECT_EQ(copy(kForms[1], kScale, kFresh), A_Err_PARAMETER);
        host_.clear_faults();
        EXPECT_EQ(keys(kFresh, kScale).size(), c.inserted);
        EXPECT_EQ(host_.outstanding().streamValues, 0);
    }
}

// A failure inside the batch leaves the target without keyframes and no
// batch open; one after the batch leaves the keyframes in place.
TEST_F(KeyframeTransferTest, BatchFailureAddsNothing) {
    struct Case {
        const char* operation;
        int nth;
        std::size_t added;
    };
    const Case cases[] = {
        {"AEGP_AddKeyframes", 3, 0},
        {"AEGP_SetAddKeyframe", 2, 0},
        {"AEGP_GetKeyframeTemporalEase", 4, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.operation) + " #" + std::to_string(c.nth));
        load("attributes_keyframes");
        host_.fail_call(c.operation, c.nth, A_Err_PARAMETER);
        EXPECT_EQ(copy(kForms[0], kScale, kFresh), A_Err_PARAMETER);
        host_.clear_faults();
        EXPECT_EQ(keys(kFresh, kScale).size(), c.added);
        EXPECT_EQ(host_.outstanding().keyframeBatches, 0);
        EXPECT_EQ(host_.outstanding().streamValues, 0);
    }
}

}  // namespace
}  // namespace outfold::testing
