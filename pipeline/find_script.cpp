#include <cstring>

#include "pipeline/embedded_scripts.h"

namespace outfold {

const char* find_script(const char* name) {
    for (const EmbeddedScript* script = kEmbeddedScripts; script->name != nullptr; ++script) {
        if (std::strcmp(script->name, name) == 0) return script->text;
    }
    return nullptr;
}

}  // namespace outfold
