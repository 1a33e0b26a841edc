// Handles: every operation refuses null, wrong-kind, foreign and stale
// handles with an error code, and counted objects are counted until they are
// given back.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "host_fixture.h"
#include "model/streams.h"

namespace {

using host_test::HostTest;

class Handles : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        load("basic.json");
    }

    // Layer handles that must all be refused.
    std::vector<std::pair<std::string, AEGP_LayerH>> bad_layers(AEGP_LayerH stale) {
        AEGP_ItemH item = item_named("Main");
        return {
            {"null", nullptr},
            {"an item handle", reinterpret_cast<AEGP_LayerH>(item)},
            {"a composition handle", reinterpret_cast<AEGP_LayerH>(comp_named("Main"))},
            {"a pointer", reinterpret_cast<AEGP_LayerH>(&item)},
            {"a small number", reinterpret_cast<AEGP_LayerH>(std::uintptr_t{7})},
            {"a deleted layer", stale},
        };
    }
};

TEST_F(Handles, LayerOperationsRefuseBadLayerHandles) {
    AEGP_LayerH doomed = layer_at("Main", 1);
    ASSERT_EQ(suite<AEGP_LayerSuite_v10>("AEGP Layer Suite", 10).AEGP_DeleteLayer(doomed),
              A_Err_NONE);
    const std::vector<std::pair<std::string, std::function<A_Err(AEGP_LayerH)>>> operations = {
        {"GetLayerIndex",
         [&](AEGP_LayerH l) {
             A_long i;
             return layers().AEGP_GetLayerIndex(l, &i);
         }},
        {"GetLayerName",
         [&](AEGP_LayerH l) {
             char n[32];
             return layers().AEGP_GetLayerName(l, n, nullptr);
         }},
        {"SetLayerFlag", [&](AEGP_LayerH l) { return layers().AEGP_SetLayerFlag(l, 1, 0); }},
        {"ReorderLayer", [&](AEGP_LayerH l) { return layers().AEGP_ReorderLayer(l, 0); }},
        {"SetLayerParent",
         [&](AEGP_LayerH l) { return layers().AEGP_SetLayerParent(l, layer_at("Main", 0)); }},
        {"GetNewLayerStream",
         [&](AEGP_LayerH l) {
             AEGP_StreamRefH s = nullptr;
             return streams().AEGP_GetNewLayerStream(plugin_, l, 1, &s);
         }},
        {"ApplyEffect",
         [&](AEGP_LayerH l) {
             AEGP_EffectRefH e = nullptr;
             return effects().AEGP_ApplyEffect(plugin_, l, 1, &e);
         }},
        {"SetLayerName",
         [&](AEGP_LayerH l) { return layers12().AEGP_SetLayerName(l, host_test::wide(u"x")); }},
    };
    const auto before = project();
    for (const auto& [badName, bad] : bad_layers(doomed)) {
        for (const auto& [opName, op] : operations) {
            EXPECT_EQ(op(bad), A_Err_STRUCT) << opName << " with " << badName;
        }
    }
    EXPECT_TRUE(project() == before) << "refused calls change nothing";
}

TEST_F(Handles, HandlesOfAnEarlierHostAreForeign) {
    AEGP_LayerH layer = layer_at("Main", 0);
    AEGP_CompH comp = comp_named("Main");
    release_suites();
    // Tear this Host down and start another over the same project.
    TearDown();
    SetUp();
    A_long index = -1;
    EXPECT_EQ(layers().AEGP_GetLayerIndex(layer, &index), A_Err_STRUCT);
    A_long count = -1;
    EXPECT_EQ(layers().AEGP_GetCompNumLayers(comp, &count), A_Err_STRUCT);
    EXPECT_EQ(layers().AEGP_GetLayerIndex(layer_at("Main", 0), &index), A_Err_NONE);
    EXPECT_EQ(index, 0);
}

TEST_F(Handles, ModelHandlesFollowTheObjectNotItsPosition) {
    AEGP_LayerH cam = layer_at("Main", 2);
    ASSERT_EQ(layers().AEGP_ReorderLayer(cam, 4), A_Err_NONE);
    A_long index = -1;
    EXPECT_EQ(layers().AEGP_GetLayerIndex(cam, &index), A_Err_NONE);
    EXPECT_EQ(index, 4);
    AEGP_ObjectType type = -1;
    EXPECT_EQ(layers().AEGP_GetLayerObjectType(cam, &type), A_Err_NONE);
    EXPECT_EQ(type, AEGP_ObjectType_CAMERA);
}

TEST_F(Handles, CountedObjectsAreCountedUntilGivenBack) {
    struct Kind {
        std::string what;
        std::function<void*()> obtain;
        std::function<A_Err(void*)> release;
        std::int64_t host::Outstanding::*count;
    };
    AEGP_LayerH layer = layer_at("Main", 1);
    AEGP_StreamValue2 value{};
    const std::vector<Kind> kinds = {
        {"collection",
         [&]() -> void* {
             AEGP_Collection2H c = nullptr;
             EXPECT_EQ(collections().AEGP_NewCollection(plugin_, &c), A_Err_NONE);
             return c;
         },
         [&](void* c) {
             return collections().AEGP_DisposeCollection(static_cast<AEGP_Collection2H>(c));
         },
         &host::Outstanding::collections},
        {"stream",
         [&]() -> void* {
             AEGP_StreamRefH s = nullptr;
             EXPECT_EQ(streams().AEGP_GetNewLayerStream(plugin_, layer, 4, &s), A_Err_NONE);
             return s;
         },
         [&](void* s) { return streams().AEGP_DisposeStream(static_cast<AEGP_StreamRefH>(s)); },
         &host::Outstanding::streams},
        {"effect",
         [&]() -> void* {
             AEGP_EffectRefH e = nullptr;
             EXPECT_EQ(effects().AEGP_ApplyEffect(plugin_, layer, 3, &e), A_Err_NONE);
             return e;
         },
         [&](void* e) { return effects().AEGP_DisposeEffect(static_cast<AEGP_EffectRefH>(e)); },
         &host::Outstanding::effects},
        {"memory handle",
         [&]() -> void* {
             AEGP_MemHandle own = nullptr;
             EXPECT_EQ(layers12().AEGP_GetLayerName(plugin_, layer, &own, nullptr), A_Err_NONE);
             return own;
         },
         [&](void* m) { return memory().AEGP_FreeMemHandle(static_cast<AEGP_MemHandle>(m)); },
         &host::Outstanding::memHandles},
        {"stream value",
         [&]() -> void* {
             AEGP_StreamRefH s = nullptr;
             EXPECT_EQ(streams().AEGP_GetNewLayerStream(plugin_, layer, 1, &s), A_Err_NONE);
             const A_Time zero{0, 1};
             EXPECT_EQ(streams().AEGP_GetNewStreamValue(plugin_, s, 0, &zero, 1, &value),
                       A_Err_NONE);
             EXPECT_EQ(streams().AEGP_DisposeStream(s), A_Err_NONE);
             return &value;
         },
         [&](void* v) {
             return streams().AEGP_DisposeStreamValue(static_cast<AEGP_StreamValue2*>(v));
         },
         &host::Outstanding::streamValues},
        {"keyframe batch",
         [&]() -> void* {
             AEGP_StreamRefH s = nullptr;
             EXPECT_EQ(streams().AEGP_GetNewLayerStream(plugin_, layer, 4, &s), A_Err_NONE);
             AEGP_AddKeyframesInfoH batch = nullptr;
             EXPECT_EQ(keys().AEGP_StartAddKeyframes(s, &batch), A_Err_NONE);
             EXPECT_EQ(streams().AEGP_DisposeStream(s), A_Err_NONE);
             return batch;
         },
         [&](void* b) {
             return keys().AEGP_EndAddKeyframes(0, static_cast<AEGP_AddKeyframesInfoH>(b));
         },
         &host::Outstanding::keyframeBatches},
    };
    for (const Kind& kind : kinds) {
        void* first = kind.obtain();
        void* second = kind.what == "stream value" ? nullptr : kind.obtain();
        const std::int64_t held = second ? 2 : 1;
        EXPECT_EQ(host().outstanding().*kind.count, held) << kind.what;
        if (second) {
            EXPECT_EQ(kind.release(second), A_Err_NONE) << kind.what;
        }
        AEGP_StreamValue2 copy = value;
        EXPECT_EQ(kind.release(first), A_Err_NONE) << kind.what;
        EXPECT_EQ(host().outstanding().*kind.count, 0) << kind.what;
        // Giving it back twice is refused.
        void* again = kind.what == "stream value" ? static_cast<void*>(&copy) : first;
        EXPECT_EQ(kind.release(again), A_Err_STRUCT) << kind.what << " released twice";
    }
    host::Outstanding left = host().outstanding();
    left.suites = 0;  // this test's own suites are still acquired
    EXPECT_TRUE(left.none());
}

TEST_F(Handles, DisposedObjectsCannotBeUsed) {
    AEGP_LayerH layer = layer_at("Main", 1);
    AEGP_Collection2H collection = nullptr;
    ASSERT_EQ(collections().AEGP_NewCollection(plugin_, &collection), A_Err_NONE);
    ASSERT_EQ(collections().AEGP_DisposeCollection(collection), A_Err_NONE);
    A_u_long count = 99;
    EXPECT_EQ(collections().AEGP_GetCollectionNumItems(collection, &count), A_Err_STRUCT);
    EXPECT_EQ(count, 99u);

    AEGP_MemHandle name = nullptr;
    ASSERT_EQ(layers12().AEGP_GetLayerName(plugin_, layer, nullptr, &name), A_Err_NONE);
    void* text = nullptr;
    ASSERT_EQ(memory().AEGP_LockMemHandle(name, &text), A_Err_NONE);
    EXPECT_EQ(host().outstanding().lockedMemHandles, 1);
    EXPECT_EQ(memory().AEGP_FreeMemHandle(name), A_Err_NONE) << "a locked handle may be freed";
    EXPECT_EQ(host().outstanding().lockedMemHandles, 0);
    EXPECT_EQ(memory().AEGP_LockMemHandle(name, &text), A_Err_STRUCT);
    EXPECT_EQ(memory().AEGP_UnlockMemHandle(name), A_Err_STRUCT);

    AEGP_StreamRefH stream = nullptr;
    ASSERT_EQ(streams().AEGP_GetNewLayerStream(plugin_, layer, 1, &stream), A_Err_NONE);
    ASSERT_EQ(streams().AEGP_DisposeStream(stream), A_Err_NONE);
    AEGP_StreamType type = -1;
    EXPECT_EQ(streams().AEGP_GetStreamType(stream, &type), A_Err_STRUCT);

    // A stream reference outlived by its layer is stale, not dangling.
    ASSERT_EQ(streams().AEGP_GetNewLayerStream(plugin_, layer, 1, &stream), A_Err_NONE);
    ASSERT_EQ(suite<AEGP_LayerSuite_v10>("AEGP Layer Suite", 10).AEGP_DeleteLayer(layer),
              A_Err_NONE);
    EXPECT_EQ(streams().AEGP_GetStreamType(stream, &type), A_Err_STRUCT);
    EXPECT_EQ(streams().AEGP_DisposeStream(stream), A_Err_NONE) << "but it can still be given back";
}

TEST_F(Handles, WrongValuesAndOutPointersAreParameterErrors) {
    AEGP_LayerH layer = layer_at("Main", 0);
    AEGP_CompH comp = comp_named("Main");
    A_long index = 0;
    AEGP_LayerH out = nullptr;
    A_Time time{};
    AEGP_ProjectH projectH = nullptr;
    AEGP_StreamRefH stream = nullptr;
    struct Case {
        std::string what;
        A_Err got;
    };
    const Case cases[] = {
        {"null out pointer", layers().AEGP_GetLayerIndex(layer, nullptr)},
        {"index past the end", layers().AEGP_GetCompLayerByIndex(comp, 5, &out)},
        {"negative index", layers().AEGP_GetCompLayerByIndex(comp, -1, &out)},
        {"reorder past the end", layers().AEGP_ReorderLayer(layer, 5)},
        {"two flags at once", layers().AEGP_SetLayerFlag(layer, 0x3, 1)},
        {"unknown plug-in", streams().AEGP_GetNewLayerStream(plugin_ + 7, layer, 1, &stream)},
        {"no such stream", streams().AEGP_GetNewLayerStream(plugin_, layer, 30, &stream)},
        {"unknown time mode", layers().AEGP_GetLayerInPoint(layer, 5, &time)},
        {"time with scale 0", layers().AEGP_SetLayerOffset(layer, &time)},
        {"project 1",
         suite<AEGP_ProjSuite_v9>("AEGP Proj Suite", 9).AEGP_GetProjectByIndex(1, &projectH)},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, A_Err_PARAMETER) << c.what;
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(projectH, nullptr);
    EXPECT_EQ(layers().AEGP_GetLayerIndex(layer, &index), A_Err_NONE);
}

}  // namespace
