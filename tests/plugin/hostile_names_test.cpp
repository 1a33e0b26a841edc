// Hostile names at scale: generated layer, pre-comp and composition names
// (quotes, backslashes, comment marks, line separators, surrogates, right-to-
// left marks, emoji, script payloads, names at the 255-unit limit) and
// prefixes, each in a whole run with a prefix and the pre-comp name. Every
// copy must carry the expected name, cut only where the host's limit forces it
// and never inside a surrogate pair; every reference from one copy to another
// must name the other's new name; nothing else in the project may change.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "io/project_file.h"
#include "model/project_ops.h"
#include "plugin_host.h"
#include "text/codec.h"

namespace outfold::testing {
namespace {

using nlohmann::json;
namespace model = host::model;

constexpr std::size_t kMaxUnits = 255;
constexpr int kMainId = 4;  // the main composition's item id
// Natively every CI run checks 500 cases; under wine, where a run costs far
// more, a fifth of them.
#if defined(_WIN32)
constexpr int kCases = 100;
#else
constexpr int kCases = 500;
#endif

// Pieces names are made of, as UTF-16 (lone surrogates included: the host
// keeps them as U+FFFD, as the application does).
const std::vector<std::u16string> kNamePieces = split<std::u16string>(
    u"\"|'|\\|//|/*|*/|`${x}`|\u2028|\u2029|\U0001F600|\xD83D|\xDE00|\u200F|\u202E|"
    u"\")); app.project.item(1).remove(); ((\"|'); app.project.item(1).remove(); ('| |Layer|"
    u"\u00E9t\u00E9|_",
    u'|');
// Pieces of prefixes, as UTF-8.
const std::vector<std::string> kPrefixPieces = split<std::string>(
    "\"|'|\\|//|/*|\xE2\x80\xA8|\xE2\x80\xA9|\xF0\x9F\x98\x80|\xE2\x80\x8F|"
    "\"); app.project.item(1).remove(); (\"| |Hero|_",
    '|');

// The bytes a prefix piece takes in the dialog's answer at most: quotes and
// backslashes are escaped there, and so are the line separators (as \uXXXX).
std::size_t answer_bytes(const std::string& piece) {
    if (piece == "\xE2\x80\xA8" || piece == "\xE2\x80\xA9") return 6;
    return piece.size() + std::size_t(std::count_if(piece.begin(), piece.end(), [](char ch) {
               return ch == '"' || ch == '\\';
           }));
}

int pick(std::mt19937& random, int n) {
    return std::uniform_int_distribution<int>(0, n - 1)(random);
}

std::u16string random_name(std::mt19937& random) {
    std::u16string name;
    const int pieces = pick(random, 4) == 0 ? 1000 : 1 + pick(random, 8);  // 1000: at the limit
    for (int i = 0; i < pieces && name.size() < kMaxUnits; ++i) {
        name += kNamePieces[std::size_t(pick(random, int(kNamePieces.size())))];
    }
    if (name.size() > kMaxUnits) name.resize(kMaxUnits);
    return name;
}

// A prefix that is never cut: it fits 50 bytes however the answer escapes it,
// and it does not start with a space (the dialog's user drops leading spaces).
std::string random_prefix(std::mt19937& random) {
    std::string prefix;
    std::size_t bytes = 0;
    const int pieces = 1 + pick(random, 12);
    for (int i = 0; i < pieces; ++i) {
        const std::string& piece =
            kPrefixPieces[std::size_t(pick(random, int(kPrefixPieces.size())))];
        if (bytes + answer_bytes(piece) > kMaxPrefixBytes) break;
        if (prefix.empty() && piece == " ") continue;
        prefix += piece;
        bytes += answer_bytes(piece);
    }
    return prefix.empty() ? "p" : prefix;
}

std::string utf8(const std::u16string& text) { return host::text::utf16_to_utf8(text); }
std::u16string utf16(const std::string& text) { return host::text::utf8_to_utf16(text); }

// The name as a script string literal that every character survives.
std::string literal(const std::string& name) { return json(name).dump(-1, ' ', true); }

const char* const kReferencePrefix = "thisComp.layer(";
const char* const kReferenceSuffix = ").transform.position";
std::string reference_to(const std::string& name) {
    return kReferencePrefix + literal(name) + kReferenceSuffix;
}

struct Case {
    std::vector<std::string> inner;  // the pre-comp's layers, top first
    std::string precompLayer;        // empty: it shows its composition's name
    std::string sourceComp;
    std::string mainComp;
    std::string prefix;
};

// Distinct names for the pre-comp's three layers (references go by name).
Case random_case(std::mt19937& random) {
    Case c;
    while (c.inner.size() < 3) {
        const std::string name = utf8(random_name(random));
        if (std::find(c.inner.begin(), c.inner.end(), name) == c.inner.end()) {
            c.inner.push_back(name);
        }
    }
    c.precompLayer = random() % 8 == 0 ? std::string() : utf8(random_name(random));
    c.sourceComp = utf8(random_name(random));
    c.mainComp = utf8(random_name(random));
    c.prefix = random_prefix(random);
    return c;
}

// The pre-comp's second layer names the first, the third names the second.
json scene(const Case& c) {
    json inner = json::array();
    for (std::size_t i = 0; i < c.inner.size(); ++i) {
        json layer = {{"name", c.inner[i]}, {"source", 2}};
        if (i > 0) {
            layer["streams"] = {
                {"Position", {{"value", {1, 2, 0}}, {"expression", reference_to(c.inner[i - 1])}}}};
        }
        inner.push_back(layer);
    }
    json precompLayer = {{"source", 3}};
    if (!c.precompLayer.empty()) precompLayer["name"] = c.precompLayer;
    return {{"activeItem", kMainId},
            {"items",
             {{{"type", "solid"}, {"id", 2}, {"name", "Grey"}},
              {{"type", "comp"}, {"id", 3}, {"name", c.sourceComp}, {"layers", inner}},
              {{"type", "comp"},
               {"id", kMainId},
               {"name", c.mainComp},
               {"layers",
                {{{"type", "text"}, {"name", "Top"}, {"text", "top"}},
                 precompLayer,
                 {{"type", "text"}, {"name", "Bottom"}, {"text", "bottom"}}}}}}}};
}

// The copy's name the run must give: pre-comp name, "_", prefix, "_", the
// original, cut to the host's limit without splitting a surrogate pair.
std::u16string expected_name(const Case& c, const std::string& original) {
    const std::string shown = c.precompLayer.empty() ? c.sourceComp : c.precompLayer;
    std::u16string name = utf16(shown) + u"_" + utf16(c.prefix) + u"_" + utf16(original);
    if (name.size() > kMaxUnits) {
        name.resize(kMaxUnits);
        if (name.back() >= 0xD800 && name.back() <= 0xDBFF) name.pop_back();
    }
    return name;
}

// The project as JSON with expression texts left out (repairing expressions
// elsewhere is the host's own business), and of the main composition only its
// name and the two layers that are not part of the extraction. The carrier
// null's solid goes with it; the folder the host filed it in stays, empty, as
// the application leaves it.
json outside_the_extraction(const model::Project& project) {
    json items = json::array();
    // Held by name: a range over a member of a temporary would dangle.
    json whole = host::io::project_to_json(project);
    for (json& item : whole["items"]) {
        if (item["type"] == "folder" && item["name"] == "Solids") continue;
        if (!item.contains("layers")) {
            items.push_back(item);
            continue;
        }
        for (json& layer : item["layers"]) {
            if (!layer.contains("streams")) continue;
            for (auto& [key, stream] : layer["streams"].items()) {
                if (stream.is_object()) stream.erase("expression");
            }
        }
        if (item.value("id", 0) == kMainId) {
            const json& layers = item["layers"];
            item = {item["name"], layers.front(), layers.back()};
        }
        items.push_back(item);
    }
    return items;
}

std::uint32_t seed() {
    const char* text = std::getenv("OUTFOLD_NAME_SEED");
    return text != nullptr ? std::uint32_t(std::strtoul(text, nullptr, 10)) : 20261207u;
}

TEST(HostileNamesTest, EveryCopyCarriesItsNameAndEveryReferenceFollows) {
    std::mt19937 random(seed());
    for (int n = 0; n < kCases; ++n) {
        const Case c = random_case(random);
        SCOPED_TRACE("case " + std::to_string(n) + " of seed " + std::to_string(seed()) + ": " +
                     scene(c).dump(-1, ' ', true) + " prefix " + literal(c.prefix));
        const outfold_test::TempDir settings("names");
        host::Host host(host::HostOptions{settings.path()});
        host.set_project(host::io::project_from_json(scene(c)));
        ASSERT_EQ(host.load_plugin(OUTFOLD_MODULE_PATH), A_Err_NONE);
        model::Item& main = *model::find_item(host.project(), kMainId);
        model::select_only_layers(host.project(), kMainId, {main.comp->layers[1].id});
        host.open_menu(AEGP_Menu_LAYER);
        host.set_user({"set prefixInput " + c.prefix, "click prependPrecompName", "ok"});
        const json outside = outside_the_extraction(host.project());

        ASSERT_EQ(host.click(*host.find_command(kUsableText)), A_Err_NONE);

        EXPECT_TRUE(host.outstanding().none());
        EXPECT_EQ(outside_the_extraction(host.project()), outside);
        const model::LayerStack& layers = model::find_item(host.project(), kMainId)->comp->layers;
        ASSERT_EQ(layers.size(), c.inner.size() + 2);
        EXPECT_EQ(model::shown_name(host.project(), layers.front()), "Top");
        EXPECT_EQ(model::shown_name(host.project(), layers.back()), "Bottom");
        for (std::size_t i = 0; i < c.inner.size(); ++i) {
            const model::Layer& copy = layers[i + 1];
            EXPECT_EQ(utf16(copy.ownName), expected_name(c, c.inner[i])) << "copy " << i;
            if (i == 0) continue;
            // The reference, read back by the engine, names the copy above.
            const std::string& expression = copy.streams.at(AEGP_LayerStream_POSITION).expression;
            const std::string head = kReferencePrefix, tail = kReferenceSuffix;
            ASSERT_TRUE(expression.size() > head.size() + tail.size() &&
                        expression.starts_with(head) && expression.ends_with(tail))
                << expression;
            const host::script::ScriptRun named = host.run_script(
                expression.substr(head.size(), expression.size() - head.size() - tail.size()));
            ASSERT_TRUE(named.ok) << named.error;
            // As in the application, only a broken reference is repaired: one
            // that also names a layer of the main composition still works while
            // the copies are renamed, so it keeps naming that layer.
            const std::string& original = c.inner[i - 1];
            const bool namesMainLayer =
                original == "Top" || original == "Bottom" ||
                original == (c.precompLayer.empty() ? c.sourceComp : c.precompLayer);
            EXPECT_EQ(named.value, namesMainLayer ? original : layers[i].ownName)
                << "reference of copy " << i;
        }
    }
}

}  // namespace
}  // namespace outfold::testing
