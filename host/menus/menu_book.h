// Menus and commands: the application's own Layer-menu entries, the commands
// plug-ins obtain and insert, and their texts and enabled states.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host.h"

namespace host::menus {

class MenuBook {
public:
    MenuBook();

    AEGP_Command unique_command();
    // Inserts an issued command into a menu: at the bottom (-1), the top
    // (-2), or after the entry at index n (past the end: the bottom). Throws
    // std::invalid_argument for unknown commands or menus, other negative
    // positions, and a command already in that menu.
    void insert(AEGP_Command command, std::string text, AEGP_MenuID menu, A_long after);
    // Renames / enables / disables a command wherever it was inserted; an
    // issued command that is in no menu keeps the state for when it is.
    void set_text(AEGP_Command command, std::string text);
    void set_enabled(AEGP_Command command, bool enabled);

    std::vector<MenuCommand> menu(AEGP_MenuID menu) const;
    std::optional<MenuCommand> command(AEGP_Command command) const;
    bool is_in_a_menu(AEGP_Command command) const;
    std::optional<AEGP_Command> find(const std::string& text) const;

private:
    void require_issued(AEGP_Command command) const;

    AEGP_Command next_ = 10000;
    std::set<AEGP_Command> issued_;
    std::map<AEGP_Command, MenuCommand> pending_;  // issued, not yet in a menu
    std::map<AEGP_MenuID, std::vector<MenuCommand>> menus_;
};

// Menus a command may be inserted into: none (0) and the application's menus
// 1 to 13 (apple, file, edit, composition, layer, effect, window, floaters,
// keyframe assistant, import, export, animation, preferences).
bool is_known_menu(AEGP_MenuID menu);

}  // namespace host::menus
