// The plug-in's string table: menu texts, the undo-group name and the
// registration failure message.
#pragma once

#include <cstddef>

#include "aegp.h"

namespace outfold {

inline constexpr std::size_t kStringTextBytes = 256;

struct StringEntry {
    A_u_long id;
    char text[kStringTextBytes];
};

enum StringId : A_u_long {
    kStringNone = 0,
    kStringCommandName = 1,    // menu text while usable; the undo group's name
    kStringSelectPrecomp = 2,  // menu text at insertion and while not usable
    kStringSelection = 3,      // kept for the table's numbering; nothing shows it
    kStringRegistrationFailed = 4,
    kStringCount = 5,
};

// The record at index i carries id i.
extern const StringEntry kStringTable[kStringCount];

// The text of the record at index id. No search and no bound check: callers
// pass the StringId constants only.
const char* get_string(A_u_long id);

}  // namespace outfold
