#include "menus/menu_book.h"

#include <stdexcept>

namespace host::menus {

namespace {

// The application's own Layer-menu entries, before any plug-in's.
const char* const kLayerMenu[] = {
    "New",  "Layer Settings...", "Open Layer",    "Open Layer Source",
    "Mask", "Quality",           "Switches",      "Transform",
    "Time", "3D Layer",          "Blending Mode", "Pre-compose...",
};

}  // namespace

bool is_known_menu(AEGP_MenuID menu) { return menu >= 0 && menu <= 13; }

MenuBook::MenuBook() {
    auto& layer = menus_[AEGP_Menu_LAYER];
    for (const char* text : kLayerMenu) layer.push_back(MenuCommand{0, text, true});
}

AEGP_Command MenuBook::unique_command() {
    const AEGP_Command command = ++next_;
    issued_.insert(command);
    pending_[command] = MenuCommand{command, "", true};
    return command;
}

void MenuBook::require_issued(AEGP_Command command) const {
    if (issued_.count(command) == 0) throw std::invalid_argument("unknown command");
}

void MenuBook::insert(AEGP_Command command, std::string text, AEGP_MenuID menu, A_long after) {
    require_issued(command);
    if (!is_known_menu(menu)) throw std::invalid_argument("unknown menu");
    auto& entries = menus_[menu];
    for (const MenuCommand& entry : entries) {
        if (entry.command == command) throw std::invalid_argument("command already in the menu");
    }
    MenuCommand entry{command, std::move(text), true};
    if (const auto found = this->command(command)) entry.enabled = found->enabled;
    auto at = entries.end();
    if (after == AEGP_MENU_INSERT_AT_TOP) {
        at = entries.begin();
    } else if (after >= 0 && static_cast<std::size_t>(after) < entries.size()) {
        at = entries.begin() + after + 1;
    } else if (after != AEGP_MENU_INSERT_AT_BOTTOM && after < 0) {
        throw std::invalid_argument("unknown menu position");
    }
    entries.insert(at, std::move(entry));
    pending_.erase(command);
}

void MenuBook::set_text(AEGP_Command command, std::string text) {
    require_issued(command);
    if (auto p = pending_.find(command); p != pending_.end()) p->second.text = text;
    for (auto& [id, entries] : menus_) {
        for (MenuCommand& entry : entries) {
            if (entry.command == command) entry.text = text;
        }
    }
}

void MenuBook::set_enabled(AEGP_Command command, bool enabled) {
    require_issued(command);
    if (auto p = pending_.find(command); p != pending_.end()) p->second.enabled = enabled;
    for (auto& [id, entries] : menus_) {
        for (MenuCommand& entry : entries) {
            if (entry.command == command) entry.enabled = enabled;
        }
    }
}

std::vector<MenuCommand> MenuBook::menu(AEGP_MenuID menu) const {
    const auto found = menus_.find(menu);
    return found == menus_.end() ? std::vector<MenuCommand>{} : found->second;
}

std::optional<MenuCommand> MenuBook::command(AEGP_Command command) const {
    if (command == 0) return std::nullopt;
    if (auto p = pending_.find(command); p != pending_.end()) return p->second;
    for (const auto& [id, entries] : menus_) {
        for (const MenuCommand& entry : entries) {
            if (entry.command == command) return entry;
        }
    }
    return std::nullopt;
}

bool MenuBook::is_in_a_menu(AEGP_Command command) const {
    return command != 0 && issued_.count(command) != 0 && pending_.count(command) == 0;
}

std::optional<AEGP_Command> MenuBook::find(const std::string& text) const {
    for (const auto& [id, entries] : menus_) {
        for (const MenuCommand& entry : entries) {
            if (entry.command != 0 && entry.text == text) return entry.command;
        }
    }
    return std::nullopt;
}

}  // namespace host::menus
