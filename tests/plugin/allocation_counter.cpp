// The replacement global allocation functions behind AllocationCounter. They
// live in a file of their own so the compiler never sees them inlined into a
// caller's new/delete pair.
#include "plugin/allocation_counter.h"

#include <cstdlib>
#include <new>

namespace outfold {
namespace {
thread_local bool gArmed = false;
thread_local int gAllocations = 0;
}  // namespace

AllocationCounter::AllocationCounter() {
    gAllocations = 0;
    gArmed = true;
}
AllocationCounter::~AllocationCounter() { gArmed = false; }
int AllocationCounter::count() const { return gAllocations; }

}  // namespace outfold

void* operator new(std::size_t size) {
    if (outfold::gArmed) ++outfold::gAllocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
