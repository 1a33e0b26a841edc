// In a file of their own so the compiler never inlines them into a caller's new/delete pair.
#include "plugin/allocation_counter.h"

#include <cstdlib>
#include <new>

#include "host.h"

namespace outfold {
namespace {
thread_local bool gArmed = false;
thread_local bool gPluginOnly = false;
thread_local int gAllocations = 0;
thread_local int gFailAt = 0;

bool allocation_fails() {
    if (!gArmed || (gPluginOnly && !host::plugin_code_running())) return false;
    return ++gAllocations == gFailAt;
}
}  // namespace

AllocationCounter::AllocationCounter(bool pluginOnly, int failAt) {
    gAllocations = 0;
    gPluginOnly = pluginOnly;
    gFailAt = failAt;
    gArmed = true;
}
AllocationCounter::~AllocationCounter() { gArmed = false; }
int AllocationCounter::count() const { return gAllocations; }

}  // namespace outfold

void* operator new(std::size_t size) {
    if (outfold::allocation_fails()) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
