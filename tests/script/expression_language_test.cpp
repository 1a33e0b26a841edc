// One row per member of the expression language, from the reference's own descriptions and
// examples; the README's list of members is checked against the same table.
#include <cmath>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "model/streams.h"
#include "script/expression_engine.h"
#include "script_bench.h"

namespace script_test {
namespace {

constexpr const char* kScene = R"json({"bitsPerChannel": 16, "items": [
    {"type": "solid", "name": "Plate", "width": 200, "height": 100, "color": [1, 0.5, 0.25]},
    {"type": "footage", "name": "Clip", "width": 640, "height": 360, "frameRate": 25,
     "duration": 4, "pixelAspect": 0.9, "hasAudio": true},
    {"type": "comp", "name": "Inner", "duration": 5, "layers": [{"type": "shape", "name": "Spin",
     "streams": {"Rotation": {"keyframes": [{"time": 0, "value": 0}, {"time": 4, "value": 40}]}}}]},
    {"type": "comp", "name": "Main", "duration": 10, "bgColor": [0.1, 0.2, 0.3], "shutterAngle": 90,
     "markers": [{"time": 2, "comment": "beat", "chapter": "One", "url": "http://x",
                  "frameTarget": "_blank", "cuePointName": "cue", "eventCuePoint": true,
                  "parameters": {"background color": "red"}, "protectedRegion": true}],
     "layers": [
      {"type": "shape", "name": "Hero", "inPoint": 0, "duration": 10, "streams": {
         "Anchor Point": [0, 0, 0],
         "Rotation": {"keyframes": [{"time": 0, "value": 0}, {"time": 1, "value": 10},
                                    {"time": 2, "value": 30}]},
         "Opacity": {"keyframes": [{"time": 1, "value": 0}, {"time": 2, "value": 40},
                                   {"time": 3, "value": 100}]},
         "Position": {"keyframes": [{"time": 0, "value": [0, 0, 0]},
                                    {"time": 1, "value": [30, 40, 0]}]}},
       "effects": [{"kind": "Slider Control", "params": {"Slider": 5}},
                   {"kind": "Fill", "active": false}],
       "masks": [{"name": "Cut", "streams": {"Mask Opacity": 50}}],
       "markers": [{"time": 3, "duration": 0.5, "comment": "end"}, {"time": 1, "comment": "hit"}]},
      {"name": "Child", "source": "Plate", "parent": "Base",
       "streams": {"Anchor Point": [0, 0, 0], "Position": [10, 0, 0]}},
      {"type": "shape", "name": "Base", "offset": 1, "markers": [{"time": 0.5, "comment": "late"}],
       "streams": {"Anchor Point": [0, 0, 0],
         "Position": [100, 50, 0], "Rotation": 90, "Scale": [200, 200, 100]}},
      {"type": "text", "name": "Title", "text": "Hello"},
      {"type": "shape", "name": "Many",
       "streams": {"Opacity": {"expression": "seedRandom(1, true); random()"}}},
      {"name": "Nest", "source": "Inner", "offset": 2, "comment": "the rig controller"},
      {"type": "camera", "name": "Cam", "inPoint": 1, "duration": 5},
      {"name": "Voice", "source": "Clip", "flags": ["audio", "timeRemap"],
       "streams": {"Time Remap": 1.5, "Audio Levels": [-3, -6]}}]}]})json";

constexpr int kPos = model::stream::kPosition;
constexpr int kRot = model::stream::kRotation;
constexpr int kOpa = model::stream::kOpacity;
constexpr int kText = model::stream::kSourceText;

struct Row {
    const char* member;
    const char* expression;
    const char* expected;  // "1,2" (the first values of the result), "=text", or "!error pattern"
    double time = 0;
    const char* layer = "Hero";
    int stream = kRot;
};

const Row kRows[] = {
    // Global
    {"thisComp", "thisComp.numLayers", "8"},
    {"thisLayer", "thisLayer.index", "1"},
    {"thisProperty", "thisProperty.name == 'Rotation'", "1"},
    {"comp", "comp('Main').layer(2).index", "2"},
    {"layer", "layer('Base').index", "3"},
    {"time", "time * 2", "1", 0.5},
    {"value", "value", "5", 0.5},
    {"posterizeTime", "posterizeTime(2); time + value", "5.5", 0.8},
    {"Math", "Math.max(2, 3)", "3"},
    {"footage", "footage('Clip').width + footage('Plate').height / 1000", "640.1"},
    {"footage", "footage('Main')", "!footage \"Main\" does not exist"},
    {"thisProject", "thisProject.bitsPerChannel + thisProject.linearBlending", "16"},
    {"bitsPerChannel", "thisProject.bitsPerChannel", "16"},
    {"linearBlending", "thisProject.linearBlending", "0"},
    {"fullPath", "thisProject.fullPath", "=", 0, "Title", kText},
    {"colorDepth", "colorDepth", "16"},
    // Time conversion
    {"timeToFrames", "timeToFrames(1.5) + timeToFrames(-0.01) * 100", "-55"},
    {"timeToFrames", "timeToFrames(0.01, 30, true) + timeToFrames(-0.01, 30, true) * 10", "-9"},
    {"framesToTime", "framesToTime(45)", "1.5"},
    {"timeToTimecode", "timeToTimecode(61.5)", "=00:01:01:15", 0, "Title", kText},
    {"timeToNTSCTimecode", "timeToNTSCTimecode(1800 * 1001 / 30000)", "=00:01:00:00", 0, "Title",
     kText},
    {"timeToNTSCTimecode", "timeToNTSCTimecode(1800 * 1001 / 30000, true)", "=00:01:00;02", 0,
     "Title", kText},
    {"timeToFeetAndFrames", "timeToFeetAndFrames(1)", "=1+14", 0, "Title", kText},
    {"timeToCurrentFormat", "timeToCurrentFormat(2)", "=00:00:02:00", 0, "Title", kText},
    // Vector math
    {"add", "add([10, 20], [1, 2, 3])", "11,22,3", 0, "Hero", kPos},
    {"sub", "sub([5, 5], [1, 2])", "4,3", 0, "Hero", kPos},
    {"mul", "mul([1, 2], 2)", "2,4", 0, "Hero", kPos},
    {"div", "div([2, 4], 2)", "1,2", 0, "Hero", kPos},
    {"clamp", "clamp(15, 0, 10)", "10"},
    {"dot", "dot([1, 2, 3], [4, 5, 6])", "32"},
    {"cross", "cross([1, 0, 0], [0, 1, 0])", "0,0,1", 0, "Hero", kPos},
    {"normalize", "normalize([3, 4])", "0.6,0.8", 0, "Hero", kPos},
    {"length", "length([3, 4]) + length([1, 1], [4, 5])", "10"},
    {"lookAt", "lookAt([0, 0, 0], [100, 0, 0])", "0,90,0", 0, "Hero", kPos},
    {"lookAt", "lookAt([5, 5, 0], [5, -5, 0])", "90,0,0", 0, "Hero", kPos},
    // Random numbers
    {"seedRandom", "seedRandom(3, true); var a = random(); seedRandom(3, true); a == random()",
     "1"},
    {"random", "var r = random(10, 20); r >= 10 && r < 20", "1"},
    // The seed takes in the property: another property of the layer draws other numbers.
    {"random", "seedRandom(1, true); random() != thisComp.layer('Many').opacity", "1", 0, "Many"},
    // Reading a property whose expression draws numbers leaves this one's sequence alone.
    {"seedRandom",
     "seedRandom(1, true); random(); thisComp.layer('Many').opacity; var b = random(); "
     "seedRandom(1, true); random(); b == random()",
     "1", 0, "Many"},
    {"gaussRandom", "var g = gaussRandom(); g > -1 && g < 2", "1"},
    {"noise",
     "noise(0) == 0 && noise(0.5) == noise(0.5) && Math.abs(noise(0.5) - noise(0.501)) < 0.01",
     "1"},
    // Interpolation
    {"linear", "linear(0.5, 0, 1, 0, 10)", "5"},
    {"ease", "ease(0.5, 0, 1, 0, 10)", "5"},
    {"easeIn", "easeIn(0.5, 0, 1, 0, 10)", "2.5"},
    {"easeOut", "d = Math.abs(time - nearestKey(time).time); easeOut(d, 0, .1, 100, 0)", "25", 1.05,
     "Hero", kOpa},
    // Colour conversion
    {"rgbToHsl", "var c = rgbToHsl([0, 1, 1, 0.5]); [c[0], c[1], c[2]]", "0.5,1,0.5", 0, "Hero",
     kPos},
    {"rgbToHsl", "rgbToHsl([0, 1, 1, 0.5])[3]", "0.5"},
    {"hslToRgb", "var c = hslToRgb([0.5, 1, 0.5, 1]); [c[0], c[1], c[2]]", "0,1,1", 0, "Hero",
     kPos},
    {"hexToRgb", "var c = hexToRgb('0XFF00FFFF'); [c[0] + c[3], c[1], c[2]]", "2,0,1", 0, "Hero",
     kPos},
    {"hexToRgb", "hexToRgb('FF00FF')[3] + hexToRgb('#FF0080')[2] * 255", "129"},
    {"degreesToRadians", "degreesToRadians(180) / Math.PI", "1"},
    {"radiansToDegrees", "radiansToDegrees(Math.PI)", "180"},
    // Layer
    {"name", "name.length", "4"},
    {"index", "index", "1"},
    {"inPoint", "inPoint", "0"},
    {"outPoint", "outPoint", "10"},
    {"startTime", "startTime", "0"},
    {"hasVideo", "hasVideo * 10 + thisComp.layer('Cam').hasVideo", "10"},
    {"hasAudio", "layer('Voice').hasAudio * 10 + hasAudio", "10"},
    {"enabled", "enabled * 10 + layer('Voice').enabled", "10"},
    {"active", "active * 10 + layer('Cam').active", "10", 0.5},
    {"active", "layer('Cam').active", "1", 2},
    {"audioActive", "layer('Voice').audioActive * 10 + audioActive", "10", 1},
    {"audioActive", "layer('Voice').audioActive", "0", 5},
    // Child shows the solid Plate (200 x 100, [1, 0.5, 0.25]); pixel [0, 0] is centred on [0, 0].
    {"sampleImage", "var c = sampleImage([-0.5, 50]); [c[0], c[1] + c[2], c[3]]", "1,0.75,0.5", 0,
     "Child", kPos},
    {"sampleImage", "var c = sampleImage([500, 50], [2, 2]); c[0] + c[3]", "0", 0, "Child"},
    {"sampleImage", "sampleImage([0, 0])", "!pixels only for solids"},
    {"source", "layer('Nest').source.name == 'Inner' && layer('Child').source.width == 200", "1"},
    // Through source, Inner is read at its own time (3 - 2); an explicit time is taken as given.
    {"source", "layer('Nest').source.layer('Spin').rotation", "10", 3},
    {"source", "layer('Nest').source.layer(1).rotation.valueAtTime(3)", "30", 3},
    {"source", "source", "!has no source"},
    {"sourceTime", "layer('Nest').sourceTime(3) * 10 + layer('Voice').sourceTime()", "11.5"},
    {"audioLevels", "layer('Voice').audioLevels[1]", "-6"},
    {"audioLevels", "audioLevels", "!has no audio"},
    {"timeRemap", "layer('Voice').timeRemap", "1.5"},
    {"timeRemap", "layer('Nest').timeRemap", "!does not have time remapping"},
    {"text", "layer('Title').text.sourceText.value.length", "5"},
    {"text", "text", "!is not a text layer"},
    {"sourceText", "text.sourceText + '!'", "=Hello!", 0, "Title", kText},
    {"acceptsShadows", "acceptsShadows", "1"},
    {"acceptsLights", "acceptsLights", "1"},
    {"ambient", "ambient", "100"},
    {"ambient", "layer('Cam').ambient", "!has no ambient"},
    {"diffuse", "diffuse", "50"},
    {"specular", "specular", "50"},
    {"shininess", "shininess", "5"},
    {"metal", "metal", "100"},
    {"lightTransmission", "lightTransmission", "0"},
    {"castsShadows", "castsShadows", "0"},
    {"rotationX", "layer('Base').rotationX.name == 'X Rotation'", "1"},
    {"rotationY", "rotationY.valueAtTime(0)", "0"},
    {"rotationZ", "layer('Base').rotationZ", "90"},
    {"hasParent", "hasParent * 10 + layer('Base').hasParent", "10", 0, "Child"},
    {"hasParent",
     "idx = index; if (hasParent) { idx = parent.index; } thisComp.layer(idx).position.wiggle(5, "
     "0)",
     "100,50", 0, "Child", kPos},
    {"parent", "parent.name == 'Base'", "1", 0, "Child"},
    {"parent", "parent", "!has no parent"},
    {"width", "width + height / 1000", "200.1", 0, "Child"},
    {"width", "width", "!has no source"},
    {"height", "thisComp.height", "1080"},
    {"sourceRectAtTime", "var r = sourceRectAtTime(); r.width + r.height + r.top", "300", 0,
     "Child"},
    {"sourceRectAtTime", "sourceRectAtTime().width", "!has no source"},
    {"effect", "effect('Slider Control')('Slider')", "5"},
    {"param", "effect(1).param('Slider')", "5"},
    {"active", "effect(1).active * 10 + effect('Fill').active", "10"},
    {"name", "effect(2).name == 'Fill'", "1"},
    {"mask", "mask('Cut').name == 'Cut' && mask(1).maskOpacity == 50", "1"},
    {"mask", "mask(2)", "!mask 2 does not exist"},
    {"maskOpacity", "mask(1).maskOpacity.valueAtTime(5)", "50"},
    {"maskFeather", "mask(1).maskFeather[1]", "0"},
    {"maskExpansion", "mask(1).maskExpansion", "0"},
    {"maskPath", "mask(1).maskPath", "!maskPath: mask paths are not numbers"},
    {"marker", "marker.numKeys * 10 + marker.key(2).duration + thisComp.marker.numKeys", "21.5"},
    {"marker", "marker.key('end').time + marker.nearestKey(1.2).index", "4"},
    {"marker",
     "thisComp.marker.key(1).comment == 'beat' && layer('Base').marker.key(1).time == 1.5", "1"},
    {"marker", "marker.key('gone')", "!marker \"gone\" does not exist"},
    {"comment", "layer('Hero').marker.nearestKey(1.2).comment", "=hit", 0, "Title", kText},
    {"chapter", "thisComp.marker.key(1).chapter", "=One", 0, "Title", kText},
    {"url", "thisComp.marker.key('beat').url + layer('Hero').marker.key(1).url", "=http://x", 0,
     "Title", kText},
    {"frameTarget", "thisComp.marker.key(1).frameTarget", "=_blank", 0, "Title", kText},
    {"cuePointName", "thisComp.marker.key(1).cuePointName", "=cue", 0, "Title", kText},
    {"eventCuePoint", "thisComp.marker.key(1).eventCuePoint * 10 + marker.key(1).eventCuePoint",
     "10"},
    {"parameters", "thisComp.marker.nearestKey(0).parameters['background color']", "=red", 0,
     "Title", kText},
    {"duration", "marker.key('end').duration", "0.5"},
    {"protectedRegion",
     "thisComp.marker.key(1).protectedRegion * 10 + marker.key(1).protectedRegion", "10"},
    // Layer space: Child sits at (10, 0) in Base, which is at (100, 50), turned 90° and doubled.
    {"toComp", "toComp([5, 0])", "100,80", 0, "Child", kPos},
    {"fromComp", "fromComp([100, 80])", "5,0", 0, "Child", kPos},
    {"toWorld", "toWorld([0, 0, 0])", "100,70,0", 0, "Child", kPos},
    {"fromWorld", "fromWorld(thisComp.layer('Base').position)", "-10,0", 0, "Child", kPos},
    {"toCompVec", "toCompVec([1, 0])", "0,2", 0, "Child", kPos},
    {"fromCompVec", "fromCompVec([0, 2])", "1,0", 0, "Child", kPos},
    {"toWorldVec", "toWorldVec([0, 1])", "-2,0", 0, "Child", kPos},
    {"fromWorldVec", "fromWorldVec([-2, 0])", "0,1", 0, "Child", kPos},
    {"fromCompToSurface", "fromCompToSurface([100, 80])", "5,0", 0, "Child", kPos},
    // Composition
    {"width", "thisComp.width", "1920"},
    {"duration", "thisComp.duration", "10"},
    {"frameDuration", "thisComp.frameDuration * 30", "1"},
    {"numLayers", "thisComp.numLayers", "8"},
    {"pixelAspect", "thisComp.pixelAspect", "1"},
    {"displayStartTime", "thisComp.displayStartTime", "0"},
    {"ntscDropFrame", "thisComp.ntscDropFrame", "0"},
    {"name", "thisComp.name.length", "4"},
    {"bgColor", "var c = thisComp.bgColor; c[0] + c[1] * 10 + c[2] * 100 + c[3] * 1000", "1032.1"},
    {"shutterAngle", "thisComp.shutterAngle", "90"},
    {"shutterPhase", "thisComp.shutterPhase", "-90"},
    {"activeCamera", "thisComp.activeCamera.index", "7", 2},
    {"activeCamera", "thisComp.activeCamera", "!has no active camera", 0.5},
    {"layer", "thisComp.layer(thisLayer, 2).index + thisComp.layer(layer('Base'), -1).index", "5"},
    {"layer", "thisComp.layer(thisLayer, -1)", "!layer 0 does not exist"},
    {"layerByComment", "thisComp.layerByComment('controller').name == 'Nest'", "1"},
    {"layerByComment", "thisComp.layerByComment('Controller')", "!comment holds"},
    {"footage",
     "var f = layer('Voice').source; f.duration * 10 + f.frameDuration * 25 + f.pixelAspect",
     "41.9"},
    {"sourceData", "footage('Clip').sourceData", "!footage \"Clip\" is not a data file"},
    {"dataValue", "footage('Clip').dataValue([0])", "!is not a data file"},
    {"dataKeyCount", "footage('Clip').dataKeyCount([0])", "!is not a data file"},
    {"dataKeyTimes", "footage('Clip').dataKeyTimes([0])", "!is not a data file"},
    {"dataKeyValues", "footage('Clip').dataKeyValues([0])", "!is not a data file"},
    // Transform
    {"transform", "transform.rotation", "5", 0.5},
    {"anchorPoint", "layer('Base').anchorPoint[0]", "0"},
    {"pointOfInterest", "transform.pointOfInterest[1]", "0"},
    {"position", "layer('Base').position[1]", "50"},
    {"scale", "layer('Base').scale[0]", "200"},
    {"rotation", "layer('Base').rotation", "90"},
    {"zRotation", "layer('Base').transform.zRotation", "90"},
    {"xRotation", "layer('Base').xRotation + layer('Base').yRotation", "0"},
    {"yRotation", "layer('Base').transform('Y Rotation')", "0"},
    {"orientation", "layer('Base').orientation[2]", "0"},
    {"opacity", "opacity", "20", 1.5},
    // Property and key
    {"valueAtTime", "valueAtTime(1.5)", "20"},
    // Hero is a shape layer: Marker, Masks, Effects, Transform; Rotation is Transform's tenth.
    {"propertyIndex",
     "propertyIndex * 100 + propertyGroup(1).propertyIndex * 10 + "
     "mask(1).maskOpacity.propertyIndex",
     "1043"},
    {"propertyGroup", "propertyGroup(1).name == 'Transform' && propertyGroup(2).name == 'Hero'",
     "1"},
    {"propertyGroup",
     "var p = layer('Hero').effect(1)('Slider'); p.propertyGroup(1).name + "
     "p.propertyGroup(1).propertyGroup(1).numProperties + p.propertyGroup(3).index",
     "=Slider Control21", 0, "Title", kText},
    {"propertyGroup", "propertyGroup(3)", "!no group that far up"},
    {"numProperties",
     "propertyGroup(1).numProperties * 10 + mask(1).maskOpacity.propertyGroup(2)"
     ".numProperties",
     "111"},
    {"velocity", "velocity", "10", 0.5},
    {"velocity", "transform.position.velocity", "30,40", 0.5, "Hero", kPos},
    {"velocityAtTime", "velocityAtTime(1.5) + velocityAtTime(3)", "20"},
    {"speed", "transform.position.speed", "50", 0.5},
    {"speedAtTime", "transform.position.speedAtTime(0.5)", "50"},
    {"wiggle", "wiggle(2, 0) + layer('Base').rotation.wiggle(5, 0)", "95", 0.5},
    {"temporalWiggle", "Math.abs(temporalWiggle(1, .1) - 5) <= 1 && temporalWiggle(3, 0) == 5", "1",
     0.5},
    {"temporalWiggle", "layer('Base').scale.temporalWiggle(5, .2)[0]", "200"},
    {"smooth", "smooth(.2, 5)", "10.3", 1},
    {"smooth", "transform.position.smooth(.1, 5)", "15,20", 0.5, "Hero", kPos},
    {"numKeys", "numKeys * 10 + layer('Base').rotation.numKeys", "30"},
    {"key", "key(2).time + key(2).value + key(3).index", "14"},
    {"key", "transform.position.key(2).value", "30,40", 0, "Hero", kPos},
    {"key", "key(4)", "!keyframe 4 does not exist"},
    {"nearestKey", "nearestKey(1.4).time + nearestKey(1.6).index", "4"},
    {"nearestKey", "nearestKey(0)", "!has no keyframes", 0, "Base"},
    {"loopOut", "loopOut()", "20", 1.5},
    {"loopOut", "loopOut()", "5", 2.5},
    {"loopOut", "loopOut('cycle', 1)", "20", 2.5},
    {"loopOut", "loopOut('pingpong')", "20", 2.5},
    {"loopOut", "loopOut('pingpong')", "5", 4.5},
    {"loopOut", "loopOut('offset')", "35", 2.5},
    {"loopOut", "loopOut('continue')", "50", 3},
    {"loopOut", "loopOut('cycle', -1) + loopOut('cycle', 9)", "35", 2.5},
    {"loopOut", "loopOut('bounce')", "!loop type \"bounce\"", 3},
    {"loopOut", "loopOut()", "10", 10.5, "Many"},  // 10,000 keyframes, within the caps
    {"loopIn", "loopIn()", "70", 0.5, "Hero", kOpa},
    {"loopIn", "loopIn('cycle', 1)", "20", 0.5, "Hero", kOpa},
    {"loopIn", "loopIn('pingpong')", "20", 0.5, "Hero", kOpa},
    {"loopIn", "loopIn('offset')", "-30", 0.5, "Hero", kOpa},
    {"loopIn", "loopIn('continue')", "-20", 0.5, "Hero", kOpa},
    {"loopOutDuration", "loopOutDuration('cycle', 1)", "20", 2.5},
    {"loopInDuration", "loopInDuration('cycle', 1)", "20", 0.5, "Hero", kOpa},
};

class Language : public ScriptBench {
protected:
    void SetUp() override {
        ScriptBench::SetUp();
        load(kScene);
        auto& many = layer("Main", "Many").streams.at(kRot).keyframes;
        for (int i = 0; i < 10000; ++i)
            many.push_back({.time = model::Rational::of(i, 1000), .value = {i % 2 * 10.0}});
    }

    script::ExpressionEngine engine;
};

std::vector<double> numbers_in(const std::string& text) {
    std::vector<double> value;
    std::istringstream numbers(text);
    for (std::string n; std::getline(numbers, n, ',');) value.push_back(std::stod(n));
    return value;
}

TEST_F(Language, EveryMemberGivesWhatTheReferenceDescribes) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(std::string(row.member) + ": " + row.expression);
        const model::Layer& on = layer("Main", row.layer);
        const script::ExpressionResult r =
            engine.evaluate({&project, on.id, &on.streams.at(row.stream),
                             model::Rational::of(std::llround(row.time * 10000), 10000)},
                            row.expression);
        const std::string expected = row.expected;
        if (expected.starts_with('!')) {
            EXPECT_FALSE(r.ok);
            EXPECT_TRUE(std::regex_search(r.error, std::regex(expected.substr(1)))) << r.error;
            continue;
        }
        ASSERT_TRUE(r.ok) << r.error;
        if (expected.starts_with('=')) {
            EXPECT_EQ(r.text, expected.substr(1));
            continue;
        }
        const std::vector<double> want = numbers_in(expected);
        ASSERT_GE(r.value.size(), want.size());
        for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(r.value[i], want[i], 1e-9) << i;
    }
}

// The README's list of the language's members names exactly the members the table has rows for.
TEST(LanguageList, TheReadmeListsTheMembersTheTableChecks) {
    std::ifstream readme(std::string(OUTFOLD_SOURCE_DIR) + "/host/README.md");
    std::string line;
    while (std::getline(readme, line) && !line.starts_with("- The language")) {
    }
    ASSERT_FALSE(line.empty()) << "no language list in host/README.md";
    std::set<std::string> listed, rows;
    const std::regex name("`([A-Za-z]+)");
    for (std::sregex_iterator it(line.begin(), line.end(), name), end; it != end; ++it)
        listed.insert((*it)[1]);
    for (const Row& row : kRows) rows.insert(row.member);
    EXPECT_EQ(listed, rows);
}

}  // namespace
}  // namespace script_test
