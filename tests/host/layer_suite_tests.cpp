// Layers, compositions, items and selections through the suites.
#include <gtest/gtest.h>

#include <cstring>

#include "host_fixture.h"
#include "model/streams.h"

namespace {

using host_test::HostTest;

class LayerSuites : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        load("basic.json");
    }

    std::u16string utf16_name(AEGP_MemHandle handle) {
        void* data = nullptr;
        EXPECT_EQ(memory().AEGP_LockMemHandle(handle, &data), A_Err_NONE);
        std::u16string text(static_cast<const char16_t*>(data));
        EXPECT_EQ(memory().AEGP_UnlockMemHandle(handle), A_Err_NONE);
        EXPECT_EQ(memory().AEGP_FreeMemHandle(handle), A_Err_NONE);
        return text;
    }
};

TEST_F(LayerSuites, EightBitNamesFitTheCallersBuffer) {
    AEGP_LayerH layer = layer_at("Main", 1);  // shows its source's name
    struct Case {
        std::u16string set;
        std::string own;  // as GetLayerName hands it out
    };
    const Case cases[] = {
        {u"", ""},
        {u"Short", "Short"},
        {u"exactly thirty-one characters!!", "exactly thirty-one characters!!"},
        {u"thirty-two characters, one over!", "thirty-two characters, one over"},
        // "é" is two bytes: 15 of them are 30 bytes, the 16th would be 32.
        {u"éééééééééééééééé", "ééééééééééééééé"},
        {u"€€€€€€€€€€€", "€€€€€€€€€€"},  // 3-byte characters: ten fit in 31 bytes
    };
    for (const Case& c : cases) {
        ASSERT_EQ(layers12().AEGP_SetLayerName(layer, host_test::wide(c.set)), A_Err_NONE);
        char own[40];
        char source[40];
        std::memset(own, 'x', sizeof own);
        std::memset(source, 'x', sizeof source);
        ASSERT_EQ(layers().AEGP_GetLayerName(layer, own, source), A_Err_NONE);
        EXPECT_EQ(std::string(own), c.own);
        EXPECT_EQ(std::string(source), "Solid A");
        EXPECT_EQ(own[32], 'x') << "nothing is written past 32 bytes";
        EXPECT_EQ(source[32], 'x');
    }
    EXPECT_EQ(layers().AEGP_GetLayerName(layer, nullptr, nullptr), A_Err_NONE) << "both optional";
    char source[32];
    EXPECT_EQ(layers().AEGP_GetLayerName(layer_at("Main", 2), nullptr, source), A_Err_NONE);
    EXPECT_STREQ(source, "") << "a camera shows no source";
}

TEST_F(LayerSuites, WideNamesComeInMemoryHandles) {
    AEGP_LayerH layer = layer_at("Main", 0);
    AEGP_MemHandle own = nullptr, source = nullptr;
    ASSERT_EQ(layers12().AEGP_GetLayerName(plugin_, layer, &own, &source), A_Err_NONE);
    EXPECT_EQ(utf16_name(own), u"Pre Layer");
    EXPECT_EQ(utf16_name(source), u"Pre");
    const std::u16string wide = u"Ünïcødé 名前 \U0001F600";
    ASSERT_EQ(layers12().AEGP_SetLayerName(layer, host_test::wide(wide)), A_Err_NONE);
    EXPECT_EQ(model_layer(layer).ownName, "Ünïcødé 名前 \xF0\x9F\x98\x80");
    ASSERT_EQ(layers12().AEGP_GetLayerName(plugin_, layer, &own, nullptr), A_Err_NONE);
    EXPECT_EQ(utf16_name(own), wide);

    const std::u16string longest(255, u'a');
    EXPECT_EQ(layers12().AEGP_SetLayerName(layer, host_test::wide(longest)), A_Err_NONE);
    const std::u16string tooLong(256, u'b');
    EXPECT_EQ(layers12().AEGP_SetLayerName(layer, host_test::wide(tooLong)), A_Err_PARAMETER);
    EXPECT_EQ(model_layer(layer).ownName, std::string(255, 'a'));
    const std::u16string cutPair = std::u16string(254, u'c') + u"\xD83D";
    EXPECT_EQ(layers12().AEGP_SetLayerName(layer, host_test::wide(cutPair)), A_Err_NONE);
    EXPECT_EQ(model_layer(layer).ownName, std::string(254, 'c') + "\xEF\xBF\xBD")
        << "a cut surrogate pair becomes U+FFFD";
}

TEST_F(LayerSuites, TimesUseTheCompositionsTimeBase) {
    // Pre Layer: in point 1 s, duration 5 s, offset 2 s, in a 30 fps composition.
    AEGP_LayerH layer = layer_at("Main", 0);
    struct Case {
        const char* what;
        A_Err (*read)(const AEGP_LayerSuite_v11&, AEGP_LayerH, A_Time*);
        A_Time expected;
    };
    const Case cases[] = {
        {"in point, layer time",
         [](auto& s, auto l, auto t) { return s.AEGP_GetLayerInPoint(l, 0, t); },
         {30, 30}},
        {"in point, comp time",
         [](auto& s, auto l, auto t) { return s.AEGP_GetLayerInPoint(l, 1, t); },
         {90, 30}},
        {"duration, layer time",
         [](auto& s, auto l, auto t) { return s.AEGP_GetLayerDuration(l, 0, t); },
         {150, 30}},
        {"duration, comp time",
         [](auto& s, auto l, auto t) { return s.AEGP_GetLayerDuration(l, 1, t); },
         {150, 30}},
        {"offset", [](auto& s, auto l, auto t) { return s.AEGP_GetLayerOffset(l, t); }, {60, 30}},
    };
    for (const Case& c : cases) {
        A_Time t{-1, 0};
        ASSERT_EQ(c.read(layers(), layer, &t), A_Err_NONE) << c.what;
        EXPECT_EQ(t.value, c.expected.value) << c.what;
        EXPECT_EQ(t.scale, c.expected.scale) << c.what;
    }
    // Setting in composition time subtracts the offset; any scale is taken.
    const A_Time in{7, 2};        // 3.5 s composition time
    const A_Time duration{1, 4};  // 0.25 s
    ASSERT_EQ(layers().AEGP_SetLayerInPointAndDuration(layer, 1, &in, &duration), A_Err_NONE);
    EXPECT_EQ(model_layer(layer).inPoint, host::model::Rational::of(3, 2));
    EXPECT_EQ(model_layer(layer).duration, host::model::Rational::of(1, 4));
    const A_Time zero{0, 30};
    EXPECT_EQ(layers().AEGP_SetLayerInPointAndDuration(layer, 0, &in, &zero), A_Err_PARAMETER);

    // 29.97 fps: the scale is 30000 and whole frames are multiples of 1001.
    AEGP_LayerH ntsc = layer_at("Second", 0);
    const A_Time frames{3 * 1001, 30000};
    ASSERT_EQ(layers().AEGP_SetLayerOffset(ntsc, &frames), A_Err_NONE);
    A_Time back{};
    ASSERT_EQ(layers().AEGP_GetLayerOffset(ntsc, &back), A_Err_NONE);
    EXPECT_EQ(back.value, 3003);
    EXPECT_EQ(back.scale, 30000u);
    // A time between ticks rounds to the nearest one.
    const A_Time third{1, 3};
    ASSERT_EQ(layers().AEGP_SetLayerOffset(layer, &third), A_Err_NONE);
    ASSERT_EQ(layers().AEGP_GetLayerOffset(layer, &back), A_Err_NONE);
    EXPECT_EQ(back.value, 10);
    const A_Time half_tick{1, 60};
    ASSERT_EQ(layers().AEGP_SetLayerOffset(layer, &half_tick), A_Err_NONE);
    ASSERT_EQ(layers().AEGP_GetLayerOffset(layer, &back), A_Err_NONE);
    EXPECT_EQ(back.value, 1) << "halves round away from zero";
}

TEST_F(LayerSuites, FlagsAndObjectTypes) {
    struct Case {
        A_long index;
        AEGP_ObjectType type;
        bool threeD;
    };
    const Case cases[] = {{0, AEGP_ObjectType_AV, false},
                          {2, AEGP_ObjectType_CAMERA, true},
                          {3, AEGP_ObjectType_LIGHT, true}};
    for (const Case& c : cases) {
        AEGP_ObjectType type = -9;
        A_Boolean threeD = 9;
        ASSERT_EQ(layers().AEGP_GetLayerObjectType(layer_at("Main", c.index), &type), A_Err_NONE);
        ASSERT_EQ(layers().AEGP_IsLayer3D(layer_at("Main", c.index), &threeD), A_Err_NONE);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(threeD != 0, c.threeD);
    }
    AEGP_ObjectType type = -9;
    ASSERT_EQ(layers().AEGP_GetLayerObjectType(layer_at("Second", 1), &type), A_Err_NONE);
    EXPECT_EQ(type, AEGP_ObjectType_VECTOR);
    ASSERT_EQ(layers().AEGP_GetLayerObjectType(layer_at("Pre", 2), &type), A_Err_NONE);
    EXPECT_EQ(type, AEGP_ObjectType_TEXT);

    AEGP_LayerH pre = layer_at("Main", 0);
    const auto& l10 = suite<AEGP_LayerSuite_v10>("AEGP Layer Suite", 10);
    EXPECT_EQ(l10.AEGP_SetLayerFlag(pre, AEGP_LayerFlag_VIDEO_ACTIVE, 0), A_Err_NONE);
    EXPECT_EQ(model_layer(pre).flags & AEGP_LayerFlag_VIDEO_ACTIVE, 0u);
    EXPECT_EQ(layers().AEGP_SetLayerFlag(pre, AEGP_LayerFlag_LAYER_IS_3D, 1), A_Err_NONE);
    A_Boolean threeD = 0;
    EXPECT_EQ(layers().AEGP_IsLayer3D(pre, &threeD), A_Err_NONE);
    EXPECT_TRUE(threeD);
    EXPECT_EQ(layers().AEGP_SetLayerFlag(pre, AEGP_LayerFlag_TIME_REMAPPING, 1), A_Err_NONE);
    EXPECT_EQ(layers().AEGP_SetLayerFlag(layer_at("Main", 1), AEGP_LayerFlag_TIME_REMAPPING, 1),
              A_Err_PARAMETER)
        << "a solid has no time to remap";
    EXPECT_EQ(layers().AEGP_SetLayerFlag(pre, 0, 1), A_Err_PARAMETER);
    EXPECT_EQ(layers().AEGP_SetLayerFlag(pre, 0x1000, 1), A_Err_PARAMETER);
}

TEST_F(LayerSuites, SourcesParentsAndStackThroughSuites) {
    AEGP_LayerH a = layer_at("Pre", 0);
    AEGP_LayerH b = layer_at("Pre", 1);
    AEGP_LayerH words = layer_at("Pre", 2);
    AEGP_LayerH parent = nullptr;
    ASSERT_EQ(layers().AEGP_GetLayerParent(b, &parent), A_Err_NONE);
    EXPECT_EQ(parent, a);
    ASSERT_EQ(layers().AEGP_GetLayerParent(a, &parent), A_Err_NONE);
    EXPECT_EQ(parent, nullptr);
    EXPECT_EQ(layers().AEGP_SetLayerParent(a, b), A_Err_PARAMETER) << "cycle";
    EXPECT_EQ(layers().AEGP_SetLayerParent(a, layer_at("Main", 1)), A_Err_PARAMETER)
        << "other comp";
    EXPECT_EQ(layers().AEGP_SetLayerParent(words, b), A_Err_NONE);
    AEGP_ItemH source = nullptr;
    ASSERT_EQ(layers().AEGP_GetLayerSourceItem(words, &source), A_Err_NONE);
    EXPECT_EQ(source, nullptr) << "text layers show no item";
    ASSERT_EQ(suite<AEGP_LayerSuite_v13>("AEGP Layer Suite", 13)
                  .AEGP_GetLayerSourceItem(layer_at("Main", 0), &source),
              A_Err_NONE);
    EXPECT_EQ(source, item_named("Pre"));
    A_long count = 0;
    ASSERT_EQ(suite<AEGP_LayerSuite_v13>("AEGP Layer Suite", 13)
                  .AEGP_GetCompNumLayers(comp_named("Main"), &count),
              A_Err_NONE);
    EXPECT_EQ(count, 5);
    ASSERT_EQ(layers12().AEGP_ReorderLayer(words, 0), A_Err_NONE);
    A_long index = -1;
    ASSERT_EQ(layers().AEGP_GetLayerIndex(a, &index), A_Err_NONE);
    EXPECT_EQ(index, 1);
}

TEST_F(LayerSuites, ItemsWalkFromTheRootFolderInScriptOrder) {
    AEGP_ProjectH projectH = nullptr;
    ASSERT_EQ(suite<AEGP_ProjSuite_v9>("AEGP Proj Suite", 9).AEGP_GetProjectByIndex(0, &projectH),
              A_Err_NONE);
    const auto& walk = suite<AEGP_ItemSuite_v13>("AEGP Item Suite", 13);
    std::vector<A_long> ids;
    std::vector<AEGP_ItemType> types;
    AEGP_ItemH item = nullptr;
    ASSERT_EQ(walk.AEGP_GetFirstProjItem(projectH, &item), A_Err_NONE);
    while (item != nullptr) {
        A_long id = 0;
        AEGP_ItemType type = 0;
        ASSERT_EQ(walk.AEGP_GetItemID(item, &id), A_Err_NONE);
        ASSERT_EQ(walk.AEGP_GetItemType(item, &type), A_Err_NONE);
        ids.push_back(id);
        types.push_back(type);
        AEGP_ItemH next = nullptr;
        ASSERT_EQ(walk.AEGP_GetNextProjItem(projectH, item, &next), A_Err_NONE);
        item = next;
    }
    std::vector<A_long> expected{project().rootFolder};
    for (const auto& i : project().items) expected.push_back(i.id);
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(types, (std::vector<AEGP_ItemType>{1, 1, 4, 4, 4, 2, 2, 2}));
    EXPECT_EQ(items().AEGP_DeleteItem(nullptr), A_Err_STRUCT);
    AEGP_ItemH root = nullptr;
    ASSERT_EQ(walk.AEGP_GetFirstProjItem(projectH, &root), A_Err_NONE);
    EXPECT_EQ(items().AEGP_DeleteItem(root), A_Err_PARAMETER);
    AEGP_CompH comp = nullptr;
    EXPECT_EQ(comps().AEGP_GetCompFromItem(root, &comp), A_Err_PARAMETER);
    EXPECT_EQ(comps().AEGP_GetCompFromItem(item_named("Clip"), &comp), A_Err_PARAMETER);
}

TEST_F(LayerSuites, ActiveAndSelectedItems) {
    AEGP_ItemH active = nullptr;
    ASSERT_EQ(items3().AEGP_GetActiveItem(&active), A_Err_NONE);
    EXPECT_EQ(active, item_named("Main"));
    A_Boolean selected = 1;
    ASSERT_EQ(items3().AEGP_IsItemSelected(active, &selected), A_Err_NONE);
    EXPECT_FALSE(selected);
    host::model::find_item(project(), project().activeItem)->selected = true;
    ASSERT_EQ(items3().AEGP_IsItemSelected(active, &selected), A_Err_NONE);
    EXPECT_TRUE(selected);
    project().activeItem = host::model::kNoId;
    ASSERT_EQ(items3().AEGP_GetActiveItem(&active), A_Err_NONE);
    EXPECT_EQ(active, nullptr);
}

TEST_F(LayerSuites, PixelAspectRatiosAndFootageInterpretation) {
    const auto& items7 = suite<AEGP_ItemSuite_v7>("AEGP Item Suite", 7);
    struct Case {
        std::string item;
        A_Ratio ratio;
    };
    const Case cases[] = {{"Pre", {4, 3}}, {"Main", {1, 1}}, {"Solid B", {10, 11}}};
    for (const Case& c : cases) {
        A_Ratio ratio{0, 0};
        ASSERT_EQ(items7.AEGP_GetItemPixelAspectRatio(item_named(c.item), &ratio), A_Err_NONE);
        EXPECT_EQ(ratio.num, c.ratio.num) << c.item;
        EXPECT_EQ(ratio.den, c.ratio.den) << c.item;
    }
    A_Ratio ratio{};
    EXPECT_EQ(items7.AEGP_GetItemPixelAspectRatio(item_named("Comps"), &ratio), A_Err_PARAMETER);

    const auto& footage = suite<AEGP_FootageSuite_v11>("AEGP Footage Suite", 11);
    AEGP_ItemH solid = item_named("Solid A");
    AEGP_FootageInterp record;
    std::memset(&record, 0, sizeof record);
    ASSERT_EQ(footage.AEGP_GetFootageInterpretation(solid, 0, &record), A_Err_NONE);
    EXPECT_EQ(record.pix_aspect_ratio.num, 1);
    record.pix_aspect_ratio = {4, 3};
    ASSERT_EQ(footage.AEGP_SetFootageInterpretation(solid, 0, &record), A_Err_NONE);
    ASSERT_EQ(items7.AEGP_GetItemPixelAspectRatio(solid, &ratio), A_Err_NONE);
    EXPECT_EQ(ratio.num, 4);
    EXPECT_EQ(ratio.den, 3u);

    AEGP_FootageInterp blank;
    std::memset(&blank, 0, sizeof blank);
    blank.pix_aspect_ratio = {2, 1};
    EXPECT_EQ(footage.AEGP_SetFootageInterpretation(solid, 0, &blank), A_Err_PARAMETER)
        << "a record that was never read from the item";
    record.pix_aspect_ratio = {0, 1};
    EXPECT_EQ(footage.AEGP_SetFootageInterpretation(solid, 0, &record), A_Err_PARAMETER);
    EXPECT_EQ(footage.AEGP_GetFootageInterpretation(solid, 1, &record), A_Err_PARAMETER)
        << "no proxy";
    EXPECT_EQ(footage.AEGP_GetFootageInterpretation(item_named("Main"), 0, &record),
              A_Err_PARAMETER);
}

TEST_F(LayerSuites, NullsAreMadeOnTopOfTheComposition) {
    const auto& comp25 = suite<AEGP_CompSuite_v25>("AEGP Comp Suite", 25);
    AEGP_LayerH null = nullptr;
    const A_Time duration{90, 30};
    ASSERT_EQ(comp25.AEGP_CreateNullInComp(host_test::wide(u"{{Intro_outfold}}"),
                                           comp_named("Main"), &duration, &null),
              A_Err_NONE);
    const host::model::Layer& made = model_layer(null);
    EXPECT_EQ(made.ownName, "{{Intro_outfold}}");
    EXPECT_TRUE(made.isNull);
    EXPECT_EQ(made.duration, host::model::Rational::of(3));
    A_long index = -1;
    ASSERT_EQ(layers().AEGP_GetLayerIndex(null, &index), A_Err_NONE);
    EXPECT_EQ(index, 0);
    AEGP_ItemH solid = nullptr;
    ASSERT_EQ(layers().AEGP_GetLayerSourceItem(null, &solid), A_Err_NONE);
    AEGP_ItemType type = 0;
    ASSERT_EQ(items3().AEGP_GetItemType(solid, &type), A_Err_NONE);
    EXPECT_EQ(type, AEGP_ItemType_FOOTAGE);
    EXPECT_EQ(model_comp("Main").selection.size(), 1u) << "the selection is left alone";
    AEGP_ItemH main = nullptr;
    ASSERT_EQ(comps().AEGP_GetItemFromComp(comp_named("Main"), &main), A_Err_NONE);
    EXPECT_EQ(main, item_named("Main"));

    const A_Time none{0, 30};
    EXPECT_EQ(comp25.AEGP_CreateNullInComp(host_test::wide(u"x"), comp_named("Main"), &none, &null),
              A_Err_PARAMETER);
    const std::u16string tooLong(300, u'n');
    EXPECT_EQ(comp25.AEGP_CreateNullInComp(host_test::wide(tooLong), comp_named("Main"), &duration,
                                           &null),
              A_Err_PARAMETER);
}

TEST_F(LayerSuites, SelectionsComeAndGoAsCollections) {
    auto& pre =
        *host::model::comp_of(project(), host::model::find_item_by_name(project(), "Pre")->id);
    const auto a = pre.layers[0].id, b = pre.layers[1].id, words = pre.layers[2].id;
    using host::model::SelectionKind;
    pre.selection = {{SelectionKind::Keyframe, b, 1, 3}, {SelectionKind::Layer, words, 0, 0},
                     {SelectionKind::Mask, a, 2, 0},     {SelectionKind::Layer, a, 0, 0},
                     {SelectionKind::Effect, b, 1, 0},   {SelectionKind::Stream, a, 4, 0}};
    AEGP_Collection2H selection = nullptr;
    ASSERT_EQ(
        comps().AEGP_GetNewCollectionFromCompSelection(plugin_, comp_named("Pre"), &selection),
        A_Err_NONE);
    A_u_long count = 0;
    ASSERT_EQ(collections().AEGP_GetCollectionNumItems(selection, &count), A_Err_NONE);
    ASSERT_EQ(count, 6u);
    struct Expected {
        AEGP_CollectionItemType type;
        AEGP_LayerH layer;
        A_long index;
        A_long extra;
    };
    const Expected expected[] = {
        {AEGP_CollectionItemType_LAYER, layer_at("Pre", 0), 0, 0},  // layers first, in stack order
        {AEGP_CollectionItemType_LAYER, layer_at("Pre", 2), 0, 0},
        {AEGP_CollectionItemType_KEYFRAME, layer_at("Pre", 1), 1, 3},
        {AEGP_CollectionItemType_MASK, layer_at("Pre", 0), 2, 0},
        {AEGP_CollectionItemType_EFFECT, layer_at("Pre", 1), 1, 0},
        {AEGP_CollectionItemType_STREAM, layer_at("Pre", 0), 0, 4},
    };
    for (A_u_long i = 0; i < count; ++i) {
        AEGP_CollectionItemV2 item{};
        ASSERT_EQ(collections().AEGP_GetCollectionItemByIndex(selection, i, &item), A_Err_NONE);
        EXPECT_EQ(item.type, expected[i].type) << i;
        EXPECT_EQ(item.u.layer.layerH, expected[i].layer) << i;
        EXPECT_EQ(item.stream_refH, nullptr);
        if (item.type == AEGP_CollectionItemType_KEYFRAME) {
            EXPECT_EQ(item.u.keyframe.index, expected[i].index);
            EXPECT_EQ(item.u.keyframe.keyframe, expected[i].extra);
        } else if (item.type == AEGP_CollectionItemType_MASK) {
            EXPECT_EQ(item.u.mask.index, expected[i].index);
        } else if (item.type == AEGP_CollectionItemType_STREAM) {
            EXPECT_EQ(item.u.stream.stream, expected[i].extra);
        }
    }
    AEGP_CollectionItemV2 beyond{};
    EXPECT_EQ(collections().AEGP_GetCollectionItemByIndex(selection, count, &beyond),
              A_Err_PARAMETER);

    // Handing the collection back as the selection keeps it as it was.
    const auto before = pre.selection;
    ASSERT_EQ(suite<AEGP_CompSuite_v14>("AEGP Comp Suite", 14)
                  .AEGP_SetSelection(comp_named("Pre"), selection),
              A_Err_NONE);
    EXPECT_EQ(pre.selection.size(), before.size());
    ASSERT_EQ(collections().AEGP_DisposeCollection(selection), A_Err_NONE);

    // A collection with a layer of another composition is refused whole.
    AEGP_Collection2H mixed = nullptr;
    ASSERT_EQ(collections().AEGP_NewCollection(plugin_, &mixed), A_Err_NONE);
    AEGP_CollectionItemV2 item{};
    item.type = AEGP_CollectionItemType_LAYER;
    item.u.layer.layerH = layer_at("Pre", 1);
    ASSERT_EQ(collections().AEGP_CollectionPushBack(mixed, &item), A_Err_NONE);
    item.u.layer.layerH = layer_at("Main", 1);
    ASSERT_EQ(collections().AEGP_CollectionPushBack(mixed, &item), A_Err_NONE);
    EXPECT_EQ(suite<AEGP_CompSuite_v14>("AEGP Comp Suite", 14)
                  .AEGP_SetSelection(comp_named("Pre"), mixed),
              A_Err_PARAMETER);
    EXPECT_EQ(pre.selection.size(), before.size());
    item.type = 99;
    EXPECT_EQ(collections().AEGP_CollectionPushBack(mixed, &item), A_Err_PARAMETER);
    item.type = AEGP_CollectionItemType_LAYER;
    item.u.layer.layerH = nullptr;
    EXPECT_EQ(collections().AEGP_CollectionPushBack(mixed, &item), A_Err_STRUCT);
    ASSERT_EQ(collections().AEGP_DisposeCollection(mixed), A_Err_NONE);
}

}  // namespace
