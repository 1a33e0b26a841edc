#include "timeline.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <optional>
#include <sstream>
#include <vector>

#include "model/blending.h"
#include "model/project_ops.h"
#include "printing.h"

namespace tool {

namespace model = host::model;

namespace {

// Layout, in pixels.
constexpr double kWidth = 1120;
constexpr double kMargin = 16;
constexpr double kTrackLeft = 530;
constexpr double kTrackRight = kWidth - kMargin - 8;
constexpr double kTitleHeight = 36;
constexpr double kRulerHeight = 26;
constexpr double kRowHeight = 24;
constexpr double kGap = 14;
constexpr double kLegendHeight = 40;

// Columns of the label side.
constexpr double kIndexRight = 44;
constexpr double kEyeX = 58;
constexpr double kNameX = 74;
constexpr double kKindX = 256;
constexpr double kParentX = 412;
constexpr std::size_t kNameChars = 24;
constexpr std::size_t kKindChars = 24;
constexpr std::size_t kParentChars = 14;

constexpr char kFont[] = "DejaVu Sans, Verdana, sans-serif";

std::string number(double value) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(1) << value;
    std::string s = text.str();
    if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
    return s;
}

std::string xml(const std::string& text) { return xml_escaped(text); }

// At most `limit` characters (not bytes) of UTF-8 text, with an ellipsis
// when cut.
std::string clip(const std::string& text, std::size_t limit) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (++characters == limit) return text.substr(0, i) + "\xE2\x80\xA6";
    }
    return text;
}

bool is_carrier(const model::Project& project, const model::Layer& layer) {
    if (!layer.isNull) return false;
    const std::string name = model::shown_name(project, layer);
    const std::string tail = "_outfold}}";
    return name.rfind("{{", 0) == 0 && name.size() >= 2 + tail.size() &&
           name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
}

// The bar colour for the layer's kind, like an editor's label colours.
const char* bar_colour(const model::Project& project, const model::Layer& layer) {
    if (is_carrier(project, layer)) return "#f08a24";
    if (layer.isNull) return "#b0b0b0";
    switch (layer.kind) {
        case model::LayerKind::Text:
            return "#d9b44a";
        case model::LayerKind::Shape:
            return "#5d8fd6";
        case model::LayerKind::Camera:
            return "#c4a77c";
        case model::LayerKind::Light:
            return "#e0d27a";
        case model::LayerKind::AV:
            break;
    }
    const model::Item* source = model::find_item(project, layer.source);
    if (source != nullptr && source->comp) return "#c79ad6";
    if (source != nullptr && source->footage && source->footage->kind == model::FootageKind::Solid)
        return "#c06c6c";
    return "#7ca6c9";
}

// A tick spacing that puts about eight labelled ticks on the ruler.
double tick_step(double seconds) {
    const double steps[] = {0.1, 0.2, 0.25, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600};
    for (double step : steps)
        if (seconds / step <= 10) return step;
    return std::ceil(seconds / 10 / 600) * 600;
}

std::string tick_label(double seconds) {
    if (seconds >= 60 && std::fmod(seconds, 60) == 0) return number(seconds / 60) + "m";
    return number(seconds) + "s";
}

struct Drawing {
    std::ostringstream svg;
    double y = kMargin;

    void text(double x, double baseline, const std::string& content, const char* colour,
              double size = 12, const char* extra = "") {
        svg << "<text x=\"" << number(x) << "\" y=\"" << number(baseline) << "\" fill=\"" << colour
            << "\" font-size=\"" << number(size) << "\"" << extra << ">" << xml(content)
            << "</text>\n";
    }
    void rect(double x, double top, double w, double h, const std::string& attributes) {
        svg << "<rect x=\"" << number(x) << "\" y=\"" << number(top) << "\" width=\"" << number(w)
            << "\" height=\"" << number(h) << "\" " << attributes << "/>\n";
    }
};

struct Panel {
    const model::Project* project = nullptr;
    const model::Item* item = nullptr;  // null: the composition is not in this project
    const char* state = "";
};

class TimelineWriter {
public:
    std::string write(const model::Project& before, const model::Project& after) {
        struct Pair {
            const model::Item* before;
            const model::Item* after;
        };
        std::vector<Pair> touched;
        for (const model::Item& item : before.items) {
            if (!item.comp) continue;
            const model::Item* later = model::find_item(after, item.id);
            if (later == nullptr || !(*later == item)) touched.push_back({&item, later});
        }
        for (const model::Item& item : after.items)
            if (item.comp && model::find_item(before, item.id) == nullptr)
                touched.push_back({nullptr, &item});

        for (const Pair& pair : touched) {
            const model::Item& named = pair.before != nullptr ? *pair.before : *pair.after;
            double seconds = 0;
            for (const model::Item* item : {pair.before, pair.after})
                if (item != nullptr) seconds = std::max(seconds, item->comp->duration.seconds());
            composition_title(named);
            draw_panel({&before, pair.before, "before"}, seconds);
            draw_panel({&after, pair.after, "after"}, seconds);
            d_.y += kGap;
        }
        if (touched.empty()) {
            d_.text(kMargin, d_.y + 20, "The command changed no composition.", "#dddddd", 14);
            d_.y += 36;
        }
        legend();
        std::ostringstream out;
        out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << number(kWidth)
            << "\" height=\"" << number(d_.y + kMargin) << "\" viewBox=\"0 0 " << number(kWidth)
            << " " << number(d_.y + kMargin) << "\" font-family=\"" << kFont << "\">\n"
            << "<defs><pattern id=\"off\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" "
               "patternTransform=\"rotate(45)\"><rect width=\"6\" height=\"6\" fill=\"#2e2e2e\"/>"
               "<rect width=\"2\" height=\"6\" fill=\"#5a5a5a\"/></pattern></defs>\n"
            << "<rect width=\"100%\" height=\"100%\" fill=\"#1d1d1d\"/>\n"
            << d_.svg.str() << "</svg>\n";
        return out.str();
    }

private:
    void composition_title(const model::Item& item) {
        const model::Composition& comp = *item.comp;
        d_.rect(kMargin, d_.y, kWidth - 2 * kMargin, kTitleHeight - 4, "rx=\"3\" fill=\"#2f2f2f\"");
        d_.text(kMargin + 10, d_.y + 22, item.name, "#f2f2f2", 15, " font-weight=\"bold\"");
        std::ostringstream facts;
        facts << comp.width << " \xC3\x97 " << comp.height << ", "
              << number(comp.frameRate.seconds()) << " fps, "
              << tick_label(comp.duration.seconds());
        d_.text(kTrackLeft, d_.y + 22, facts.str(), "#a8a8a8", 12);
        d_.y += kTitleHeight;
    }

    double x_of(double seconds, double total) const {
        return kTrackLeft + (kTrackRight - kTrackLeft) * (total > 0 ? seconds / total : 0);
    }

    void ruler(const Panel& panel, double total) {
        d_.rect(kMargin, d_.y, kWidth - 2 * kMargin, kRulerHeight, "fill=\"#262626\"");
        const bool gone = panel.item == nullptr;
        d_.text(kMargin + 6, d_.y + 17, panel.state, gone ? "#8a8a8a" : "#7fc4ff", 12,
                " font-weight=\"bold\"");
        d_.text(kNameX, d_.y + 17, "Layer name", "#8a8a8a", 11);
        d_.text(kKindX, d_.y + 17, "Kind", "#8a8a8a", 11);
        d_.text(kParentX, d_.y + 17, "Parent", "#8a8a8a", 11);
        const double step = tick_step(total);
        for (int i = 0; i * step <= total + 1e-9; ++i) {
            const double x = x_of(i * step, total);
            d_.svg << "<line x1=\"" << number(x) << "\" y1=\"" << number(d_.y + 18) << "\" x2=\""
                   << number(x) << "\" y2=\"" << number(d_.y + kRulerHeight)
                   << "\" stroke=\"#8a8a8a\"/>\n";
            const char* anchor = i == 0 ? "start" : (x > kTrackRight - 20 ? "end" : "middle");
            d_.text(x, d_.y + 14, tick_label(i * step), "#b8b8b8", 10,
                    (std::string(" text-anchor=\"") + anchor + "\"").c_str());
        }
        d_.y += kRulerHeight;
    }

    void draw_panel(const Panel& panel, double total) {
        if (panel.item == nullptr) {
            ruler(panel, total);
            d_.rect(kMargin, d_.y, kWidth - 2 * kMargin, kRowHeight, "fill=\"#222222\"");
            d_.text(kNameX, d_.y + 16,
                    std::string("not in the project ") +
                        (std::string(panel.state) == "after" ? "any more" : "yet"),
                    "#8a8a8a", 12, " font-style=\"italic\"");
            d_.y += kRowHeight;
            return;
        }
        ruler(panel, total);
        const model::Composition& comp = *panel.item->comp;
        const double top = d_.y;
        for (std::size_t i = 0; i < comp.layers.size(); ++i)
            row(panel, comp, comp.layers[i], i, total);
        if (comp.layers.empty()) {
            d_.text(kNameX, d_.y + 16, "no layers", "#8a8a8a", 12, " font-style=\"italic\"");
            d_.y += kRowHeight;
        }
        // The composition's end, when the other state's composition is longer.
        const double end = x_of(comp.duration.seconds(), total);
        if (end < kTrackRight - 0.5)
            d_.rect(end, top, kTrackRight - end, d_.y - top,
                    "fill=\"#000000\" fill-opacity=\"0.35\"");
    }

    void row(const Panel& panel, const model::Composition& comp, const model::Layer& layer,
             std::size_t index, double total) {
        const model::Project& project = *panel.project;
        const std::string name = model::shown_name(project, layer);
        const bool selected = model::is_layer_selected(comp, layer.id);
        const bool off = (layer.flags & model::flag::kVideoActive) == 0;
        const bool carrier = is_carrier(project, layer);
        const double top = d_.y;

        d_.svg << "<g class=\"layer\" data-comp=\"" << xml(panel.item->name) << "\" data-state=\""
               << panel.state << "\" data-index=\"" << index + 1 << "\" data-name=\"" << xml(name)
               << "\" data-selected=\"" << (selected ? "true" : "false") << "\" data-off=\""
               << (off ? "true" : "false") << "\" data-carrier=\"" << (carrier ? "true" : "false")
               << "\">\n";
        const char* background = selected ? "#36506b" : (index % 2 ? "#252525" : "#212121");
        d_.rect(kMargin, top, kWidth - 2 * kMargin, kRowHeight - 1,
                std::string("fill=\"") + background + "\"");
        if (selected) d_.rect(kMargin, top, 3, kRowHeight - 1, "fill=\"#8cc8ff\"");

        const char* textColour = off ? "#8a8a8a" : "#e8e8e8";
        const double baseline = top + 16;
        d_.text(kIndexRight, baseline, std::to_string(index + 1), "#a0a0a0", 11,
                " text-anchor=\"end\"");
        // The eye: filled while the layer shows, hollow when switched off.
        d_.svg << "<circle cx=\"" << number(kEyeX) << "\" cy=\"" << number(top + 11.5)
               << "\" r=\"4\" " << (off ? "fill=\"none\" stroke=\"#8a8a8a\"" : "fill=\"#cfcfcf\"")
               << "/>\n";
        d_.rect(kNameX - 8, top + 7, 4, 9,
                std::string("fill=\"") + bar_colour(project, layer) + "\"");
        d_.text(kNameX, baseline, clip(name, kNameChars), textColour, 12,
                selected ? " font-weight=\"bold\"" : "");
        std::string kind = layer_kind_text(project, layer);
        if (carrier) kind = "carrier null";
        d_.text(kKindX, baseline, clip(kind, kKindChars), carrier ? "#f0a860" : "#a8a8a8", 11);
        if (layer.parent != model::kNoId) {
            if (const model::Layer* parent = model::find_layer(project, layer.parent))
                d_.text(kParentX, baseline,
                        "\xE2\x86\xB3 " + clip(model::shown_name(project, *parent), kParentChars),
                        "#9fd0a0", 11);
        }
        bar(project, layer, top, total, selected, off, carrier);
        d_.svg << "</g>\n";
        d_.y += kRowHeight;
    }

    void bar(const model::Project& project, const model::Layer& layer, double top, double total,
             bool selected, bool off, bool carrier) {
        // The layer's span on the composition's timeline, through its stretch.
        const double start = model::comp_in_point(layer).seconds();
        const double end = model::comp_out_point(layer).seconds();
        const double from = std::clamp(start, 0.0, total);
        const double to = std::clamp(end, 0.0, total);
        if (to <= from) return;
        const double x = x_of(from, total);
        const double w = std::max(2.0, x_of(to, total) - x);
        std::ostringstream look;
        if (off) {
            look << "fill=\"url(#off)\" stroke=\"" << bar_colour(project, layer) << "\"";
        } else {
            look << "fill=\"" << bar_colour(project, layer) << "\" fill-opacity=\"0.85\"";
            if (selected) look << " stroke=\"#ffffff\" stroke-width=\"1.5\"";
        }
        if (carrier) look << " stroke=\"#ffd2a6\" stroke-dasharray=\"4 3\"";
        look << " rx=\"3\"";
        d_.rect(x, top + 4, w, kRowHeight - 9, look.str());
        // How the layer is composited, when not plainly over what is below.
        std::string label;
        if (layer.blendingMode != model::kNormalBlending) label = blending_label(layer);
        if (layer.trackMatte != model::TrackMatte::None)
            label += (label.empty() ? "" : ", ") +
                     std::string(model::track_matte_name(layer.trackMatte).label);
        if (!label.empty())
            d_.text(x + 5, top + 15, clip(label, static_cast<std::size_t>(w / 6) + 1), "#141414",
                    10, " class=\"bar-label\"");
    }

    void legend() {
        const double top = d_.y;
        double x = kMargin;
        auto item = [&](const std::string& look, const std::string& label) {
            d_.rect(x, top + 10, 26, 13, look + " rx=\"3\"");
            d_.text(x + 32, top + 21, label, "#bdbdbd", 11);
            x += 40 + 7.0 * static_cast<double>(label.size());
        };
        item("fill=\"#c79ad6\"", "pre-comp");
        item("fill=\"#c06c6c\"", "solid");
        item("fill=\"#d9b44a\"", "text");
        item("fill=\"#5d8fd6\"", "shape");
        item("fill=\"#b0b0b0\"", "null");
        item("fill=\"#f08a24\" stroke=\"#ffd2a6\" stroke-dasharray=\"4 3\"", "carrier null");
        item("fill=\"#36506b\" stroke=\"#ffffff\" stroke-width=\"1.5\"", "selected");
        item("fill=\"url(#off)\" stroke=\"#8a8a8a\"", "switched off");
        d_.y += kLegendHeight;
    }

    Drawing d_;
};

}  // namespace

std::string timeline_svg(const model::Project& before, const model::Project& after) {
    return TimelineWriter().write(before, after);
}

}  // namespace tool
