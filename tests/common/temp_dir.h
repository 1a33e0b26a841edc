// A fresh temporary folder, removed with its contents when the object goes.
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

namespace outfold_test {

class TempDir {
public:
    explicit TempDir(std::string_view label = "test") {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("outfold-" + std::string(label) + "-" + std::to_string(random()) +
                 std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace outfold_test
