// Text pictures of what the simulated host shows a user: menus, the layer
// stacks of compositions, and dialogs.
#pragma once

#include <ostream>
#include <vector>

#include "host.h"

namespace tool {

void print_menu(std::ostream& out, const std::vector<host::MenuCommand>& entries);
void print_project(std::ostream& out, const host::model::Project& project);
void print_dialog(std::ostream& out, const host::script::Dialog& dialog);

}  // namespace tool
