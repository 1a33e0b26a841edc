// Counts the global allocations this thread makes while it lives: all of them
// (to show that a piece of code allocates nothing), or only those of the loaded
// plug-in's own code, the host's left alone, making the failAt-th of those
// throw std::bad_alloc (0: none).
#pragma once

namespace outfold {

class AllocationCounter {
public:
    explicit AllocationCounter(bool pluginOnly = false, int failAt = 0);
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;
    int count() const;
};

}  // namespace outfold
