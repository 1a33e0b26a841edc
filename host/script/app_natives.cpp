// Natives behind alert() and app.settings.
#include <array>
#include <cmath>

#include "script/natives.h"

namespace host::script::natives {

namespace {

duk_ret_t alert(duk_context* ctx, Session& session) {
    Alert shown{string_arg(ctx, 0, "alert(): the message"),
                string_arg(ctx, 1, "alert(): the title")};
    if (session.host.alerts != nullptr) session.host.alerts->push_back(std::move(shown));
    return 0;
}

// The preference type argument: left out, it is the machine-specific file.
PrefType pref_type_arg(duk_context* ctx, duk_idx_t index, std::string_view call) {
    if (duk_is_undefined(ctx, index)) return PrefType::MachineSpecific;
    const double value = number_arg(ctx, index, std::string(call) + "(): the preference type");
    if (!(value >= 0 && value < kPrefTypeCount) || std::floor(value) != value)
        range_error(std::string(call) + "(): the preference type must be a PREFType constant");
    return static_cast<PrefType>(static_cast<int>(value));
}

duk_ret_t have_setting(duk_context* ctx, Session& session) {
    const std::string section = string_arg(ctx, 0, "haveSetting(): the section");
    const std::string key = string_arg(ctx, 1, "haveSetting(): the key");
    const PrefType type = pref_type_arg(ctx, 2, "haveSetting");
    duk_push_boolean(ctx, session.settings().has(type, section, key));
    return 1;
}

duk_ret_t get_setting(duk_context* ctx, Session& session) {
    const std::string section = string_arg(ctx, 0, "getSetting(): the section");
    const std::string key = string_arg(ctx, 1, "getSetting(): the key");
    const PrefType type = pref_type_arg(ctx, 2, "getSetting");
    const std::optional<std::string> value = session.settings().get(type, section, key);
    if (!value)
        plain_error("getSetting(): there is no setting \"" + key + "\" in \"" + section + "\"");
    push_text(ctx, *value);
    return 1;
}

duk_ret_t save_setting(duk_context* ctx, Session& session) {
    const std::string section = string_arg(ctx, 0, "saveSetting(): the section");
    const std::string key = string_arg(ctx, 1, "saveSetting(): the key");
    const std::string value = string_arg(ctx, 2, "saveSetting(): the value");
    const PrefType type = pref_type_arg(ctx, 3, "saveSetting");
    try {
        session.settings().save(type, section, key, value);
    } catch (const SettingsError& e) {
        plain_error(std::string("saveSetting(): ") + e.what());
    }
    return 0;
}

constexpr auto kEntries = std::to_array<Entry>({
    {"alert", native<alert>, 2},
    {"haveSetting", native<have_setting>, 3},
    {"getSetting", native<get_setting>, 3},
    {"saveSetting", native<save_setting>, 4},
});

}  // namespace

void put_app_natives(duk_context* ctx) { put(ctx, kEntries); }

}  // namespace host::script::natives
