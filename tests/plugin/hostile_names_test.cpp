// Generated hostile names and prefixes in whole runs: each copy carries its expected name, cut
// only at the limit and never inside a surrogate pair; references follow; nothing else changes.
#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>

#include "io/project_file.h"
#include "plugin_host.h"
#include "text/codec.h"

namespace outfold::testing {
namespace {

using nlohmann::json;
namespace model = host::model;

constexpr std::size_t kMaxUnits = 255;
constexpr int kMainId = 4;  // the main composition's item id
#if defined(_WIN32)
constexpr int kCases = 100;
#else
constexpr int kCases = 500;
#endif

// Lone surrogates included: the host keeps them as U+FFFD.
const std::vector<std::u16string> kNamePieces = split<std::u16string>(
    u"\"|'|\\|//|/*|*/|`${x}`|\u2028|\u2029|\U0001F600|\xD83D|\xDE00|\u200F|\u202E|"
    u"\")); app.project.item(1).remove(); ((\"|'); app.project.item(1).remove(); ('| |Layer|"
    u"\u00E9t\u00E9|_",
    u'|');
const std::vector<std::string> kPrefixPieces = split<std::string>(
    "\"|'|\\|//|/*|\xE2\x80\xA8|\xE2\x80\xA9|\xF0\x9F\x98\x80|\xE2\x80\x8F|"
    "\"); app.project.item(1).remove(); (\"| |Hero|_",
    '|');

int pick(std::mt19937& random, std::size_t n) {
    return std::uniform_int_distribution<int>(0, int(n) - 1)(random);
}

std::u16string utf16(const std::string& text) { return host::text::utf8_to_utf16(text); }

std::string random_name(std::mt19937& random) {
    std::u16string name;
    const int pieces = pick(random, 4) == 0 ? 1000 : 1 + pick(random, 8);  // 1000: at the limit
    for (int i = 0; i < pieces && name.size() < kMaxUnits; ++i) {
        name += kNamePieces[std::size_t(pick(random, kNamePieces.size()))];
    }
    return host::text::utf16_to_utf8(name.substr(0, kMaxUnits));
}

// Never cut: fits 50 bytes however the answer escapes it; no leading space (the user drops it).
std::string random_prefix(std::mt19937& random) {
    std::string prefix;
    std::size_t bytes = 0;
    const int pieces = 1 + pick(random, 12);
    for (int i = 0; i < pieces; ++i) {
        const std::string& piece = kPrefixPieces[std::size_t(pick(random, kPrefixPieces.size()))];
        const bool separator = piece == "\xE2\x80\xA8" || piece == "\xE2\x80\xA9";
        const std::size_t answer =
            separator ? 6
                      : piece.size() + std::size_t(std::ranges::count(piece, '"') +
                                                   std::ranges::count(piece, '\\'));
        if (bytes + answer > kMaxPrefixBytes) break;
        if (prefix.empty() && piece == " ") continue;
        prefix += piece;
        bytes += answer;
    }
    return prefix.empty() ? "p" : prefix;
}

std::string literal(const std::string& name) { return json(name).dump(-1, ' ', true); }

struct Case {
    std::vector<std::string> inner;  // the pre-comp's three layers, top first, distinct
    std::string precompLayer;        // empty: it shows its composition's name
    std::string sourceComp, mainComp, prefix;
};

Case random_case(std::mt19937& random) {
    Case c;
    while (c.inner.size() < 3) {
        const std::string name = random_name(random);
        if (std::ranges::count(c.inner, name) == 0) c.inner.push_back(name);
    }
    c.precompLayer = random() % 8 == 0 ? std::string() : random_name(random);
    c.sourceComp = random_name(random);
    c.mainComp = random_name(random);
    c.prefix = random_prefix(random);
    return c;
}

// The pre-comp's second layer names the first, the third names the second.
json scene(const Case& c) {
    json scene = json::parse(R"({"activeItem": 4, "items": [
        {"type": "solid", "id": 2, "name": "Grey"},
        {"type": "comp", "id": 3, "layers": [{"source": 2}, {"source": 2}, {"source": 2}]},
        {"type": "comp", "id": 4, "layers": [{"type": "text", "name": "Top", "text": "top"},
            {"source": 3}, {"type": "text", "name": "Bottom", "text": "bottom"}]}]})");
    json& items = scene["items"];
    items[1]["name"] = c.sourceComp;
    items[2]["name"] = c.mainComp;
    if (!c.precompLayer.empty()) items[2]["layers"][1]["name"] = c.precompLayer;
    for (std::size_t i = 0; i < c.inner.size(); ++i) {
        items[1]["layers"][i]["name"] = c.inner[i];
        if (i == 0) continue;
        items[1]["layers"][i]["streams"]["Position"] = {
            {"value", {1, 2, 0}},
            {"expression", "thisComp.layer(" + literal(c.inner[i - 1]) + ").transform.position"}};
    }
    return scene;
}

std::u16string expected_name(const Case& c, const std::string& original) {
    const std::string shown = c.precompLayer.empty() ? c.sourceComp : c.precompLayer;
    std::u16string name = utf16(shown) + u"_" + utf16(c.prefix) + u"_" + utf16(original);
    if (name.size() > kMaxUnits) {
        name.resize(kMaxUnits);
        if (name.back() >= 0xD800 && name.back() <= 0xDBFF) name.pop_back();
    }
    return name;
}

// Without expressions (their repair is the host's business), of Main only its name, Top and
// Bottom; the carrier's emptied Solids folder stays.
json outside_the_extraction(const model::Project& project) {
    const json whole = host::io::project_to_json(project);
    json items = json::array();
    for (json item : whole["items"]) {
        // The host's solids folder, and a kept carrier's solid in it.
        if (item["name"] == "Solids" || item.value("folder", "") == "Solids") continue;
        for (json& layer : item["layers"]) {
            for (json& stream : layer["streams"]) {
                if (stream.is_object()) stream.erase("expression");
            }
        }
        if (item["id"] == kMainId) {
            item = {item["name"], item["layers"].front(), item["layers"].back()};
        }
        items.push_back(item);
    }
    return items;
}

TEST(HostileNamesTest, EveryCopyCarriesItsNameAndEveryReferenceFollows) {
    const std::uint32_t seed = seed_from("OUTFOLD_NAME_SEED", 20261207u);
    std::mt19937 random(seed);
    for (int n = 0; n < kCases; ++n) {
        const Case c = random_case(random);
        SCOPED_TRACE("case " + std::to_string(n) + " of seed " + std::to_string(seed) + ": " +
                     scene(c).dump(-1, ' ', true) + " prefix " + literal(c.prefix));
        const outfold_test::TempDir settings("names");
        host::Host host(host::HostOptions{settings.path()});
        host.set_project(host::io::project_from_json(scene(c)));
        ASSERT_EQ(host.load_plugin(OUTFOLD_MODULE_PATH), A_Err_NONE);
        const model::Id precomp = model::comp_of(host.project(), kMainId)->layers[1].id;
        model::select_only_layers(host.project(), kMainId, {precomp});
        host.open_menu(AEGP_Menu_LAYER);
        host.set_user({"set prefixInput " + c.prefix, "click prependPrecompName", "ok"});
        const json outside = outside_the_extraction(host.project());

        ASSERT_EQ(host.click(*host.find_command(kUsableText)), A_Err_NONE);

        EXPECT_TRUE(host.outstanding().none());
        EXPECT_EQ(outside_the_extraction(host.project()), outside);
        // A carrier kept for the copies' position expressions aside.
        std::vector<const model::Layer*> layers;
        for (const model::Layer& layer : model::comp_of(host.project(), kMainId)->layers)
            if (!layer.isNull) layers.push_back(&layer);
        ASSERT_EQ(layers.size(), c.inner.size() + 2);
        std::multiset<std::u16string> names;
        for (const model::Layer* layer : layers) names.insert(utf16(layer->ownName));
        std::multiset<std::u16string> planned{u"Top", u"Bottom"};
        for (const std::string& inner : c.inner) planned.insert(expected_name(c, inner));
        for (std::size_t i = 0; i < c.inner.size(); ++i) {
            const model::Layer& copy = *layers[i + 1];
            // A name cut short can be shared: the copies the others refer to get their own.
            const std::u16string expected = expected_name(c, c.inner[i]);
            if (planned.count(expected) == 1) {
                EXPECT_EQ(utf16(copy.ownName), expected) << "copy " << i;
            }
            if (i + 1 < c.inner.size()) {
                EXPECT_EQ(names.count(utf16(copy.ownName)), 1u) << "copy " << i;
            }
            if (i == 0) continue;
            const host::script::ScriptRun named = host.run_script(
                "var thisComp = {layer: function (name) { return {transform: {position: name}}; "
                "}};" +
                copy.streams.at(AEGP_LayerStream_POSITION).expression);
            ASSERT_TRUE(named.ok) << named.error;
            // Each reference names the copy of the layer it named, also where a layer of Main
            // has that name.
            EXPECT_EQ(named.value, layers[i]->ownName) << "reference of copy " << i;
        }
    }
}

}  // namespace
}  // namespace outfold::testing
