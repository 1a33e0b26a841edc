// Whole runs judged by the host's picture of Main: after extracting P with its attributes, a
// viewer sees the same leaves, in the same order, placed, faded, switched and timed alike.
#include <cmath>
#include <random>

#include "model/blending.h"
#include "model/streams.h"
#include "plugin_host.h"

namespace outfold::testing {
namespace {

namespace model = host::model;
namespace picture = host::picture;
using model::Rational;
using model::Time;
namespace stream = model::stream;

// The mode a leaf is drawn with: its own, or else the innermost pre-comp layer's that is not
// Normal.
std::int32_t drawn_mode(const picture::Leaf& leaf) {
    if (leaf.blendingMode != model::kNormalBlending) return leaf.blendingMode;
    for (auto mode = leaf.groupModes.rbegin(); mode != leaf.groupModes.rend(); ++mode)
        if (*mode != model::kNormalBlending) return *mode;
    return model::kNormalBlending;
}

std::string at(Time t) { return "at " + std::to_string(t.num) + "/" + std::to_string(t.den) + "s"; }

// Main with the solid "Sound" (it has audio) and the composition "Inner" shown by the layer P.
struct Scene {
    model::Project project;
    model::Id main, inner, sound;

    Scene() {
        sound = model::add_footage(project, "Sound", {.hasAudio = true}).id;
        inner = model::add_composition(
                    project, "Inner", {.frameRate = Rational::of(30), .duration = Rational::of(20)})
                    .id;
        main = project.activeItem =
            model::add_composition(project, "Main",
                                   {.frameRate = Rational::of(30), .duration = Rational::of(30)})
                .id;
    }
    model::Layer& add(model::Id comp, const std::string& name) {
        model::Layer layer{.ownName = name,
                           .source = sound,
                           .duration = Rational::of(8),
                           .flags = model::flag::kVideoActive | model::flag::kAudioActive};
        return model::add_layer(project, comp, std::move(layer), -1);
    }
    model::Id layer_id(const std::string& name) {
        for (const model::Layer& layer : model::comp_of(project, main)->layers)
            if (layer.ownName == name) return layer.id;
        return model::kNoId;
    }
    model::Layer& precomp() {
        model::Layer& p = add(main, "P");
        p.source = inner;
        p.duration = Rational::of(20);
        return p;
    }
};

void keys(model::Layer& layer, int number, const std::vector<std::pair<Time, double>>& values) {
    model::Stream& s = layer.streams.at(number);
    for (const auto& [time, value] : values) {
        model::Keyframe key = model::new_keyframe(s, time);
        key.value.assign(s.value.size(), value);
        model::insert_keyframe(s, std::move(key));
    }
}

class PictureInvariance : public PluginHostTest {
protected:
    void SetUp() override { ASSERT_EQ(load_module(), A_Err_NONE); }

    // Runs with attributes copied ("keep" also keeps P) and compares Main's picture at `times`.
    void run_and_compare(const model::Project& project, const std::vector<Time>& times,
                         bool keep = false) {
        host_.set_project(project);
        std::vector<std::string> actions{"click optionCopyAttributes"};
        if (keep != keep_) actions.push_back("click optionKeepInComp");
        keep_ = keep;
        actions.push_back("ok");
        ASSERT_EQ(run({"P"}, actions), A_Err_NONE);
        const model::Id main = item_named(before_, "Main").id;
        const model::Id keptId = found(layer_named(before_, "Main", "P"), "no P").id;
        for (const Time t : times) {
            SCOPED_TRACE(at(t));
            picture::Picture was = host_.picture(before_, main, t);
            picture::Picture is = host_.picture(main, t);
            // What is neither seen nor heard; a kept P is never.
            for (const picture::Leaf& leaf : is.leaves)
                EXPECT_FALSE(keep && leaf.path.front() == keptId && (leaf.visible || leaf.audible));
            const auto unnoticed = [](const picture::Leaf& leaf) {
                return !leaf.visible && !leaf.audible;
            };
            std::erase_if(was.leaves, unnoticed);
            std::erase_if(is.leaves, unnoticed);
            EXPECT_EQ(is.errors, was.errors);
            const auto names = [](const picture::Picture& p) {
                std::string all;
                for (const picture::Leaf& leaf : p.leaves) all += leaf.names.back() + " ";
                return all;
            };
            ASSERT_EQ(is.leaves.size(), was.leaves.size()) << names(was) << "| " << names(is);
            for (std::size_t i = 0; i < was.leaves.size(); ++i) {
                const picture::Leaf &a = was.leaves[i], &b = is.leaves[i];
                SCOPED_TRACE(a.names.back());
                ++comparisons_;
                EXPECT_EQ(b.source, a.source);
                for (std::size_t k = 0; k < a.world.size(); ++k)
                    EXPECT_NEAR(b.world[k], a.world[k], 1e-6) << "world " << k;
                EXPECT_NEAR(b.opacity, a.opacity, 1e-6);
                EXPECT_EQ(std::tuple(b.visible, b.audible, drawn_mode(b)),
                          std::tuple(a.visible, a.audible, drawn_mode(a)));
                EXPECT_NEAR(b.layerTime.seconds(), a.layerTime.seconds(), 1e-6);
                ASSERT_EQ(b.sourceTime.has_value(), a.sourceTime.has_value());
                if (a.sourceTime) {
                    EXPECT_NEAR(b.sourceTime->seconds(), a.sourceTime->seconds(), 1e-6);
                }
            }
        }
    }

    bool keep_ = false;
    int comparisons_ = 0;
};

// Every tenth of a second over Main's first 16 s, off the frame grid.
std::vector<Time> samples() {
    std::vector<Time> times;
    for (int k = 0; k < 160; ++k) times.push_back(Rational::of(3 * k + 1, 30));
    return times;
}

// Each row: what P does to how its layers look; [A] over its child [B] inside.
TEST_F(PictureInvariance, EachLookOfThePrecompLayerCarriesToItsCopies) {
    using Shape = std::function<void(model::Layer & p, model::Layer & a, model::Layer & b)>;
    const auto fade = [](model::Layer& p, model::Layer&, model::Layer&) {
        keys(p, stream::kOpacity, {{Rational::of(1), 0}, {Rational::of(3), 100}});
    };
    const std::tuple<const char*, bool, Shape> cases[] = {
        {"reversed, 1 s to 7 s", false,
         [](model::Layer& p, model::Layer&, model::Layer& b) {
             std::tie(p.offset, p.stretch, p.inPoint, p.duration) =
                 std::tuple(Rational::of(7), Rational::of(-1), Rational::of(0), Rational::of(6));
             b.offset = Rational::of(2);
         }},
        {"200 % over an inner 50 %, moved and trimmed", false,
         [](model::Layer& p, model::Layer& a, model::Layer&) {
             std::tie(p.offset, p.stretch, p.inPoint, p.duration) = std::tuple(
                 Rational::of(1, 3), Rational::of(2), Rational::of(1, 2), Rational::of(5));
             std::tie(a.offset, a.stretch, a.inPoint) =
                 std::tuple(Rational::of(1, 10), Rational::of(1, 2), Rational::of(1));
             keys(a, stream::kRotation, {{Rational::of(1), 0}, {Rational::of(5), 90}});
         }},
        {"a fade-in over a copy's own fade-out", false,
         [&](model::Layer& p, model::Layer& a, model::Layer& b) {
             fade(p, a, b);
             keys(b, stream::kOpacity, {{Rational::of(2), 80}, {Rational::of(6), 10}});
         }},
        {"an opacity expression", false,
         [](model::Layer& p, model::Layer&, model::Layer&) {
             p.streams.at(stream::kOpacity).expression = "50 + 10 * Math.sin(time * 3)";
         }},
        {"video off, audio off, shy", false,
         [](model::Layer& p, model::Layer&, model::Layer&) {
             p.flags = (p.flags | model::flag::kShy) &
                       ~(model::flag::kVideoActive | model::flag::kAudioActive);
         }},
        {"added, one copy screened", false,
         [](model::Layer& p, model::Layer&, model::Layer& b) {
             p.blendingMode = model::blending_mode_named("ADD")->transferMode;
             b.blendingMode = model::blending_mode_named("SCREEN")->transferMode;
         }},
        {"kept in the composition, faded", true, fade},
        {"a still turn over a copy placed by an expression", false,
         [](model::Layer& p, model::Layer& a, model::Layer&) {
             p.streams.at(stream::kRotation).value = {30};
             a.streams.at(stream::kPosition).expression = "[200, 100]";
         }},
        {"a still 50 % over copies' own eased fades", false,
         [](model::Layer& p, model::Layer& a, model::Layer& b) {
             p.streams.at(stream::kOpacity).value = {50};
             keys(a, stream::kOpacity, {{Rational::of(1), 90}, {Rational::of(4), 20}});
             for (model::Keyframe& key : a.streams.at(stream::kOpacity).keyframes) {
                 key.inInterp = key.outInterp = model::Interpolation::Bezier;
                 key.inEase = {{-40, 30}};
                 key.outEase = {{-25, 70}};
             }
             b.streams.at(stream::kOpacity).value = {80};
         }},
        {"a still uneven scale under a turn, over a turning copy", false,
         [](model::Layer& p, model::Layer& a, model::Layer&) {
             p.streams.at(stream::kScale).value = {60, 140, 100};
             p.streams.at(stream::kRotation).value = {30};
             keys(a, stream::kRotation, {{Rational::of(1), 0}, {Rational::of(5), 90}});
         }},
    };
    for (const auto& [label, keep, shape] : cases) {
        SCOPED_TRACE(label);
        Scene scene;
        model::Layer& a = scene.add(scene.inner, "[A]");
        model::Layer& b = scene.add(scene.inner, "[B]");
        model::Layer& p = scene.precomp();
        model::set_parent(scene.project, b.id, a.id);
        b.streams.at(stream::kPosition).value = {30, 40, 0};
        p.streams.at(stream::kPosition).value = {500, 300, 0};
        shape(p, a, b);
        run_and_compare(scene.project, samples(), keep);
        const std::uint32_t shy = p.flags & model::flag::kShy;
        for (const char* name : {"[A]", "[B]"})
            EXPECT_EQ(layer("Main", name).flags & model::flag::kShy, shy) << name;
        if (keep) {
            EXPECT_EQ(layer("Main", "P").flags & model::flag::kAudioActive, 0u);
        }
        if (HasFailure()) break;
    }
    EXPECT_GT(comparisons_, 800);
}

// One alert names, per pre-comp layer, what its copies do not take over; none when nothing is.
TEST_F(PictureInvariance, TheReportNamesWhatTheCopiesDoNotTakeOver) {
    using Shape = std::function<void(Scene&, model::Layer & p, model::Layer & a)>;
    const std::tuple<const char*, Shape, std::string> cases[] = {
        {"nothing lost", [](Scene&, model::Layer&, model::Layer&) {}, ""},
        {"matted by the layer above",
         [](Scene& scene, model::Layer& p, model::Layer&) {
             scene.add(scene.main, "Matte");
             model::reorder_layer(scene.project, scene.layer_id("Matte"), 0);
             p.trackMatte = model::TrackMatte::Alpha;
         },
         "its track matte"},
        {"a matte for the layer below",
         [](Scene& scene, model::Layer&, model::Layer&) {
             scene.add(scene.main, "Matted").trackMatte = model::TrackMatte::Luma;
         },
         "its track matte"},
        {"masked twice, and matted",
         [&](Scene& scene, model::Layer& p, model::Layer&) {
             scene.add(scene.main, "Matte");
             model::reorder_layer(scene.project, scene.layer_id("Matte"), 0);
             p.trackMatte = model::TrackMatte::Alpha;
             for (int m = 0; m < 2; ++m) p.masks.push_back({.id = model::new_id(scene.project)});
         },
         "its masks; its track matte"},
        {"a camera inside",
         [](Scene& scene, model::Layer&, model::Layer&) {
             model::add_layer(
                 scene.project, scene.inner,
                 {.kind = model::LayerKind::Camera, .ownName = "Cam", .duration = Rational::of(8)},
                 -1);
         },
         "its adjustment layers, cameras or lights now act on the whole composition"},
        {"a fade over a copy's own opacity expression",
         [](Scene&, model::Layer& p, model::Layer& a) {
             keys(p, stream::kOpacity, {{Rational::of(1), 0}, {Rational::of(3), 100}});
             a.streams.at(stream::kOpacity).expression = "50";
         },
         "1 layer keeps its own opacity expression"},
        {"a still 40 % over a copy's own opacity expression",
         [](Scene&, model::Layer& p, model::Layer& a) {
             p.streams.at(stream::kOpacity).value = {40};
             a.streams.at(stream::kOpacity).expression = "50";
         },
         "1 layer keeps its own opacity expression"},
        {"added over a screened copy, time remapped",
         [](Scene&, model::Layer& p, model::Layer& a) {
             p.blendingMode = model::blending_mode_named("ADD")->transferMode;
             p.flags |= model::flag::kTimeRemapping;
             a.blendingMode = model::blending_mode_named("SCREEN")->transferMode;
         },
         "time remapping (its layers play at normal speed); 1 layer keeps its own blending mode"},
    };
    for (const auto& [label, shape, line] : cases) {
        SCOPED_TRACE(label);
        Scene scene;
        model::Layer& a = scene.add(scene.inner, "[A]");
        model::Layer& p = scene.precomp();
        shape(scene, p, a);
        host_.set_project(scene.project);
        const std::size_t seen = host_.alerts().size();
        ASSERT_EQ(run({"P"}, {"click optionCopyAttributes", "ok"}), A_Err_NONE);
        std::vector<std::string> alerts;
        for (const auto& alert : host_.alerts() | std::views::drop(seen))
            alerts.push_back(alert.title + ": " + alert.message);
        EXPECT_EQ(alerts, line.empty() ? std::vector<std::string>{}
                                       : std::vector<std::string>{
                                             "Outfold: Not carried over to the extracted "
                                             "layers:\n\"P\": " +
                                             line + "."});
    }
}

// Seeded projects crossing stretch, opacity, switches, blending and motion on P and inside.
struct Draw {
    std::mt19937 engine;
    int between(int low, int high) {
        return low + static_cast<int>(engine() % static_cast<unsigned>(high - low + 1));
    }
    bool chance(int percent) { return between(1, 100) <= percent; }
    template <class T>
    T pick(std::initializer_list<T> options) {
        return options.begin()[between(0, int(options.size()) - 1)];
    }
    Rational frames(int low, int high) { return Rational::of(between(low, high), 30); }
    // Even frames: halved by a 50 % stretch, still on the frame grid (keyframes of P are
    // copied to the carrier at composition times the host gives on that grid).
    Rational pairs(int low, int high) { return Rational::of(2 * between(low, high), 30); }
    Rational stretch() {
        return pick({Rational::of(1), Rational::of(1), Rational::of(1, 2), Rational::of(2),
                     Rational::of(-1)});
    }
    void place(model::Layer& layer) {
        layer.streams.at(stream::kPosition).value = {double(between(-200, 900)),
                                                     double(between(-200, 600)), 0};
        layer.streams.at(stream::kRotation).value = {double(between(-180, 180))};
        const double scale = between(40, 160);
        layer.streams.at(stream::kScale).value = {scale, scale, 100};
    }
    std::int32_t mode(int percent) {
        return chance(percent)
                   ? model::blending_mode_named(pick({"ADD", "SCREEN", "MULTIPLY"}))->transferMode
                   : model::kNormalBlending;
    }
};

// Separates the layer's position with a fifth's chance; half of those move along X. Drawn apart
// from the rest, so the other draws stay as they were.
void maybe_separate(Draw& apart, model::Layer& layer) {
    if (!apart.chance(20)) return;
    model::set_position_separated(layer, true);
    if (!apart.chance(50)) return;
    model::Stream& x = layer.positionFollowers.at(0);
    for (const auto& [at, shift] :
         {std::pair(Rational::of(0), 0), std::pair(Rational::of(1), 150)}) {
        model::Keyframe key = model::new_keyframe(x, layer.inPoint + at);
        key.value = {x.value.at(0) + shift};
        model::insert_keyframe(x, key);
    }
}

model::Project draw_project(Draw& draw, Draw& apart, bool* keep) {
    Scene scene;
    std::vector<model::Id> ids;
    for (int i = 0, count = draw.between(2, 4); i < count; ++i) {
        model::Layer& layer = scene.add(scene.inner, "[L" + std::to_string(i) + "]");
        std::tie(layer.offset, layer.inPoint, layer.duration, layer.stretch) = std::tuple(
            draw.frames(-30, 60), draw.pairs(0, 20), draw.pairs(10, 110), draw.stretch());
        draw.place(layer);
        if (draw.chance(30))
            keys(layer, stream::kOpacity,
                 {{layer.inPoint, double(draw.between(0, 100))},
                  {layer.inPoint + draw.frames(5, 60), double(draw.between(0, 100))}});
        if (draw.chance(30))
            keys(layer, stream::kRotation,
                 {{layer.inPoint, 0}, {layer.inPoint + draw.frames(5, 60), 120}});
        if (draw.chance(15))
            layer.streams.at(stream::kPosition).expression = "[value[1], value[0]]";
        layer.blendingMode = draw.mode(20);
        if (draw.chance(15)) layer.flags &= ~model::flag::kAudioActive;
        if (!ids.empty() && draw.chance(50))
            model::set_parent(scene.project, layer.id,
                              ids[std::size_t(draw.between(0, int(ids.size()) - 1))]);
        ids.push_back(layer.id);
    }
    model::Layer& p = scene.precomp();
    std::tie(p.offset, p.inPoint, p.duration, p.stretch) =
        std::tuple(draw.frames(-30, 90), draw.pairs(0, 45), draw.pairs(15, 130), draw.stretch());
    draw.place(p);
    enum Opacity { Still, Keyed, Expression };
    const Opacity opacity = draw.pick({Still, Keyed, Expression});
    if (opacity == Still) p.streams.at(stream::kOpacity).value = {double(draw.pick({100, 70, 35}))};
    if (opacity == Keyed)
        keys(p, stream::kOpacity, {{p.inPoint, 0}, {p.inPoint + draw.pairs(5, 45), 100}});
    if (opacity == Expression)
        p.streams.at(stream::kOpacity).expression = "60 + 30 * Math.sin(time * 2)";
    const bool moves = draw.chance(40);
    if (moves && draw.chance(50))
        p.streams.at(stream::kPosition).expression = "[value[0] + time * 40, value[1]]";
    else if (moves)
        keys(p, stream::kRotation, {{p.inPoint, 0}, {p.inPoint + draw.pairs(5, 45), 90}});
    if (draw.chance(30))
        p.streams.at(stream::kScale).value = {double(draw.between(40, 90)),
                                              double(draw.between(110, 160)), 100};
    for (const std::uint32_t bit :
         {model::flag::kVideoActive, model::flag::kAudioActive, model::flag::kShy})
        if (draw.chance(15)) p.flags ^= bit;
    p.blendingMode = draw.mode(40);
    *keep = draw.chance(20);
    for (model::Layer& layer : model::comp_of(scene.project, scene.inner)->layers)
        maybe_separate(apart, layer);
    maybe_separate(apart, p);
    return scene.project;
}

TEST_F(PictureInvariance, SeededProjectsLookAlikeBeforeAndAfter) {
    Draw draw{std::mt19937(20261208)};
    Draw apart{std::mt19937(5)};
    std::vector<Time> times;
    // Off the frame grid: a reversed span's ends fall on the other side of a frame.
    for (int k = 0; k < 48; ++k)
        times.push_back(Rational::of(10 * k + 3, 30) + Rational::of(1, 700));
    for (int n = 0; n < 200 && !HasFailure(); ++n) {
        SCOPED_TRACE("project " + std::to_string(n));
        bool keep = false;
        const model::Project project = draw_project(draw, apart, &keep);
        run_and_compare(project, times, keep);
    }
    EXPECT_GT(comparisons_, 2500);
}

}  // namespace
}  // namespace outfold::testing
