#include <functional>
#include <limits>

#include "host_fixture.h"
#include "io/project_file.h"
#include "model/frame.h"
#include "model/streams.h"
#include "text/codec.h"

namespace {

using namespace host::model;
using namespace host_test;
using Names = std::vector<std::string>;
using V = std::vector<double>;

Project basic() { return host::io::load_project_file(host_test::fixture("basic.json")); }

Composition& comp(Project& p, const std::string& name) { return *comp_of(p, item_id(p, name)); }

Names layer_names(const Project& p, const std::string& comp) {
    Names names;
    for (const Layer& l : comp_of(p, item_id(p, comp))->layers) names.push_back(shown_name(p, l));
    return names;
}

std::string str(Rational r) { return std::to_string(r.num) + "/" + std::to_string(r.den); }

TEST(Rational, ArithmeticIsExactReducedAndSafe) {
    using R = Rational;
    const std::pair<Rational, const char*> cases[] = {
        {R::of(1, 3) + R::of(1, 6), "1/2"}, {R::of(1, 3) - R::of(1, 2), "-1/6"},
        {R::of(2, 3) * R::of(9, 4), "3/2"}, {R::of(2, 3) / R::of(4, 9), "3/2"},
        {R::of(-4, -8) + R::of(0), "1/2"},  {R::of(3, -9) + R::of(0), "-1/3"}};
    for (const auto& [got, expected] : cases) EXPECT_EQ(str(got), expected);
    EXPECT_TRUE(R::of(1, 3) < R::of(1, 2));
    EXPECT_TRUE(R::of(-1, 2) < R::of(-1, 3));
    EXPECT_TRUE(R::of(3) > R::of(29, 10));
    EXPECT_DOUBLE_EQ(R::of(3, 4).seconds(), 0.75);
    const std::int64_t big = std::numeric_limits<std::int64_t>::max() / 3;
    const Rational a = R::of(big, big - 1), b = R::of(big - 1, big);
    EXPECT_EQ(a * b, R::of(1));
    EXPECT_TRUE(b < a);
    EXPECT_FALSE(a < b);
    EXPECT_THROW(R::of(std::numeric_limits<std::int64_t>::max()) * R::of(2), std::overflow_error);
    EXPECT_THROW(R::of(1, 0), std::domain_error);
    EXPECT_THROW(R::of(1) / R::of(0), std::domain_error);
}

TEST(ProjectModel, DeletingItemsRemovesTheirLayersAndAFoldersContents) {
    Project p = basic();
    EXPECT_EQ(item_script_index(p, 9999), 0);
    const Id pre = item_id(p, "Pre");
    ASSERT_EQ(count_item_users(p, pre), 2);
    delete_item(p, pre);
    EXPECT_EQ(layer_names(p, "Main"), (Names{"Solid A", "Cam", "Lamp", "Clip"}));
    EXPECT_EQ(layer_names(p, "Second"), (Names{"Blob"}));
    EXPECT_TRUE(comp(p, "Main").selection.empty()) << "the selected user went";

    p = basic();
    delete_item(p, item_id(p, "Solid A"));
    EXPECT_EQ(layer_names(p, "Main"), (Names{"Pre Layer", "Cam", "Lamp", "Clip"}));
    EXPECT_EQ(layer_named(p, "Pre", "B").parent, kNoId) << "B lost its parent together with A";
    const Id inner = add_folder(p, "Inner", item_id(p, "Comps")).id;
    find_item(p, item_id(p, "Pre"))->folder = inner;
    delete_item(p, item_id(p, "Comps"));
    EXPECT_EQ(find_item_by_name(p, "Pre"), nullptr);
    EXPECT_EQ(find_item_by_name(p, "Main"), nullptr);
    EXPECT_EQ(p.activeItem, kNoId) << "the active composition was deleted";
    EXPECT_EQ(layer_names(p, "Second"), (Names{"Blob"}));
    EXPECT_NO_THROW(check_invariants(p));
    EXPECT_THROW(delete_item(p, p.rootFolder), ModelError);
    EXPECT_THROW(delete_item(p, 9999), ModelError);
}

TEST(ProjectModel, ParentLinksStayInOneCompositionWithoutCycles) {
    Project p = basic();
    const Id a = layer_named(p, "Pre", "A").id, b = layer_named(p, "Pre", "B").id;
    const Id words = layer_named(p, "Pre", "Words").id;
    const std::tuple<Id, Id, bool> cases[] = {
        {a, b, false},         // B already hangs on A
        {a, a, false},         // a layer is not its own parent
        {words, b, true},      // Words -> B -> A
        {a, words, false},     // A -> Words -> B -> A
        {words, kNoId, true},  // clearing
        {a, 9999, false},      // no such layer
    };
    for (const auto& [child, parent, accepted] : cases) {
        SCOPED_TRACE(std::to_string(child) + "->" + std::to_string(parent));
        const Id before = find_layer(p, child)->parent;
        if (accepted) {
            EXPECT_NO_THROW(set_parent(p, child, parent));
        } else {
            EXPECT_THROW(set_parent(p, child, parent), ModelError);
        }
        EXPECT_EQ(find_layer(p, child)->parent, accepted ? parent : before);
    }
    EXPECT_NO_THROW(check_invariants(p));

    comp(p, "Pre").selection = {{SelectionKind::Layer, a, 0, 0},
                                {SelectionKind::Mask, a, 0, 0},
                                {SelectionKind::Layer, b, 0, 0}};
    delete_layer(p, a);
    ASSERT_EQ(comp(p, "Pre").selection.size(), 1u);
    EXPECT_EQ(comp(p, "Pre").selection[0].layer, b);
    EXPECT_THROW(delete_layer(p, a), ModelError);
}

TEST(ProjectModel, NullLayersGetNumberedSolidsInASolidsFolder) {
    Project p = basic();
    const Id main = item_id(p, "Main");
    ASSERT_EQ(find_item_by_name(p, "Solids"), nullptr);
    add_footage(p, "Null 7b", Footage{}, kNoId);  // not a numbered null: its number is no number
    const std::size_t itemsBefore = p.items.size();
    const Layer first = create_null_layer(p, main, "Carrier", Rational::of(5));
    const Item* solids = find_item_by_name(p, "Solids");
    ASSERT_TRUE(solids != nullptr && solids->kind == ItemKind::Folder);
    EXPECT_EQ(p.items.size(), itemsBefore + 2) << "the folder and the solid";
    const Item* solid1 = find_item(p, first.source);
    ASSERT_TRUE(solid1 != nullptr && solid1->footage);
    EXPECT_EQ(std::tuple(solid1->name, solid1->folder, solid1->footage->kind, first.kind),
              std::tuple("Null 1", solids->id, FootageKind::Solid, LayerKind::AV));

    const Layer second = create_null_layer(p, main, "", Rational::of(1, 2));
    EXPECT_EQ(find_item(p, second.source)->name, "Null 2");
    EXPECT_EQ(shown_name(p, second), "Null 2") << "without a name it shows its solid's";
    EXPECT_EQ(p.items.size(), itemsBefore + 3) << "the folder is made once";
    EXPECT_THROW(create_null_layer(p, main, "x", Rational::of(0)), ModelError);
    EXPECT_THROW(create_null_layer(p, item_id(p, "Solid A"), "x", Rational::of(1)), ModelError);
    EXPECT_NO_THROW(check_invariants(p));
}

TEST(LayerStreams, EachKindOfLayerHasItsStreamsDefaultsAndLegalOnes) {
    Project p = basic();
    using Streams = std::vector<int>;
    const std::tuple<const char*, const char*, Streams, Streams> cases[] = {
        {"Main", "Pre Layer", {0, 1, 2, 3, 4, 6, 7, 8, 9, 10}, {5, 11, 16, stream::kSourceText}},
        {"Main", "Clip", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {11, stream::kSourceText}},
        {"Main", "Cam", {0, 1, 3, 6, 8, 9, 10, 11, 12, 13, 14, 15}, {2, 4, 5, 7, 16}},
        {"Main", "Lamp", {0, 1, 3, 6, 8, 9, 10, 16, 17, 18, 19, 20, 21}, {2, 4, 7, 11}},
        {"Pre", "Words", {0, 1, 2, 3, 4, 6, 8, 9, 10, stream::kSourceText}, {5, 7, 11}},
        {"Second", "Blob", {0, 1, 2, 3, 4, 6, 8, 9, 10}, {5, 7, stream::kSourceText}}};
    for (const auto& [comp, name, has, lacks] : cases) {
        const Layer& l = layer_named(p, comp, name);
        for (int n : has) EXPECT_EQ(l.streams.count(n), 1u) << name << " stream " << n;
        for (int n : lacks) EXPECT_EQ(l.streams.count(n), 0u) << name << " stream " << n;
    }
    const auto& solid = layer_named(p, "Main", "Solid A").streams;
    EXPECT_EQ(solid.at(stream::kAnchorPoint).value, (V{100, 50, 0}));
    EXPECT_EQ(solid.at(stream::kPosition).value, (V{960, 540, 0}));
    EXPECT_EQ(solid.at(stream::kScale).value, (V{100, 100, 100}));
    EXPECT_EQ(solid.at(stream::kOpacity).value, V{100});
    EXPECT_EQ(layer_named(p, "Pre", "Words").streams.at(stream::kSourceText).text, "hello");

    const std::tuple<const char*, int, bool> legality[] = {
        {"Pre Layer", stream::kTimeRemap, true},
        {"Pre Layer", stream::kRotateX, false},
        {"Pre Layer", stream::kAudioLevels, false},
        {"Solid A", stream::kTimeRemap, false},
        {"Clip", stream::kTimeRemap, true},
        {"Clip", stream::kAudioLevels, true},
        {"Cam", stream::kOrientation, true},
        {"Cam", stream::kZoom, true},
        {"Cam", stream::kOpacity, false}};
    for (const auto& [name, which, legal] : legality)
        EXPECT_EQ(is_stream_legal(p, layer_named(p, "Main", name), which), legal)
            << name << " " << which;
}

TEST(LayerStreams, ValuesAndTurnsBetweenKeyframesInterpolate) {
    Stream s{.kind = StreamKind::TwoD, .value = {7, 7}};
    EXPECT_EQ(value_at(s, Rational::of(3)), (V{7, 7})) << "held value";
    Keyframe k0 = new_keyframe(s, Rational::of(1)), k1 = new_keyframe(s, Rational::of(3));
    k0.value = {0, 10};
    k1.value = {10, 30};
    EXPECT_EQ(insert_keyframe(s, k1), 0);
    EXPECT_EQ(insert_keyframe(s, k0), 0) << "sorted by time";
    const std::pair<Rational, V> cases[] = {
        {Rational::of(0), {0, 10}},      {Rational::of(1), {0, 10}},  {Rational::of(2), {5, 20}},
        {Rational::of(5, 2), {7.5, 25}}, {Rational::of(3), {10, 30}}, {Rational::of(9), {10, 30}}};
    for (const auto& [t, value] : cases) EXPECT_EQ(value_at(s, t), value) << t.seconds();
    s.keyframes[0].outInterp = Interpolation::Hold;
    EXPECT_EQ(value_at(s, Rational::of(2)), (V{0, 10}));
    EXPECT_EQ(new_keyframe(s, Rational::of(1)).inEase.size(), 2u)
        << "one ease per temporal dimension";
    // Near half turns about each axis reach each way of reading a rotation back as a quaternion.
    const std::function<Mat3(double)> axes[] = {rotation_x, rotation_y, rotation_z};
    for (const auto& about : axes) {
        for (const auto& [from, to] : {std::pair(10.0, 30.0), std::pair(170.0, 190.0)}) {
            for (const double f : {0.0, 0.25, 0.5, 1.0}) {
                const Mat3 got = turn_between(about(from), about(to), f);
                const Mat3 want = about(from + f * (to - from));
                for (int i = 0; i < 3; ++i)
                    for (int j = 0; j < 3; ++j)
                        EXPECT_NEAR(got[i][j], want[i][j], 1e-9)
                            << from << " -> " << to << " at " << f;
            }
        }
    }
}

// Keys at 0 s and 1 s. With influences of a third each way the time cubic is the identity,
// so the value is the cubic of start, handle, handle, end at u = t.
TEST(LayerStreams, BezierSegmentsFollowTheirEasesAndPaths) {
    constexpr double kThird = 100.0 / 3;
    using E = std::vector<Ease>;
    const E still{{0, kThird}};
    const Interpolation B = Interpolation::Bezier, L = Interpolation::Linear;
    const auto segment = [](StreamKind kind, V from, V to, Interpolation out, Interpolation in) {
        Stream s{.kind = kind, .value = from};
        Keyframe a = new_keyframe(s, Rational::of(0)), b = new_keyframe(s, Rational::of(1));
        a.value = std::move(from);
        b.value = std::move(to);
        a.outInterp = out;
        b.inInterp = in;
        insert_keyframe(s, a);
        insert_keyframe(s, b);
        return s;
    };
    const auto expect_near = [](const V& got, const V& want, const char* label) {
        ASSERT_EQ(got.size(), want.size()) << label;
        for (std::size_t d = 0; d < got.size(); ++d) EXPECT_NEAR(got[d], want[d], 1e-6) << label;
    };
    struct Temporal {
        const char* label;
        V from, to;
        Interpolation out;
        E outEase, inEase;
        int sixteenths;
        V want;
    };
    const Temporal temporal[] = {
        // 10 (3u - 3u^2 + u^3): the out handle at (1/3, 10)
        {"1D leaving fast", {0}, {10}, B, {{30, kThird}}, still, 8, {8.75}},
        {"1D eased both ways", {0}, {10}, B, still, still, 4, {1.5625}},  // 10 (3u^2 - 2u^3)
        // t(1/2) = 1/2 by symmetry; handles (1/2, 0) and (1/2, 10 - 20 / 2): 10 u^3
        {"1D half influences, arriving fast", {0}, {10}, B, {{0, 50}}, {{20, 50}}, 8, {1.25}},
        // the linear side's handle on the chord: (1/3, 10/3)
        {"1D linear out, bezier in", {0}, {10}, L, still, still, 8, {6.25}},
        {"scale, an ease per dimension",
         {0, 0, 100},
         {10, 20, 100},
         B,
         {{30, kThird}, still[0], still[0]},
         E(3, still[0]),
         4,
         {5.78125, 3.125, 100}},
    };
    for (const Temporal& r : temporal) {
        Stream s = segment(r.from.size() == 1 ? StreamKind::OneD : StreamKind::ThreeD, r.from, r.to,
                           r.out, B);
        s.keyframes[0].outEase = r.outEase;
        s.keyframes[1].inEase = r.inEase;
        expect_near(value_at(s, Rational::of(r.sixteenths, 16)), r.want, r.label);
    }
    // Position from (0, 0, 0) to (100, 0, 0).
    struct Spatial {
        const char* label;
        Interpolation interpolation;
        double outSpeed;
        V outTangent, inTangent;
        int sixteenths;
        V want;
    };
    const Spatial spatial[] = {
        // straight but uneven in its parameter: the ease gives 0.15625 of the length
        {"straight path", B, 0, {60, 0, 0}, {0, 0, 0}, 4, {15.625, 0, 0}},
        // symmetric path and ease: half the length at u = 1/2, (P0 + 3 C1 + 3 C2 + P3) / 8
        {"curved path", B, 0, {0, 50, 0}, {0, 50, 0}, 8, {50, 37.5, 0}},
        {"linear keys on a curved path", L, 0, {0, 50, 0}, {0, 50, 0}, 8, {50, 37.5, 0}},
        // speed is along the path: 300 px/s for a third of a second reaches the 100 px end
        {"speed along the path", B, 300, {0, 0, 0}, {0, 0, 0}, 8, {87.5, 0, 0}},
    };
    for (const Spatial& r : spatial) {
        Stream s = segment(StreamKind::ThreeDSpatial, {0, 0, 0}, {100, 0, 0}, r.interpolation,
                           r.interpolation);
        s.keyframes[0].outEase = {{r.outSpeed, kThird}};
        s.keyframes[1].inEase = still;
        s.keyframes[0].outTangent = r.outTangent;
        s.keyframes[1].inTangent = r.inTangent;
        expect_near(value_at(s, Rational::of(r.sixteenths, 16)), r.want, r.label);
    }

    // Auto-bezier: the middle key's speed is the slope between its neighbours, 40 / 2 s; the
    // first segment's handles (1/3, 0) and (2/3, 10 - 20 / 3).
    Stream s = segment(StreamKind::OneD, {0}, {10}, B, B);
    Keyframe third = new_keyframe(s, Rational::of(2));
    third.value = {40};
    insert_keyframe(s, third);
    s.keyframes[0].outEase = s.keyframes[1].inEase = still;
    s.keyframes[1].flags = keyframe_flag::kTemporalAutoBezier;
    expect_near(value_at(s, Rational::of(1, 2)), {2.5}, "auto-bezier");
    s.keyframes[1].flags = 0;
    expect_near(value_at(s, Rational::of(1, 2)), {5}, "stored speed 0");

    // Orientation eases the turn's angle: 90 degrees about z, a quarter of the way in time.
    Layer layer;
    Stream& turn = layer.streams[stream::kOrientation] =
        segment(StreamKind::ThreeD, {0, 0, 0}, {0, 0, 90}, B, B);
    turn.keyframes[0].outEase = turn.keyframes[1].inEase = E(3, still[0]);
    expect_near(layer_value_at(layer, turn, Rational::of(1, 4)), {0, 0, 90 * 0.15625}, "turn");
}

TEST(TextCodec, PairsJoinUpToTheLastAndAViewCutInsideOneEndsThere) {
    EXPECT_EQ(host::text::utf16_to_utf8(std::u16string_view(u"\U0001F600", 1)), "\xef\xbf\xbd");
    EXPECT_EQ(host::text::utf16_to_utf8(u"\U0001F600"), "\xf0\x9f\x98\x80");
    EXPECT_EQ(host::text::utf16_to_utf8(u"\U0010FFFF"), "\xf4\x8f\xbf\xbf");
}

TEST(ProjectModel, InvariantCheckFindsBrokenProjects) {
    const auto mainTop = [](Project& p) { return comp(p, "Main").layers[0].id; };
    const std::pair<const char*, std::function<void(Project&)>> cases[] = {
        {"duplicate id", [](Project& p) { p.items[1].id = p.items[0].id; }},
        {"id beyond nextId", [](Project& p) { p.items[0].id = p.nextId + 5; }},
        {"missing source", [](Project& p) { comp(p, "Pre").layers[0].source = 999; }},
        {"foreign parent", [&](Project& p) { comp(p, "Pre").layers[0].parent = mainTop(p); }},
        {"cycle",
         [](Project& p) { comp(p, "Pre").layers[0].parent = comp(p, "Pre").layers[1].id; }},
        {"selection of a foreign layer",
         [&](Project& p) {
             comp(p, "Pre").selection.push_back({SelectionKind::Layer, mainTop(p), 0, 0});
         }},
        {"missing active item", [](Project& p) { p.activeItem = 4242; }},
        {"an item inside a composition",
         [](Project& p) { p.items[1].folder = item_id(p, "Main"); }}};
    EXPECT_NO_THROW(check_invariants(basic()));
    for (const auto& [what, breakIt] : cases) {
        Project p = basic();
        breakIt(p);
        EXPECT_THROW(check_invariants(p), ModelError) << what;
    }
}

}  // namespace
