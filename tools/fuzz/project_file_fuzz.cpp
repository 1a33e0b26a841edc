// Fuzz target: project files. Any text either loads into a project that
// keeps the model's invariants and survives a save and a second load
// unchanged, or is refused with the loader's error; nothing else may happen.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "io/project_file.h"
#include "model/project_ops.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const nlohmann::json document =
        nlohmann::json::parse(data, data + size, nullptr, /*allow_exceptions=*/false);
    if (document.is_discarded()) return 0;
    host::model::Project project;
    try {
        project = host::io::project_from_json(document);
    } catch (const std::runtime_error&) {
        return 0;  // refused, with a reason
    }
    host::model::check_invariants(project);
    const nlohmann::json saved = host::io::project_to_json(project);
    if (host::io::project_to_json(host::io::project_from_json(saved)) != saved) std::abort();
    return 0;
}
