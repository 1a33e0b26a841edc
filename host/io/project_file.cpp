#include "io/project_file.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "io/names.h"
#include "model/blending.h"
#include "model/effects_catalog.h"
#include "model/project_ops.h"
#include "model/streams.h"

namespace host::io {

namespace {

using json = nlohmann::json;
using model::Id;
using model::kNoId;

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw std::runtime_error(where + ": " + what);
}

// ---------------------------------------------------------------- numbers and times

std::int64_t parse_integer(const std::string& text, const std::string& where) {
    if (text.empty() || text.size() > 18) fail(where, "not an exact number: '" + text + "'");
    std::size_t at = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (at == text.size()) fail(where, "not an exact number: '" + text + "'");
    for (std::size_t i = at; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            fail(where, "not an exact number: '" + text + "'");
    }
    return std::stoll(text);
}

// "3", "-1.25" or "30000/1001", exactly.
model::Rational rational_from_text(const std::string& text, const std::string& where) {
    const auto slash = text.find('/');
    if (slash != std::string::npos) {
        const std::int64_t den = parse_integer(text.substr(slash + 1), where);
        if (den == 0) fail(where, "a zero denominator");
        return model::Rational::of(parse_integer(text.substr(0, slash), where), den);
    }
    const auto dot = text.find('.');
    if (dot == std::string::npos) return model::Rational::of(parse_integer(text, where));
    const std::string fraction = text.substr(dot + 1);
    if (fraction.empty() || fraction.size() > 9) fail(where, "too many decimals in '" + text + "'");
    std::int64_t scale = 1;
    for (std::size_t i = 0; i < fraction.size(); ++i) scale *= 10;
    const std::string whole = text.substr(0, dot);
    const bool negative = !whole.empty() && whole[0] == '-';
    const std::int64_t units =
        (whole.empty() || whole == "-" || whole == "+") ? 0 : parse_integer(whole, where);
    const std::int64_t frac = parse_integer(fraction, where);
    const std::int64_t magnitude = (units < 0 ? -units : units) * scale + frac;
    return model::Rational::of(negative ? -magnitude : magnitude, scale);
}

model::Rational rational_from(const json& value, const std::string& where) {
    if (value.is_number_integer()) return model::Rational::of(value.get<std::int64_t>());
    if (value.is_string()) return rational_from_text(value.get<std::string>(), where);
    if (value.is_number_float()) {
        const double d = value.get<double>();
        // Decimals as written: find the fewest digits that give the double back.
        for (int digits = 0; digits <= 9; ++digits) {
            std::ostringstream out;
            out.precision(digits);
            out << std::fixed << d;
            if (std::stod(out.str()) == d) return rational_from_text(out.str(), where);
        }
        fail(where, "use \"num/den\" for a time that is not a short decimal");
    }
    fail(where, "expected a number or \"num/den\"");
}

json rational_to(model::Rational r) {
    if (r.den == 1) return r.num;
    std::int64_t den = r.den;
    int twos = 0, fives = 0;
    while (den % 2 == 0) den /= 2, ++twos;
    while (den % 5 == 0) den /= 5, ++fives;
    if (den == 1 && std::max(twos, fives) <= 9) {
        const int digits = std::max(twos, fives);
        std::int64_t scale = 1;
        for (int i = 0; i < digits; ++i) scale *= 10;
        const std::int64_t scaled = r.num * (scale / r.den);
        const std::int64_t magnitude = scaled < 0 ? -scaled : scaled;
        std::string fraction = std::to_string(magnitude % scale);
        fraction.insert(0, static_cast<std::size_t>(digits) - fraction.size(), '0');
        return std::string(r.num < 0 ? "-" : "") + std::to_string(magnitude / scale) + "." +
               fraction;
    }
    return std::to_string(r.num) + "/" + std::to_string(r.den);
}

std::vector<double> numbers_from(const json& value, const std::string& where) {
    if (value.is_number()) return {value.get<double>()};
    if (!value.is_array()) fail(where, "expected a number or an array of numbers");
    std::vector<double> numbers;
    for (const json& element : value) {
        if (!element.is_number()) fail(where, "expected numbers");
        numbers.push_back(element.get<double>());
    }
    return numbers;
}

json numbers_to(const std::vector<double>& numbers) {
    if (numbers.size() == 1) return numbers[0];
    return json(numbers);
}

std::string text_from(const json& value, const std::string& where) {
    if (!value.is_string()) fail(where, "expected a text");
    return value.get<std::string>();
}

// The marker dialog's texts, by their keys in a marker's object.
struct MarkerText {
    const char* key;
    std::string model::Marker::*field;
};
constexpr MarkerText kMarkerTexts[] = {{"comment", &model::Marker::comment},
                                       {"chapter", &model::Marker::chapter},
                                       {"url", &model::Marker::url},
                                       {"frameTarget", &model::Marker::frameTarget},
                                       {"cuePointName", &model::Marker::cuePointName}};

void marker_fields_from(const json& node, const std::string& at, model::Marker& marker) {
    for (const MarkerText& text : kMarkerTexts) {
        if (node.contains(text.key))
            marker.*text.field = text_from(node[text.key], at + "." + text.key);
    }
    marker.eventCuePoint = node.value("eventCuePoint", false);
    marker.protectedRegion = node.value("protectedRegion", false);
    const json parameters = node.value("parameters", json::object());
    if (!parameters.is_object()) fail(at + ".parameters", "expected an object of texts");
    for (const auto& [name, value] : parameters.items())
        marker.parameters[name] = text_from(value, at + ".parameters." + name);
}

// "markers": [{"time": 1, "duration": 0.5, "comment": "hit", "chapter": ...}], kept in
// time order.
std::vector<model::Marker> markers_from(const json& node, const std::string& where) {
    std::vector<model::Marker> markers;
    const json list = node.value("markers", json::array());
    if (!list.is_array()) fail(where + ".markers", "expected a list");
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string at = where + ".markers[" + std::to_string(i) + "]";
        if (!list[i].is_object() || !list[i].contains("time")) fail(at, "a marker needs a time");
        model::Marker marker;
        marker.time = rational_from(list[i]["time"], at + ".time");
        if (list[i].contains("duration"))
            marker.duration = rational_from(list[i]["duration"], at + ".duration");
        if (marker.duration < model::Rational::of(0))
            fail(at, "a marker's duration is not negative");
        marker_fields_from(list[i], at, marker);
        markers.push_back(std::move(marker));
    }
    std::stable_sort(
        markers.begin(), markers.end(),
        [](const model::Marker& a, const model::Marker& b) { return a.time < b.time; });
    return markers;
}

void markers_to(const std::vector<model::Marker>& markers, json& node) {
    if (markers.empty()) return;
    json list = json::array();
    for (const model::Marker& marker : markers) {
        json m{{"time", rational_to(marker.time)}};
        if (marker.duration != model::Rational::of(0)) m["duration"] = rational_to(marker.duration);
        for (const MarkerText& text : kMarkerTexts) {
            if (!(marker.*text.field).empty()) m[text.key] = marker.*text.field;
        }
        if (marker.eventCuePoint) m["eventCuePoint"] = true;
        if (marker.protectedRegion) m["protectedRegion"] = true;
        if (!marker.parameters.empty()) m["parameters"] = marker.parameters;
        list.push_back(m);
    }
    node["markers"] = list;
}

// Keys of stream and parameter tables compare without case, spaces, '-' or '_'.
std::string key_form(const std::string& name) {
    std::string form;
    for (const char c : name) {
        if (c == ' ' || c == '-' || c == '_') continue;
        form += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return form;
}

bool all_digits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

// ---------------------------------------------------------------- streams

void check_dimensions(const model::Stream& stream, const std::vector<double>& value,
                      const std::string& where) {
    const int dims = model::value_dimensions(stream.kind);
    if (dims > 0 && static_cast<int>(value.size()) != dims)
        fail(where, "'" + stream.name + "' holds " + std::to_string(dims) + " values");
}

void read_value(const json& node, model::Stream& stream, std::vector<double>& value,
                std::string& text, const std::string& where) {
    if (model::holds_text(stream.kind)) {
        if (node.contains("value")) text = text_from(node["value"], where);
        if (node.contains("numbers")) value = numbers_from(node["numbers"], where);
    } else {
        if (node.contains("value")) {
            value = numbers_from(node["value"], where);
            check_dimensions(stream, value, where);
        }
        if (node.contains("text")) text = text_from(node["text"], where);
    }
}

void write_value(json& node, const model::Stream& stream, const std::vector<double>& value,
                 const std::string& text) {
    if (model::holds_text(stream.kind)) {
        node["value"] = text;
        if (!value.empty()) node["numbers"] = value;
    } else {
        node["value"] = numbers_to(value);
        if (!text.empty()) node["text"] = text;
    }
}

std::vector<model::Ease> eases_from(const json& value, const std::string& where) {
    if (!value.is_array()) fail(where, "ease is a list of [speed, influence] pairs");
    std::vector<model::Ease> eases;
    for (const json& pair : value) {
        const auto numbers = numbers_from(pair, where);
        if (numbers.size() != 2) fail(where, "ease is a list of [speed, influence] pairs");
        eases.push_back(model::Ease{numbers[0], numbers[1]});
    }
    return eases;
}

json eases_to(const std::vector<model::Ease>& eases) {
    json list = json::array();
    for (const model::Ease& e : eases) list.push_back(json::array({e.speed, e.influence}));
    return list;
}

model::Keyframe keyframe_from(const json& node, const model::Stream& stream,
                              const std::string& where) {
    if (!node.is_object() || !node.contains("time")) fail(where, "a keyframe needs a time");
    model::Keyframe key = model::new_keyframe(stream, rational_from(node["time"], where + ".time"));
    model::Stream probe = stream;
    if (!node.contains("value")) fail(where, "a keyframe needs a value");
    key.value.clear();
    key.text.clear();
    read_value(node, probe, key.value, key.text, where);
    if (node.contains("in")) key.inInterp = interpolation_from(node["in"], where);
    if (node.contains("out")) key.outInterp = interpolation_from(node["out"], where);
    if (node.contains("inEase")) key.inEase = eases_from(node["inEase"], where);
    if (node.contains("outEase")) key.outEase = eases_from(node["outEase"], where);
    if (node.contains("inTangent")) key.inTangent = numbers_from(node["inTangent"], where);
    if (node.contains("outTangent")) key.outTangent = numbers_from(node["outTangent"], where);
    if (node.contains("flags")) key.flags = node["flags"].get<std::uint32_t>();
    return key;
}

json keyframe_to(const model::Keyframe& key, const model::Stream& stream) {
    json node;
    node["time"] = rational_to(key.time);
    write_value(node, stream, key.value, key.text);
    node["in"] = interpolation_name(key.inInterp);
    node["out"] = interpolation_name(key.outInterp);
    node["inEase"] = eases_to(key.inEase);
    node["outEase"] = eases_to(key.outEase);
    if (!key.inTangent.empty() || model::is_spatial(stream.kind)) node["inTangent"] = key.inTangent;
    if (!key.outTangent.empty() || model::is_spatial(stream.kind))
        node["outTangent"] = key.outTangent;
    if (key.flags != 0) node["flags"] = key.flags;
    return node;
}

// Applies a stream entry of a file to a stream (a default one, or a fresh one
// of the entry's kind).
void stream_from(const json& node, model::Stream& stream, const std::string& where) {
    if (!node.is_object()) {
        read_value(json{{"value", node}}, stream, stream.value, stream.text, where);
        return;
    }
    if (node.contains("name")) stream.name = text_from(node["name"], where);
    if (node.contains("canVary")) stream.canVary = node["canVary"].get<bool>();
    read_value(node, stream, stream.value, stream.text, where);
    if (node.contains("expression")) stream.expression = text_from(node["expression"], where);
    if (node.contains("expressionEnabled"))
        stream.expressionEnabled = node["expressionEnabled"].get<bool>();
    if (node.contains("keyframes")) {
        stream.keyframes.clear();
        for (std::size_t i = 0; i < node["keyframes"].size(); ++i) {
            const std::string at = where + ".keyframes[" + std::to_string(i) + "]";
            model::Keyframe key = keyframe_from(node["keyframes"][i], stream, at);
            for (const model::Keyframe& other : stream.keyframes) {
                if (other.time == key.time) fail(at, "two keyframes at one time");
            }
            stream.keyframes.push_back(std::move(key));
        }
        std::sort(
            stream.keyframes.begin(), stream.keyframes.end(),
            [](const model::Keyframe& a, const model::Keyframe& b) { return a.time < b.time; });
    }
}

// The entry of a stream that differs from its default; null when equal.
json stream_to(const model::Stream& stream, const model::Stream* fallback) {
    json node = json::object();
    if (fallback == nullptr || fallback->kind != stream.kind)
        node["kind"] = stream_kind_name(stream.kind);
    if (fallback == nullptr || fallback->name != stream.name) node["name"] = stream.name;
    if (fallback == nullptr || fallback->canVary != stream.canVary)
        node["canVary"] = stream.canVary;
    if (fallback == nullptr || fallback->value != stream.value || fallback->text != stream.text)
        write_value(node, stream, stream.value, stream.text);
    if (!stream.expression.empty()) node["expression"] = stream.expression;
    if (!stream.expressionEnabled) node["expressionEnabled"] = false;
    if (!stream.keyframes.empty()) {
        json keys = json::array();
        for (const model::Keyframe& key : stream.keyframes)
            keys.push_back(keyframe_to(key, stream));
        node["keyframes"] = keys;
    }
    return node.empty() ? json() : node;
}

// A key of a stream table: a number, or the name of one of the streams.
int stream_number(const std::string& key, const std::map<int, model::Stream>& streams,
                  const std::string& where) {
    if (all_digits(key)) return std::stoi(key);
    for (const auto& [number, stream] : streams) {
        if (key_form(stream.name) == key_form(key)) return number;
    }
    fail(where, "no stream named '" + key + "'");
}

std::string stream_key(int number, const model::Stream& stream,
                       const std::map<int, model::Stream>& streams) {
    for (const auto& [other, candidate] : streams) {
        if (other != number && key_form(candidate.name) == key_form(stream.name))
            return std::to_string(number);
    }
    return stream.name.empty() || all_digits(stream.name) ? std::to_string(number) : stream.name;
}

void streams_from(const json& table, std::map<int, model::Stream>& streams,
                  const std::string& where) {
    if (!table.is_object()) fail(where, "streams are an object keyed by name or number");
    for (const auto& [key, node] : table.items()) {
        const std::string at = where + "." + key;
        const int number = stream_number(key, streams, at);
        auto found = streams.find(number);
        if (found == streams.end()) {
            if (!node.is_object() || !node.contains("kind"))
                fail(at, "a stream the layer does not have by default needs a kind");
            model::Stream fresh;
            fresh.kind = stream_kind_from(node["kind"], at);
            fresh.name = key;
            found = streams.emplace(number, fresh).first;
        } else if (node.is_object() && node.contains("kind") &&
                   stream_kind_from(node["kind"], at) != found->second.kind) {
            found->second.kind = stream_kind_from(node["kind"], at);
        }
        stream_from(node, found->second, at);
    }
}

json streams_to(const std::map<int, model::Stream>& streams,
                const std::map<int, model::Stream>& defaults) {
    json table = json::object();
    for (const auto& [number, stream] : streams) {
        const auto fallback = defaults.find(number);
        const bool isDefault = fallback != defaults.end();
        json node = stream_to(stream, isDefault ? &fallback->second : nullptr);
        if (node.is_null()) continue;
        // A stream the layer has beyond its defaults can only be named by number.
        table[isDefault ? stream_key(number, stream, streams) : std::to_string(number)] = node;
    }
    return table;
}

// A separated Position: `"Position": {"separated": true}` and its followers
// as streams named "X Position", "Y Position", "Z Position". They are taken
// out of the table here, so the rest reads as the layer's own streams.
struct Separation {
    bool separated = false;
    std::vector<std::pair<int, json>> followers;  // dimension, entry
};

int follower_dimension(const std::string& key) {
    for (int d = 0; d < model::kSeparatedDimensions; ++d)
        if (key_form(key) == key_form(model::follower_name(d))) return d;
    return -1;
}

Separation take_separation(json& table, const std::string& where) {
    Separation separation;
    if (!table.is_object()) return separation;
    for (auto entry = table.begin(); entry != table.end();) {
        const int dimension = follower_dimension(entry.key());
        if (dimension >= 0) {
            separation.followers.emplace_back(dimension, entry.value());
            entry = table.erase(entry);
            continue;
        }
        if (key_form(entry.key()) == "position" && entry->is_object() &&
            entry->contains("separated")) {
            separation.separated = (*entry)["separated"].get<bool>();
            entry->erase("separated");
            if (entry->empty()) {
                entry = table.erase(entry);
                continue;
            }
        }
        ++entry;
    }
    if (!separation.followers.empty() && !separation.separated)
        fail(where, "followers of Position need \"Position\": {\"separated\": true}");
    return separation;
}

void layer_streams_from(json table, model::Layer& layer, const std::string& where) {
    const Separation separation = take_separation(table, where);
    streams_from(table, layer.streams, where);
    if (!separation.separated) return;
    if (layer.streams.count(model::stream::kPosition) == 0)
        fail(where, "a separated Position needs the layer's Position");
    model::set_position_separated(layer, true);
    for (const auto& [dimension, node] : separation.followers)
        stream_from(node, layer.positionFollowers[static_cast<std::size_t>(dimension)],
                    where + "." + model::follower_name(dimension));
}

void separation_to(json& table, const model::Layer& layer) {
    if (!model::position_separated(layer)) return;
    json& position = table["Position"];
    if (!position.is_object())
        position = position.is_null() ? json::object() : json{{"value", position}};
    position["separated"] = true;
    for (const model::Stream& follower : layer.positionFollowers) {
        model::Stream fallback;
        fallback.name = follower.name;
        fallback.kind = follower.kind;
        fallback.value = {};
        table[follower.name] = stream_to(follower, &fallback);
    }
}

std::vector<model::Stream> default_mask_streams() {
    auto make = [](std::string name, model::StreamKind kind, std::vector<double> value) {
        model::Stream s;
        s.name = std::move(name);
        s.kind = kind;
        s.value = std::move(value);
        return s;
    };
    return {make("Mask Path", model::StreamKind::Mask, {}),
            make("Mask Feather", model::StreamKind::TwoD, {0, 0}),
            make("Mask Opacity", model::StreamKind::OneD, {100}),
            make("Mask Expansion", model::StreamKind::OneD, {0})};
}

// Parameter or mask-stream lists keyed by index or name.
void indexed_streams_from(const json& table, std::vector<model::Stream>& streams,
                          const std::string& where) {
    if (!table.is_object()) fail(where, "expected an object keyed by name or index");
    for (const auto& [key, node] : table.items()) {
        const std::string at = where + "." + key;
        std::size_t index = streams.size();
        if (all_digits(key)) {
            index = std::stoul(key);
        } else {
            for (std::size_t i = 0; i < streams.size(); ++i) {
                if (key_form(streams[i].name) == key_form(key)) {
                    index = i;
                    break;
                }
            }
        }
        if (index >= streams.size()) fail(at, "no such parameter");
        stream_from(node, streams[index], at);
    }
}

json indexed_streams_to(const std::vector<model::Stream>& streams,
                        const std::vector<model::Stream>& defaults) {
    json table = json::object();
    for (std::size_t i = 0; i < streams.size(); ++i) {
        json node = stream_to(streams[i], i < defaults.size() ? &defaults[i] : nullptr);
        if (node.is_null()) continue;
        bool unique = !streams[i].name.empty() && !all_digits(streams[i].name);
        for (std::size_t j = 0; j < streams.size() && unique; ++j) {
            if (j != i && key_form(streams[j].name) == key_form(streams[i].name)) unique = false;
        }
        table[unique ? streams[i].name : std::to_string(i)] = node;
    }
    return table;
}

// ---------------------------------------------------------------- loader

class Loader {
public:
    explicit Loader(const json& document) : doc_(document) {}

    model::Project load() {
        if (!doc_.is_object()) fail("project", "the file holds no JSON object");
        project_.name = doc_.value("name", std::string("Untitled Project"));
        project_.rootFolder = doc_.value("rootFolder", Id(1));
        if (project_.rootFolder <= kNoId) fail("project", "rootFolder must be positive");
        project_.bitsPerChannel = doc_.value("bitsPerChannel", 8);
        if (project_.bitsPerChannel != 8 && project_.bitsPerChannel != 16 &&
            project_.bitsPerChannel != 32)
            fail("bitsPerChannel", "expected 8, 16 or 32");
        project_.linearBlending = doc_.value("linearBlending", false);
        collect_ids();
        const json& items = doc_.contains("items") ? doc_["items"] : json::array();
        if (!items.is_array()) fail("items", "expected a list");
        for (std::size_t i = 0; i < items.size(); ++i) make_item(items[i], item_place(i));
        for (std::size_t i = 0; i < items.size(); ++i) place_in_folder(items[i], i);
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (project_.items[i].comp) fill_comp(items[i], project_.items[i].id, item_place(i));
        }
        if (doc_.contains("activeItem") && !doc_["activeItem"].is_null())
            project_.activeItem = item_ref(doc_["activeItem"], "activeItem");
        project_.nextId = std::max(next_, doc_.value("nextId", Id(0)));
        try {
            model::check_invariants(project_);
        } catch (const model::ModelError& broken) {
            fail("project", broken.what());
        }
        return std::move(project_);
    }

private:
    static std::string item_place(std::size_t i) { return "items[" + std::to_string(i) + "]"; }

    void claim(const json& node, const std::string& where) {
        if (!node.is_object() || !node.contains("id")) return;
        const Id id = node["id"].get<Id>();
        if (id <= kNoId || id == project_.rootFolder || !used_.insert(id).second)
            fail(where, "id " + std::to_string(id) + " is taken or invalid");
    }

    void collect_ids() {
        used_.insert(project_.rootFolder);
        const json& items = doc_.contains("items") ? doc_["items"] : json::array();
        for (std::size_t i = 0; i < items.size(); ++i) {
            claim(items[i], item_place(i));
            for (const json& layer : items[i].value("layers", json::array())) {
                claim(layer, item_place(i) + ".layers");
                for (const json& effect : layer.value("effects", json::array()))
                    claim(effect, item_place(i) + ".effects");
                for (const json& mask : layer.value("masks", json::array()))
                    claim(mask, item_place(i) + ".masks");
            }
        }
        next_ = *used_.rbegin() + 1;
    }

    Id id_for(const json& node) {
        if (node.contains("id")) return node["id"].get<Id>();
        return next_++;
    }

    Id item_ref(const json& ref, const std::string& where) const {
        if (ref.is_number_integer()) {
            const Id id = ref.get<Id>();
            if (id == project_.rootFolder || model::find_item(project_, id)) return id;
            fail(where, "no item with id " + std::to_string(id));
        }
        const std::string name = text_from(ref, where);
        Id found = kNoId;
        for (const model::Item& item : project_.items) {
            if (item.name != name) continue;
            if (found != kNoId)
                fail(where, "more than one item is named '" + name + "'; use its id");
            found = item.id;
        }
        if (found == kNoId) fail(where, "no item named '" + name + "'");
        return found;
    }

    void make_item(const json& node, const std::string& where) {
        if (!node.is_object()) fail(where, "expected an object");
        model::Item item;
        item.id = id_for(node);
        item.name = node.value("name", std::string());
        item.selected = node.value("selected", false);
        item.folder = project_.rootFolder;
        const std::string type = node.value("type", std::string("comp"));
        if (type == "folder") {
            item.kind = model::ItemKind::Folder;
        } else if (type == "comp") {
            item.kind = model::ItemKind::Composition;
            item.comp = comp_from(node, where);
        } else if (type == "solid" || type == "footage" || type == "placeholder") {
            item.kind = model::ItemKind::Footage;
            item.footage = footage_from(node, type, where);
        } else {
            fail(where, "unknown item type '" + type + "'");
        }
        project_.items.push_back(std::move(item));
    }

    static model::Composition comp_from(const json& node, const std::string& where) {
        model::Composition comp;
        comp.width = node.value("width", comp.width);
        comp.height = node.value("height", comp.height);
        if (node.contains("pixelAspect"))
            comp.pixelAspect = rational_from(node["pixelAspect"], where + ".pixelAspect");
        if (node.contains("frameRate"))
            comp.frameRate = rational_from(node["frameRate"], where + ".frameRate");
        if (node.contains("duration"))
            comp.duration = rational_from(node["duration"], where + ".duration");
        if (comp.frameRate <= model::Rational::of(0))
            fail(where, "the frame rate must be positive");
        if (node.contains("bgColor"))
            comp.bgColor = numbers_from(node["bgColor"], where + ".bgColor");
        if (comp.bgColor.size() != 3) fail(where + ".bgColor", "expected [red, green, blue]");
        comp.shutterAngle = node.value("shutterAngle", comp.shutterAngle);
        comp.shutterPhase = node.value("shutterPhase", comp.shutterPhase);
        comp.markers = markers_from(node, where);
        return comp;
    }

    static model::Footage footage_from(const json& node, const std::string& type,
                                       const std::string& where) {
        model::Footage footage;
        footage.kind = type == "solid"     ? model::FootageKind::Solid
                       : type == "footage" ? model::FootageKind::File
                                           : model::FootageKind::Placeholder;
        footage.width = node.value("width", footage.width);
        footage.height = node.value("height", footage.height);
        if (node.contains("pixelAspect"))
            footage.pixelAspect = rational_from(node["pixelAspect"], where + ".pixelAspect");
        if (node.contains("frameRate"))
            footage.frameRate = rational_from(node["frameRate"], where + ".frameRate");
        if (node.contains("duration"))
            footage.duration = rational_from(node["duration"], where + ".duration");
        if (node.contains("color")) footage.color = numbers_from(node["color"], where + ".color");
        footage.path = node.value("path", std::string());
        footage.hasAudio = node.value("hasAudio", false);
        return footage;
    }

    void place_in_folder(const json& node, std::size_t i) {
        if (!node.contains("folder")) return;
        const Id folder = item_ref(node["folder"], item_place(i) + ".folder");
        const model::Item* holder = model::find_item(project_, folder);
        if (folder != project_.rootFolder && holder->kind != model::ItemKind::Folder)
            fail(item_place(i) + ".folder", "not a folder");
        project_.items[i].folder = folder;
    }

    void fill_comp(const json& node, Id compId, const std::string& where) {
        const json layers = node.value("layers", json::array());
        for (std::size_t j = 0; j < layers.size(); ++j) {
            const std::string at = where + ".layers[" + std::to_string(j) + "]";
            model::Layer layer = layer_from(layers[j], compId, at);
            model::comp_of(project_, compId)->layers.push_back(std::move(layer));
        }
        model::Composition& comp = *model::comp_of(project_, compId);
        for (std::size_t j = 0; j < layers.size(); ++j) {
            if (!layers[j].contains("parent") || layers[j]["parent"].is_null()) continue;
            const std::string at = where + ".layers[" + std::to_string(j) + "].parent";
            const Id parent = layer_ref(comp, layers[j]["parent"], at);
            try {
                model::set_parent(project_, comp.layers[j].id, parent);
            } catch (const model::ModelError& refused) {
                fail(at, refused.what());
            }
        }
        for (const json& entry : node.value("selection", json::array()))
            comp.selection.push_back(selection_from(comp, entry, where + ".selection"));
    }

    Id layer_ref(const model::Composition& comp, const json& ref, const std::string& where) const {
        if (ref.is_number_integer()) {
            const int index = ref.get<int>();
            if (index < 0 || static_cast<std::size_t>(index) >= comp.layers.size())
                fail(where, "no layer at index " + std::to_string(index));
            return comp.layers[static_cast<std::size_t>(index)].id;
        }
        if (ref.is_object() && ref.contains("id")) {
            const Id id = ref["id"].get<Id>();
            for (const model::Layer& layer : comp.layers) {
                if (layer.id == id) return id;
            }
            fail(where, "no layer with id " + std::to_string(id) + " in this composition");
        }
        const std::string name = text_from(ref, where);
        Id found = kNoId;
        for (const model::Layer& layer : comp.layers) {
            if (model::shown_name(project_, layer) != name) continue;
            if (found != kNoId) fail(where, "more than one layer shows '" + name + "'");
            found = layer.id;
        }
        if (found == kNoId) fail(where, "no layer named '" + name + "'");
        return found;
    }

    model::SelectionEntry selection_from(const model::Composition& comp, const json& entry,
                                         const std::string& where) const {
        model::SelectionEntry selected;
        if (!entry.is_object()) {
            selected.layer = layer_ref(comp, entry, where);
            return selected;
        }
        if (!entry.contains("layer")) fail(where, "a selection entry names its layer");
        selected.layer = layer_ref(comp, entry["layer"], where);
        const model::Layer& layer = *model::find_layer(project_, selected.layer);
        if (entry.contains("mask")) {
            selected.kind = model::SelectionKind::Mask;
            selected.index = entry["mask"].get<int>();
        } else if (entry.contains("effect")) {
            selected.kind = model::SelectionKind::Effect;
            selected.index = entry["effect"].get<int>();
        } else if (entry.contains("stream")) {
            const json& stream = entry["stream"];
            selected.index = stream.is_number_integer()
                                 ? stream.get<int>()
                                 : stream_number(text_from(stream, where), layer.streams, where);
            selected.kind = model::SelectionKind::Stream;
            if (entry.contains("keyframe")) {
                selected.kind = model::SelectionKind::Keyframe;
                selected.sub = entry["keyframe"].get<int>();
            }
        }
        return selected;
    }

    model::Layer layer_from(const json& node, Id compId, const std::string& where) {
        if (!node.is_object()) fail(where, "expected an object");
        model::Layer layer;
        layer.id = id_for(node);
        layer.kind = layer_kind_from(node.value("type", std::string("av")), where);
        layer.ownName = node.value("name", std::string());
        layer.comment = node.value("comment", std::string());
        if (node.contains("source") && !node["source"].is_null()) {
            layer.source = item_ref(node["source"], where + ".source");
            const model::Item* source = model::find_item(project_, layer.source);
            if (source == nullptr || source->kind == model::ItemKind::Folder)
                fail(where + ".source", "a layer shows a composition or footage item");
        }
        if (layer.kind == model::LayerKind::AV && layer.source == kNoId)
            fail(where, "an AV layer needs a source");
        layer.isNull = node.value("null", false);
        const model::Composition& comp = *model::comp_of(project_, compId);
        layer.inPoint = node.contains("inPoint")
                            ? rational_from(node["inPoint"], where + ".inPoint")
                            : model::Rational::of(0);
        layer.duration = node.contains("duration")
                             ? rational_from(node["duration"], where + ".duration")
                             : default_duration(layer, comp);
        layer.offset = node.contains("offset") ? rational_from(node["offset"], where + ".offset")
                                               : model::Rational::of(0);
        if (node.contains("flags")) layer.flags = layer_flags_from(node["flags"], where + ".flags");
        if (node.contains("stretch")) {
            const model::Rational percent = rational_from(node["stretch"], where + ".stretch");
            if (percent == model::Rational::of(0))
                fail(where + ".stretch", "a stretch of 0 % would stop the layer's time");
            layer.stretch = percent / model::Rational::of(100);
        }
        if (node.contains("blendingMode"))
            layer.blendingMode = blending_mode_from(node["blendingMode"], where + ".blendingMode");
        if (node.contains("blendingFlags"))
            layer.blendingFlags =
                blending_flags_from(node["blendingFlags"], where + ".blendingFlags");
        if (node.contains("trackMatte"))
            layer.trackMatte = track_matte_from(node["trackMatte"], where + ".trackMatte");
        model::fill_default_streams(project_, comp, layer);
        for (const json& removed : node.value("removedStreams", json::array()))
            layer.streams.erase(removed.get<int>());
        if (node.contains("text") && layer.streams.count(model::stream::kSourceText))
            layer.streams[model::stream::kSourceText].text =
                text_from(node["text"], where + ".text");
        if (node.contains("streams"))
            layer_streams_from(node["streams"], layer, where + ".streams");
        const json effects = node.value("effects", json::array());
        for (std::size_t e = 0; e < effects.size(); ++e)
            layer.effects.push_back(
                effect_from(effects[e], where + ".effects[" + std::to_string(e) + "]"));
        const json masks = node.value("masks", json::array());
        for (std::size_t m = 0; m < masks.size(); ++m)
            layer.masks.push_back(
                mask_from(masks[m], m, where + ".masks[" + std::to_string(m) + "]"));
        layer.markers = markers_from(node, where);
        return layer;
    }

    model::Time default_duration(const model::Layer& layer, const model::Composition& comp) const {
        if (const model::Item* source = model::find_item(project_, layer.source)) {
            if (source->comp) return source->comp->duration;
            if (source->footage && source->footage->duration > model::Rational::of(0))
                return source->footage->duration;
        }
        return comp.duration;
    }

    model::Effect effect_from(const json& node, const std::string& where) {
        if (!node.is_object() || !node.contains("kind")) fail(where, "an effect needs a kind");
        const std::string kindName = text_from(node["kind"], where + ".kind");
        const model::InstalledEffect* kind = model::find_installed_effect(kindName);
        for (const model::InstalledEffect& candidate : model::installed_effects()) {
            if (kind == nullptr && candidate.name == kindName) kind = &candidate;
        }
        if (kind == nullptr) fail(where, "no installed effect '" + kindName + "'");
        model::Effect effect;
        effect.id = id_for(node);
        effect.installedKey = kind->key;
        effect.matchName = kind->matchName;
        effect.name = node.value("name", kind->name);
        effect.active = node.value("active", true);
        effect.params = kind->params;
        if (node.contains("params"))
            indexed_streams_from(node["params"], effect.params, where + ".params");
        return effect;
    }

    model::Mask mask_from(const json& node, std::size_t index, const std::string& where) {
        if (!node.is_object()) fail(where, "expected an object");
        model::Mask mask;
        mask.id = id_for(node);
        mask.name = node.value("name", "Mask " + std::to_string(index + 1));
        mask.streams = default_mask_streams();
        if (node.contains("streams"))
            indexed_streams_from(node["streams"], mask.streams, where + ".streams");
        return mask;
    }

    const json& doc_;
    model::Project project_;
    std::set<Id> used_;
    Id next_ = 2;
};

// ---------------------------------------------------------------- writer

class Writer {
public:
    explicit Writer(const model::Project& project) : project_(project) {}

    json write() const {
        json doc;
        doc["name"] = project_.name;
        doc["rootFolder"] = project_.rootFolder;
        doc["nextId"] = project_.nextId;
        if (project_.bitsPerChannel != 8) doc["bitsPerChannel"] = project_.bitsPerChannel;
        if (project_.linearBlending) doc["linearBlending"] = true;
        if (project_.activeItem != kNoId) doc["activeItem"] = item_ref(project_.activeItem);
        json items = json::array();
        for (const model::Item& item : project_.items) items.push_back(item_to(item));
        doc["items"] = items;
        return doc;
    }

private:
    json item_ref(Id id) const {
        int named = 0;
        const model::Item* item = model::find_item(project_, id);
        for (const model::Item& other : project_.items) {
            if (item != nullptr && other.name == item->name) ++named;
        }
        if (item != nullptr && named == 1 && !item->name.empty()) return item->name;
        return id;
    }

    json item_to(const model::Item& item) const {
        json node;
        node["id"] = item.id;
        node["name"] = item.name;
        if (item.folder != project_.rootFolder) node["folder"] = item_ref(item.folder);
        if (item.selected) node["selected"] = true;
        if (item.kind == model::ItemKind::Folder) {
            node["type"] = "folder";
        } else if (item.comp) {
            node["type"] = "comp";
            comp_to(item, node);
        } else if (item.footage) {
            footage_to(*item.footage, node);
        }
        return node;
    }

    void comp_to(const model::Item& item, json& node) const {
        const model::Composition& comp = *item.comp;
        node["width"] = comp.width;
        node["height"] = comp.height;
        node["pixelAspect"] = rational_to(comp.pixelAspect);
        node["frameRate"] = rational_to(comp.frameRate);
        node["duration"] = rational_to(comp.duration);
        node["bgColor"] = comp.bgColor;
        node["shutterAngle"] = comp.shutterAngle;
        node["shutterPhase"] = comp.shutterPhase;
        json layers = json::array();
        for (const model::Layer& layer : comp.layers) layers.push_back(layer_to(comp, layer));
        node["layers"] = layers;
        if (!comp.selection.empty()) {
            json selection = json::array();
            for (const model::SelectionEntry& entry : comp.selection)
                selection.push_back(selection_to(comp, entry));
            node["selection"] = selection;
        }
        markers_to(comp.markers, node);
    }

    static void footage_to(const model::Footage& footage, json& node) {
        node["type"] = footage.kind == model::FootageKind::Solid  ? "solid"
                       : footage.kind == model::FootageKind::File ? "footage"
                                                                  : "placeholder";
        node["width"] = footage.width;
        node["height"] = footage.height;
        node["pixelAspect"] = rational_to(footage.pixelAspect);
        node["frameRate"] = rational_to(footage.frameRate);
        node["duration"] = rational_to(footage.duration);
        node["color"] = footage.color;
        if (!footage.path.empty()) node["path"] = footage.path;
        if (footage.hasAudio) node["hasAudio"] = true;
    }

    json layer_ref(const model::Composition& comp, Id id) const {
        int named = 0;
        std::size_t index = 0;
        const model::Layer* layer = model::find_layer(project_, id);
        for (std::size_t i = 0; i < comp.layers.size(); ++i) {
            if (comp.layers[i].id == id) index = i;
            if (layer &&
                model::shown_name(project_, comp.layers[i]) == model::shown_name(project_, *layer))
                ++named;
        }
        const std::string name = layer ? model::shown_name(project_, *layer) : std::string();
        if (named == 1 && !name.empty()) return name;
        return static_cast<int>(index);
    }

    json selection_to(const model::Composition& comp, const model::SelectionEntry& entry) const {
        if (entry.kind == model::SelectionKind::Layer) return layer_ref(comp, entry.layer);
        json node;
        node["layer"] = layer_ref(comp, entry.layer);
        switch (entry.kind) {
            case model::SelectionKind::Mask:
                node["mask"] = entry.index;
                break;
            case model::SelectionKind::Effect:
                node["effect"] = entry.index;
                break;
            case model::SelectionKind::Keyframe:
                node["keyframe"] = entry.sub;
                [[fallthrough]];
            case model::SelectionKind::Stream:
                node["stream"] = entry.index;
                break;
            case model::SelectionKind::Layer:
                break;
        }
        return node;
    }

    json layer_to(const model::Composition& comp, const model::Layer& layer) const {
        json node;
        node["id"] = layer.id;
        if (layer.kind != model::LayerKind::AV) node["type"] = layer_kind_name(layer.kind);
        if (!layer.ownName.empty()) node["name"] = layer.ownName;
        if (!layer.comment.empty()) node["comment"] = layer.comment;
        if (layer.source != kNoId) node["source"] = item_ref(layer.source);
        if (layer.isNull) node["null"] = true;
        node["inPoint"] = rational_to(layer.inPoint);
        node["duration"] = rational_to(layer.duration);
        node["offset"] = rational_to(layer.offset);
        node["flags"] = layer_flags_to(layer.flags);
        if (layer.stretch != model::Rational::of(1))
            node["stretch"] = rational_to(layer.stretch * model::Rational::of(100));
        if (layer.blendingMode != model::kNormalBlending)
            node["blendingMode"] = blending_mode_to(layer.blendingMode);
        if (layer.blendingFlags != 0)
            node["blendingFlags"] = blending_flags_to(layer.blendingFlags);
        if (layer.trackMatte != model::TrackMatte::None)
            node["trackMatte"] = model::track_matte_name(layer.trackMatte).name;
        if (layer.parent != kNoId) node["parent"] = layer_ref(comp, layer.parent);
        model::Layer fresh;
        fresh.kind = layer.kind;
        fresh.source = layer.source;
        model::fill_default_streams(project_, comp, fresh);
        json removed = json::array();
        for (const auto& [number, stream] : fresh.streams) {
            if (layer.streams.count(number) == 0) removed.push_back(number);
        }
        if (!removed.empty()) node["removedStreams"] = removed;
        json streams = streams_to(layer.streams, fresh.streams);
        separation_to(streams, layer);
        if (!streams.empty()) node["streams"] = streams;
        if (!layer.effects.empty()) {
            json effects = json::array();
            for (const model::Effect& effect : layer.effects) effects.push_back(effect_to(effect));
            node["effects"] = effects;
        }
        if (!layer.masks.empty()) {
            json masks = json::array();
            for (const model::Mask& mask : layer.masks) {
                json m{{"id", mask.id}, {"name", mask.name}};
                const json streams = indexed_streams_to(mask.streams, default_mask_streams());
                if (!streams.empty()) m["streams"] = streams;
                masks.push_back(m);
            }
            node["masks"] = masks;
        }
        markers_to(layer.markers, node);
        return node;
    }

    static json effect_to(const model::Effect& effect) {
        json node{{"id", effect.id}, {"kind", effect.matchName}};
        const model::InstalledEffect* kind = model::find_installed_effect(effect.matchName);
        if (kind == nullptr || effect.name != kind->name) node["name"] = effect.name;
        if (!effect.active) node["active"] = false;
        const json params =
            indexed_streams_to(effect.params, kind ? kind->params : std::vector<model::Stream>{});
        if (!params.empty()) node["params"] = params;
        return node;
    }

    const model::Project& project_;
};

}  // namespace

model::Project project_from_json(const nlohmann::json& document) {
    try {
        return Loader(document).load();
    } catch (const json::exception& wrong) {
        throw std::runtime_error(std::string("project file: ") + wrong.what());
    } catch (const std::overflow_error& wrong) {
        throw std::runtime_error(std::string("project file: ") + wrong.what());
    } catch (const std::domain_error& wrong) {
        throw std::runtime_error(std::string("project file: ") + wrong.what());
    }
}

nlohmann::json project_to_json(const model::Project& project) { return Writer(project).write(); }

model::Project load_project_file(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open project file " + file.string());
    json document;
    try {
        document = json::parse(in);
    } catch (const json::parse_error& wrong) {
        throw std::runtime_error(file.string() + ": " + wrong.what());
    }
    try {
        return project_from_json(document);
    } catch (const std::runtime_error& wrong) {
        throw std::runtime_error(file.string() + ": " + wrong.what());
    }
}

void save_project_file(const model::Project& project, const std::filesystem::path& file) {
    const std::string text = project_to_json(project).dump(2) + "\n";
    const std::filesystem::path partial = file.string() + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        if (!out) throw std::runtime_error("cannot write " + partial.string());
        out << text;
        if (!out.flush()) throw std::runtime_error("cannot write " + partial.string());
    }
    std::filesystem::rename(partial, file);
}

}  // namespace host::io
