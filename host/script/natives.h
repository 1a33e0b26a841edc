// The engine's native functions: what the scripts' object model (written in
// JavaScript, see preludes.h) calls to reach the host.
//
// The engine reports errors by unwinding with longjmp, which must not cross
// live C++ objects. So every native runs its body inside `native<>`: C++
// errors (ScriptError, ModelError, ...) are caught there, their text copied
// to a plain buffer, and only then, with no C++ object left alive, is the
// script error raised. Bodies read arguments only with engine calls that do
// not throw, and push texts with push_text, which turns an engine failure
// into a C++ one.
#pragma once

#include <duktape.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "model/model.h"
#include "model/project_ops.h"
#include "script/script.h"
#include "script/settings.h"

namespace host::script::natives {

// A script error raised by a native: the kind of error object and its text.
class ScriptError : public std::runtime_error {
public:
    ScriptError(duk_errcode_t kind, const std::string& message)
        : std::runtime_error(message), kind_(kind) {}
    duk_errcode_t kind() const { return kind_; }

private:
    duk_errcode_t kind_;
};

[[noreturn]] void type_error(const std::string& message);
[[noreturn]] void range_error(const std::string& message);
[[noreturn]] void plain_error(const std::string& message);
// What every use of an object that names a deleted item or layer meets.
[[noreturn]] void invalid_object();

// One script run's link to the host.
struct Session {
    ScriptHost& host;

    model::Project& project();
    SettingsStore& settings();
    void project_changed();
};

void bind_session(duk_context* ctx, Session* session);
Session& session_of(duk_context* ctx);

// ---- arguments (index: the value's place on the stack; subject: how an
// error names it, e.g. "name: the value" -> "name: the value must be a string")
std::string string_arg(duk_context* ctx, duk_idx_t index, std::string_view subject);
double number_arg(duk_context* ctx, duk_idx_t index, std::string_view subject);
// A 1-based index for item(i) / layer(i): a whole number from 1 to count.
int index_arg(duk_context* ctx, duk_idx_t index, std::string_view call, int count,
              std::string_view what, std::string_view holder);
// An object's id as the object model passes it; anything else is an
// invalid object.
model::Id id_arg(duk_context* ctx, duk_idx_t index);

// Pushes a text; an engine out of memory throws std::bad_alloc.
void push_text(duk_context* ctx, std::string_view utf8);

// The shape of a native's body: returns the number of values it pushed.
using Body = duk_ret_t (*)(duk_context* ctx, Session& session);

namespace detail {
void copy_message(char* buffer, std::size_t size, std::string_view utf8) noexcept;
}

// Runs a native's body (a callable returning the number of values pushed).
// C++ errors are caught here and raised as script errors only once no C++
// object of the body is left alive.
template <class Run>
duk_ret_t guarded(duk_context* ctx, const Run& run) {
    char message[1024];
    duk_errcode_t kind = DUK_ERR_ERROR;
    try {
        return run();
    } catch (const ScriptError& e) {
        kind = e.kind();
        detail::copy_message(message, sizeof message, e.what());
    } catch (const std::bad_alloc&) {
        kind = DUK_ERR_RANGE_ERROR;
        detail::copy_message(message, sizeof message, "out of memory");
    } catch (const std::exception& e) {
        detail::copy_message(message, sizeof message, e.what());
    } catch (...) {
        detail::copy_message(message, sizeof message, "unknown failure in the host");
    }
    return duk_error(ctx, kind, "%s", message);
}

template <Body body>
duk_ret_t native(duk_context* ctx) {
    return guarded(ctx, [ctx] { return body(ctx, session_of(ctx)); });
}

struct Entry {
    const char* name;
    duk_c_function function;
    duk_idx_t arguments;
};

// Puts the functions into the object at the top of the value stack.
void put(duk_context* ctx, std::span<const Entry> entries);

// The natives of each part of the object model.
void put_project_natives(duk_context* ctx);
void put_app_natives(duk_context* ctx);  // alert, settings
void put_toolkit_natives(duk_context* ctx);

}  // namespace host::script::natives
