// A capped allocator for engine heaps: every block carries its size in front
// of it, so the heap's use is known at all times and a request beyond the
// limit fails (the engine then raises its out-of-memory error).
#pragma once

#include <duktape.h>

#include <cstddef>

namespace host::script {

struct HeapBudget {
    std::size_t limit = 0;
    std::size_t used = 0;
    std::size_t peak = 0;
};

// The three memory functions for duk_create_heap; their user data is the
// HeapBudget (or an object that starts with one).
void* budget_alloc(void* udata, duk_size_t size);
void* budget_realloc(void* udata, void* ptr, duk_size_t size);
void budget_free(void* udata, void* ptr);

}  // namespace host::script
