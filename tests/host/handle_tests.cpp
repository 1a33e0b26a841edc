// Handles: every operation refuses null, wrong-kind, foreign and stale
// handles with an error code, and counted objects are counted until they are
// given back.
#include <gtest/gtest.h>

#include <functional>

#include "host_fixture.h"

namespace {

using host_test::got;
using host_test::made;

using Handles = host_test::BasicProjectTest;

TEST_F(Handles, LayerOperationsRefuseBadLayerHandles) {
    AEGP_LayerH doomed = layer_at("Main", 1);
    OK(delete_layer(doomed));
    AEGP_ItemH item = item_named("Main");
    const std::pair<const char*, AEGP_LayerH> bad[] = {
        {"null", nullptr},
        {"an item handle", reinterpret_cast<AEGP_LayerH>(item)},
        {"a composition handle", reinterpret_cast<AEGP_LayerH>(comp_named("Main"))},
        {"a pointer", reinterpret_cast<AEGP_LayerH>(&item)},
        {"a small number", reinterpret_cast<AEGP_LayerH>(std::uintptr_t{7})},
        {"a deleted layer", doomed},
    };
    A_long index;
    char name[32];
    AEGP_StreamRefH stream = nullptr;
    AEGP_EffectRefH effect = nullptr;
    const AEGP_LayerH top = layer_at("Main", 0);
    using Op = std::function<A_Err(AEGP_LayerH)>;
    const std::pair<const char*, Op> operations[] = {
        {"GetLayerIndex", [&](auto l) { return layers().AEGP_GetLayerIndex(l, &index); }},
        {"GetLayerName", [&](auto l) { return layers().AEGP_GetLayerName(l, name, nullptr); }},
        {"SetLayerFlag", [&](auto l) { return layers().AEGP_SetLayerFlag(l, 1, 0); }},
        {"ReorderLayer", [&](auto l) { return layers().AEGP_ReorderLayer(l, 0); }},
        {"SetLayerParent", [&](auto l) { return layers().AEGP_SetLayerParent(l, top); }},
        {"GetNewLayerStream",
         [&](auto l) { return streams().AEGP_GetNewLayerStream(plugin_, l, 1, &stream); }},
        {"ApplyEffect", [&](auto l) { return effects().AEGP_ApplyEffect(plugin_, l, 1, &effect); }},
        {"SetLayerName",
         [&](auto l) { return layers12().AEGP_SetLayerName(l, host_test::wide(u"x")); }},
    };
    const auto before = project();
    for (const auto& [badName, handle] : bad) {
        for (const auto& [opName, op] : operations)
            EXPECT_EQ(op(handle), A_Err_STRUCT) << opName << " with " << badName;
    }
    EXPECT_TRUE(project() == before) << "refused calls change nothing";
}

TEST_F(Handles, HandlesOfAnEarlierHostAreForeign) {
    AEGP_LayerH layer = layer_at("Main", 0);
    AEGP_CompH comp = comp_named("Main");
    // Tear this Host down and start another over the same project.
    TearDown();
    SetUp();
    A_long index = -1;
    EXPECT_EQ(layers().AEGP_GetLayerIndex(layer, &index), A_Err_STRUCT);
    EXPECT_EQ(layers().AEGP_GetCompNumLayers(comp, &index), A_Err_STRUCT);
    EXPECT_EQ(got<A_long>(layers().AEGP_GetLayerIndex, layer_at("Main", 0)), 0);
}

TEST_F(Handles, ModelHandlesFollowTheObjectNotItsPosition) {
    AEGP_LayerH cam = layer_at("Main", 2);
    OK(layers().AEGP_ReorderLayer(cam, 4));
    EXPECT_EQ(got<A_long>(layers().AEGP_GetLayerIndex, cam), 4);
    EXPECT_EQ(got<AEGP_ObjectType>(layers().AEGP_GetLayerObjectType, cam), AEGP_ObjectType_CAMERA);
}

TEST_F(Handles, CountedObjectsAreCountedUntilGivenBack) {
    AEGP_LayerH layer = layer_at("Main", 1);
    AEGP_StreamValue2 value{};
    const auto batch = [&] {
        AEGP_StreamRefH s = new_stream(layer, 4);
        AEGP_AddKeyframesInfoH b = nullptr;
        EXPECT_EQ(keys().AEGP_StartAddKeyframes(s, &b), A_Err_NONE);
        EXPECT_EQ(streams().AEGP_DisposeStream(s), A_Err_NONE);
        return b;
    };
    const auto stream_value = [&] {
        AEGP_StreamRefH s = new_stream(layer, 1);
        const A_Time zero{0, 1};
        EXPECT_EQ(streams().AEGP_GetNewStreamValue(plugin_, s, 0, &zero, 1, &value), A_Err_NONE);
        EXPECT_EQ(streams().AEGP_DisposeStream(s), A_Err_NONE);
        return &value;
    };
    struct Kind {
        const char* what;
        std::function<void*()> obtain;
        std::function<A_Err(void*)> release;
        std::int64_t host::Outstanding::*count;
    };
    using S = AEGP_StreamRefH;
    using E = AEGP_EffectRefH;
    const Kind kinds[] = {
        {"collection",
         [&] { return made<AEGP_Collection2H>(collections().AEGP_NewCollection, plugin_); },
         [&](void* c) { return collections().AEGP_DisposeCollection(AEGP_Collection2H(c)); },
         &host::Outstanding::collections},
        {"stream", [&] { return new_stream(layer, 4); },
         [&](void* s) { return streams().AEGP_DisposeStream(S(s)); }, &host::Outstanding::streams},
        {"effect", [&] { return made<E>(effects().AEGP_ApplyEffect, plugin_, layer, 3); },
         [&](void* e) { return effects().AEGP_DisposeEffect(E(e)); }, &host::Outstanding::effects},
        {"memory handle",
         [&] {
             return made<AEGP_MemHandle>(layers12().AEGP_GetLayerName, plugin_, layer, nullptr);
         },
         [&](void* m) { return memory().AEGP_FreeMemHandle(AEGP_MemHandle(m)); },
         &host::Outstanding::memHandles},
        {"stream value", stream_value,
         [&](void* v) {
             return streams().AEGP_DisposeStreamValue(static_cast<AEGP_StreamValue2*>(v));
         },
         &host::Outstanding::streamValues},
        {"keyframe batch", batch,
         [&](void* b) { return keys().AEGP_EndAddKeyframes(0, AEGP_AddKeyframesInfoH(b)); },
         &host::Outstanding::keyframeBatches},
    };
    for (const Kind& kind : kinds) {
        const bool single = kind.what == std::string("stream value");  // one value slot here
        void* first = kind.obtain();
        void* second = single ? nullptr : kind.obtain();
        EXPECT_EQ(host().outstanding().*kind.count, single ? 1 : 2) << kind.what;
        if (second) {
            EXPECT_EQ(kind.release(second), A_Err_NONE) << kind.what;
        }
        AEGP_StreamValue2 copy = value;
        EXPECT_EQ(kind.release(first), A_Err_NONE) << kind.what;
        EXPECT_EQ(host().outstanding().*kind.count, 0) << kind.what;
        EXPECT_EQ(kind.release(single ? &copy : first), A_Err_STRUCT) << kind.what << " twice";
    }
    host::Outstanding left = host().outstanding();
    left.suites = 0;  // this test's own suites are still acquired
    EXPECT_TRUE(left.none());
}

TEST_F(Handles, DisposedObjectsCannotBeUsed) {
    AEGP_LayerH layer = layer_at("Main", 1);
    auto collection = made<AEGP_Collection2H>(collections().AEGP_NewCollection, plugin_);
    OK(collections().AEGP_DisposeCollection(collection));
    A_u_long count = 99;
    EXPECT_EQ(collections().AEGP_GetCollectionNumItems(collection, &count), A_Err_STRUCT);
    EXPECT_EQ(count, 99u);

    AEGP_MemHandle name = nullptr;
    OK(layers12().AEGP_GetLayerName(plugin_, layer, nullptr, &name));
    void* text = nullptr;
    OK(memory().AEGP_LockMemHandle(name, &text));
    EXPECT_EQ(host().outstanding().lockedMemHandles, 1);
    EXPECT_EQ(memory().AEGP_FreeMemHandle(name), A_Err_NONE) << "a locked handle may be freed";
    EXPECT_EQ(host().outstanding().lockedMemHandles, 0);
    EXPECT_EQ(memory().AEGP_LockMemHandle(name, &text), A_Err_STRUCT);
    EXPECT_EQ(memory().AEGP_UnlockMemHandle(name), A_Err_STRUCT);

    AEGP_StreamRefH stream = new_stream(layer, 1);
    OK(streams().AEGP_DisposeStream(stream));
    AEGP_StreamType type = -1;
    EXPECT_EQ(streams().AEGP_GetStreamType(stream, &type), A_Err_STRUCT);

    // A stream reference outlived by its layer is stale, not dangling.
    stream = new_stream(layer, 1);
    OK(delete_layer(layer));
    EXPECT_EQ(streams().AEGP_GetStreamType(stream, &type), A_Err_STRUCT);
    EXPECT_EQ(streams().AEGP_DisposeStream(stream), A_Err_NONE) << "but it can still be given back";
}

TEST_F(Handles, WrongValuesAndOutPointersAreParameterErrors) {
    AEGP_LayerH layer = layer_at("Main", 0);
    AEGP_CompH comp = comp_named("Main");
    AEGP_LayerH out = nullptr;
    A_Time time{};
    AEGP_ProjectH projectH = nullptr;
    AEGP_StreamRefH stream = nullptr;
    const std::pair<const char*, A_Err> cases[] = {
        {"null out pointer", layers().AEGP_GetLayerIndex(layer, nullptr)},
        {"index past the end", layers().AEGP_GetCompLayerByIndex(comp, 5, &out)},
        {"negative index", layers().AEGP_GetCompLayerByIndex(comp, -1, &out)},
        {"reorder past the end", layers().AEGP_ReorderLayer(layer, 5)},
        {"two flags at once", layers().AEGP_SetLayerFlag(layer, 0x3, 1)},
        {"unknown plug-in", streams().AEGP_GetNewLayerStream(plugin_ + 7, layer, 1, &stream)},
        {"no such stream", streams().AEGP_GetNewLayerStream(plugin_, layer, 30, &stream)},
        {"unknown time mode", layers().AEGP_GetLayerInPoint(layer, 5, &time)},
        {"time with scale 0", layers().AEGP_SetLayerOffset(layer, &time)},
        {"project 1", suite<AEGP_ProjSuite_v9>().AEGP_GetProjectByIndex(1, &projectH)},
    };
    for (const auto& [what, err] : cases) EXPECT_EQ(err, A_Err_PARAMETER) << what;
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(projectH, nullptr);
    EXPECT_EQ(got<A_long>(layers().AEGP_GetLayerIndex, layer), 0);
}

}  // namespace
