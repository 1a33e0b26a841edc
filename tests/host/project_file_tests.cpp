#include <fstream>

#include "host_fixture.h"
#include "io/project_file.h"
#include "model/effects_catalog.h"
#include "model/streams.h"

namespace {

using namespace host::model;
using namespace host_test;
using json = nlohmann::json;
const auto kDemo = std::filesystem::path(OUTFOLD_SOURCE_DIR) / "examples" / "demo.json";

TEST(ProjectFile, TheDemoProjectHoldsWhatItsFileSays) {
    const Project p = host::io::load_project_file(kDemo);
    const Layer& precomp = layer_named(p, "Main", "Intro");
    EXPECT_EQ(precomp.offset, Rational::of(1));
    EXPECT_EQ(precomp.duration, find_item_by_name(p, "Intro Comp")->comp->duration)
        << "defaults to the source's duration";
    const Layer& logo = layer_named(p, "Intro Comp", "Logo");
    EXPECT_EQ(layer_named(p, "Intro Comp", "Title").parent, logo.id);
    EXPECT_EQ(logo.streams.at(stream::kRotation).keyframes.at(1).inInterp, Interpolation::Bezier);
    const Effect& blur = layer_named(p, "Intro Comp", "Background Solid").effects.at(0);
    EXPECT_EQ(blur.name, "Gaussian Blur");
    EXPECT_EQ(blur.params[1].value, (std::vector<double>{12}));
    EXPECT_NO_THROW(check_invariants(p));
}

TEST(ProjectFile, RoundTripsAreLossless) {
    host_test::TempDir dir;
    for (const auto& file : {kDemo, fixture("basic.json"), fixture("rich.json")}) {
        const Project loaded = host::io::load_project_file(file);
        const json saved = host::io::project_to_json(loaded);
        const Project again = host::io::project_from_json(saved);
        EXPECT_TRUE(again == loaded) << file << "\n" << saved.dump(2);
        EXPECT_EQ(host::io::project_to_json(again), saved) << file;
        host::io::save_project_file(loaded, dir.path() / "saved.json");
        EXPECT_TRUE(host::io::load_project_file(dir.path() / "saved.json") == loaded) << file;
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "saved.json.partial"));
    }
}

TEST(ProjectFile, RoundTripKeepsChangesMadeAfterLoading) {
    Project p = host::io::load_project_file(fixture("basic.json"));
    Layer& null = create_null_layer(p, item_id(p, "Main"), "Carrier", Rational::of(7, 3));
    null.streams.at(stream::kScale).value = {50, 60, 70};
    null.streams.erase(stream::kTimeRemap);
    Stream& position = null.streams.at(stream::kPosition);
    Keyframe key = new_keyframe(position, Rational::of(1001, 30000));
    key.flags = 0x15;
    key.outTangent = {1.5, -2.25, 0};
    insert_keyframe(position, key);
    null.effects.push_back(make_effect(p, *find_installed_effect(4)));
    null.effects.back().active = false;
    null.effects.back().params[1].expression = "[1,2]";
    null.flags = 0xFFFFF;  // bits without names survive as a number
    // A stream beyond the layer's defaults.
    null.streams[stream::kAudioLevels] = {
        .name = "Extra", .kind = StreamKind::TwoD, .value = {1, 2}};
    p.items[0].selected = true;
    comp_of(p, item_id(p, "Main"))
        ->selection.push_back({SelectionKind::Keyframe, null.id, stream::kPosition, 0});
    Layer& separated = create_null_layer(p, item_id(p, "Main"), "Split", Rational::of(2));
    insert_keyframe(separated.streams.at(stream::kPosition),
                    new_keyframe(separated.streams.at(stream::kPosition), Rational::of(1)));
    set_position_separated(separated, true);
    separated.positionFollowers[1].expression = "value + 5";
    const Project again = host::io::project_from_json(host::io::project_to_json(p));
    EXPECT_TRUE(again == p) << host::io::project_to_json(p).dump(2);
    const std::string text = host::io::project_to_json(p).dump();
    EXPECT_NE(text.find(R"("Position":)"), std::string::npos) << "keyed by name: " << text;
    EXPECT_NE(text.find(R"("separated":true)"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("Y Position":)"), std::string::npos) << text;
}

TEST(ProjectFile, TimesAreExactAndOmittedIdsFollowTheGivenOnes) {
    const json doc = json::parse(R"({"items": [{"type": "comp", "name": "C",
        "frameRate": "30000/1001", "duration": 2.5,
        "layers": [{"type": "shape", "inPoint": "1/3", "offset": -0.125, "duration": 12}]}]})");
    const Project p = host::io::project_from_json(doc);
    const Composition& comp = *p.items[0].comp;
    EXPECT_EQ(
        std::tuple(comp.frameRate, comp.duration, comp.layers[0].inPoint, comp.layers[0].offset),
        std::tuple(Rational::of(30000, 1001), Rational::of(5, 2), Rational::of(1, 3),
                   Rational::of(-1, 8)));
    const json saved = host::io::project_to_json(p)["items"][0];
    EXPECT_EQ(std::tuple(saved["frameRate"], saved["duration"], saved["layers"][0]["inPoint"],
                         saved["layers"][0]["offset"]),
              std::tuple("30000/1001", "2.5", "1/3", "-0.125"));
    const json ok = json::parse(R"({"items": [
        {"type": "solid", "name": "S"},
        {"type": "comp", "name": "C", "id": 40, "layers": [{"source": "S", "id": 7}, {"source": "S"}]}
    ]})");
    const Project q = host::io::project_from_json(ok);
    const auto& layers = q.items[1].comp->layers;
    EXPECT_EQ(std::tuple(q.items[0].id, q.items[1].id, layers[0].id, layers[1].id, q.nextId),
              std::tuple(41, 40, 7, 42, 43));
}

TEST(ProjectFile, StretchBlendingAndMattesAreWrittenOnlyWhenNotDefault) {
    // What a file says, what the layer holds, and what a saved file says.
    struct Case {
        const char* given;
        Rational stretch;
        std::int32_t mode, flags;
        TrackMatte matte;
        const char* saved;
    };
    const Case cases[] = {
        {R"({})", Rational::of(1), 2, 0, TrackMatte::None, R"({})"},
        {R"({"stretch": 200, "blendingMode": "ADD", "trackMatte": "ALPHA"})", Rational::of(2), 4, 0,
         TrackMatte::Alpha, R"({"stretch": 200, "blendingMode": "ADD", "trackMatte": "ALPHA"})"},
        {R"({"stretch": "-100", "blendingMode": 12, "trackMatte": "LUMA_INVERTED",
             "blendingFlags": ["randomizeDissolve"]})",
         Rational::of(-1), 12, 2, TrackMatte::LumaInverted,
         R"({"stretch": -100, "blendingMode": "CLASSIC_DIFFERENCE", "trackMatte": "LUMA_INVERTED",
             "blendingFlags": ["randomizeDissolve"]})"},
        {R"({"stretch": "100/3", "blendingMode": 1, "blendingFlags": ["preserveAlpha"]})",
         Rational::of(1, 3), 1, 1, TrackMatte::None,
         R"({"stretch": "100/3", "blendingMode": 1, "blendingFlags": ["preserveAlpha"]})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given);
        json doc = json::parse(R"({"items": [{"type": "comp", "name": "C", "layers": [{}]}]})");
        json& layer = doc["items"][0]["layers"][0];
        layer = json::parse(c.given);
        layer["type"] = "shape";
        const Project p = host::io::project_from_json(doc);
        const Layer& loaded = p.items[0].comp->layers[0];
        EXPECT_EQ(std::tuple(loaded.stretch, loaded.blendingMode, loaded.blendingFlags,
                             loaded.trackMatte),
                  std::tuple(c.stretch, c.mode, c.flags, c.matte));
        const json saved = host::io::project_to_json(p);
        json fields = json::object();
        for (const char* key : {"stretch", "blendingMode", "blendingFlags", "trackMatte"})
            if (saved["items"][0]["layers"][0].contains(key))
                fields[key] = saved["items"][0]["layers"][0][key];
        EXPECT_EQ(fields, json::parse(c.saved));
        EXPECT_TRUE(host::io::project_from_json(saved) == p);
    }

    host_test::TempDir dir;
    const auto file = dir.path() / "still.json";
    std::ofstream(file) << R"({"items": [{"type": "comp", "name": "C",
        "layers": [{"type": "shape", "stretch": 0}]}]})";
    try {
        host::io::load_project_file(file);
        ADD_FAILURE() << "a zero stretch was accepted";
    } catch (const std::runtime_error& refused) {
        const std::string message = refused.what();
        EXPECT_NE(message.find(file.string()), std::string::npos) << message;
        EXPECT_NE(message.find("layers[0].stretch"), std::string::npos) << message;
    }
}

TEST(ProjectFile, RefusesWhatItCannotResolve) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"unknown source", R"({"items":[{"type":"comp","name":"C","layers":[{"source":"Nope"}]}]})",
         "Nope"},
        {"ambiguous name",
         R"({"items":[{"type":"solid","name":"S"},{"type":"solid","name":"S"},
            {"type":"comp","name":"C","layers":[{"source":"S"}]}]})",
         "more than one"},
        {"duplicate id",
         R"({"items":[{"type":"solid","name":"S","id":5},{"type":"solid","name":"T","id":5}]})",
         "id 5"},
        {"bad time", R"({"items":[{"type":"comp","name":"C","duration":"1/0"}]})", "zero"},
        {"unknown effect",
         R"({"items":[{"type":"solid","name":"S"},{"type":"comp","name":"C",
            "layers":[{"source":"S","effects":[{"kind":"no-such"}]}]}]})",
         "no-such"},
        {"parent cycle",
         R"({"items":[{"type":"comp","name":"C","layers":[
            {"type":"shape","name":"a","parent":"b"},{"type":"shape","name":"b","parent":"a"}]}]})",
         "cycle"},
        {"wrong dimensions",
         R"({"items":[{"type":"comp","name":"C","layers":[{"type":"shape","streams":{"Position":[1,2]}}]}]})",
         "3 values"},
        {"unknown stream",
         R"({"items":[{"type":"comp","name":"C","layers":[{"type":"shape","streams":{"Wobble":1}}]}]})",
         "Wobble"},
        {"AV layer without source", R"({"items":[{"type":"comp","name":"C","layers":[{}]}]})",
         "source"},
        {"unknown active item", R"({"activeItem":"X","items":[]})", "X"},
        {"a composition showing itself, by its given id",
         R"({"items":[{"type":"comp","name":"C","id":40,"layers":[{"source":40}]}]})", "itself"},
        {"unknown blending mode",
         R"({"items":[{"type":"comp","name":"C","layers":[{"type":"shape","blendingMode":"SHINY"}]}]})",
         "SHINY"},
        {"transfer mode out of range",
         R"({"items":[{"type":"comp","name":"C","layers":[{"type":"shape","blendingMode":39}]}]})",
         "39"},
        {"unknown track matte",
         R"({"items":[{"type":"comp","name":"C","layers":[{"type":"shape","trackMatte":"RED"}]}]})",
         "RED"},
        {"followers of a position that is not separated",
         R"({"items":[{"type":"comp","name":"C","layers":[{"type":"shape","streams":{"X Position":1}}]}]})",
         "separated"},
        {"a layer named by an object without an id",
         R"({"items":[{"type":"comp","name":"C","layers":[
            {"type":"shape","name":"a"},{"type":"shape","parent":{"name":"a"}}]}]})",
         "expected a text"}};
    for (const auto& [what, text, mentions] : cases) {
        try {
            host::io::project_from_json(json::parse(text));
            ADD_FAILURE() << what << " was accepted";
        } catch (const std::runtime_error& refused) {
            EXPECT_NE(std::string(refused.what()).find(mentions), std::string::npos)
                << what << ": " << refused.what();
        }
    }
    EXPECT_THROW(host::io::load_project_file(fixture("no-such-file.json")), std::runtime_error);
}

}  // namespace
