// Text pictures of what the simulated host shows a user: menus, the layer
// stacks of compositions, and dialogs.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "host.h"

namespace tool {

// The layer's kind in the project file's words, with its source for AV
// layers ("av of Intro Comp", "text", "null").
std::string layer_kind_text(const host::model::Project& project, const host::model::Layer& layer);

// The text with XML's special characters escaped, for SVG pictures.
std::string xml_escaped(const std::string& text);

// The layer's blending mode as the interface names it ("Soft Light"), or its
// transfer-mode number when that has no name.
std::string blending_label(const host::model::Layer& layer);

void print_menu(std::ostream& out, const std::vector<host::MenuCommand>& entries);
void print_project(std::ostream& out, const host::model::Project& project);
void print_dialog(std::ostream& out, const host::script::Dialog& dialog);

}  // namespace tool
