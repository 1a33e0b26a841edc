// Whole runs checked against the test's own evaluator: every copy shows where and when the
// pre-comp layer showed its original, and followers stay where they were.
#include <algorithm>
#include <random>

#include "common/world_eval.h"
#include "model/streams.h"
#include "plugin_host.h"

namespace outfold::testing {
namespace {

namespace model = host::model;
using model::Interpolation;
using model::Rational;
using model::Time;
namespace stream = model::stream;

// P shows Inner ("[L0]", "[L1]", ...) in Main, under "Link" and "Grand", followed by "Follower".
struct SceneBuilder {
    model::Project project;
    model::Id main, inner, solid;

    explicit SceneBuilder(Rational innerRate) {
        solid = model::add_footage(project, "Solid", {}).id;
        const model::Composition in{.frameRate = innerRate, .duration = Rational::of(12)};
        inner = model::add_composition(project, "Inner", in).id;
        const model::Composition out{.frameRate = Rational::of(30), .duration = Rational::of(30)};
        main = project.activeItem = model::add_composition(project, "Main", out).id;
    }
    model::Layer& add(model::Id comp, const std::string& name, bool threeD) {
        model::Layer layer{.ownName = name, .source = solid, .duration = Rational::of(12)};
        if (threeD) layer.flags |= model::flag::k3D;
        return model::add_layer(project, comp, std::move(layer), -1);
    }
    model::Layer& layer(const std::string& name) {
        for (const model::Id comp : {inner, main})
            for (model::Layer& candidate : model::comp_of(project, comp)->layers)
                if (candidate.ownName == name) return candidate;
        throw std::runtime_error("no layer " + name);
    }
};

void set_value(model::Layer& layer, int number, std::vector<double> value) {
    layer.streams.at(number).value = std::move(value);
}

void set_keys(model::Layer& layer, int number, const std::vector<Time>& times,
              const std::vector<std::vector<double>>& values,
              Interpolation interpolation = Interpolation::Linear) {
    model::Stream& stream = layer.streams.at(number);
    stream.keyframes.clear();
    for (std::size_t i = 0; i < times.size(); ++i) {
        model::Keyframe key = model::new_keyframe(stream, times[i]);
        key.value = values[i];
        key.inInterp = key.outInterp = interpolation;
        model::insert_keyframe(stream, std::move(key));
    }
}

struct RunOptions {
    bool attributes = true, keep = false, deleteSource = false;
};

// The one layer of Main whose name ends in the inner layer's, or null.
const model::Layer* copy_of(const model::Project& after, const std::string& name) {
    const auto& layers = comp_named(after, "Main").layers;
    const auto named = [&](const model::Layer& layer) { return layer.ownName.ends_with(name); };
    return std::ranges::count_if(layers, named) == 1 ? &*std::ranges::find_if(layers, named)
                                                     : nullptr;
}

// Both ends, just before them, and points between frames across the span.
void add_span_samples(std::vector<Time>& times, Time start, Time end) {
    const Rational tick = Rational::of(1, 100000);
    for (const Time t : {start, end, start - tick, end - tick}) times.push_back(t);
    for (int k = 1; k < 8; ++k)
        times.push_back(start + (end - start) * Rational::of(2 * k - 1, 15));
}

std::string at(Time t) { return "at " + std::to_string(t.num) + "/" + std::to_string(t.den) + "s"; }

class Placement : public PluginHostTest {
protected:
    void SetUp() override { ASSERT_EQ(load_module(), A_Err_NONE); }

    // The dialog remembers the last run's choices; a ticked box disables the other: untick first.
    std::vector<std::string> actions_for(const RunOptions& options) {
        std::vector<std::string> actions{options.attributes ? "click optionCopyAttributes"
                                                            : "click optionDiscardAttributes"};
        for (const bool tick : {false, true}) {
            if (last_.keep != options.keep && options.keep == tick)
                actions.push_back("click optionKeepInComp");
            if (last_.deleteSource != options.deleteSource && options.deleteSource == tick)
                actions.push_back("click optionDeleteSource");
        }
        actions.push_back("ok");
        last_ = options;
        return actions;
    }

    // Every map within 1e-6.
    void run_and_check(const model::Project& project, const RunOptions& options,
                       const std::string& label) {
        SCOPED_TRACE(label);
        host_.set_project(project);
        ASSERT_EQ(run({"P"}, actions_for(options)), A_Err_NONE);
        expect_follower_kept(options);
        const model::Project &before = before_, &after = host_.project();
        const model::Layer& precomp = found(layer_named(before, "Main", "P"), "no P");
        const Time shift = options.attributes ? precomp.offset : Rational::of(0);
        for (const model::Layer& inner : comp_named(before, "Inner").layers) {
            SCOPED_TRACE(inner.ownName);
            const model::Layer* copy = copy_of(after, inner.ownName);
            ASSERT_NE(copy, nullptr) << "no single copy";
            std::vector<Time> times;
            const Time start = inner.offset + inner.inPoint + shift;
            add_span_samples(times, start, start + inner.duration);
            const Time precompStart = precomp.offset + precomp.inPoint;
            if (options.attributes)
                add_span_samples(times, precompStart, precompStart + precomp.duration);
            for (const Time t : times) {
                // Before Main's start or after its end nothing is seen.
                if (t < Rational::of(0) || !(t < comp_named(before, "Main").duration)) continue;
                const Time innerTime = t - shift;
                const bool shows = eval::shows(inner, innerTime) &&
                                   (!options.attributes || eval::shows(precomp, t));
                EXPECT_EQ(eval::shows(*copy, t), shows) << at(t);
                if (!shows || !eval::shows(*copy, t)) continue;
                ++comparisons_;
                eval::Affine want = eval::world(before, inner, innerTime);
                if (options.attributes) want = eval::then(want, eval::world(before, precomp, t));
                const eval::Affine got = eval::world(after, *copy, t);
                EXPECT_LE(eval::distance(got, want), 1e-6) << at(t);
            }
        }
    }

    // Over its span while the motion it followed goes on, else where it starts.
    void expect_follower_kept(const RunOptions& options) {
        const model::Layer* was = layer_named(before_, "Main", "Follower");
        if (was == nullptr) return;
        bool moves = false;
        for (const auto& [number, s] : found(layer_named(before_, "Main", "P"), "no P").streams)
            moves = moves || !s.keyframes.empty() || !s.expression.empty();
        const model::Layer& is = layer("Main", "Follower");
        const Time start = was->offset + was->inPoint;
        std::vector<Time> times{start};
        if (options.keep || !moves || options.attributes)
            add_span_samples(times, start, start + was->duration);
        for (const Time t : times) {
            const eval::Affine now = eval::world(host_.project(), is, t);
            EXPECT_LE(eval::distance(now, eval::world(before_, *was, t)), 1e-6)
                << "follower " << at(t);
            ++comparisons_;
        }
    }

    RunOptions last_;
    int comparisons_ = 0;
};

using PlacementFidelity = Placement;
using PlacementInvariance = Placement;

// P over [L0] and its child [L1]; as asked a follower, a moving parent Link, keys on P.
enum Extras { kFollower = 1, kLink = 2, kMoving = 4 };

SceneBuilder fidelity_scene(int extras, Rational innerRate = Rational::of(30)) {
    SceneBuilder scene(innerRate);
    model::Layer& top = scene.add(scene.inner, "[L0]", false);
    set_value(top, stream::kPosition, {200, 150, 0});
    set_value(top, stream::kRotation, {15});
    model::Layer& child = scene.add(scene.inner, "[L1]", false);
    set_value(child, stream::kPosition, {40, 10, 0});
    model::set_parent(scene.project, child.id, top.id);
    model::Layer& precomp = scene.add(scene.main, "P", false);
    precomp.source = scene.inner;
    set_value(precomp, stream::kPosition, {900, 500, 0});
    if (extras & kFollower) {
        model::Layer& follower = scene.add(scene.main, "Follower", false);
        set_value(follower, stream::kPosition, {-50, 80, 0});
        model::set_parent(scene.project, follower.id, precomp.id);
    }
    if (extras & kLink) {
        model::Layer& link = scene.add(scene.main, "Link", false);
        set_value(link, stream::kRotation, {30});
        set_value(link, stream::kScale, {50, 50, 50});
        set_value(link, stream::kPosition, {300, 200, 0});
        set_keys(link, stream::kPosition, {Rational::of(0), Rational::of(3)},
                 {{300, 200, 0}, {600, 100, 0}});
        model::set_parent(scene.project, precomp.id, link.id);
    }
    if (extras & kMoving)
        set_keys(precomp, stream::kPosition, {Rational::of(0), Rational::of(2)},
                 {{900, 500, 0}, {1100, 300, 0}});
    return scene;
}

TEST_F(PlacementFidelity, CopiesLandWhereAndWhenThePrecompLayerShowedThem) {
    const std::string carrier = "{{P_outfold}}";
    const Rational film = Rational::of(24000, 1001);
    const auto check = [&](const SceneBuilder& scene, const char* label, RunOptions options = {}) {
        const int comparisons = comparisons_;
        run_and_check(scene.project, options, label);
        EXPECT_GT(comparisons_, comparisons) << label;
    };
    const auto parent_of = [&](const std::string& name) {
        const model::Layer* parent = model::find_layer(host_.project(), layer("Main", name).parent);
        return parent == nullptr ? "" : model::shown_name(host_.project(), *parent);
    };

    check(fidelity_scene(kLink), "a still P with a turned, scaled, moving parent");
    EXPECT_EQ(parent_of("[L0]"), "Link");
    check(fidelity_scene(kLink | kMoving), "a moving P with that parent");
    EXPECT_EQ(parent_of(carrier), "Link");
    EXPECT_EQ(parent_of("[L0]"), carrier);

    SceneBuilder s = fidelity_scene(0, film);
    s.layer("[L0]").offset = Rational::of(1001, 24000);
    check(s, "23.976 fps inside 30 fps at offset 0");
    EXPECT_EQ(layer("Main", "[L0]").offset, Rational::of(1001, 24000));

    s = fidelity_scene(0, film);
    model::Layer& top = s.layer("[L0]");
    top.offset = Rational::of(1001, 24000);
    set_keys(top, stream::kRotation, {Rational::of(1001, 24000), Rational::of(3003, 24000)},
             {{0}, {90}});
    model::Layer& precomp = s.layer("P");
    std::tie(precomp.offset, precomp.inPoint, precomp.duration) =
        std::tuple(Rational::of(-7, 30), Rational::of(11, 30), Rational::of(2));
    check(s, "23.976 fps inside 30 fps, moved and trimmed");
    EXPECT_EQ(layer("Main", "[L0]").offset, Rational::of(1001, 24000) - Rational::of(7, 30));
    EXPECT_EQ(layer("Main", "[L0]").offset + layer("Main", "[L0]").inPoint, Rational::of(4, 30));

    s = fidelity_scene(0, Rational::of(25));
    s.layer("[L1]").offset = Rational::of(3, 25);
    s.layer("P").offset = Rational::of(1, 30);
    check(s, "25 fps inside 30 fps without attributes", {false});
    EXPECT_EQ(layer("Main", "[L1]").offset, Rational::of(3, 25));

    s = fidelity_scene(0);
    s.layer("P").streams.at(stream::kRotation).value = {20};
    s.layer("P").streams.at(stream::kRotation).expression = "time * 90";
    check(s, "rotation moved by an expression alone");
    EXPECT_EQ(layer("Main", carrier).streams.at(stream::kRotation).value, std::vector<double>{20});
    EXPECT_EQ(layer("Main", carrier).streams.at(stream::kRotation).expression, "time * 90");
    EXPECT_EQ(parent_of("[L0]"), carrier);

    check(fidelity_scene(kFollower | kMoving), "a follower of a moving P");
    EXPECT_EQ(parent_of("Follower"), carrier);
    s = fidelity_scene(kFollower);
    set_value(s.layer("P"), stream::kRotation, {45});
    check(s, "a follower of a still P");
    EXPECT_EQ(parent_of("Follower"), "");
    check(fidelity_scene(kFollower | kLink), "a follower of a still P with a parent");
    EXPECT_EQ(parent_of("Follower"), "Link");
    check(fidelity_scene(kFollower | kMoving), "a follower of a kept P", {true, true});
    EXPECT_EQ(parent_of("Follower"), "P");

    // An uneven scale folds exactly only where nothing turns; else the carrier stays.
    s = fidelity_scene(kFollower);
    set_value(s.layer("P"), stream::kScale, {60, 140, 100});
    set_value(s.layer("P"), stream::kRotation, {30});
    check(s, "a still P scaled unevenly under a turn");
    EXPECT_EQ(parent_of("[L0]"), carrier);
    EXPECT_EQ(parent_of("Follower"), carrier);
    s = fidelity_scene(0);
    set_value(s.layer("P"), stream::kScale, {60, 140, 100});
    set_value(s.layer("[L0]"), stream::kRotation, {0});
    check(s, "a still P scaled unevenly, nothing turned");
    EXPECT_EQ(parent_of("[L0]"), "");
}

// Only the engine's raw output, which the standard fixes: the same projects on every
// platform.
struct Dice {
    std::mt19937 engine;
    int between(int low, int high) {
        return low + static_cast<int>(engine() % static_cast<unsigned>(high - low + 1));
    }
    double number(int low, int high) { return between(low, high); }
    std::size_t index(std::size_t size) { return std::size_t(between(0, int(size) - 1)); }
    bool chance(int percent) { return between(1, 100) <= percent; }
    template <class T>
    T pick(const std::vector<T>& options) {
        return options[index(options.size())];
    }
};

double signed_scale(Dice& dice) { return dice.between(40, 160) * (dice.chance(15) ? -1 : 1); }

void draw_values(Dice& dice, model::Layer& layer, bool threeD, bool uniform) {
    const auto depth = [&](int range) { return threeD ? dice.number(-range, range) : 0.0; };
    set_value(layer, stream::kAnchorPoint, {dice.number(-60, 60), dice.number(-60, 60), depth(40)});
    set_value(layer, stream::kPosition,
              {dice.number(-400, 900), dice.number(-300, 700), depth(300)});
    if (uniform) {
        const double s = dice.between(40, 160);
        set_value(layer, stream::kScale, {dice.chance(20) ? -s : s, s, s});
    } else {
        set_value(layer, stream::kScale,
                  {signed_scale(dice), signed_scale(dice), threeD ? signed_scale(dice) : 100.0});
    }
    set_value(layer, stream::kRotation, {dice.number(-200, 200)});
    if (threeD && dice.chance(60)) {
        set_value(layer, stream::kRotateX, {dice.number(-90, 90)});
        set_value(layer, stream::kRotateY, {dice.number(-90, 90)});
        set_value(layer, stream::kOrientation,
                  {dice.number(0, 359), dice.number(0, 359), dice.number(0, 359)});
    }
}

// Two or three keyframes on one or two transform properties, on the frame grid from
// `first`.
void draw_keys(Dice& dice, model::Layer& layer, bool threeD, Time first, Rational frame) {
    std::vector<int> numbers{stream::kPosition, stream::kRotation, stream::kScale};
    if (threeD) numbers.insert(numbers.end(), {stream::kOrientation, stream::kRotateX});
    for (int p = dice.between(1, 2); p > 0; --p) {
        const int number = dice.pick(numbers);
        const Interpolation interpolation = dice.pick(std::vector<Interpolation>{
            Interpolation::Linear, Interpolation::Bezier, Interpolation::Hold});
        std::vector<Time> times;
        std::vector<std::vector<double>> values;
        Time at = first + frame * Rational::of(dice.between(0, 20));
        for (int k = dice.between(2, 3); k > 0; --k) {
            times.push_back(at);
            std::vector<double> v = layer.streams.at(number).value;
            if (number == stream::kScale) {
                // Alike on every axis: a uniform scale stays uniform, none nears zero.
                const double factor = dice.between(50, 150) / 100.0;
                for (double& x : v) x *= factor;
            } else {
                for (double& x : v) x += dice.between(-150, 150);
                if (!threeD && v.size() == 3) v[2] = 0;
            }
            values.push_back(v);
            at = at + frame * Rational::of(dice.between(5, 40));
        }
        set_keys(layer, number, times, values, interpolation);
        // Eased keys leave and arrive at speeds of their own.
        for (model::Keyframe& key : layer.streams.at(number).keyframes)
            for (std::vector<model::Ease>* eases : {&key.inEase, &key.outEase})
                for (model::Ease& e : *eases) e = {dice.number(-200, 200), dice.number(10, 90)};
    }
}

const Rational kOuterFrame = Rational::of(1, 30);

model::Project draw_project(Dice& dice) {
    const Rational rate = dice.pick(
        std::vector<Rational>{Rational::of(30), Rational::of(25), Rational::of(24000, 1001)});
    SceneBuilder scene(rate);
    const Rational frame = Rational::of(rate.den, rate.num);
    std::vector<model::Id> ids;
    for (int i = 0, count = dice.between(2, 4); i < count; ++i) {
        const bool threeD = dice.chance(40);
        model::Layer& layer = scene.add(scene.inner, "[L" + std::to_string(i) + "]", threeD);
        layer.offset = frame * Rational::of(dice.between(-30, 60));
        layer.inPoint = frame * Rational::of(dice.between(0, 40));
        layer.duration = frame * Rational::of(dice.between(20, 220));
        draw_values(dice, layer, threeD, false);
        if (dice.chance(60)) draw_keys(dice, layer, threeD, layer.inPoint, frame);
        ids.push_back(layer.id);
    }
    for (std::size_t i = ids.size(); i > 1; --i) std::swap(ids[i - 1], ids[dice.index(i)]);
    for (std::size_t k = 1; k < ids.size(); ++k)
        if (dice.chance(60)) model::set_parent(scene.project, ids[k], ids[dice.index(k)]);

    const bool threeD = dice.chance(50);
    const bool follower = dice.chance(35);
    if (follower) {
        // A 2D layer cannot hold a turn out of the plane.
        const bool follower3D = threeD || dice.chance(40);
        model::Layer& layer = scene.add(scene.main, "Follower", follower3D);
        layer.offset = kOuterFrame * Rational::of(dice.between(-20, 40));
        draw_values(dice, layer, follower3D, false);
        if (dice.chance(50)) draw_keys(dice, layer, follower3D, Rational::of(0), kOuterFrame);
    }
    model::Layer& precomp = scene.add(scene.main, "P", threeD);
    precomp.source = scene.inner;
    precomp.offset = kOuterFrame * Rational::of(dice.between(-60, 90));
    precomp.inPoint = kOuterFrame * Rational::of(dice.between(0, 90));
    precomp.duration = kOuterFrame * Rational::of(dice.between(30, 260));
    enum Motion { Still, Keyed, Expression };
    const Motion motion = dice.pick(std::vector<Motion>{Still, Still, Keyed, Expression});
    // Without attributes P's followers take its transform by the host's fold, exact only for
    // uniform scales.
    draw_values(dice, precomp, threeD, follower);
    // Turned by nothing but its copies: an uneven scale then folds exactly where they do not turn.
    if (dice.chance(15)) {
        set_value(precomp, stream::kRotation, {0});
        for (const int number : {stream::kRotateX, stream::kRotateY})
            set_value(precomp, number, {0});
        set_value(precomp, stream::kOrientation, {0, 0, 0});
    }
    if (motion == Keyed) draw_keys(dice, precomp, threeD, precomp.inPoint, kOuterFrame);
    if (motion == Expression)
        precomp.streams.at(dice.chance(50) ? stream::kRotation : stream::kPosition).expression =
            "value + time * 20";
    if (follower) model::set_parent(scene.project, scene.layer("Follower").id, precomp.id);
    model::Id child = precomp.id;
    for (int level = dice.between(0, 2); level > 0; --level) {
        const bool chain3D = dice.chance(40);
        model::Layer& up = scene.add(scene.main, level == 1 ? "Link" : "Grand", chain3D);
        draw_values(dice, up, chain3D, false);
        if (dice.chance(50)) draw_keys(dice, up, chain3D, Rational::of(0), kOuterFrame);
        model::set_parent(scene.project, child, up.id);
        child = up.id;
    }
    return scene.project;
}

TEST_F(PlacementInvariance, EveryCopyShowsWhereAndWhenThePrecompLayerShowedIt) {
    Dice dice{std::mt19937(20261207)};
    for (int n = 0; n < 200 && !HasFailure(); ++n) {  // one project's account is enough to read
        const model::Project project = draw_project(dice);
        RunOptions options;
        options.keep = dice.chance(20);
        options.deleteSource = !options.keep && dice.chance(15);
        for (const bool attributes : {true, false}) {
            options.attributes = attributes;
            run_and_check(project, options,
                          "project " + std::to_string(n) + (attributes ? " with" : " without") +
                              " attributes");
        }
    }
    EXPECT_GT(comparisons_, 8000);
}

}  // namespace
}  // namespace outfold::testing
