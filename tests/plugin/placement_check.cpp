#include "placement_check.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/world_eval.h"
#include "model/project_ops.h"
#include "model/streams.h"
#include "plugin_host.h"

namespace outfold::testing {

namespace model = host::model;
using model::Rational;
using model::Time;

SceneBuilder::SceneBuilder(Rational innerRate) {
    model::Footage footage;
    solid = model::add_footage(project, "Solid", footage).id;
    model::Composition inner;
    inner.frameRate = innerRate;
    inner.duration = Rational::of(12);
    this->inner = model::add_composition(project, "Inner", inner).id;
    model::Composition outer;
    outer.duration = Rational::of(30);
    main = model::add_composition(project, "Main", outer).id;
    project.activeItem = main;
}

model::Layer& SceneBuilder::add(model::Id comp, const std::string& name, bool threeD) {
    model::Layer layer;
    layer.ownName = name;
    layer.source = solid;
    layer.duration = Rational::of(12);
    if (threeD) layer.flags |= model::flag::k3D;
    const model::Id id = model::add_layer(project, comp, std::move(layer), -1).id;
    return *model::find_layer(project, id);
}

model::Layer& SceneBuilder::layer(model::Id comp, const std::string& name) {
    for (model::Layer& candidate : model::comp_of(project, comp)->layers) {
        if (candidate.ownName == name) return candidate;
    }
    throw std::runtime_error("no layer " + name);
}

void set_value(model::Layer& layer, int number, std::vector<double> value) {
    layer.streams.at(number).value = std::move(value);
}

void set_keys(model::Layer& layer, int number, const std::vector<Time>& times,
              const std::vector<std::vector<double>>& values, model::Interpolation interpolation) {
    model::Stream& stream = layer.streams.at(number);
    stream.keyframes.clear();
    for (std::size_t i = 0; i < times.size(); ++i) {
        model::Keyframe key = model::new_keyframe(stream, times[i]);
        key.value = values[i];
        key.inInterp = key.outInterp = interpolation;
        model::insert_keyframe(stream, std::move(key));
    }
}

std::vector<std::string> DialogAnswers::actions_for(const RunOptions& options) {
    std::vector<std::string> actions{options.attributes ? "click optionCopyAttributes"
                                                        : "click optionDiscardAttributes"};
    // A ticked box disables the other one: untick before ticking.
    if (keep_ && !options.keep) actions.push_back("click optionKeepInComp");
    if (deleteSource_ && !options.deleteSource) actions.push_back("click optionDeleteSource");
    if (!keep_ && options.keep) actions.push_back("click optionKeepInComp");
    if (!deleteSource_ && options.deleteSource) actions.push_back("click optionDeleteSource");
    actions.push_back("ok");
    keep_ = options.keep;
    deleteSource_ = options.deleteSource;
    return actions;
}

namespace {

const model::Layer& named(const model::Project& project, const char* comp,
                          const std::string& name) {
    for (const model::Layer& layer : comp_named(project, comp).layers) {
        if (layer.ownName == name) return layer;
    }
    throw std::runtime_error("no layer " + name + " in " + comp);
}

// The copy of an inner layer: the one layer of Main whose name ends in the
// inner layer's (a prefix may have been put in front).
const model::Layer* copy_of(const model::Project& after, const std::string& name) {
    const model::Layer* found = nullptr;
    for (const model::Layer& layer : comp_named(after, "Main").layers) {
        if (!layer.ownName.ends_with(name)) continue;
        if (found != nullptr) return nullptr;
        found = &layer;
    }
    return found;
}

const Rational kTick = Rational::of(1, 100000);

// Times where a layer's picture may go wrong: its first and last instants,
// just around them, and points between frames across its span.
void add_span_samples(std::vector<Time>& times, Time start, Time end) {
    for (const Time t : {start, end, start - kTick, end - kTick}) times.push_back(t);
    for (int k = 1; k < 8; ++k)
        times.push_back(start + (end - start) * Rational::of(2 * k - 1, 15));
}

double determinant2(const eval::Affine& a) { return a.m[0][0] * a.m[1][1] - a.m[0][1] * a.m[1][0]; }

// Checks one sample; true when it compared two pictures.
bool check_sample(const model::Layer& copy, const model::Project& after,
                  const eval::Affine& expected, bool expectedShows, Time t, Exactness exactness,
                  const model::Layer& inner, Time innerTime, CheckStats& stats) {
    const bool shows = eval::shows(copy, t);
    EXPECT_EQ(shows, expectedShows) << "at " << t.num << "/" << t.den << " s";
    if (!shows || !expectedShows) return false;
    const eval::Affine actual = eval::world(after, copy, t);
    const double off = eval::distance(actual, expected);
    if (exactness == Exactness::Exact) {
        EXPECT_LE(off, 1e-6) << "at " << t.num << "/" << t.den << " s";
        return true;
    }
    if (off > 1e-6) ++stats.inexactFrames;
    const std::vector<double> a = eval::value(inner, eval::kAnchor, innerTime, {0, 0, 0});
    const eval::Vector anchor{a[0], a[1], a[2]};
    const eval::Vector want = eval::apply(expected.m, anchor);
    const eval::Vector got = eval::apply(actual.m, anchor);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(got[i] + actual.t[i], want[i] + expected.t[i], 1e-6) << "anchor point";
    const double area = determinant2(expected);
    EXPECT_NEAR(determinant2(actual), area, 1e-9 * std::fmax(1.0, std::fabs(area))) << "area";
    return true;
}

void check_copies(const model::Project& before, const model::Project& after,
                  const RunOptions& options, Exactness exactness, CheckStats& stats) {
    const model::Layer& precomp = named(before, "Main", "P");
    const Time shift = options.attributes ? precomp.offset : Rational::of(0);
    for (const model::Layer& inner : comp_named(before, "Inner").layers) {
        SCOPED_TRACE(inner.ownName);
        const model::Layer* copy = copy_of(after, inner.ownName);
        ASSERT_NE(copy, nullptr) << "no single copy";
        std::vector<Time> times;
        const Time start = inner.offset + inner.inPoint + shift;
        add_span_samples(times, start, start + inner.duration);
        if (options.attributes) {
            const Time precompStart = precomp.offset + precomp.inPoint;
            add_span_samples(times, precompStart, precompStart + precomp.duration);
        }
        for (const Time t : times) {
            const Time innerTime = t - shift;
            const bool expectedShows =
                eval::shows(inner, innerTime) && (!options.attributes || eval::shows(precomp, t));
            eval::Affine expected = eval::world(before, inner, innerTime);
            if (options.attributes)
                expected = eval::then(expected, eval::world(before, precomp, t));
            if (check_sample(*copy, after, expected, expectedShows, t, exactness, inner, innerTime,
                             stats))
                ++stats.comparisons;
        }
    }
}

// A follower keeps its picture: at every time when the motion it followed
// goes on (the pre-comp layer kept, or carried on by the carrier, or still),
// else where it starts.
void check_follower(const model::Project& before, const model::Project& after,
                    const RunOptions& options, CheckStats& stats) {
    const model::Layer& precomp = named(before, "Main", "P");
    bool moves = false;
    for (const auto& entry : precomp.streams)
        moves = moves || !entry.second.keyframes.empty() || !entry.second.expression.empty();
    const bool followsAll = options.keep || !moves || options.attributes;
    const model::Layer& was = named(before, "Main", "Follower");
    const model::Layer& is = named(after, "Main", "Follower");
    std::vector<Time> times{was.offset + was.inPoint};
    if (followsAll)
        add_span_samples(times, was.offset + was.inPoint, was.offset + was.inPoint + was.duration);
    for (const Time t : times) {
        EXPECT_LE(eval::distance(eval::world(after, is, t), eval::world(before, was, t)), 1e-6)
            << "follower at " << t.num << "/" << t.den << " s";
        ++stats.comparisons;
    }
}

}  // namespace

void expect_placement_kept(const model::Project& before, const model::Project& after,
                           const RunOptions& options, Exactness exactness, const std::string& label,
                           CheckStats& stats) {
    SCOPED_TRACE(label);
    check_copies(before, after, options, exactness, stats);
    for (const model::Layer& layer : comp_named(before, "Main").layers) {
        if (layer.ownName == "Follower") check_follower(before, after, options, stats);
    }
}

}  // namespace outfold::testing
