// The effects installed in the simulated application: each kind has a key
// (what plug-ins pass to apply one), a match name (what project files use)
// and its parameter streams with their defaults. Parameter 0 is the effect's
// own no-data parameter, as in the application.
#pragma once

#include <string>
#include <vector>

#include "model/model.h"

namespace host::model {

struct InstalledEffect {
    std::int32_t key = 0;
    std::string matchName;
    std::string name;
    std::vector<Stream> params;
};

const std::vector<InstalledEffect>& installed_effects();
const InstalledEffect* find_installed_effect(std::int32_t key);
const InstalledEffect* find_installed_effect(const std::string& matchName);
// A new instance with default parameters and a new id, switched on.
Effect make_effect(Project& project, const InstalledEffect& kind);

}  // namespace host::model
