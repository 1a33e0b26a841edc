// Counts this thread's global allocations while it lives (all, or only the plug-in's own),
// making the failAt-th throw std::bad_alloc (0: none).
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
