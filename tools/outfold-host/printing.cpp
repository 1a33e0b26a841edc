#include "printing.h"

#include <algorithm>
#include <iomanip>
#include <sstream>
#include <string>

#include "io/names.h"
#include "model/blending.h"
#include "model/project_ops.h"
#include "script/scriptui.h"

namespace tool {

namespace model = host::model;

std::string xml_escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

void print_menu(std::ostream& out, const std::vector<host::MenuCommand>& entries) {
    for (const auto& entry : entries) {
        out << "  " << (entry.enabled ? "  " : "x ") << entry.text;
        if (!entry.enabled) out << "   (disabled)";
        out << "\n";
    }
}

std::string layer_kind_text(const model::Project& project, const model::Layer& layer) {
    if (layer.isNull) return "null";
    std::string text = host::io::layer_kind_name(layer.kind);
    if (const model::Item* source = model::find_item(project, layer.source))
        text += " of " + source->name;
    return text;
}

std::string blending_label(const model::Layer& layer) {
    if (const model::BlendingModeName* mode = model::blending_mode_of(layer.blendingMode))
        return mode->label;
    return "transfer mode " + std::to_string(layer.blendingMode);
}

namespace {

std::string seconds(model::Time time) {
    std::ostringstream text;
    text << std::setprecision(4) << time.seconds() << "s";
    return text.str();
}

std::string layer_line(const model::Project& project, const model::Composition& comp,
                       const model::Layer& layer, size_t index) {
    std::ostringstream line;
    line << "    " << index + 1 << ". " << model::shown_name(project, layer) << "  ["
         << layer_kind_text(project, layer) << "]";
    if (layer.parent != model::kNoId)
        if (const model::Layer* parent = model::find_layer(project, layer.parent))
            line << "  parent: " << model::shown_name(project, *parent);
    line << "  " << seconds(model::comp_in_point(layer)) << " - "
         << seconds(model::comp_out_point(layer));
    if (layer.stretch != model::Rational::of(1))
        line << "  stretch " << (layer.stretch * model::Rational::of(100)).seconds() << "%";
    if (layer.blendingMode != model::kNormalBlending) line << "  mode " << blending_label(layer);
    if (layer.trackMatte != model::TrackMatte::None)
        line << "  " << model::track_matte_name(layer.trackMatte).label;
    if (layer.flags & model::flag::k3D) line << "  3D";
    if (!(layer.flags & model::flag::kVideoActive)) line << "  hidden";
    if (!layer.effects.empty()) line << "  effects: " << layer.effects.size();
    if (model::is_layer_selected(comp, layer.id)) line << "  *selected*";
    // The layer's expressions, one line each (line breaks shown as " / ").
    for (const auto& [number, stream] : layer.streams) {
        if (stream.expression.empty()) continue;
        std::string text = stream.expression;
        for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at))
            text.replace(at, 1, " / ");
        line << "\n        " << stream.name << " = " << text;
    }
    return line.str();
}

}  // namespace

void print_project(std::ostream& out, const model::Project& project) {
    out << "project \"" << project.name << "\"\n";
    for (const auto& item : project.items) {
        const bool active = item.id == project.activeItem;
        if (item.kind == model::ItemKind::Folder) {
            out << "  folder " << item.name << "\n";
        } else if (item.footage) {
            out << "  footage " << item.name << "\n";
        } else if (item.comp) {
            out << "  composition " << item.name << (active ? "  (active)" : "") << "\n";
            for (size_t i = 0; i < item.comp->layers.size(); ++i)
                out << layer_line(project, *item.comp, item.comp->layers[i], i) << "\n";
        }
    }
}

namespace {

using host::script::Control;

bool is_row(const Control& control) {
    auto it = control.properties.find("orientation");
    return it != control.properties.end() && it->second == "\"row\"";
}

// Left margin of a group, from its margins property (a number or a list).
size_t left_margin(const Control& control) {
    auto it = control.properties.find("margins");
    if (it == control.properties.end()) return 0;
    const std::string& text = it->second;
    size_t start = text.find_first_of("0123456789");
    return start == std::string::npos ? 0 : std::stoul(text.substr(start)) / 10;
}

std::string draw_control(const Control& control) {
    std::string label = control.text;
    if (control.kind == "edittext") {
        std::string field = label;
        if (field.size() < 20) field.resize(20, '_');
        label = "[" + field + "]";
    } else if (control.kind == "checkbox") {
        label = std::string(control.value.value_or(false) ? "[x] " : "[ ] ") + label;
    } else if (control.kind == "radiobutton") {
        label = std::string(control.value.value_or(false) ? "(o) " : "( ) ") + label;
    } else if (control.kind == "button") {
        label = "[ " + label + " ]";
    }
    if (!control.enabled) label += " (disabled)";
    return label;
}

std::vector<std::string> draw(const Control& control) {
    if (control.children.empty()) {
        if (control.kind == "group" || control.kind == "panel") return {};
        return {draw_control(control)};
    }
    std::vector<std::string> lines;
    bool singleLines = true;
    for (const auto& child : control.children) singleLines = singleLines && draw(child).size() <= 1;
    if (is_row(control) && singleLines) {
        std::string line;
        for (const auto& child : control.children)
            for (const auto& part : draw(child)) line += (line.empty() ? "" : "  ") + part;
        lines.push_back(line);
    } else {
        for (const auto& child : control.children)
            for (const auto& part : draw(child)) lines.push_back(part);
    }
    const std::string indent(left_margin(control), ' ');
    for (auto& line : lines) line = indent + line;
    return lines;
}

}  // namespace

void print_dialog(std::ostream& out, const host::script::Dialog& dialog) {
    std::vector<std::string> lines = draw(dialog.window);
    size_t width = dialog.window.text.size() + 8;
    for (const auto& line : lines) width = std::max(width, line.size() + 4);
    const std::string title = "+-- " + dialog.window.text + " ";
    out << title << std::string(width - title.size() + 1, '-') << "+\n";
    for (const auto& line : lines)
        out << "| " << line << std::string(width - line.size() - 1, ' ') << "|\n";
    out << "+" << std::string(width, '-') << "+\n";
    out << "closed by "
        << (dialog.closedBy == host::script::ClosedBy::WindowButton ? "the window button"
                                                                    : dialog.closingControl)
        << ", show() returned " << dialog.result << "\n";
}

}  // namespace tool
