// Rigs judged by what their expressions read: after an extraction every expression of the
// project reads what it read before, the copies' through the copies of the layers they named.
#include <random>

#include "io/project_file.h"
#include "plugin_host.h"
#include "script/expression_engine.h"

namespace outfold::testing {
namespace {

using json = nlohmann::json;
namespace model = host::model;
using model::Rational;

// Where an expression sits: its layer, the effect (-1 for a layer stream) and the stream.
using Site = std::tuple<model::Id, int, int>;

struct Reading {
    bool ok = false;
    double value = 0;
};

const std::vector<double> kTimes{0.0, 0.5, 2.25};

// Every expression of the project, read at each of kTimes.
std::map<Site, std::vector<Reading>> readings(const model::Project& project) {
    host::script::ExpressionEngine engine;
    std::map<Site, std::vector<Reading>> all;
    const auto read = [&](const model::Layer& layer, Site site, const model::Stream& stream) {
        if (stream.expression.empty()) return;
        for (const double t : kTimes) {
            const auto result = host::script::value_after_expression(
                engine, project, layer.id, stream, Rational::of(static_cast<int>(t * 4), 4));
            all[site].push_back({result.ok, result.value.empty() ? 0 : result.value[0]});
        }
    };
    for (const model::Item& item : project.items) {
        if (!item.comp) continue;
        for (const model::Layer& layer : item.comp->layers) {
            for (const auto& [number, stream] : layer.streams)
                read(layer, {layer.id, -1, number}, stream);
            for (std::size_t e = 0; e < layer.effects.size(); ++e) {
                const auto& params = layer.effects[e].params;
                for (std::size_t p = 0; p < params.size(); ++p)
                    read(layer, {layer.id, int(e), int(p)}, params[p]);
            }
        }
    }
    return all;
}

const std::vector<std::string> kNames{"Circle", "Circle 2",      "C",
                                      "Null 1", "Shape Layer 1", "Control"};
const std::vector<std::string> kCompReads{"thisComp.width",       "thisComp.height / 2",
                                          "thisComp.name.length", "thisComp.duration",
                                          "thisComp.numLayers",   "thisComp.frameDuration * 60",
                                          "thisComp.pixelAspect"};

std::string literal_of(const std::string& text) { return json(text).dump(); }

struct Options {
    std::string prefix;
    bool prependName = false, deleteSource = false, copyAttributes = false;
};

struct Rig {
    json project;
    Options options;
};

class RigGenerator {
public:
    explicit RigGenerator(std::uint32_t seed) : random_(seed) {}

    Rig next() {
        Rig rig;
        std::vector<std::string> names = kNames;
        std::shuffle(names.begin(), names.end(), random_);
        const std::size_t count = 3 + pick(3);
        inner_.assign(names.begin(), names.begin() + long(count));
        json inner = json::array();
        for (std::size_t i = 0; i < count; ++i) inner.push_back(inner_layer(i));
        std::vector<std::string> outer;  // Main's own layers, some with the inner names
        for (const std::string& name : kNames)
            if (pick(2) == 0) outer.push_back(name);
        json main = json::array();
        const std::size_t above = pick(outer.size() + 1);
        for (std::size_t i = 0; i < outer.size(); ++i) {
            if (i == above) main.push_back(precomp_layer());
            main.push_back(outer_layer(outer[i], outer));
        }
        if (above == outer.size()) main.push_back(precomp_layer());
        json other =
            json::array({{{"type", "shape"}, {"name", "Watcher"}, {"streams", json::object()}}});
        if (!outer.empty())
            other[0]["streams"]["Rotation"] = {
                {"expression", "comp(\"Main\").layer(" + literal_of(outer[pick(outer.size())]) +
                                   ").transform.position[0]"}};
        if (pick(2) == 0)
            other[0]["streams"]["Opacity"] = {{"expression", "comp(\"Inner\").layer(" +
                                                                 literal_of(inner_[pick(count)]) +
                                                                 ").transform.position[1]"}};
        const int sizes[][2] = {{1280, 720}, {1920, 1080}, {640, 480}, {3840, 2160}};
        const auto& size = sizes[pick(4)];
        rig.project = {{"activeItem", "Main"},
                       {"items",
                        {{{"type", "comp"},
                          {"name", "Inner"},
                          {"width", size[0]},
                          {"height", size[1]},
                          {"frameRate", pick(2) ? 25 : 30},
                          {"duration", 12},
                          {"layers", inner}},
                         {{"type", "comp"},
                          {"name", "Main"},
                          {"frameRate", 24},
                          {"duration", 20},
                          {"layers", main}},
                         {{"type", "comp"}, {"name", "Other"}, {"layers", other}}}}};
        rig.options = {pick(2) ? "X" : "", pick(2) == 0, pick(2) == 0, pick(2) == 0};
        return rig;
    }

private:
    std::size_t pick(std::size_t n) { return n == 0 ? 0 : std::size_t(random_() % n); }
    double coordinate() { return double(int(random_() % 4000) - 2000) / 4; }

    // A term reading another layer of the pre-comp, in one of the forms rigs use.
    std::string term(std::size_t i, std::size_t target) {
        const std::string name = literal_of(inner_[target]);
        const std::string number = std::to_string(target + 1);
        const long step = long(target) - long(i);
        switch (pick(7)) {
            case 0:
                return "thisComp.layer(" + name + ").transform.position[0]";
            case 1:
                return "layer(" + name + ").position[1]";
            case 2:
                return "thisComp.layer(" + number + ").transform.position[0]";
            case 3:
                return "thisComp.layer(index " + std::string(step < 0 ? "- " : "+ ") +
                       std::to_string(std::abs(step)) + ").transform.position[1]";
            case 4:
                return "thisComp.layer(" + name + ").effect(\"Slider Control\")(\"Slider\")";
            case 5:
                return "comp(\"Inner\").layer(" + name + ").transform.position[0]";
            default:
                return kCompReads[pick(kCompReads.size())];
        }
    }

    json inner_layer(std::size_t i) {
        json layer = {
            {"type", "shape"},
            {"name", inner_[i]},
            {"streams", {{"Position", {coordinate(), coordinate(), 0}}}},
            {"effects",
             {{{"kind", "Slider Control"},
               {"params",
                {{"Slider",
                  {{"value", coordinate()},
                   {"expression", pick(2) ? "value" : kCompReads[pick(kCompReads.size())]}}}}}}}}};
        std::size_t target = pick(inner_.size());
        if (target == i) target = (i + 1) % inner_.size();
        std::size_t second = pick(inner_.size());
        if (second == i) second = target;
        std::string rotation = term(i, target) + " + " + term(i, second);
        if (i + 1 < inner_.size() && pick(3) == 0) {
            layer["parent"] = inner_[i + 1 + pick(inner_.size() - i - 1)];
            rotation += " + parent.transform.position[0]";
        }
        layer["streams"]["Rotation"] = {{"expression", rotation}};
        if (pick(2) == 0)
            layer["streams"]["Opacity"] = {{"expression", kCompReads[pick(kCompReads.size())]}};
        return layer;
    }

    json outer_layer(const std::string& name, const std::vector<std::string>& outer) {
        json layer = {{"type", "shape"},
                      {"name", name},
                      {"streams", {{"Position", {coordinate(), coordinate(), 0}}}}};
        const std::string& target = outer[pick(outer.size())];
        if (target != name)
            layer["streams"]["Rotation"] = {
                {"expression", "thisComp.layer(" + literal_of(target) + ").transform.position[0]"}};
        return layer;
    }

    json precomp_layer() {
        // Animated, so that with its attributes copied the carrier stays and the copies keep
        // their own values.
        return {{"name", "P"},
                {"source", "Inner"},
                {"streams",
                 {{"Position",
                   {{"keyframes",
                     {{{"time", 0}, {"value", {900, 500, 0}}},
                      {{"time", 4}, {"value", {1000, 400, 0}}}}}}}}}};
    }

    std::mt19937 random_;
    std::vector<std::string> inner_;
};

class RigInvariance : public PluginHostTest {
protected:
    void SetUp() override { ASSERT_EQ(load_module(), A_Err_NONE); }

    // The dialog remembers its last answers: only what differs is clicked.
    std::vector<std::string> answers(const Options& wanted) {
        std::vector<std::string> user{
            "set prefixInput " + wanted.prefix,
            wanted.copyAttributes ? "click optionCopyAttributes" : "click optionDiscardAttributes"};
        if (wanted.prependName != shown_.prependName) user.push_back("click prependPrecompName");
        if (wanted.deleteSource != shown_.deleteSource) user.push_back("click optionDeleteSource");
        user.push_back("ok");
        shown_ = wanted;
        return user;
    }

    // Compares every reading of the project before and after; copies stand for the layers
    // they copy.
    void run_and_compare(const Rig& rig) {
        host_.set_project(host::io::project_from_json(rig.project));
        const auto before = readings(host_.project());
        const std::vector<model::Id> inner = ids_of("Inner"), mainBefore = ids_of("Main");
        ASSERT_EQ(run({"P"}, answers(rig.options)), A_Err_NONE);
        std::map<model::Id, model::Id> copyOf;
        std::vector<model::Id> copies;
        for (const model::Layer& layer : comp_named(host_.project(), "Main").layers)
            if (!layer.isNull && std::ranges::find(mainBefore, layer.id) == mainBefore.end())
                copies.push_back(layer.id);
        ASSERT_EQ(copies.size(), inner.size());
        for (std::size_t i = 0; i < inner.size(); ++i) copyOf[inner[i]] = copies[i];
        const auto after = readings(host_.project());
        const bool innerStays = model::find_item_by_name(host_.project(), "Inner") != nullptr;
        for (const auto& [site, was] : before) {
            const auto [layer, effect, stream] = site;
            const bool inside = copyOf.contains(layer);
            if (!inside && model::find_layer(host_.project(), layer) == nullptr) continue;  // P
            SCOPED_TRACE(::testing::Message()
                         << "layer " << layer << " effect " << effect << " stream " << stream);
            const auto check = [&](const Site& now) {
                ASSERT_TRUE(after.contains(now));
                for (std::size_t k = 0; k < was.size(); ++k) {
                    ++comparisons_;
                    EXPECT_EQ(after.at(now)[k].ok, was[k].ok) << "at " << kTimes[k];
                    EXPECT_NEAR(after.at(now)[k].value, was[k].value, 1e-9) << "at " << kTimes[k];
                }
            };
            if (inside) check({copyOf.at(layer), effect, stream});
            if (!inside || innerStays) check(site);
        }
    }

    std::vector<model::Id> ids_of(const std::string& comp) {
        std::vector<model::Id> ids;
        for (const model::Layer& layer : comp_named(host_.project(), comp).layers)
            ids.push_back(layer.id);
        return ids;
    }

    Options shown_;
    int comparisons_ = 0;
};

// Inner (1280x720) holds A, whose rotation carries the row's expression, over "Null 1"; Main
// has a "Null 1" of its own above P and a rig reading it; Other may read either composition.
json row_project(const std::string& expression, const std::string& other) {
    const json inner = {
        {{"type", "shape"},
         {"name", "A"},
         {"streams", {{"Rotation", {{"expression", expression}}}}}},
        {{"type", "shape"}, {"name", "Null 1"}, {"streams", {{"Position", {-40, 40, 0}}}}}};
    const json main = {
        {{"type", "shape"}, {"name", "Null 1"}, {"streams", {{"Position", {1500, 900, 0}}}}},
        {{"type", "shape"},
         {"name", "Rig"},
         {"streams",
          {{"Rotation", {{"expression", "thisComp.layer(\"Null 1\").transform.position[0]"}}}}}},
        {{"name", "P"}, {"source", "Inner"}}};
    json items = {
        {{"type", "comp"}, {"name", "Inner"}, {"width", 1280}, {"height", 720}, {"layers", inner}},
        {{"type", "comp"}, {"name", "Main"}, {"layers", main}}};
    if (!other.empty())
        items.push_back({{"type", "comp"},
                         {"name", "Other"},
                         {"layers",
                          {{{"type", "shape"},
                            {"name", "W"},
                            {"streams", {{"Rotation", {{"expression", other}}}}}}}}});
    return {{"activeItem", "Main"}, {"items", items}};
}

TEST_F(RigInvariance, EachReferenceFormOfTheCopies) {
    struct Row {
        const char* expression;
        Options options;
        const char* other;
        const char* copied;    // A's copy's expression afterwards
        const char* nullName;  // the name of Inner's Null 1's copy
        bool innerStays;
        const char* alert;  // a text the run's alerts hold, or ""
    };
    // clang-format off
    const Row rows[] = {
        // The copies' own references find the copies: by name, by index (Main's own Null 1
        // and Rig sit above them) and through the pre-comp.
        {R"(thisComp.layer("Null 1").transform.position[0])", {"X"}, "",
         R"(thisComp.layer("X_Null 1").transform.position[0])", "X_Null 1", true, ""},
        {"thisComp.layer(2).transform.position[0]", {"X"}, "",
         "thisComp.layer(4).transform.position[0]", "X_Null 1", true, ""},
        {"comp('Inner').layer('Null 1').position[1] + layer(\"A\").index", {"X"}, "",
         "thisComp.layer('X_Null 1').position[1] + layer(\"X_A\").index", "X_Null 1", true, ""},
        // Strings, comments and regular expressions keep their text.
        {"var s = \"Null 1\" + /layer(\"Null 1\")/.source; // thisComp.layer(\"Null 1\")\n"
         "thisComp.layer(\"Null 1\").index", {"X"}, "",
         "var s = \"Null 1\" + /layer(\"Null 1\")/.source; // thisComp.layer(\"Null 1\")\n"
         "thisComp.layer(\"X_Null 1\").index", "X_Null 1", true, ""},
        // Relative forms stay; a form that cannot be followed stays and is told.
        {"thisComp.layer(index + 1).transform.position[0]", {"X"}, "",
         "thisComp.layer(index + 1).transform.position[0]", "X_Null 1", true, ""},
        {"var n = 'Null 1'; thisComp.layer(n).index", {"X"}, "",
         "var n = 'Null 1'; thisComp.layer(n).index", "X_Null 1", true, "thisComp.layer(n)"},
        // Without a prefix the copy would take Main's "Null 1" from the rig: it is numbered.
        {R"(thisComp.layer("Null 1").transform.position[0])", {""}, "",
         R"(thisComp.layer("Null 2").transform.position[0])", "Null 2", true, ""},
        {"thisComp.layer(\"A\").index", {""}, "", "thisComp.layer(\"A\").index", "Null 2", true, ""},
        // The composition's own values: the pre-comp's, from it or written out when it goes.
        {"thisComp.width + thisComp.name.length", {"X"}, "",
         "comp(\"Inner\").width + comp(\"Inner\").name.length", "X_Null 1", true, ""},
        {"thisComp.width + thisComp.name.length", {"X", false, true}, "",
         "1280 + \"Inner\".length", "X_Null 1", false, ""},
        // A source another expression names stays.
        {"thisComp.height", {"X", false, true}, "comp(\"Inner\").layer(\"A\").index", "720",
         "X_Null 1", true, "Source Not Deleted"},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expression);
        host_.set_project(host::io::project_from_json(row_project(row.expression, row.other)));
        const std::size_t seen = host_.alerts().size();
        ASSERT_EQ(run({"P"}, answers(row.options)), A_Err_NONE);
        const model::Project& project = host_.project();
        const model::Layer* a =
            layer_named(project, "Main", row.options.prefix.empty() ? "A" : "X_A");
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->streams.at(AEGP_LayerStream_ROTATION).expression, row.copied);
        EXPECT_NE(layer_named(project, "Main", row.nullName), nullptr);
        EXPECT_EQ(layer("Main", "Rig").streams.at(AEGP_LayerStream_ROTATION).expression,
                  "thisComp.layer(\"Null 1\").transform.position[0]");
        EXPECT_EQ(model::find_item_by_name(project, "Inner") != nullptr, row.innerStays);
        std::string alerts;
        for (const auto& alert : host_.alerts() | std::views::drop(seen))
            alerts += alert.title + ": " + alert.message + "\n";
        if (*row.alert == '\0') {
            EXPECT_EQ(alerts, "");
        } else {
            EXPECT_NE(alerts.find(row.alert), std::string::npos) << alerts;
        }
    }
}

// A Layer Control on a copy chooses the copy of the layer it chose, with or without a prefix.
TEST_F(RigInvariance, LayerControlsChooseTheCopies) {
    for (const std::string prefix : {"", "X"}) {
        SCOPED_TRACE(prefix);
        const json layerControl = {{"kind", "Layer Control"}, {"params", {{"Layer", 31}}}};
        const json project = {
            {"activeItem", "Main"},
            {"items",
             {{{"type", "comp"},
               {"name", "Inner"},
               {"layers",
                {{{"type", "shape"}, {"name", "A"}, {"effects", {layerControl}}},
                 {{"type", "shape"}, {"id", 31}, {"name", "B"}}}}},
              {{"type", "comp"},
               {"name", "Main"},
               {"layers",
                {{{"type", "shape"}, {"name", "B"}}, {{"name", "P"}, {"source", "Inner"}}}}}}}};
        host_.set_project(host::io::project_from_json(project));
        ASSERT_EQ(run({"P"}, answers({prefix})), A_Err_NONE);
        const std::string named = prefix.empty() ? "" : prefix + "_";
        const model::Layer& a = layer("Main", named + "A");
        const model::Id mainB = layer_named(before_, "Main", "B")->id;  // Main's own B
        model::Id copyB = model::kNoId;
        for (const model::Layer& one : comp_named(host_.project(), "Main").layers)
            if (one.ownName == named + "B" && one.id != mainB) copyB = one.id;
        EXPECT_EQ(a.effects.at(0).params.at(1).value, std::vector<double>{double(copyB)});
    }
}

TEST_F(RigInvariance, EveryExpressionReadsWhatItReadBefore) {
    const std::uint32_t seed = seed_from("OUTFOLD_RIG_SEED", 20261208u);
    RigGenerator generator(seed);
    for (int n = 0; n < 200; ++n) {
        const Rig rig = generator.next();
        SCOPED_TRACE("case " + std::to_string(n) + " of seed " + std::to_string(seed) + ": " +
                     rig.project.dump() + " prefix \"" + rig.options.prefix + "\" name " +
                     std::to_string(rig.options.prependName) + " delete " +
                     std::to_string(rig.options.deleteSource) + " copy " +
                     std::to_string(rig.options.copyAttributes));
        run_and_compare(rig);
        if (HasFailure()) break;
    }
    EXPECT_GT(comparisons_, 200 * 20);
}

}  // namespace
}  // namespace outfold::testing
