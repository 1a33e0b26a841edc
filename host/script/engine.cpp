// Runs script text in Duktape with the object model bound to the host.
//
// An Engine lives for many runs, as the application's scripting engine does:
// the preludes define the globals once, when the engine starts, and whatever
// globals a script leaves behind are there for the next run. Each run binds
// the host's project and records for its length only, compiles the text as
// eval code (so its last expression's value is the result) and calls it
// under a protected call, so a failing script leaves the engine ready for
// the next run. run_script() makes a fresh engine for one run.
//
// Safety: the engine's memory is capped (kHeapLimit), so a script that grows
// without bound fails with an error instead of exhausting the machine; deep
// recursion meets the engine's own call-depth limits. A script that loops
// forever is not stopped.
#include <duktape.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "script/engine_text.h"
#include "script/heap_budget.h"
#include "script/natives.h"
#include "script/preludes.h"
#include "script/script.h"

namespace host::script {

namespace {

constexpr std::size_t kHeapLimit = std::size_t{128} << 20;
constexpr const char* kScriptFile = "script";  // what stack traces call the script

// ---------------------------------------------------------------- memory

// Runs may happen on several threads (one host each), so the totals are
// guarded.
std::mutex gStatsMutex;
EngineStats gStats;

// Only reached if an error escapes every protected call, which the run
// below never allows; there is no way to continue from inside the engine.
void engine_fatal(void*, const char* message) {
    std::fprintf(stderr, "script engine: fatal error: %s\n", message ? message : "");
    std::abort();
}

class Heap {
public:
    Heap()
        : ctx_(duk_create_heap(budget_alloc, budget_realloc, budget_free, &budget_, engine_fatal)) {
        const std::lock_guard lock(gStatsMutex);
        ++gStats.liveEngines;
    }
    ~Heap() {
        if (ctx_ != nullptr) duk_destroy_heap(ctx_);
        const std::lock_guard lock(gStatsMutex);
        --gStats.liveEngines;
        gStats.bytesNotReturned += budget_.used;
        gStats.largestHeap = std::max(gStats.largestHeap, budget_.peak);
    }
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;
    duk_context* context() const { return ctx_; }

private:
    HeapBudget budget_{kHeapLimit};
    duk_context* ctx_;
};

// ---------------------------------------------------------------- steps
// Each step runs under duk_safe_call, so engine errors stay inside the
// engine; none of them holds a C++ object that an unwinding would skip.

constexpr const char* kLevelKey = "scriptLevel";

// The application's scripting engine offers the 3rd edition of the language:
// the built-ins of later editions are taken away before each run (and put
// back for runs that ask for them). Each is kept with its descriptor when the
// engine starts; the preludes captured what they use themselves.
constexpr const char* kNewerBuiltins = R"JS((function (global) {
var newer = {
    global: ["JSON", "Proxy", "Reflect", "Symbol", "Promise", "Map", "Set", "WeakMap", "WeakSet",
             "ArrayBuffer", "DataView", "Int8Array", "Uint8Array", "Uint8ClampedArray",
             "Int16Array", "Uint16Array", "Int32Array", "Uint32Array", "Float32Array",
             "Float64Array", "TextEncoder", "TextDecoder", "performance", "globalThis"],
    Object: ["keys", "create", "defineProperty", "defineProperties", "getPrototypeOf",
             "setPrototypeOf", "getOwnPropertyNames", "getOwnPropertyDescriptor",
             "getOwnPropertySymbols", "freeze", "seal", "isFrozen", "isSealed",
             "preventExtensions", "isExtensible", "assign", "is", "entries", "values"],
    Array: ["isArray", "from", "of"],
    ArrayProto: ["indexOf", "lastIndexOf", "forEach", "map", "filter", "reduce", "reduceRight",
                 "every", "some", "find", "findIndex", "fill", "copyWithin", "includes", "keys",
                 "values", "entries"],
    String: ["fromCodePoint", "raw"],
    StringProto: ["trim", "trimStart", "trimEnd", "trimLeft", "trimRight", "startsWith",
                  "endsWith", "includes", "repeat", "codePointAt", "normalize", "padStart",
                  "padEnd"],
    FunctionProto: ["bind"],
    Date: ["now"],
    DateProto: ["toISOString", "toJSON"],
    Number: ["isFinite", "isInteger", "isNaN", "isSafeInteger", "parseFloat", "parseInt",
             "EPSILON", "MAX_SAFE_INTEGER", "MIN_SAFE_INTEGER"],
    Math: ["trunc", "sign", "cbrt", "log2", "log10", "log1p", "expm1", "hypot", "clz32", "imul",
           "fround", "sinh", "cosh", "tanh", "asinh", "acosh", "atanh"]
};
var holders = {global: global, Object: Object, Array: Array, ArrayProto: Array.prototype,
               String: String, StringProto: String.prototype, FunctionProto: Function.prototype,
               Date: Date, DateProto: Date.prototype, Number: Number, Math: Math};
var describe = Object.getOwnPropertyDescriptor, define = Object.defineProperty;
var kept = [];
for (var holder in newer) {
    for (var i = 0; i < newer[holder].length; i++) {
        var target = holders[holder], name = newer[holder][i];
        var descriptor = describe(target, name);
        if (descriptor) kept.push([target, name, descriptor]);
    }
}
return function (withNewer) {
    for (var i = 0; i < kept.length; i++) {
        if (withNewer) define(kept[i][0], kept[i][1], kept[i][2]);
        else delete kept[i][0][kept[i][1]];
    }
};
}))JS";

void run_prelude(duk_context* ctx, const Prelude& prelude, duk_idx_t natives) {
    duk_push_string(ctx, prelude.file);
    duk_compile_lstring_filename(ctx, DUK_COMPILE_EVAL, prelude.text, std::strlen(prelude.text));
    duk_call(ctx, 0);  // evaluates to the prelude's function
    duk_dup(ctx, natives);
    duk_push_global_object(ctx);
    duk_get_global_string(ctx, "JSON");
    duk_get_prop_string(ctx, -1, "stringify");
    duk_remove(ctx, -2);
    duk_call(ctx, 3);
    duk_pop(ctx);
}

// Once per engine: the natives, the preludes, and the engine's own JSON
// kept aside for runs that are to see it after others removed it.
duk_ret_t set_up(duk_context* ctx, void*) {
    duk_push_object(ctx);
    const duk_idx_t natives = duk_get_top_index(ctx);
    natives::put_project_natives(ctx);
    natives::put_app_natives(ctx);
    natives::put_toolkit_natives(ctx);
    run_prelude(ctx, kAppPrelude, natives);
    run_prelude(ctx, kToolkitPrelude, natives);
    duk_pop(ctx);
    duk_push_global_stash(ctx);
    duk_push_string(ctx, "[level]");
    duk_compile_lstring_filename(ctx, DUK_COMPILE_EVAL, kNewerBuiltins,
                                 std::strlen(kNewerBuiltins));
    duk_call(ctx, 0);
    duk_push_global_object(ctx);
    duk_call(ctx, 1);  // the function that takes the newer built-ins away or puts them back
    duk_put_prop_string(ctx, -2, kLevelKey);
    duk_pop(ctx);
    return 0;
}

struct RunStart {
    natives::Session* session = nullptr;
    bool removeNativeJson = false;
    bool newerBuiltins = false;
};

// Before each run: the run's link to the host, and the built-ins the run is
// to see (JSON among the newer ones).
duk_ret_t start_run(duk_context* ctx, void* udata) {
    const auto* start = static_cast<const RunStart*>(udata);
    natives::bind_session(ctx, start->session);
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, kLevelKey);
    duk_push_boolean(ctx, start->newerBuiltins);
    duk_call(ctx, 1);
    duk_pop_2(ctx);
    if (start->removeNativeJson) {
        duk_push_global_object(ctx);
        duk_del_prop_string(ctx, -1, "JSON");
        duk_pop(ctx);
    }
    return 0;
}

// After each run: natives called later (from finalizers) find no host.
duk_ret_t end_run(duk_context* ctx, void*) {
    natives::bind_session(ctx, nullptr);
    return 0;
}

duk_ret_t compile_and_run(duk_context* ctx, void* udata) {
    const auto* source = static_cast<const std::string*>(udata);
    duk_push_string(ctx, kScriptFile);
    duk_compile_lstring_filename(ctx, DUK_COMPILE_EVAL, source->data(), source->size());
    duk_call(ctx, 0);
    return 1;
}

// [value] -> [String(value)], or [undefined] for undefined.
duk_ret_t value_text(duk_context* ctx, void*) {
    if (!duk_is_undefined(ctx, -1)) duk_to_string(ctx, -1);
    return 1;
}

// [error] -> [String(error), its stack trace or undefined].
duk_ret_t error_parts(duk_context* ctx, void*) {
    if (duk_is_error(ctx, 0)) {
        duk_get_prop_string(ctx, 0, "stack");
        if (!duk_is_undefined(ctx, 1)) duk_to_string(ctx, 1);
    } else {
        duk_push_undefined(ctx);
    }
    duk_to_string(ctx, 0);
    return 2;
}

std::string text_at(duk_context* ctx, duk_idx_t index) {
    duk_size_t length = 0;
    const char* text = duk_get_lstring(ctx, index, &length);
    return text == nullptr ? std::string() : from_engine(std::string_view(text, length));
}

// The script's line where the error arose: the innermost stack frame that
// lies in the script (frames in the preludes or the engine are skipped).
std::string line_in_script(const std::string& stack) {
    const std::string marker = std::string("(") + kScriptFile + ":";
    for (std::size_t at = stack.find(marker); at != std::string::npos;
         at = stack.find(marker, at + 1)) {
        std::size_t end = at + marker.size();
        while (end < stack.size() && stack[end] >= '0' && stack[end] <= '9') ++end;
        if (end > at + marker.size() && end < stack.size() && stack[end] == ')')
            return stack.substr(at + marker.size(), end - at - marker.size());
    }
    return {};
}

// The error on top of the stack as text: "Error: message (line N)".
std::string describe_error(duk_context* ctx) {
    if (duk_safe_call(ctx, error_parts, nullptr, 1, 2) != DUK_EXEC_SUCCESS) {
        duk_pop_2(ctx);
        return "Error: the script failed with an error that cannot be shown";
    }
    std::string text = text_at(ctx, -2);
    const std::string line = duk_is_string(ctx, -1) ? line_in_script(text_at(ctx, -1)) : "";
    duk_pop_2(ctx);
    // Syntax errors name their line already.
    if (!line.empty() && text.find("(line ") == std::string::npos) text += " (line " + line + ")";
    return text;
}

std::string_view without_bom(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    return text;
}

ScriptRun failure(std::string error) {
    ScriptRun run;
    run.error = std::move(error);
    return run;
}

// Compiles and runs the text in the engine's global scope; the value stack
// may hold leftovers afterwards, which the caller clears.
ScriptRun run_in(duk_context* ctx, std::string_view utf8Source) {
    const std::string source = to_engine(without_bom(utf8Source));
    if (duk_safe_call(ctx, compile_and_run, const_cast<std::string*>(&source), 0, 1) !=
        DUK_EXEC_SUCCESS)
        return failure(describe_error(ctx));
    if (duk_safe_call(ctx, value_text, nullptr, 1, 1) != DUK_EXEC_SUCCESS)
        return failure(describe_error(ctx));
    ScriptRun run;
    run.ok = true;
    run.value = text_at(ctx, -1);
    return run;
}

}  // namespace

EngineStats engine_stats() {
    const std::lock_guard lock(gStatsMutex);
    return gStats;
}

namespace {

// Makes a new heap's globals; the error text when that fails.
std::optional<std::string> set_up_failure(duk_context* ctx) {
    if (duk_safe_call(ctx, set_up, nullptr, 0, 1) != DUK_EXEC_SUCCESS)
        return "Error: the script engine could not be prepared: " + describe_error(ctx);
    duk_set_top(ctx, 0);
    return std::nullopt;
}

// Binds the run's link to the host and the global JSON, then runs the text;
// the value stack is empty afterwards.
ScriptRun run_with(duk_context* ctx, natives::Session& session, std::string_view utf8Source) {
    RunStart start{&session, session.host.removeNativeJson, session.host.newerBuiltins};
    ScriptRun run;
    if (duk_safe_call(ctx, start_run, &start, 0, 1) != DUK_EXEC_SUCCESS) {
        run = failure("Error: the script engine could not start the run: " + describe_error(ctx));
    } else {
        duk_pop(ctx);
        run = run_in(ctx, utf8Source);
    }
    duk_set_top(ctx, 0);
    return run;
}

}  // namespace

struct Engine::State {
    Heap heap;
    bool ready = false;  // the preludes have run
};

Engine::Engine() : state_(std::make_unique<State>()) {}

Engine::~Engine() = default;

ScriptRun Engine::run(ScriptHost& host, std::string_view utf8Source) {
    duk_context* ctx = state_->heap.context();
    if (ctx == nullptr) return failure("Error: the script engine could not start");
    if (!state_->ready) {
        if (auto error = set_up_failure(ctx)) {
            state_ = std::make_unique<State>();  // the next run starts from a new engine
            return failure(std::move(*error));
        }
        state_->ready = true;
    }
    natives::Session session{host};
    ScriptRun run = run_with(ctx, session, utf8Source);
    // The session ends with this call: later natives (finalizers) find none.
    if (duk_safe_call(ctx, end_run, nullptr, 0, 1) != DUK_EXEC_SUCCESS)
        std::fprintf(stderr, "script engine: could not unbind a finished run\n");
    duk_set_top(ctx, 0);
    return run;
}

ScriptRun run_script(ScriptHost& host, std::string_view utf8Source) {
    natives::Session session{host};  // outlives the heap: finalizers may still call in
    Heap heap;
    duk_context* ctx = heap.context();
    if (ctx == nullptr) return failure("Error: the script engine could not start");
    if (auto error = set_up_failure(ctx)) return failure(std::move(*error));
    return run_with(ctx, session, utf8Source);
}

}  // namespace host::script
