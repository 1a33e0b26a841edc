#include "shell/string_table.h"

namespace outfold {

const StringEntry kStringTable[kStringCount] = {
    {kStringNone, ""},
    {kStringCommandName, "Outfold"},
    {kStringSelectPrecomp, "Outfold | Select a pre-comp layer"},
    {kStringSelection, "Outfold Selection"},
    {kStringRegistrationFailed, "Outfold: Problems encountered during outfold."},
};

const char* get_string(A_u_long id) { return kStringTable[id].text; }

}  // namespace outfold
