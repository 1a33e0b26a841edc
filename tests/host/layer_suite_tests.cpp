#include "host_fixture.h"

namespace {

using namespace host_test;

using LayerSuites = BasicProjectTest;

std::string str(A_Time t) { return std::to_string(t.value) + "/" + std::to_string(t.scale); }

TEST_F(LayerSuites, EightBitNamesFitTheCallersBufferAndWideOnesAreCheckedAndRepaired) {
    AEGP_LayerH layer = layer_at("Main", 1);  // shows its source's name
    const std::pair<std::u16string, std::string> cases[] = {
        {u"", ""},
        {u"exactly thirty-one characters!!", "exactly thirty-one characters!!"},
        {u"thirty-two characters, one over!", "thirty-two characters, one over"},
        // "é" is two bytes: 15 of them are 30 bytes, the 16th would be 32.
        {u"éééééééééééééééé", "ééééééééééééééé"}};
    for (const auto& [set, own] : cases) {
        OK(layers12().AEGP_SetLayerName(layer, wide(set)));
        std::string gotOwn(40, 'x'), source(40, 'x');
        OK(layers().AEGP_GetLayerName(layer, gotOwn.data(), source.data()));
        EXPECT_EQ(gotOwn.c_str(), own);
        EXPECT_STREQ(source.c_str(), "Solid A");
        EXPECT_EQ(gotOwn[32], 'x') << "nothing is written past 32 bytes";
        EXPECT_EQ(source[32], 'x');
    }
    EXPECT_EQ(layers().AEGP_GetLayerName(layer, nullptr, nullptr), A_Err_NONE) << "both optional";
    char source[32] = "x";
    OK(layers().AEGP_GetLayerName(layer_at("Main", 2), nullptr, source));
    EXPECT_STREQ(source, "") << "a camera shows no source";
    const std::tuple<std::u16string, A_Err, std::string> wideCases[] = {
        {std::u16string(256, u'b'), A_Err_PARAMETER, "éééééééééééééééé"},
        {std::u16string(254, u'c') + u"\xD83D", A_Err_NONE,
         std::string(254, 'c') + "\xEF\xBF\xBD"}};
    for (const auto& [set, err, stored] : wideCases) {
        EXPECT_EQ(layers12().AEGP_SetLayerName(layer, wide(set)), err);
        EXPECT_EQ(model_layer(layer).ownName, stored);
    }
}

TEST_F(LayerSuites, TimesUseTheCompositionsTimeBase) {
    // Pre Layer: in point 1 s, duration 5 s, offset 2 s, in a 30 fps composition.
    AEGP_LayerH layer = layer_at("Main", 0);
    const auto& s = layers();
    EXPECT_EQ(str(got<A_Time>(s.AEGP_GetLayerInPoint, layer, 0)), "30/30");  // layer time
    const A_Time in{7, 2}, zero{0, 30};
    EXPECT_EQ(s.AEGP_SetLayerInPointAndDuration(layer, 0, &in, &zero), A_Err_PARAMETER);

    // 29.97 fps keeps 1001 ticks a frame; 30 fps rounds halves away from zero.
    const std::tuple<AEGP_LayerH, A_Time, const char*> offsets[] = {
        {layer_at("Second", 0), {3 * 1001, 30000}, "3003/30000"},
        {layer, {1, 3}, "10/30"},
        {layer, {1, 60}, "1/30"}};
    for (const auto& [target, set, expected] : offsets) {
        OK(s.AEGP_SetLayerOffset(target, &set));
        EXPECT_EQ(str(got<A_Time>(s.AEGP_GetLayerOffset, target)), expected);
    }
}

TEST_F(LayerSuites, CompositionTimesGoThroughTheStretch) {
    // Pre Layer: in point 1 s, duration 5 s, offset 2 s; a reversed layer
    // starts in the composition with its layer out point.
    struct Case {
        A_Ratio stretch;
        const char *compIn, *compDuration, *compOfLayer3s, *layerOfComp;
        A_Time setIn, setDuration;
        const char *layerIn, *layerDuration;
    };
    const Case cases[] = {
        {{2, 1}, "120/30", "300/30", "240/30", "90/30", {6, 1}, {4, 1}, "60/30", "60/30"},
        {{-1, 1}, "-120/30", "150/30", "-30/30", "90/30", {-4, 1}, {2, 1}, "120/30", "60/30"}};
    const auto& s = layers();
    AEGP_LayerH layer = layer_at("Main", 0);
    const host::model::Layer original = model_layer(layer);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stretch.num);
        model_layer(layer) = original;
        OK(s.AEGP_SetLayerStretch(layer, &c.stretch));
        const A_Ratio stretch = got<A_Ratio>(s.AEGP_GetLayerStretch, layer);
        EXPECT_EQ(std::pair(stretch.num, stretch.den), std::pair(c.stretch.num, c.stretch.den));
        EXPECT_EQ(str(got<A_Time>(s.AEGP_GetLayerOffset, layer)), "60/30") << "offset kept";
        EXPECT_EQ(str(got<A_Time>(s.AEGP_GetLayerInPoint, layer, AEGP_LTimeMode_CompTime)),
                  c.compIn);
        EXPECT_EQ(str(got<A_Time>(s.AEGP_GetLayerDuration, layer, AEGP_LTimeMode_CompTime)),
                  c.compDuration);
        const A_Time three{3, 1};
        const A_Time comp = got<A_Time>(s.AEGP_ConvertLayerToCompTime, layer, &three);
        EXPECT_EQ(str(comp), c.compOfLayer3s);
        EXPECT_EQ(str(got<A_Time>(s.AEGP_ConvertCompToLayerTime, layer, &comp)), c.layerOfComp);
        OK(s.AEGP_SetLayerInPointAndDuration(layer, AEGP_LTimeMode_CompTime, &c.setIn,
                                             &c.setDuration));
        EXPECT_EQ(str(got<A_Time>(s.AEGP_GetLayerInPoint, layer, AEGP_LTimeMode_LayerTime)),
                  c.layerIn);
        EXPECT_EQ(str(got<A_Time>(s.AEGP_GetLayerDuration, layer, AEGP_LTimeMode_LayerTime)),
                  c.layerDuration);
        EXPECT_EQ(str(got<A_Time>(s.AEGP_GetLayerInPoint, layer, AEGP_LTimeMode_CompTime)),
                  str({c.setIn.value * 30, 30}))
            << "what was set reads back";
    }
}

TEST_F(LayerSuites, TransferModesAndTrackMattesOfAMattePair) {
    const auto& s = layers();
    AEGP_LayerH matte = layer_at("Main", 0), matted = layer_at("Main", 1);
    const AEGP_LayerTransferMode set{4, AEGP_TransferFlag_PRESERVE_ALPHA, AEGP_TrackMatte_LUMA};
    OK(s.AEGP_SetLayerTransferMode(matted, &set));
    const auto read = got<AEGP_LayerTransferMode>(s.AEGP_GetLayerTransferMode, matted);
    EXPECT_EQ(std::tuple(read.mode, read.flags, read.track_matte),
              std::tuple(set.mode, set.flags, set.track_matte));
    EXPECT_EQ(got<AEGP_LayerTransferMode>(s.AEGP_GetLayerTransferMode, matte).mode,
              PF_Xfer_IN_FRONT);
    EXPECT_EQ(model_layer(matte).flags & AEGP_LayerFlag_VIDEO_ACTIVE, 0)
        << "the matte's video goes off as the layer below takes it";

    const auto used = [&](AEGP_LayerH l, A_Boolean fillActive) {
        return int{got<A_Boolean>(s.AEGP_IsLayerUsedAsTrackMatte, l, fillActive)};
    };
    const auto has = [&](AEGP_LayerH l) {
        return int{got<A_Boolean>(s.AEGP_DoesLayerHaveTrackMatte, l)};
    };
    EXPECT_EQ(std::tuple(used(matte, 0), used(matte, 1), has(matte), used(matted, 0), has(matted)),
              std::tuple(1, 1, 0, 0, 1));
    OK(s.AEGP_SetLayerFlag(matted, AEGP_LayerFlag_VIDEO_ACTIVE, 0));
    EXPECT_EQ(std::pair(used(matte, 0), used(matte, 1)), std::pair(1, 0)) << "the fill is off";
    // The top layer has nothing above it to matte it.
    const AEGP_LayerTransferMode topMatte{2, 0, AEGP_TrackMatte_ALPHA};
    OK(s.AEGP_SetLayerTransferMode(matte, &topMatte));
    EXPECT_EQ(has(matte), 0);

    const A_Ratio zero{0, 1}, noDen{1, 0};
    const A_Time badTime{1, 0};
    A_Time t{};
    const AEGP_LayerTransferMode bad[] = {
        {39, 0, 0}, {-2, 0, 0}, {2, 0x4, 0}, {2, 0, 5}, {2, 0, -1}};
    for (const auto& record : bad)
        EXPECT_EQ(s.AEGP_SetLayerTransferMode(matted, &record), A_Err_PARAMETER) << record.mode;
    expect_errs(A_Err_PARAMETER,
                {{"stretch 0", s.AEGP_SetLayerStretch(matted, &zero)},
                 {"no denominator", s.AEGP_SetLayerStretch(matted, &noDen)},
                 {"null stretch", s.AEGP_SetLayerStretch(matted, nullptr)},
                 {"scale 0", s.AEGP_ConvertCompToLayerTime(matted, &badTime, &t)}});
    EXPECT_EQ(got<AEGP_LayerTransferMode>(s.AEGP_GetLayerTransferMode, matted).mode, 4);
}

TEST_F(LayerSuites, LayersByIdOnlyInTheirComposition) {
    const auto& s = layers();
    AEGP_LayerH solid = layer_at("Main", 1);
    const auto id = got<AEGP_LayerIDVal>(s.AEGP_GetLayerID, solid);
    EXPECT_EQ(id, model_layer(solid).id);
    EXPECT_EQ(got<AEGP_LayerH>(s.AEGP_GetLayerFromLayerID, comp_named("Main"), id), solid);
    AEGP_LayerH found = nullptr;
    expect_errs(A_Err_PARAMETER,
                {{"another comp", s.AEGP_GetLayerFromLayerID(comp_named("Second"), id, &found)},
                 {"no such id", s.AEGP_GetLayerFromLayerID(comp_named("Main"), 99999, &found)}});
}

TEST_F(LayerSuites, FlagsObjectTypesAndNullsThatLeaveTheSelection) {
    const std::tuple<const char*, A_long, AEGP_ObjectType, bool> cases[] = {
        {"Main", 0, AEGP_ObjectType_AV, false},
        {"Main", 2, AEGP_ObjectType_CAMERA, true},
        {"Main", 3, AEGP_ObjectType_LIGHT, true},
        {"Second", 1, AEGP_ObjectType_VECTOR, false},
        {"Pre", 2, AEGP_ObjectType_TEXT, false}};
    for (const auto& [comp, index, type, threeD] : cases) {
        const AEGP_LayerH l = layer_at(comp, index);
        EXPECT_EQ(got<AEGP_ObjectType>(layers().AEGP_GetLayerObjectType, l), type);
        EXPECT_EQ(got<A_Boolean>(layers().AEGP_IsLayer3D, l) != 0, threeD);
    }
    AEGP_LayerH pre = layer_at("Main", 0);
    OK(layers().AEGP_SetLayerFlag(pre, AEGP_LayerFlag_TIME_REMAPPING, 1));
    const auto set_flag = layers().AEGP_SetLayerFlag;
    expect_errs(A_Err_PARAMETER, {{"a solid has no time to remap",
                                   set_flag(layer_at("Main", 1), AEGP_LayerFlag_TIME_REMAPPING, 1)},
                                  {"no flag", set_flag(pre, 0, 1)},
                                  {"unknown flag", set_flag(pre, 0x1000, 1)}});
    const auto selection = model_comp("Main").selection;
    AEGP_LayerH null = make_null("Main");
    EXPECT_EQ(model_comp("Main").selection, selection);
    const auto create = suite<AEGP_CompSuite_v25>().AEGP_CreateNullInComp;
    const A_Time none{0, 30}, duration{90, 30};
    expect_errs(A_Err_PARAMETER,
                {{"no duration", create(wide(u"x"), comp_named("Main"), &none, &null)},
                 {"long name",
                  create(wide(std::u16string(300, u'n')), comp_named("Main"), &duration, &null)}});
}

TEST_F(LayerSuites, SourcesParentsAndStackThroughSuites) {
    AEGP_LayerH a = layer_at("Pre", 0), b = layer_at("Pre", 1), words = layer_at("Pre", 2);
    EXPECT_EQ(layers().AEGP_SetLayerParent(a, layer_at("Main", 1)), A_Err_PARAMETER)
        << "other comp";
    EXPECT_EQ(got<AEGP_ItemH>(layers().AEGP_GetLayerSourceItem, words), nullptr)
        << "text shows none";
    const auto& layers13 = suite<AEGP_LayerSuite_v13>();
    EXPECT_EQ(got<AEGP_ItemH>(layers13.AEGP_GetLayerSourceItem, layer_at("Main", 0)),
              item_named("Pre"));
    EXPECT_EQ(got<A_long>(layers13.AEGP_GetCompNumLayers, comp_named("Main")), 5);
    const auto index = [&](AEGP_LayerH l) { return got<A_long>(layers().AEGP_GetLayerIndex, l); };
    OK(layers12().AEGP_ReorderLayer(words, 0));
    EXPECT_EQ(std::tuple(index(words), index(a), index(b)), std::tuple(0, 1, 2));
    OK(layers12().AEGP_ReorderLayer(words, 2));
    EXPECT_EQ(std::tuple(index(a), index(b), index(words)), std::tuple(0, 1, 2));
}

TEST_F(LayerSuites, ItemsWalkFromTheRootFolderInScriptOrder) {
    const auto projectH = got<AEGP_ProjectH>(suite<AEGP_ProjSuite_v9>().AEGP_GetProjectByIndex, 0);
    const auto& walk = suite<AEGP_ItemSuite_v13>();
    std::vector<A_long> ids, expected{project().rootFolder};
    std::vector<AEGP_ItemType> types;
    const AEGP_ItemH root = got<AEGP_ItemH>(walk.AEGP_GetFirstProjItem, projectH);
    for (AEGP_ItemH item = root; item != nullptr;
         item = got<AEGP_ItemH>(walk.AEGP_GetNextProjItem, projectH, item)) {
        ids.push_back(got<A_long>(walk.AEGP_GetItemID, item));
        types.push_back(got<AEGP_ItemType>(walk.AEGP_GetItemType, item));
    }
    for (const auto& i : project().items) expected.push_back(i.id);
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(types, (std::vector<AEGP_ItemType>{1, 1, 4, 4, 4, 2, 2, 2}));
    AEGP_CompH comp = nullptr;
    expect_errs(A_Err_PARAMETER,
                {{"delete the root", items().AEGP_DeleteItem(root)},
                 {"root as comp", comps().AEGP_GetCompFromItem(root, &comp)},
                 {"footage as comp", comps().AEGP_GetCompFromItem(item_named("Clip"), &comp)}});

    project().activeItem = host::model::kNoId;
    EXPECT_EQ(got<AEGP_ItemH>(items3().AEGP_GetActiveItem), nullptr);
}

TEST_F(LayerSuites, PixelAspectRatiosAndFootageInterpretation) {
    const auto& items7 = suite<AEGP_ItemSuite_v7>();
    const auto solidB = got<A_Ratio>(items7.AEGP_GetItemPixelAspectRatio, item_named("Solid B"));
    EXPECT_EQ(std::to_string(solidB.num) + ":" + std::to_string(solidB.den), "10:11");
    const auto& footage = suite<AEGP_FootageSuite_v11>();
    AEGP_ItemH solid = item_named("Solid A");
    auto record = got<AEGP_FootageInterp>(footage.AEGP_GetFootageInterpretation, solid, 0);
    AEGP_FootageInterp blank;
    std::memset(&blank, 0, sizeof blank);
    blank.pix_aspect_ratio = {2, 1};
    A_Ratio ratio{};
    const A_Err unread = footage.AEGP_SetFootageInterpretation(solid, 0, &blank);
    record.pix_aspect_ratio = {0, 1};
    expect_errs(
        A_Err_PARAMETER,
        {{"folder ratio", items7.AEGP_GetItemPixelAspectRatio(item_named("Comps"), &ratio)},
         {"a record that was never read from the item", unread},
         {"ratio 0", footage.AEGP_SetFootageInterpretation(solid, 0, &record)},
         {"proxy", footage.AEGP_GetFootageInterpretation(solid, 1, &record)},
         {"a comp", footage.AEGP_GetFootageInterpretation(item_named("Main"), 0, &record)}});
}

TEST_F(LayerSuites, SelectionsComeAndGoAsCollections) {
    const auto& c = collections();
    auto& pre = *host::model::comp_of(project(), host_test::item_id(project(), "Pre"));
    const auto a = pre.layers[0].id, b = pre.layers[1].id, words = pre.layers[2].id;
    using host::model::SelectionKind;
    pre.selection = {{SelectionKind::Keyframe, b, 1, 3}, {SelectionKind::Layer, words, 0, 0},
                     {SelectionKind::Mask, a, 2, 0},     {SelectionKind::Layer, a, 0, 0},
                     {SelectionKind::Effect, b, 1, 0},   {SelectionKind::Stream, a, 4, 0}};
    const auto selection = made<AEGP_Collection2H>(comps().AEGP_GetNewCollectionFromCompSelection,
                                                   plugin_, comp_named("Pre"));
    const A_u_long count = got<A_u_long>(c.AEGP_GetCollectionNumItems, selection);
    ASSERT_EQ(count, 6u);
    // The kinds' records begin alike, so index and keyframe are read through one.
    const std::tuple<AEGP_CollectionItemType, A_long, A_long, A_long> expected[] = {
        {AEGP_CollectionItemType_LAYER, 0, 0, 0},  // layers first, in stack order
        {AEGP_CollectionItemType_LAYER, 2, 0, 0}, {AEGP_CollectionItemType_KEYFRAME, 1, 1, 3},
        {AEGP_CollectionItemType_MASK, 0, 2, 0},  {AEGP_CollectionItemType_EFFECT, 1, 1, 0},
        {AEGP_CollectionItemType_STREAM, 0, 0, 4}};
    for (A_u_long i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        const auto& [type, layer, index, extra] = expected[i];
        const auto item = got<AEGP_CollectionItemV2>(c.AEGP_GetCollectionItemByIndex, selection, i);
        const bool third =
            type == AEGP_CollectionItemType_KEYFRAME || type == AEGP_CollectionItemType_STREAM;
        EXPECT_EQ(std::tuple(item.type, item.u.layer.layerH, item.stream_refH,
                             type == AEGP_CollectionItemType_LAYER ? 0 : item.u.mask.index,
                             third ? item.u.keyframe.keyframe : 0),
                  std::tuple(type, layer_at("Pre", layer), nullptr, index, extra));
    }
    AEGP_CollectionItemV2 item{};
    EXPECT_EQ(c.AEGP_GetCollectionItemByIndex(selection, count, &item), A_Err_PARAMETER);

    const auto before = pre.selection;
    const auto set_selection = suite<AEGP_CompSuite_v14>().AEGP_SetSelection;
    OK(set_selection(comp_named("Pre"), selection));
    EXPECT_EQ(pre.selection.size(), before.size());
    OK(c.AEGP_DisposeCollection(selection));

    const auto mixed = made<AEGP_Collection2H>(c.AEGP_NewCollection, plugin_);
    item.type = AEGP_CollectionItemType_LAYER;
    for (AEGP_LayerH layer : {layer_at("Pre", 1), layer_at("Main", 1)}) {
        item.u.layer.layerH = layer;
        OK(c.AEGP_CollectionPushBack(mixed, &item));
    }
    EXPECT_EQ(set_selection(comp_named("Pre"), mixed), A_Err_PARAMETER);
    EXPECT_EQ(pre.selection.size(), before.size());
    item.type = 99;
    EXPECT_EQ(c.AEGP_CollectionPushBack(mixed, &item), A_Err_PARAMETER);
    item.type = AEGP_CollectionItemType_LAYER;
    item.u.layer.layerH = nullptr;
    EXPECT_EQ(c.AEGP_CollectionPushBack(mixed, &item), A_Err_STRUCT);
    OK(c.AEGP_DisposeCollection(mixed));
}

}  // namespace
