// The application's settings as scripts see them (app.settings): texts filed
// by preference type, section and key, kept on disk across host runs.
//
// One JSON file in a folder of the host's choosing (tests use a temporary
// one). It is read on first use and rewritten whole, through a temporary file
// and a rename, on every save, so a crash never leaves half a file behind.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>

namespace host::script {

// The application's preference files; scripts name them PREFType.<constant>.
enum class PrefType {
    MachineSpecific = 0,
    MachineIndependent = 1,
    MachineIndependentRender = 2,
    MachineIndependentOutput = 3,
    MachineIndependentComposition = 4,
    MachineSpecificText = 5,
    MachineSpecificPaint = 6,
};
inline constexpr int kPrefTypeCount = 7;

// The constant's name as scripts write it (PREF_Type_MACHINE_SPECIFIC, ...).
const char* pref_type_constant(PrefType type);

class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SettingsStore {
public:
    explicit SettingsStore(std::filesystem::path folder);

    static constexpr const char* kFileName = "settings.json";
    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path file() const { return folder_ / kFileName; }

    bool has(PrefType type, const std::string& section, const std::string& key);
    std::optional<std::string> get(PrefType type, const std::string& section,
                                   const std::string& key);
    // Stores the value and writes the file; throws SettingsError when the
    // file cannot be written (the value is then not kept in memory either).
    void save(PrefType type, const std::string& section, const std::string& key,
              const std::string& value);

private:
    using Key = std::tuple<PrefType, std::string, std::string>;
    void load_once();
    void write_file(const std::map<Key, std::string>& values);

    std::filesystem::path folder_;
    bool loaded_ = false;
    bool setAsideUnreadable_ = false;  // the file on disk could not be read
    std::map<Key, std::string> values_;
};

}  // namespace host::script
