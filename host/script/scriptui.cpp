#include "script/scriptui.h"

#include <array>
#include <nlohmann/json.hpp>

#include "script/engine_text.h"
#include "script/natives.h"

namespace host::script {

const Control* Control::find(std::string_view controlName) const {
    if (name == controlName) return this;
    for (const Control& child : children) {
        if (const Control* found = child.find(controlName)) return found;
    }
    return nullptr;
}

namespace natives {

namespace {

using nlohmann::json;

// The engine's own JSON writer limits nesting well below this; the bound
// keeps the recursion here safe whatever arrives.
constexpr int kMaxDepth = 2000;

std::string text_field(const json& node, const char* key) {
    const auto found = node.find(key);
    return found != node.end() && found->is_string() ? found->get<std::string>() : std::string();
}

bool bool_field(const json& node, const char* key, bool fallback) {
    const auto found = node.find(key);
    return found != node.end() && found->is_boolean() ? found->get<bool>() : fallback;
}

Control control_from(const json& node, int depth) {
    if (depth > kMaxDepth || !node.is_object())
        plain_error("show(): the dialog is too deep to record");
    Control control;
    control.kind = text_field(node, "kind");
    control.name = text_field(node, "name");
    control.text = text_field(node, "text");
    if (const auto value = node.find("value"); value != node.end() && value->is_boolean())
        control.value = value->get<bool>();
    control.enabled = bool_field(node, "enabled", true);
    control.visible = bool_field(node, "visible", true);
    if (const auto props = node.find("properties"); props != node.end() && props->is_object()) {
        for (const auto& [key, text] : props->items()) {
            if (text.is_string()) control.properties[key] = text.get<std::string>();
        }
    }
    if (const auto children = node.find("children");
        children != node.end() && children->is_array()) {
        for (const json& child : *children)
            control.children.push_back(control_from(child, depth + 1));
    }
    return control;
}

ClosedBy closed_by(const std::string& how) {
    if (how == "button") return ClosedBy::Button;
    if (how == "script") return ClosedBy::Script;
    return ClosedBy::WindowButton;
}

// The next action of the scripted user, or undefined when there is none.
duk_ret_t next_action(duk_context* ctx, Session& session) {
    std::vector<std::string>& user = session.host.user;
    if (user.empty()) return 0;
    const std::string line = user.front();
    user.erase(user.begin());
    push_text(ctx, line);
    return 1;
}

// Keeps a closed dialog, handed over as JSON text by the toolkit.
duk_ret_t record_dialog(duk_context* ctx, Session& session) {
    const json record =
        json::parse(string_arg(ctx, 0, "recordDialog(): the record"), nullptr, false);
    if (!record.is_object()) plain_error("show(): the dialog could not be recorded");
    Dialog dialog;
    dialog.window = control_from(record.value("window", json::object()), 0);
    dialog.closedBy = closed_by(text_field(record, "closedBy"));
    dialog.closingControl = text_field(record, "closingControl");
    const auto result = record.find("result");
    dialog.result = result != record.end() && result->is_number_integer() ? result->get<int>() : 2;
    if (session.host.dialogs != nullptr) session.host.dialogs->push_back(std::move(dialog));
    return 0;
}

constexpr auto kEntries = std::to_array<Entry>({
    {"nextAction", native<next_action>, 0},
    {"recordDialog", native<record_dialog>, 1},
});

}  // namespace

void put_toolkit_natives(duk_context* ctx) { put(ctx, kEntries); }

}  // namespace natives

}  // namespace host::script
