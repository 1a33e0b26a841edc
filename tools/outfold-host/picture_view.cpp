#include "picture_view.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "model/blending.h"
#include "printing.h"

namespace tool {

namespace model = host::model;
namespace picture = host::picture;

namespace {

std::string fixed(double value, int digits) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(digits) << value;
    return text.str();
}

std::string joined(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
    return text;
}

std::string matte_name(model::TrackMatte matte) { return model::track_matte_name(matte).name; }

// The scripting name of a blending mode ("ADD"), or its number when it has none.
nlohmann::json mode_json(std::int32_t mode) {
    const model::BlendingModeName* named = model::blending_mode_of(mode);
    return named ? nlohmann::json(named->name) : nlohmann::json(mode);
}

std::string mode_text(std::int32_t mode) {
    const model::BlendingModeName* named = model::blending_mode_of(mode);
    return named ? named->name : std::to_string(mode);
}

nlohmann::json modes_json(const std::vector<std::int32_t>& modes) {
    nlohmann::json list = nlohmann::json::array();
    for (std::int32_t mode : modes) list.push_back(mode_json(mode));
    return list;
}

std::vector<std::string> attribute_names(const std::vector<picture::Attribute>& attributes) {
    std::vector<std::string> names;
    for (const picture::Attribute& a : attributes) names.push_back(a.layer + ": " + a.name);
    return names;
}

nlohmann::json attributes_json(const std::vector<picture::Attribute>& attributes, bool effects) {
    nlohmann::json list = nlohmann::json::array();
    for (const picture::Attribute& a : attributes) {
        nlohmann::json entry{{"layer", a.layer}, {"name", a.name}};
        if (effects) entry["matchName"] = a.matchName;
        list.push_back(std::move(entry));
    }
    return list;
}

// A solid's own colour; for other sources a colour of the source's name's,
// the same in every frame whatever the layer is called; text and shapes teal.
std::string colour_of(const picture::Leaf& leaf) {
    if (leaf.colour.size() >= 3) {
        std::string rgb = "rgb(";
        for (std::size_t i = 0; i < 3; ++i)
            rgb += std::to_string(std::lround(std::clamp(leaf.colour[i], 0.0, 1.0) * 255)) +
                   (i < 2 ? "," : ")");
        return rgb;
    }
    if (!leaf.source) return "hsl(175,55%,50%)";
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : *leaf.source) hash = (hash ^ c) * 16777619u;
    return "hsl(" + std::to_string(hash % 360) + ",60%,55%)";
}

}  // namespace

model::Time parse_time(const std::string& text) {
    const auto bad = [&] { return std::runtime_error("not a time in seconds: \"" + text + "\""); };
    std::size_t at = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) ++at;
    std::int64_t whole = 0, fraction = 0, scale = 1;
    std::size_t digits = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at, ++digits) {
        if (whole > 1000000000) throw bad();
        whole = whole * 10 + (text[at] - '0');
    }
    if (at < text.size() && text[at] == '/') {
        std::int64_t den = 0;
        std::size_t denDigits = 0;
        for (++at; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]));
             ++at, ++denDigits) {
            if (den > 1000000000) throw bad();
            den = den * 10 + (text[at] - '0');
        }
        if (digits == 0 || denDigits == 0 || den == 0 || at != text.size()) throw bad();
        return model::Time::of(negative ? -whole : whole, den);
    }
    if (at < text.size() && text[at] == '.') {
        for (++at; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]));
             ++at, ++digits) {
            if (scale > 100000000) throw bad();
            fraction = fraction * 10 + (text[at] - '0');
            scale *= 10;
        }
    }
    if (digits == 0 || at != text.size()) throw bad();
    const std::int64_t num = whole * scale + fraction;
    return model::Time::of(negative ? -num : num, scale);
}

void print_picture(std::ostream& out, const picture::Picture& pic) {
    out << "picture: " << pic.leaves.size() << " leaves, top first\n";
    for (std::size_t i = 0; i < pic.leaves.size(); ++i) {
        const picture::Leaf& leaf = pic.leaves[i];
        const auto place = picture::map_point(leaf.world, {0, 0, 0});
        out << "  " << i + 1 << ". " << joined(leaf.names, " / ");
        if (leaf.source) out << " (" << *leaf.source << ")";
        if (leaf.text) out << " \"" << *leaf.text << "\"";
        out << "\n     at [" << fixed(place[0], 2) << ", " << fixed(place[1], 2) << "]"
            << " opacity " << fixed(leaf.opacity, 2) << " %" << (leaf.visible ? "" : ", hidden")
            << (leaf.audible ? ", audible" : "") << (leaf.isMatte ? ", a matte" : "")
            << ", layer time " << fixed(leaf.layerTime.seconds(), 4);
        if (leaf.sourceTime) out << ", source time " << fixed(leaf.sourceTime->seconds(), 4);
        out << ", mode " << mode_text(leaf.blendingMode);
        for (std::int32_t mode : leaf.groupModes) out << " in " << mode_text(mode);
        if (leaf.trackMatte != model::TrackMatte::None)
            out << ", matte " << matte_name(leaf.trackMatte) << " of " << leaf.matte.value_or("?");
        out << "\n";
        if (!leaf.masks.empty())
            out << "     masks: " << joined(attribute_names(leaf.masks), ", ") << "\n";
        if (!leaf.effects.empty())
            out << "     effects: " << joined(attribute_names(leaf.effects), ", ") << "\n";
    }
    for (const std::string& error : pic.errors) out << "  expression error: " << error << "\n";
}

std::string picture_json(const picture::Picture& pic) {
    nlohmann::json leaves = nlohmann::json::array();
    for (const picture::Leaf& leaf : pic.leaves) {
        nlohmann::json groupMattes = nlohmann::json::array();
        for (model::TrackMatte matte : leaf.groupMattes) groupMattes.push_back(matte_name(matte));
        leaves.push_back({
            {"path", leaf.names},
            {"source", leaf.source ? nlohmann::json(*leaf.source) : nlohmann::json(nullptr)},
            {"world", leaf.world},
            {"opacity", leaf.opacity},
            {"visible", leaf.visible},
            {"audible", leaf.audible},
            {"isMatte", leaf.isMatte},
            {"text", leaf.text ? nlohmann::json(*leaf.text) : nlohmann::json(nullptr)},
            {"layerTime", leaf.layerTime.seconds()},
            {"sourceTime", leaf.sourceTime ? nlohmann::json(leaf.sourceTime->seconds())
                                           : nlohmann::json(nullptr)},
            {"blendingMode", mode_json(leaf.blendingMode)},
            {"groupModes", modes_json(leaf.groupModes)},
            {"trackMatte", matte_name(leaf.trackMatte)},
            {"groupMattes", groupMattes},
            {"masks", attributes_json(leaf.masks, false)},
            {"effects", attributes_json(leaf.effects, true)},
        });
    }
    return leaves.dump(2) + "\n";
}

std::string frames_svg(const std::vector<std::string>& times, const std::vector<Frames>& columns) {
    constexpr double kFrameWidth = 400, kMargin = 16, kTitle = 28, kLabel = 20;
    const int compWidth = std::max(1, columns.empty() ? 1 : columns.front().width);
    const int compHeight = std::max(1, columns.empty() ? 1 : columns.front().height);
    const double scale = kFrameWidth / compWidth;
    const double frameHeight = compHeight * scale;
    const double width = kMargin + columns.size() * (kFrameWidth + kMargin);
    const double height = kTitle + times.size() * (kLabel + frameHeight + kMargin) + kMargin;
    std::ostringstream svg;
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << fixed(width, 0) << "\" height=\""
        << fixed(height, 0) << "\" font-family=\"DejaVu Sans, sans-serif\">\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"#20232a\"/>\n";
    for (std::size_t c = 0; c < columns.size(); ++c) {
        svg << "<text x=\"" << fixed(kMargin + c * (kFrameWidth + kMargin), 1) << "\" y=\"20\""
            << " fill=\"#eee\" font-size=\"15\">" << xml_escaped(columns[c].state) << "</text>\n";
    }
    for (std::size_t row = 0; row < times.size(); ++row) {
        const double top = kTitle + row * (kLabel + frameHeight + kMargin);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const double left = kMargin + c * (kFrameWidth + kMargin);
            svg << "<text x=\"" << fixed(left, 1) << "\" y=\"" << fixed(top + 14, 1)
                << "\" fill=\"#bbb\" font-size=\"12\">t = " << xml_escaped(times[row])
                << " s</text>\n<svg x=\"" << fixed(left, 1) << "\" y=\"" << fixed(top + kLabel, 1)
                << "\" width=\"" << fixed(kFrameWidth, 1) << "\" height=\"" << fixed(frameHeight, 1)
                << "\" viewBox=\"0 0 " << compWidth << " " << compHeight << "\">\n"
                << "<rect width=\"" << compWidth << "\" height=\"" << compHeight
                << "\" fill=\"#000\" stroke=\"#666\" stroke-width=\"" << fixed(1 / scale, 2)
                << "\"/>\n";
            const picture::Picture& pic = columns[c].pictures.at(row);
            // Bottom of the stack first, so that upper leaves cover lower ones.
            for (auto leaf = pic.leaves.rbegin(); leaf != pic.leaves.rend(); ++leaf) {
                if (!leaf->visible) continue;
                const double w = leaf->size[0] > 0 ? leaf->size[0] : 40;
                const double h = leaf->size[1] > 0 ? leaf->size[1] : 40;
                std::string points;
                for (const auto& corner :
                     {std::array<double, 3>{0, 0, 0}, {w, 0, 0}, {w, h, 0}, {0, h, 0}}) {
                    const auto p = picture::map_point(leaf->world, corner);
                    points += fixed(p[0], 2) + "," + fixed(p[1], 2) + " ";
                }
                const auto centre = picture::map_point(leaf->world, {w / 2, h / 2, 0});
                const std::string name = joined(leaf->names, "/");
                svg << "<g class=\"leaf\" data-state=\"" << xml_escaped(columns[c].state)
                    << "\" data-time=\"" << xml_escaped(times[row]) << "\" data-path=\""
                    << xml_escaped(name) << "\" data-opacity=\"" << fixed(leaf->opacity, 3) << "\">"
                    << "<polygon points=\"" << points << "\" fill=\"" << colour_of(*leaf)
                    << "\" fill-opacity=\"" << fixed(std::clamp(leaf->opacity, 0.0, 100.0) / 100, 3)
                    << "\" stroke=\"#fff\" stroke-opacity=\"0.5\" stroke-width=\""
                    << fixed(1 / scale, 2) << "\"/>"
                    << "<text x=\"" << fixed(centre[0], 1) << "\" y=\"" << fixed(centre[1], 1)
                    << "\" fill=\"#fff\" font-size=\"" << fixed(13 / scale, 1)
                    << "\" text-anchor=\"middle\">" << xml_escaped(leaf->names.back()) << " "
                    << fixed(leaf->opacity, 0) << "%</text></g>\n";
            }
            svg << "</svg>\n";
        }
    }
    svg << "</svg>\n";
    return svg.str();
}

}  // namespace tool
