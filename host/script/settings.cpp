#include "script/settings.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <system_error>
#include <utility>

namespace host::script {

namespace {

using nlohmann::json;

constexpr const char* kConstants[kPrefTypeCount] = {
    "PREF_Type_MACHINE_SPECIFIC",
    "PREF_Type_MACHINE_INDEPENDENT",
    "PREF_Type_MACHINE_INDEPENDENT_RENDER",
    "PREF_Type_MACHINE_INDEPENDENT_OUTPUT",
    "PREF_Type_MACHINE_INDEPENDENT_COMPOSITION",
    "PREF_Type_MACHINE_SPECIFIC_TEXT",
    "PREF_Type_MACHINE_SPECIFIC_PAINT",
};

std::optional<PrefType> pref_type_named(const std::string& constant) {
    for (int i = 0; i < kPrefTypeCount; ++i) {
        if (constant == kConstants[i]) return static_cast<PrefType>(i);
    }
    return std::nullopt;
}

std::optional<std::string> read_whole_file(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return text;
}

}  // namespace

const char* pref_type_constant(PrefType type) {
    const int index = static_cast<int>(type);
    return index >= 0 && index < kPrefTypeCount ? kConstants[index] : "";
}

SettingsStore::SettingsStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

bool SettingsStore::has(PrefType type, const std::string& section, const std::string& key) {
    return get(type, section, key).has_value();
}

std::optional<std::string> SettingsStore::get(PrefType type, const std::string& section,
                                              const std::string& key) {
    load_once();
    const auto found = values_.find(Key{type, section, key});
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

void SettingsStore::save(PrefType type, const std::string& section, const std::string& key,
                         const std::string& value) {
    load_once();
    std::map<Key, std::string> next = values_;
    next[Key{type, section, key}] = value;
    write_file(next);
    values_ = std::move(next);
}

// A file that cannot be read is taken as empty; it is moved aside (not
// overwritten) by the next save, so whatever it held can still be looked at.
void SettingsStore::load_once() {
    if (loaded_) return;
    loaded_ = true;
    std::error_code ec;
    if (!std::filesystem::exists(file(), ec)) return;
    const std::optional<std::string> text = read_whole_file(file());
    const json doc = text ? json::parse(*text, nullptr, false) : json(json::value_t::discarded);
    if (!doc.is_object()) {
        setAsideUnreadable_ = true;
        return;
    }
    for (const auto& [constant, sections] : doc.items()) {
        const std::optional<PrefType> type = pref_type_named(constant);
        if (!type || !sections.is_object()) continue;
        for (const auto& [section, keys] : sections.items()) {
            if (!keys.is_object()) continue;
            for (const auto& [key, value] : keys.items()) {
                if (value.is_string()) values_[Key{*type, section, key}] = value.get<std::string>();
            }
        }
    }
}

void SettingsStore::write_file(const std::map<Key, std::string>& values) {
    json doc = json::object();
    for (const auto& [where, value] : values) {
        const auto& [type, section, key] = where;
        doc[pref_type_constant(type)][section][key] = value;
    }
    const std::string text = doc.dump(2, ' ', false, json::error_handler_t::replace) + "\n";

    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (ec) throw SettingsError("cannot create the settings folder: " + ec.message());
    const std::filesystem::path temporary = folder_ / (std::string(kFileName) + ".tmp");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            out.close();
            std::filesystem::remove(temporary, ec);
            throw SettingsError("cannot write the settings file");
        }
    }
    if (setAsideUnreadable_ && std::filesystem::exists(file(), ec)) {
        std::filesystem::rename(file(), folder_ / (std::string(kFileName) + ".unreadable"), ec);
        if (!ec) setAsideUnreadable_ = false;
    }
    std::filesystem::rename(temporary, file(), ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw SettingsError("cannot replace the settings file: " + ec.message());
    }
}

}  // namespace host::script
