#include "script/natives.h"

#include <cmath>
#include <limits>
#include <sstream>

#include "script/engine_text.h"

namespace host::script::natives {

namespace {

constexpr const char* kSessionKey = "session";

std::string describe_number(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    std::ostringstream out;
    out.precision(15);
    out << value;
    return out.str();
}

}  // namespace

void type_error(const std::string& message) { throw ScriptError(DUK_ERR_TYPE_ERROR, message); }
void range_error(const std::string& message) { throw ScriptError(DUK_ERR_RANGE_ERROR, message); }
void plain_error(const std::string& message) { throw ScriptError(DUK_ERR_ERROR, message); }
void invalid_object() { plain_error("Object is invalid"); }

model::Project& Session::project() {
    if (host.project == nullptr) plain_error("no project is open");
    return *host.project;
}

SettingsStore& Session::settings() {
    if (host.settings == nullptr) plain_error("settings are not available");
    return *host.settings;
}

void Session::project_changed() {
    if (host.onProjectChanged) host.onProjectChanged();
}

void bind_session(duk_context* ctx, Session* session) {
    duk_push_global_stash(ctx);
    duk_push_pointer(ctx, session);
    duk_put_prop_string(ctx, -2, kSessionKey);
    duk_pop(ctx);
}

Session& session_of(duk_context* ctx) {
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, kSessionKey);
    void* session = duk_get_pointer(ctx, -1);
    duk_pop_2(ctx);
    if (session == nullptr) throw std::logic_error("a native ran outside a script run");
    return *static_cast<Session*>(session);
}

std::string string_arg(duk_context* ctx, duk_idx_t index, std::string_view subject) {
    duk_size_t length = 0;
    const char* text = duk_get_lstring(ctx, index, &length);
    if (text == nullptr) type_error(std::string(subject) + " must be a string");
    return from_engine(std::string_view(text, length));
}

double number_arg(duk_context* ctx, duk_idx_t index, std::string_view subject) {
    if (!duk_is_number(ctx, index)) type_error(std::string(subject) + " must be a number");
    return duk_get_number(ctx, index);
}

int index_arg(duk_context* ctx, duk_idx_t index, std::string_view call, int count,
              std::string_view what, std::string_view holder) {
    const double value = number_arg(ctx, index, std::string(call) + "(): the index");
    if (value >= 1 && value <= count && std::floor(value) == value) return static_cast<int>(value);
    const std::string shown = describe_number(value);
    const std::string things = std::string(what) + (count == 1 ? "" : "s");
    range_error(std::string(call) + "(" + shown + "): there is no " + std::string(what) + " " +
                shown + " (the " + std::string(holder) + " has " +
                (count == 0 ? "no " + things : std::to_string(count) + " " + things) + ")");
}

model::Id id_arg(duk_context* ctx, duk_idx_t index) {
    if (!duk_is_number(ctx, index)) invalid_object();
    const double value = duk_get_number(ctx, index);
    if (!(value >= 1 && value <= std::numeric_limits<model::Id>::max()) ||
        std::floor(value) != value)
        invalid_object();
    return static_cast<model::Id>(value);
}

namespace {

struct PendingText {
    const char* data;
    std::size_t size;
};

duk_ret_t push_pending_text(duk_context* ctx, void* pending) {
    const auto* text = static_cast<const PendingText*>(pending);
    duk_push_lstring(ctx, text->data, text->size);
    return 1;
}

}  // namespace

void push_text(duk_context* ctx, std::string_view utf8) {
    const std::string text = to_engine(utf8);
    // Pushing can run the engine out of memory, and the engine would unwind
    // past this frame's string. Inside a protected call the failure comes
    // back as a code instead, and the C++ side reports it.
    PendingText pending{text.data(), text.size()};
    if (duk_safe_call(ctx, push_pending_text, &pending, 0, 1) != DUK_EXEC_SUCCESS) {
        duk_pop(ctx);
        throw std::bad_alloc();
    }
}

void detail::copy_message(char* buffer, std::size_t size, std::string_view utf8) noexcept {
    try {
        const std::string text = to_engine(utf8);
        std::size_t length = std::min(text.size(), size - 1);
        if (length < text.size()) {
            // Cut before a character's first byte, never inside it.
            while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
                --length;
        }
        std::memcpy(buffer, text.data(), length);
        buffer[length] = '\0';
    } catch (...) {
        // Called from the natives' error handlers: nothing may escape them.
        std::snprintf(buffer, size, "%s", "out of memory");
    }
}

void put(duk_context* ctx, std::span<const Entry> entries) {
    for (const Entry& entry : entries) {
        duk_push_c_function(ctx, entry.function, entry.arguments);
        duk_put_prop_string(ctx, -2, entry.name);
    }
}

}  // namespace host::script::natives
