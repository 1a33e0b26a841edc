// Layer.parent from scripts: assigning null (or another layer) keeps the
// layer where it is on screen.
#include <array>
#include <cmath>
#include <numbers>

#include "model/frame.h"
#include "model/streams.h"
#include "script_bench.h"

namespace script_test {
namespace {

struct Point {
    double x = 0;
    double y = 0;
};

double held(const model::Layer& layer, int number, std::size_t i, double fallback,
            model::Time time) {
    const auto found = layer.streams.find(number);
    if (found == layer.streams.end()) return fallback;
    const std::vector<double> v = model::value_at(found->second, time);
    return i < v.size() ? v[i] : fallback;
}

// A point of a layer's space in its parent's space, step by step as the
// application describes a layer's transform: about the anchor point, scale,
// then rotate (clockwise, y pointing down), then move to the position.
Point into_parent(const model::Layer& layer, Point p, model::Time compTime) {
    const model::Time t = compTime - layer.offset;
    const double sx = held(layer, 2, 0, 100, t) / 100, sy = held(layer, 2, 1, 100, t) / 100;
    const double dx = (p.x - held(layer, 0, 0, 0, t)) * sx;
    const double dy = (p.y - held(layer, 0, 1, 0, t)) * sy;
    const double r = held(layer, 3, 0, 0, t) * std::numbers::pi / 180;
    return {held(layer, 1, 0, 0, t) + dx * std::cos(r) - dy * std::sin(r),
            held(layer, 1, 1, 0, t) + dx * std::sin(r) + dy * std::cos(r)};
}

Point into_comp(const model::Project& project, const model::Layer& layer, Point p,
                model::Time compTime) {
    for (const model::Layer* l = &layer; l != nullptr;
         l = l->parent == model::kNoId ? nullptr : model::find_layer(project, l->parent)) {
        p = into_parent(*l, p, compTime);
    }
    return p;
}

const Point kProbes[] = {{0, 0}, {100, 0}, {0, 100}, {37, -12}, {-250, 80}};

// Layers of "Main": Kid (the one released), then its ancestors.
std::string scene(const std::string& kid, const std::string& parent,
                  const std::string& grandparent = "") {
    std::string layers =
        R"({"type": "shape", "name": "Kid", "parent": "Dad", "streams": )" + kid + "},";
    layers += R"({"type": "shape", "name": "Dad", )" +
              std::string(grandparent.empty() ? "" : R"("parent": "Grandpa", )") +
              R"("streams": )" + parent + "}";
    if (!grandparent.empty())
        layers += R"(, {"type": "shape", "name": "Grandpa", "streams": )" + grandparent + "}";
    return R"({"activeItem": "Main", "items": [{"type": "comp", "name": "Main", "layers": [)" +
           layers + "]}]}";
}

class Parent : public ScriptBench {
protected:
    std::vector<Point> world_of(const std::string& name, model::Time t = model::Rational::of(0)) {
        std::vector<Point> points;
        for (const Point& p : kProbes)
            points.push_back(into_comp(project, layer("Main", name), p, t));
        return points;
    }

    void expect_same_place(const std::vector<Point>& before, const std::vector<Point>& after,
                           const std::string& label) {
        ASSERT_EQ(before.size(), after.size());
        for (std::size_t i = 0; i < before.size(); ++i) {
            EXPECT_NEAR(before[i].x, after[i].x, 1e-6) << label << " probe " << i;
            EXPECT_NEAR(before[i].y, after[i].y, 1e-6) << label << " probe " << i;
        }
    }
};

TEST_F(Parent, ReleasingKeepsTheLayersPlaceAndLook) {
    struct Case {
        const char* label;
        std::string project;
    };
    const Case cases[] = {
        {"translation", scene(R"({"Position": [10, 10, 0]})", R"({"Position": [100, 50, 0]})")},
        {"rotation and uniform scale about an anchor",
         scene(R"({"Position": [10, 20, 0], "Anchor Point": [5, 5, 0], "Rotation": 15})",
               R"({"Position": [300, 200, 0], "Anchor Point": [50, 50, 0], "Rotation": 90,
                   "Scale": [200, 200, 100]})")},
        {"a chain of three",
         scene(R"({"Position": [-40, 70, 0], "Rotation": 10, "Scale": [80, 80, 100]})",
               R"({"Position": [30, -20, 0], "Anchor Point": [10, 0, 0], "Rotation": -45,
                   "Scale": [150, 150, 100]})",
               R"({"Position": [960, 540, 0], "Anchor Point": [100, 100, 0], "Rotation": 30,
                   "Scale": [50, 50, 100]})")},
        {"a mirrored layer",
         scene(R"({"Position": [25, 0, 0], "Scale": [-100, 100, 100], "Rotation": 20})",
               R"({"Position": [500, 500, 0], "Rotation": 135, "Scale": [75, 75, 100]})")},
        {"a non-uniform parent over an upright child",
         scene(R"({"Position": [10, 30, 0], "Scale": [50, 120, 100]})",
               R"({"Position": [200, 100, 0], "Scale": [200, 100, 100], "Rotation": 60})")},
        {"a non-uniform parent over a rotated child",
         scene(R"({"Position": [10, 30, 0], "Rotation": 30})",
               R"({"Position": [200, 100, 0], "Scale": [300, 100, 100]})")},
    };
    for (const Case& c : cases) {
        load(c.project);
        const model::Layer dad = layer("Main", "Dad");
        const std::vector<Point> before = world_of("Kid");
        value("app.project.item(1).layer(1).parent = null");
        EXPECT_EQ(layer("Main", "Kid").parent, model::kNoId) << c.label;
        EXPECT_EQ(layer("Main", "Dad"), dad) << c.label << ": the parent is untouched";
        const std::vector<Point> after = world_of("Kid");
        if (std::string(c.label).find("rotated child") != std::string::npos) {
            // A sheared result cannot be kept; the layer keeps its place and
            // the direction of its x axis.
            EXPECT_NEAR(before[0].x, after[0].x, 1e-6);
            EXPECT_NEAR(before[0].y, after[0].y, 1e-6);
            EXPECT_NEAR(std::atan2(before[1].y - before[0].y, before[1].x - before[0].x),
                        std::atan2(after[1].y - after[0].y, after[1].x - after[0].x), 1e-9);
        } else {
            expect_same_place(before, after, c.label);
        }
    }
}

TEST_F(Parent, FoldedValuesAreTheOnesAUserWouldSee) {
    load(scene(R"({"Position": [10, 0, 5], "Anchor Point": [0, 0, 0]})",
               R"({"Position": [100, 100, 30], "Anchor Point": [0, 0, 0], "Rotation": 90,
                   "Scale": [200, 200, 100]})"));
    value("app.project.item(1).layer(1).parent = null");
    const model::Layer& kid = layer("Main", "Kid");
    EXPECT_EQ(kid.streams.at(1).value, (std::vector<double>{100, 120, 35}));
    EXPECT_EQ(kid.streams.at(3).value, (std::vector<double>{90}));
    EXPECT_EQ(kid.streams.at(2).value, (std::vector<double>{200, 200, 100}));
    EXPECT_EQ(kid.streams.at(0).value, (std::vector<double>{0, 0, 0}));
    EXPECT_EQ(changes, 1);
}

TEST_F(Parent, AMirroredLayerStaysMirroredTheWayItWas) {
    load(scene(R"({"Position": [25, 0, 0], "Scale": [-100, 100, 100], "Rotation": 20})",
               R"({"Position": [500, 500, 0], "Rotation": 135, "Scale": [75, 75, 100]})"));
    value("app.project.item(1).layer(1).parent = null");
    const model::Layer& kid = layer("Main", "Kid");
    EXPECT_NEAR(kid.streams.at(2).value[0], -75, 1e-9);
    EXPECT_NEAR(kid.streams.at(2).value[1], 75, 1e-9);
    EXPECT_NEAR(kid.streams.at(3).value[0], 155, 1e-9);
}

TEST_F(Parent, ReleasingALayerWithoutParentChangesNothing) {
    load(scene(R"({"Position": [10, 0, 0], "Rotation": 33.3, "Scale": [-70, 45, 100]})",
               R"({"Position": [1, 2, 0]})"));
    const model::Project original = project;
    value("app.project.item(1).layer(2).parent = null");  // Dad has no parent
    EXPECT_EQ(project, original);
    value("app.project.item(1).layer(1).parent = null");
    const model::Project once = project;
    value("app.project.item(1).layer(1).parent = null");
    EXPECT_EQ(project, once);
    // Under a parent that only moves it, rotation and scale stay exactly.
    EXPECT_EQ(layer("Main", "Kid").streams.at(3).value, (std::vector<double>{33.3}));
    EXPECT_EQ(layer("Main", "Kid").streams.at(2).value, (std::vector<double>{-70, 45, 100}));
}

TEST_F(Parent, KeyframesMoveWithTheFold) {
    load(scene(R"({
                 "Position": {"keyframes": [{"time": 0, "value": [0, 0, 0]},
                                            {"time": 1, "value": [10, 0, 0]}]},
                 "Rotation": {"keyframes": [{"time": 0, "value": 0}, {"time": 1, "value": 45}]},
                 "Scale": {"keyframes": [{"time": 0, "value": [100, 100, 100]},
                                         {"time": 1, "value": [40, 60, 100]}]}})",
               R"({"Position": [100, 50, 0], "Rotation": 30, "Scale": [50, 50, 100]})"));
    const std::vector<Point> atStart = world_of("Kid", model::Rational::of(0));
    const std::vector<Point> atEnd = world_of("Kid", model::Rational::of(1));
    value("app.project.item(1).layer(1).parent = null");
    const model::Layer& kid = layer("Main", "Kid");
    ASSERT_EQ(kid.streams.at(3).keyframes.size(), 2u);
    EXPECT_NEAR(kid.streams.at(3).keyframes[0].value[0], 30, 1e-9);
    EXPECT_NEAR(kid.streams.at(3).keyframes[1].value[0], 75, 1e-9);
    EXPECT_NEAR(kid.streams.at(2).keyframes[1].value[0], 20, 1e-9);
    EXPECT_NEAR(kid.streams.at(2).keyframes[1].value[1], 30, 1e-9);
    // Every keyframe keeps its look, since the parent does not move.
    expect_same_place(atStart, world_of("Kid", model::Rational::of(0)), "first key");
    expect_same_place(atEnd, world_of("Kid", model::Rational::of(1)), "last key");
}

TEST_F(Parent, AnimatedAncestorsAreReadWhereTheLayerStarts) {
    load(R"({"items": [{"type": "comp", "name": "Main", "layers": [
        {"type": "shape", "name": "Kid", "parent": "Dad", "inPoint": 5, "offset": 0,
         "streams": {"Position": [0, 10, 0]}},
        {"type": "shape", "name": "Dad", "streams": {"Anchor Point": [0, 0, 0],
         "Position": {"keyframes": [{"time": 0, "value": [100, 0, 0]},
                                    {"time": 10, "value": [200, 0, 0]}]}}}]}]})");
    const std::vector<Point> before = world_of("Kid", model::Rational::of(5));
    value("app.project.item(1).layer(1).parent = null");
    EXPECT_EQ(layer("Main", "Kid").streams.at(1).value, (std::vector<double>{150, 10, 0}));
    expect_same_place(before, world_of("Kid", model::Rational::of(5)), "at the start");
}

TEST_F(Parent, AssigningAParentKeepsTheLookToo) {
    load(scene(R"({"Position": [10, 10, 0], "Rotation": 5})",
               R"({"Position": [300, 200, 0], "Anchor Point": [20, 20, 0], "Rotation": -60,
                   "Scale": [250, 250, 100]})",
               R"({"Position": [40, 40, 0], "Rotation": 12, "Scale": [80, 80, 100]})"));
    const std::vector<Point> before = world_of("Kid");
    // Move Kid from Dad to Grandpa, then to nobody, then back to Dad.
    value(
        "var kid = app.project.item(1).layer(1);\n"
        "kid.parent = app.project.item(1).layer(3);\n"
        "kid.parent.name");
    EXPECT_EQ(layer("Main", "Kid").parent, layer("Main", "Grandpa").id);
    expect_same_place(before, world_of("Kid"), "under Grandpa");
    value("app.project.item(1).layer(1).parent = null");
    expect_same_place(before, world_of("Kid"), "alone");
    value("app.project.item(1).layer(1).parent = app.project.item(1).layer(2)");
    EXPECT_EQ(layer("Main", "Kid").parent, layer("Main", "Dad").id);
    expect_same_place(before, world_of("Kid"), "back under Dad");
    EXPECT_EQ(changes, 3);
}

TEST_F(Parent, ImpossibleParentsAreScriptErrors) {
    struct Case {
        const char* source;
        const char* error;
    };
    const Case cases[] = {
        {"app.project.item(1).layer(2).parent = app.project.item(1).layer(1)",
         "Error: parent: the parent link would make a cycle (line 1)"},
        {"app.project.item(1).layer(1).parent = app.project.item(1).layer(1)",
         "Error: parent: a layer cannot be its own parent (line 1)"},
        {"app.project.item(1).layer(1).parent = app.project.item(2).layer(1)",
         "Error: parent: the parent must be a layer of the same composition (line 1)"},
        {"app.project.item(1).layer(1).parent = app.project.item(1).layer(4)",
         "Error: parent: the new parent is scaled to nothing (line 1)"},
    };
    for (const Case& c : cases) {
        load(R"({"items": [
            {"type": "comp", "name": "Main", "layers": [
              {"type": "shape", "name": "Kid", "parent": "Dad"},
              {"type": "shape", "name": "Dad", "parent": "Grandpa"},
              {"type": "shape", "name": "Grandpa"},
              {"type": "shape", "name": "Flat", "streams": {"Scale": [0, 100, 100]}}]},
            {"type": "comp", "name": "Other", "layers": [{"type": "shape", "name": "Far"}]}]})");
        const model::Project before = project;
        EXPECT_EQ(error(c.source), c.error) << c.source;
        EXPECT_EQ(project, before) << c.source;
    }
    EXPECT_EQ(changes, 0);
}

// ---- 3D layers

struct Point3 {
    double x = 0;
    double y = 0;
    double z = 0;
};

using Matrix = model::Mat3;
using model::multiply;

// Turns about x, y and z, in degrees (y down, so positive z turns clockwise).
Matrix turn(int axis, double degrees) {
    const double c = std::cos(degrees * std::numbers::pi / 180);
    const double s = std::sin(degrees * std::numbers::pi / 180);
    if (axis == 0) return {{{1, 0, 0}, {0, c, -s}, {0, s, c}}};
    if (axis == 1) return {{{c, 0, s}, {0, 1, 0}, {-s, 0, c}}};
    return {{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}};
}

// A 3D layer's map into its parent: about the anchor point, scale, then the
// rotations (Z, then Y, then X), then the orientation (its Z, Y, X), then
// move to the position.
Point3 into_parent_3d(const model::Layer& layer, Point3 p, model::Time compTime) {
    const model::Time t = compTime - layer.offset;
    const auto v = [&](int number, std::size_t i, double fallback) {
        return held(layer, number, i, fallback, t);
    };
    const Matrix orientation =
        multiply(multiply(turn(0, v(10, 0, 0)), turn(1, v(10, 1, 0))), turn(2, v(10, 2, 0)));
    const Matrix rotation =
        multiply(multiply(turn(0, v(8, 0, 0)), turn(1, v(9, 0, 0))), turn(2, v(3, 0, 0)));
    const Matrix r = multiply(orientation, rotation);
    const double d[3] = {(p.x - v(0, 0, 0)) * v(2, 0, 100) / 100,
                         (p.y - v(0, 1, 0)) * v(2, 1, 100) / 100,
                         (p.z - v(0, 2, 0)) * v(2, 2, 100) / 100};
    double out[3];
    for (int i = 0; i < 3; ++i)
        out[i] = v(1, std::size_t(i), 0) + r[i][0] * d[0] + r[i][1] * d[1] + r[i][2] * d[2];
    return {out[0], out[1], out[2]};
}

std::string scene_3d(const std::string& kid, const std::string& parent) {
    return R"({"activeItem": "Main", "items": [{"type": "comp", "name": "Main", "layers": [
        {"type": "shape", "name": "Kid", "parent": "Dad", "flags": ["video", "3d"], "streams": )" +
           kid + R"(},
        {"type": "shape", "name": "Dad", "flags": ["video", "3d"], "streams": )" +
           parent + "}]}]}";
}

class Parent3D : public ScriptBench {
protected:
    std::vector<Point3> world_of(const std::string& name, model::Time t = model::Rational::of(0)) {
        const Point3 probes[] = {{0, 0, 0}, {100, 0, 0}, {0, 100, 0}, {0, 0, 100}, {37, -12, 55}};
        std::vector<Point3> points;
        for (Point3 p : probes) {
            for (const model::Layer* l = &layer("Main", name); l != nullptr;
                 l = l->parent == model::kNoId ? nullptr : model::find_layer(project, l->parent)) {
                p = into_parent_3d(*l, p, t);
            }
            points.push_back(p);
        }
        return points;
    }

    void expect_same_place(const std::vector<Point3>& before, const std::vector<Point3>& after,
                           const std::string& label) {
        for (std::size_t i = 0; i < before.size(); ++i) {
            EXPECT_NEAR(before[i].x, after[i].x, 1e-6) << label << " probe " << i;
            EXPECT_NEAR(before[i].y, after[i].y, 1e-6) << label << " probe " << i;
            EXPECT_NEAR(before[i].z, after[i].z, 1e-6) << label << " probe " << i;
        }
    }
};

TEST_F(Parent3D, ReleasingKeepsATurnedLayersPlaceAndLook) {
    struct Case {
        const char* label;
        std::string project;
    };
    const Case cases[] = {
        {"a tilted parent",
         scene_3d(R"({"Position": [10, 20, 5], "Anchor Point": [5, 5, 0], "Rotation": 40,
                      "X Rotation": 15})",
                  R"({"Position": [300, 200, 50], "Orientation": [30, 0, 0], "Y Rotation": 20,
                      "Scale": [150, 150, 150]})")},
        {"a flat parent over a turned child",
         scene_3d(R"({"Position": [-40, 70, 0], "Orientation": [0, 45, 0], "Rotation": 10})",
                  R"({"Position": [30, -20, 0], "Rotation": 90, "Scale": [50, 50, 50]})")},
        {"a mirrored, tilted parent",
         scene_3d(R"({"Position": [25, 0, 0], "Y Rotation": -30})",
                  R"({"Position": [500, 500, 0], "X Rotation": 60, "Scale": [-100, 100, 100]})")},
    };
    for (const Case& c : cases) {
        load(c.project);
        const std::vector<Point3> before = world_of("Kid");
        value("app.project.item(1).layer(1).parent = null");
        EXPECT_EQ(layer("Main", "Kid").parent, model::kNoId) << c.label;
        expect_same_place(before, world_of("Kid"), c.label);
    }
}

// The parent's turn lands in the orientation; the layer's own rotations,
// keyframes included, keep their values.
TEST_F(Parent3D, TheTurnGoesIntoTheOrientation) {
    load(scene_3d(R"({"Position": [0, 0, 0], "Rotation": 25,
                      "X Rotation": {"keyframes": [{"time": 0, "value": 0},
                                                   {"time": 1, "value": 90}]}})",
                  R"({"Position": [100, 0, 0], "X Rotation": 90})"));
    const std::vector<Point3> start = world_of("Kid");
    const std::vector<Point3> end = world_of("Kid", model::Rational::of(1));
    value("app.project.item(1).layer(1).parent = null");
    const model::Layer& kid = layer("Main", "Kid");
    EXPECT_EQ(kid.streams.at(10).value, (std::vector<double>{90, 0, 0}));
    EXPECT_EQ(kid.streams.at(3).value, (std::vector<double>{25}));
    ASSERT_EQ(kid.streams.at(8).keyframes.size(), 2u);
    EXPECT_EQ(kid.streams.at(8).keyframes[1].value, (std::vector<double>{90}));
    EXPECT_EQ(kid.streams.at(1).value, (std::vector<double>{100, 0, 0}));
    expect_same_place(start, world_of("Kid"), "at 0 s");
    expect_same_place(end, world_of("Kid", model::Rational::of(1)), "at 1 s");
}

}  // namespace
}  // namespace script_test
