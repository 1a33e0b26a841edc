// Project files: a model::Project as JSON (described in docs/project-format.md).
//
// Loading is forgiving where a hand-written file wants it to be (names instead
// of ids, omitted ids, default streams, times as decimals or "num/den") and
// strict about anything it cannot resolve: every failure throws
// std::runtime_error naming the place in the file. Saving writes every id and
// exact times, so loading a saved file gives back an equal project.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>

#include "model/model.h"

namespace host::io {

model::Project project_from_json(const nlohmann::json& document);
nlohmann::json project_to_json(const model::Project& project);

model::Project load_project_file(const std::filesystem::path& file);
void save_project_file(const model::Project& project, const std::filesystem::path& file);

}  // namespace host::io
