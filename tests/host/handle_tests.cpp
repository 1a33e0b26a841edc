#include <functional>

#include "host_fixture.h"

namespace {

using namespace host_test;

class Handles : public BasicProjectTest {
protected:
    // Two made by `make` are counted until given back; giving one back twice is refused.
    template <class T, class Release, class... Params, class... Args>
    void counted(const char* what, std::int64_t host::Outstanding::*count, Release release,
                 A_Err (*make)(Params...), Args... args) {
        SCOPED_TRACE(what);
        const T first = made<T>(make, args...), second = made<T>(make, args...);
        EXPECT_EQ(host().outstanding().*count, 2);
        EXPECT_EQ(release(second), A_Err_NONE);
        EXPECT_EQ(release(first), A_Err_NONE);
        EXPECT_EQ(host().outstanding().*count, 0);
        EXPECT_EQ(release(first), A_Err_STRUCT) << "released twice";
    }
};

TEST_F(Handles, LayerOperationsRefuseBadLayerHandlesAndThoseOfAnEarlierHost) {
    const AEGP_LayerH earlier = layer_at("Main", 0);
    const AEGP_CompH earlierComp = comp_named("Main");
    TearDown();
    SetUp();
    A_long index = -1;
    EXPECT_EQ(layers().AEGP_GetCompNumLayers(earlierComp, &index), A_Err_STRUCT);
    AEGP_LayerH doomed = layer_at("Main", 1);
    OK(delete_layer(doomed));
    AEGP_ItemH item = item_named("Main");
    const std::pair<const char*, AEGP_LayerH> bad[] = {
        {"null", nullptr},
        {"an item handle", reinterpret_cast<AEGP_LayerH>(item)},
        {"a pointer", reinterpret_cast<AEGP_LayerH>(&item)},
        {"a deleted layer", doomed},
        {"an earlier host's layer", earlier}};
    AEGP_EffectRefH effect = nullptr;
    const AEGP_LayerH top = layer_at("Main", 0);
    EXPECT_EQ(got<A_long>(layers().AEGP_GetLayerIndex, top), 0);
    const std::pair<const char*, std::function<A_Err(AEGP_LayerH)>> operations[] = {
        {"GetLayerIndex", [&](auto l) { return layers().AEGP_GetLayerIndex(l, &index); }},
        {"SetLayerParent", [&](auto l) { return layers().AEGP_SetLayerParent(l, top); }},
        {"ApplyEffect",
         [&](auto l) { return effects().AEGP_ApplyEffect(plugin_, l, 1, &effect); }}};
    const auto before = project();
    for (const auto& [badName, handle] : bad) {
        for (const auto& [opName, op] : operations)
            EXPECT_EQ(op(handle), A_Err_STRUCT) << opName << " with " << badName;
    }
    EXPECT_TRUE(project() == before) << "refused calls change nothing";
}

TEST_F(Handles, CountedObjectsAreCountedUntilGivenBack) {
    AEGP_LayerH layer = layer_at("Main", 1);
    using O = host::Outstanding;
    counted<AEGP_Collection2H>("collection", &O::collections, collections().AEGP_DisposeCollection,
                               collections().AEGP_NewCollection, plugin_);
    counted<AEGP_StreamRefH>("stream", &O::streams, streams().AEGP_DisposeStream,
                             streams().AEGP_GetNewLayerStream, plugin_, layer, 4);
    counted<AEGP_EffectRefH>("effect", &O::effects, effects().AEGP_DisposeEffect,
                             effects().AEGP_ApplyEffect, plugin_, layer, 3);
    counted<AEGP_MemHandle>("memory handle", &O::memHandles, memory().AEGP_FreeMemHandle,
                            layers12().AEGP_GetLayerName, plugin_, layer, nullptr);
    const AEGP_StreamRefH s = new_stream(layer, 4);
    const A_Time zero{0, 1};
    counted<AEGP_StreamValue2>(
        "stream value", &O::streamValues,
        [&](AEGP_StreamValue2 v) { return streams().AEGP_DisposeStreamValue(&v); },
        streams().AEGP_GetNewStreamValue, plugin_, s, 0, &zero, 1);
    counted<AEGP_AddKeyframesInfoH>(
        "keyframe batch", &O::keyframeBatches,
        [&](auto b) { return keys().AEGP_EndAddKeyframes(0, b); }, keys().AEGP_StartAddKeyframes,
        s);
    OK(streams().AEGP_DisposeStream(s));
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
    AEGP_LayerH layer = layer_at("Main", 0), out = nullptr;
    AEGP_CompH comp = comp_named("Main");
    A_Time time{};
    AEGP_ProjectH projectH = nullptr;
    AEGP_StreamRefH stream = nullptr;
    const auto& l = layers();
    expect_errs(
        A_Err_PARAMETER,
        {{"null out pointer", l.AEGP_GetLayerIndex(layer, nullptr)},
         {"index past the end", l.AEGP_GetCompLayerByIndex(comp, 5, &out)},
         {"negative index", l.AEGP_GetCompLayerByIndex(comp, -1, &out)},
         {"reorder past the end", l.AEGP_ReorderLayer(layer, 5)},
         {"reorder before the start", l.AEGP_ReorderLayer(layer, -1)},
         {"two flags at once", l.AEGP_SetLayerFlag(layer, 0x3, 1)},
         {"unknown plug-in", streams().AEGP_GetNewLayerStream(plugin_ + 7, layer, 1, &stream)},
         {"no such stream", streams().AEGP_GetNewLayerStream(plugin_, layer, 30, &stream)},
         {"unknown time mode", l.AEGP_GetLayerInPoint(layer, 5, &time)},
         {"time with scale 0", l.AEGP_SetLayerOffset(layer, &time)},
         {"project 1", suite<AEGP_ProjSuite_v9>().AEGP_GetProjectByIndex(1, &projectH)}});
    EXPECT_EQ(std::tuple(out, stream, projectH), std::tuple(nullptr, nullptr, nullptr));
    EXPECT_EQ(got<A_long>(l.AEGP_GetLayerIndex, layer), 0);
}

using Undo = BasicProjectTest;

TEST_F(Undo, GroupsPairNestAndBringObjectsAndTheirHandlesBack) {
    const auto history = [&] {
        std::vector<std::string> names;
        for (const auto& entry : host().undo_history()) names.push_back(entry.name);
        return names;
    };
    // A name starts a group; none ends one.
    const std::pair<const char*, A_Err> steps[] = {
        {nullptr, A_Err_GENERIC}, {"Outer", A_Err_NONE}, {"Inner", A_Err_NONE},
        {nullptr, A_Err_NONE},    {nullptr, A_Err_NONE}, {nullptr, A_Err_GENERIC},
        {"Empty", A_Err_NONE},    {nullptr, A_Err_NONE}, {"Open", A_Err_NONE}};
    for (const auto& [name, expected] : steps) {
        EXPECT_EQ(name ? utility().AEGP_StartUndoGroup(name) : utility().AEGP_EndUndoGroup(),
                  expected)
            << (name ? name : "end");
    }
    EXPECT_EQ(host().outstanding().openUndoGroups, 1);
    EXPECT_FALSE(host().undo());
    OK(utility().AEGP_EndUndoGroup());
    EXPECT_EQ(utility().AEGP_StartUndoGroup(nullptr), A_Err_PARAMETER);
    EXPECT_EQ(history(), (std::vector<std::string>{"Outer", "Empty", "Open"}));
    EXPECT_TRUE(host().undo());
    EXPECT_EQ(history(), (std::vector<std::string>{"Outer", "Empty"}));
    load("basic.json");
    EXPECT_TRUE(history().empty()) << "a loaded project starts a fresh history";
    // What an undone group made stays stale: later objects get fresh ids.
    AEGP_LayerH pre = layer_at("Main", 0);
    AEGP_ItemH second = item_named("Second");
    OK(utility().AEGP_StartUndoGroup("Delete"));
    OK(delete_layer(pre));
    OK(items().AEGP_DeleteItem(second));
    AEGP_LayerH null = make_null("Main", {30, 30}, u"N");
    OK(utility().AEGP_EndUndoGroup());
    A_long index = -1;
    AEGP_ItemType type = 0;
    EXPECT_EQ(layers().AEGP_GetLayerIndex(pre, &index), A_Err_STRUCT);
    EXPECT_EQ(items3().AEGP_GetItemType(second, &type), A_Err_STRUCT);
    ASSERT_TRUE(host().undo());
    EXPECT_EQ(got<A_long>(layers().AEGP_GetLayerIndex, pre), 0);
    EXPECT_EQ(got<AEGP_ItemType>(items3().AEGP_GetItemType, second), AEGP_ItemType_COMP);
    EXPECT_NE(make_null("Main", {30, 30}, u"M"), null);
    EXPECT_EQ(layers().AEGP_GetLayerIndex(null, &index), A_Err_STRUCT);
}

}  // namespace
