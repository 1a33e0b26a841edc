// Layers, compositions, items and selections through the suites.
#include <gtest/gtest.h>

#include <cstring>

#include "host_fixture.h"

namespace {

using host::model::Rational;
using host_test::got;
using host_test::made;
using host_test::wide;

using LayerSuites = host_test::BasicProjectTest;

TEST_F(LayerSuites, EightBitNamesFitTheCallersBuffer) {
    AEGP_LayerH layer = layer_at("Main", 1);  // shows its source's name
    const std::pair<std::u16string, std::string> cases[] = {
        // What is set, and what GetLayerName hands out in 32 bytes.
        {u"", ""},
        {u"Short", "Short"},
        {u"exactly thirty-one characters!!", "exactly thirty-one characters!!"},
        {u"thirty-two characters, one over!", "thirty-two characters, one over"},
        // "é" is two bytes: 15 of them are 30 bytes, the 16th would be 32.
        {u"éééééééééééééééé", "ééééééééééééééé"},
        {u"€€€€€€€€€€€", "€€€€€€€€€€"},  // 3-byte characters: ten fit in 31 bytes
    };
    for (const auto& [set, own] : cases) {
        OK(layers12().AEGP_SetLayerName(layer, wide(set)));
        char gotOwn[40], source[40];
        std::memset(gotOwn, 'x', sizeof gotOwn);
        std::memset(source, 'x', sizeof source);
        OK(layers().AEGP_GetLayerName(layer, gotOwn, source));
        EXPECT_EQ(std::string(gotOwn), own);
        EXPECT_EQ(std::string(source), "Solid A");
        EXPECT_EQ(gotOwn[32], 'x') << "nothing is written past 32 bytes";
        EXPECT_EQ(source[32], 'x');
    }
    EXPECT_EQ(layers().AEGP_GetLayerName(layer, nullptr, nullptr), A_Err_NONE) << "both optional";
    char source[32] = "x";
    OK(layers().AEGP_GetLayerName(layer_at("Main", 2), nullptr, source));
    EXPECT_STREQ(source, "") << "a camera shows no source";
}

TEST_F(LayerSuites, WideNamesComeInMemoryHandles) {
    AEGP_LayerH layer = layer_at("Main", 0);
    AEGP_MemHandle own = nullptr, source = nullptr;
    OK(layers12().AEGP_GetLayerName(plugin_, layer, &own, &source));
    EXPECT_EQ(take_text<char16_t>(own), u"Pre Layer");
    EXPECT_EQ(take_text<char16_t>(source), u"Pre");
    const auto name_is = [&](const std::u16string& set, A_Err err, const std::string& stored) {
        EXPECT_EQ(layers12().AEGP_SetLayerName(layer, wide(set)), err);
        EXPECT_EQ(model_layer(layer).ownName, stored);
    };
    const std::u16string unicode = u"Ünïcødé 名前 \U0001F600";
    name_is(unicode, A_Err_NONE, "Ünïcødé 名前 \xF0\x9F\x98\x80");
    OK(layers12().AEGP_GetLayerName(plugin_, layer, &own, nullptr));
    EXPECT_EQ(take_text<char16_t>(own), unicode);
    name_is(std::u16string(255, u'a'), A_Err_NONE, std::string(255, 'a'));
    name_is(std::u16string(256, u'b'), A_Err_PARAMETER, std::string(255, 'a'));
    // A cut surrogate pair becomes U+FFFD.
    name_is(std::u16string(254, u'c') + u"\xD83D", A_Err_NONE,
            std::string(254, 'c') + "\xEF\xBF\xBD");
}

TEST_F(LayerSuites, TimesUseTheCompositionsTimeBase) {
    // Pre Layer: in point 1 s, duration 5 s, offset 2 s, in a 30 fps composition.
    AEGP_LayerH layer = layer_at("Main", 0);
    const auto& s = layers();
    const auto time_is = [](A_Time t, A_long value, A_u_long scale) {
        EXPECT_EQ(t.value, value);
        EXPECT_EQ(t.scale, scale);
    };
    time_is(got<A_Time>(s.AEGP_GetLayerInPoint, layer, 0), 30, 30);  // layer time
    time_is(got<A_Time>(s.AEGP_GetLayerInPoint, layer, 1), 90, 30);  // composition time
    time_is(got<A_Time>(s.AEGP_GetLayerDuration, layer, 0), 150, 30);
    time_is(got<A_Time>(s.AEGP_GetLayerDuration, layer, 1), 150, 30);
    time_is(got<A_Time>(s.AEGP_GetLayerOffset, layer), 60, 30);
    // Setting in composition time subtracts the offset; any scale is taken.
    const A_Time in{7, 2}, duration{1, 4}, zero{0, 30};
    OK(s.AEGP_SetLayerInPointAndDuration(layer, 1, &in, &duration));
    EXPECT_EQ(model_layer(layer).inPoint, Rational::of(3, 2));
    EXPECT_EQ(model_layer(layer).duration, Rational::of(1, 4));
    EXPECT_EQ(s.AEGP_SetLayerInPointAndDuration(layer, 0, &in, &zero), A_Err_PARAMETER);

    // 29.97 fps: the scale is 30000 and whole frames are multiples of 1001;
    // at 30 fps a time between ticks rounds to the nearest one, halves away from zero.
    const std::tuple<AEGP_LayerH, A_Time, A_long, A_u_long> offsets[] = {
        {layer_at("Second", 0), {3 * 1001, 30000}, 3003, 30000},
        {layer, {1, 3}, 10, 30},
        {layer, {1, 60}, 1, 30},
    };
    for (const auto& [target, set, value, scale] : offsets) {
        OK(s.AEGP_SetLayerOffset(target, &set));
        time_is(got<A_Time>(s.AEGP_GetLayerOffset, target), value, scale);
    }
}

TEST_F(LayerSuites, FlagsAndObjectTypes) {
    const std::tuple<const char*, A_long, AEGP_ObjectType, bool> cases[] = {
        {"Main", 0, AEGP_ObjectType_AV, false},   {"Main", 2, AEGP_ObjectType_CAMERA, true},
        {"Main", 3, AEGP_ObjectType_LIGHT, true}, {"Second", 1, AEGP_ObjectType_VECTOR, false},
        {"Pre", 2, AEGP_ObjectType_TEXT, false},
    };
    for (const auto& [comp, index, type, threeD] : cases) {
        EXPECT_EQ(got<AEGP_ObjectType>(layers().AEGP_GetLayerObjectType, layer_at(comp, index)),
                  type);
        EXPECT_EQ(got<A_Boolean>(layers().AEGP_IsLayer3D, layer_at(comp, index)) != 0, threeD);
    }
    AEGP_LayerH pre = layer_at("Main", 0);
    OK(suite<AEGP_LayerSuite_v10>().AEGP_SetLayerFlag(pre, AEGP_LayerFlag_VIDEO_ACTIVE, 0));
    EXPECT_EQ(model_layer(pre).flags & AEGP_LayerFlag_VIDEO_ACTIVE, 0u);
    OK(layers().AEGP_SetLayerFlag(pre, AEGP_LayerFlag_LAYER_IS_3D, 1));
    EXPECT_TRUE(got<A_Boolean>(layers().AEGP_IsLayer3D, pre));
    OK(layers().AEGP_SetLayerFlag(pre, AEGP_LayerFlag_TIME_REMAPPING, 1));
    EXPECT_EQ(layers().AEGP_SetLayerFlag(layer_at("Main", 1), AEGP_LayerFlag_TIME_REMAPPING, 1),
              A_Err_PARAMETER)
        << "a solid has no time to remap";
    EXPECT_EQ(layers().AEGP_SetLayerFlag(pre, 0, 1), A_Err_PARAMETER);
    EXPECT_EQ(layers().AEGP_SetLayerFlag(pre, 0x1000, 1), A_Err_PARAMETER);
}

TEST_F(LayerSuites, SourcesParentsAndStackThroughSuites) {
    AEGP_LayerH a = layer_at("Pre", 0), b = layer_at("Pre", 1), words = layer_at("Pre", 2);
    EXPECT_EQ(got<AEGP_LayerH>(layers().AEGP_GetLayerParent, b), a);
    EXPECT_EQ(got<AEGP_LayerH>(layers().AEGP_GetLayerParent, a), nullptr);
    EXPECT_EQ(layers().AEGP_SetLayerParent(a, b), A_Err_PARAMETER) << "cycle";
    EXPECT_EQ(layers().AEGP_SetLayerParent(a, layer_at("Main", 1)), A_Err_PARAMETER)
        << "other comp";
    EXPECT_EQ(layers().AEGP_SetLayerParent(words, b), A_Err_NONE);
    EXPECT_EQ(got<AEGP_ItemH>(layers().AEGP_GetLayerSourceItem, words), nullptr)
        << "text shows none";
    const auto& layers13 = suite<AEGP_LayerSuite_v13>();
    EXPECT_EQ(got<AEGP_ItemH>(layers13.AEGP_GetLayerSourceItem, layer_at("Main", 0)),
              item_named("Pre"));
    EXPECT_EQ(got<A_long>(layers13.AEGP_GetCompNumLayers, comp_named("Main")), 5);
    OK(layers12().AEGP_ReorderLayer(words, 0));
    EXPECT_EQ(got<A_long>(layers().AEGP_GetLayerIndex, a), 1);
}

TEST_F(LayerSuites, ItemsWalkFromTheRootFolderInScriptOrder) {
    const auto projectH = got<AEGP_ProjectH>(suite<AEGP_ProjSuite_v9>().AEGP_GetProjectByIndex, 0);
    const auto& walk = suite<AEGP_ItemSuite_v13>();
    std::vector<A_long> ids;
    std::vector<AEGP_ItemType> types;
    const AEGP_ItemH root = got<AEGP_ItemH>(walk.AEGP_GetFirstProjItem, projectH);
    for (AEGP_ItemH item = root; item != nullptr;
         item = got<AEGP_ItemH>(walk.AEGP_GetNextProjItem, projectH, item)) {
        ids.push_back(got<A_long>(walk.AEGP_GetItemID, item));
        types.push_back(got<AEGP_ItemType>(walk.AEGP_GetItemType, item));
    }
    std::vector<A_long> expected{project().rootFolder};
    for (const auto& i : project().items) expected.push_back(i.id);
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(types, (std::vector<AEGP_ItemType>{1, 1, 4, 4, 4, 2, 2, 2}));
    EXPECT_EQ(items().AEGP_DeleteItem(nullptr), A_Err_STRUCT);
    EXPECT_EQ(items().AEGP_DeleteItem(root), A_Err_PARAMETER);
    AEGP_CompH comp = nullptr;
    EXPECT_EQ(comps().AEGP_GetCompFromItem(root, &comp), A_Err_PARAMETER);
    EXPECT_EQ(comps().AEGP_GetCompFromItem(item_named("Clip"), &comp), A_Err_PARAMETER);
}

TEST_F(LayerSuites, ActiveAndSelectedItems) {
    const AEGP_ItemH active = got<AEGP_ItemH>(items3().AEGP_GetActiveItem);
    EXPECT_EQ(active, item_named("Main"));
    EXPECT_FALSE(got<A_Boolean>(items3().AEGP_IsItemSelected, active));
    host::model::find_item(project(), project().activeItem)->selected = true;
    EXPECT_TRUE(got<A_Boolean>(items3().AEGP_IsItemSelected, active));
    project().activeItem = host::model::kNoId;
    EXPECT_EQ(got<AEGP_ItemH>(items3().AEGP_GetActiveItem), nullptr);
}

TEST_F(LayerSuites, PixelAspectRatiosAndFootageInterpretation) {
    const auto ratio_of = [&](const char* item) {
        const auto r =
            got<A_Ratio>(suite<AEGP_ItemSuite_v7>().AEGP_GetItemPixelAspectRatio, item_named(item));
        return std::to_string(r.num) + ":" + std::to_string(r.den);
    };
    EXPECT_EQ(ratio_of("Pre"), "4:3");
    EXPECT_EQ(ratio_of("Main"), "1:1");
    EXPECT_EQ(ratio_of("Solid B"), "10:11");
    A_Ratio ratio{};
    EXPECT_EQ(suite<AEGP_ItemSuite_v7>().AEGP_GetItemPixelAspectRatio(item_named("Comps"), &ratio),
              A_Err_PARAMETER);

    const auto& footage = suite<AEGP_FootageSuite_v11>();
    AEGP_ItemH solid = item_named("Solid A");
    AEGP_FootageInterp record =
        got<AEGP_FootageInterp>(footage.AEGP_GetFootageInterpretation, solid, 0);
    EXPECT_EQ(record.pix_aspect_ratio.num, 1);
    record.pix_aspect_ratio = {4, 3};
    OK(footage.AEGP_SetFootageInterpretation(solid, 0, &record));
    EXPECT_EQ(ratio_of("Solid A"), "4:3");
    AEGP_FootageInterp blank;
    std::memset(&blank, 0, sizeof blank);
    blank.pix_aspect_ratio = {2, 1};
    EXPECT_EQ(footage.AEGP_SetFootageInterpretation(solid, 0, &blank), A_Err_PARAMETER)
        << "a record that was never read from the item";
    record.pix_aspect_ratio = {0, 1};
    EXPECT_EQ(footage.AEGP_SetFootageInterpretation(solid, 0, &record), A_Err_PARAMETER);
    EXPECT_EQ(footage.AEGP_GetFootageInterpretation(solid, 1, &record), A_Err_PARAMETER) << "proxy";
    EXPECT_EQ(footage.AEGP_GetFootageInterpretation(item_named("Main"), 0, &record),
              A_Err_PARAMETER);
}

TEST_F(LayerSuites, NullsAreMadeOnTopOfTheComposition) {
    AEGP_LayerH null = make_null("Main", {90, 30}, u"{{Intro_outfold}}");
    const host::model::Layer& made = model_layer(null);
    EXPECT_EQ(made.ownName, "{{Intro_outfold}}");
    EXPECT_TRUE(made.isNull);
    EXPECT_EQ(made.duration, Rational::of(3));
    EXPECT_EQ(got<A_long>(layers().AEGP_GetLayerIndex, null), 0);
    const auto solid = got<AEGP_ItemH>(layers().AEGP_GetLayerSourceItem, null);
    EXPECT_EQ(got<AEGP_ItemType>(items3().AEGP_GetItemType, solid), AEGP_ItemType_FOOTAGE);
    EXPECT_EQ(model_comp("Main").selection.size(), 1u) << "the selection is left alone";
    EXPECT_EQ(got<AEGP_ItemH>(comps().AEGP_GetItemFromComp, comp_named("Main")),
              item_named("Main"));

    const auto& comp25 = suite<AEGP_CompSuite_v25>();
    const A_Time none{0, 30}, duration{90, 30};
    EXPECT_EQ(comp25.AEGP_CreateNullInComp(wide(u"x"), comp_named("Main"), &none, &null),
              A_Err_PARAMETER);
    EXPECT_EQ(comp25.AEGP_CreateNullInComp(wide(std::u16string(300, u'n')), comp_named("Main"),
                                           &duration, &null),
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
    const auto selection = made<AEGP_Collection2H>(comps().AEGP_GetNewCollectionFromCompSelection,
                                                   plugin_, comp_named("Pre"));
    const A_u_long count = got<A_u_long>(collections().AEGP_GetCollectionNumItems, selection);
    ASSERT_EQ(count, 6u);
    // Type, layer, and the index and keyframe/stream a kind carries.
    const std::tuple<AEGP_CollectionItemType, A_long, A_long, A_long> expected[] = {
        {AEGP_CollectionItemType_LAYER, 0, 0, 0},  // layers first, in stack order
        {AEGP_CollectionItemType_LAYER, 2, 0, 0},  {AEGP_CollectionItemType_KEYFRAME, 1, 1, 3},
        {AEGP_CollectionItemType_MASK, 0, 2, 0},   {AEGP_CollectionItemType_EFFECT, 1, 1, 0},
        {AEGP_CollectionItemType_STREAM, 0, 0, 4},
    };
    for (A_u_long i = 0; i < count; ++i) {
        const auto& [type, layer, index, extra] = expected[i];
        const auto item =
            got<AEGP_CollectionItemV2>(collections().AEGP_GetCollectionItemByIndex, selection, i);
        EXPECT_EQ(item.type, type) << i;
        EXPECT_EQ(item.u.layer.layerH, layer_at("Pre", layer)) << i;
        EXPECT_EQ(item.stream_refH, nullptr);
        if (type == AEGP_CollectionItemType_KEYFRAME) {
            EXPECT_EQ(item.u.keyframe.index, index);
            EXPECT_EQ(item.u.keyframe.keyframe, extra);
        } else if (type == AEGP_CollectionItemType_MASK) {
            EXPECT_EQ(item.u.mask.index, index);
        } else if (type == AEGP_CollectionItemType_STREAM) {
            EXPECT_EQ(item.u.stream.stream, extra);
        }
    }
    AEGP_CollectionItemV2 item{};
    EXPECT_EQ(collections().AEGP_GetCollectionItemByIndex(selection, count, &item),
              A_Err_PARAMETER);

    // Handing the collection back as the selection keeps it as it was.
    const auto before = pre.selection;
    const auto& comp14 = suite<AEGP_CompSuite_v14>();
    OK(comp14.AEGP_SetSelection(comp_named("Pre"), selection));
    EXPECT_EQ(pre.selection.size(), before.size());
    OK(collections().AEGP_DisposeCollection(selection));

    // A collection with a layer of another composition is refused whole.
    const auto mixed = made<AEGP_Collection2H>(collections().AEGP_NewCollection, plugin_);
    item.type = AEGP_CollectionItemType_LAYER;
    item.u.layer.layerH = layer_at("Pre", 1);
    OK(collections().AEGP_CollectionPushBack(mixed, &item));
    item.u.layer.layerH = layer_at("Main", 1);
    OK(collections().AEGP_CollectionPushBack(mixed, &item));
    EXPECT_EQ(comp14.AEGP_SetSelection(comp_named("Pre"), mixed), A_Err_PARAMETER);
    EXPECT_EQ(pre.selection.size(), before.size());
    item.type = 99;
    EXPECT_EQ(collections().AEGP_CollectionPushBack(mixed, &item), A_Err_PARAMETER);
    item.type = AEGP_CollectionItemType_LAYER;
    item.u.layer.layerH = nullptr;
    EXPECT_EQ(collections().AEGP_CollectionPushBack(mixed, &item), A_Err_STRUCT);
    OK(collections().AEGP_DisposeCollection(mixed));
}

}  // namespace
