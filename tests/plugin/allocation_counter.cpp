// The replacement global allocation functions behind AllocationCounter. They
// live in a file of their own so the compiler never sees them inlined into a
// caller's new/delete pair.
#include "plugin/allocation_counter.h"

#include <cstdlib>
#include <new>

#include "host.h"

namespace outfold {
namespace {
thread_local bool gArmed = false;
thread_local int gAllocations = 0;
thread_local bool gPluginArmed = false;
thread_local int gPluginAllocations = 0;
thread_local int gFailAt = 0;

// Counts one allocation of the plug-in's code; true when it is the one to fail.
bool plugin_allocation_fails() {
    if (!gPluginArmed || !host::plugin_code_running()) return false;
    return ++gPluginAllocations == gFailAt;
}
}  // namespace

AllocationCounter::AllocationCounter() {
    gAllocations = 0;
    gArmed = true;
}
AllocationCounter::~AllocationCounter() { gArmed = false; }
int AllocationCounter::count() const { return gAllocations; }

PluginAllocationFault::PluginAllocationFault(int failAt) {
    gPluginAllocations = 0;
    gFailAt = failAt;
    gPluginArmed = true;
}
PluginAllocationFault::~PluginAllocationFault() { gPluginArmed = false; }
int PluginAllocationFault::count() const { return gPluginAllocations; }

}  // namespace outfold

void* operator new(std::size_t size) {
    if (outfold::gArmed) ++outfold::gAllocations;
    if (outfold::plugin_allocation_fails()) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
