// A recorded dialog's controls as text, one line each, depth first.
#pragma once

#include <string>

#include "script/scriptui.h"

namespace outfold_test {

inline void outline(const host::script::Control& c, const std::string& indent, std::string* out) {
    *out += indent + c.kind + " " + c.name + " \"" + c.text + "\"";
    if (c.value) *out += *c.value ? " on" : " off";
    if (!c.enabled) *out += " disabled";
    if (!c.visible) *out += " hidden";
    for (const auto& [key, value] : c.properties) *out += " " + key + "=" + value;
    *out += "\n";
    for (const host::script::Control& child : c.children) outline(child, indent + "  ", out);
}

}  // namespace outfold_test
