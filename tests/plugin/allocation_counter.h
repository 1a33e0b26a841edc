// Counts the global allocations this thread makes while armed, so a test can
// show that a piece of code allocates nothing, and fails chosen ones.
#pragma once

namespace outfold {

class AllocationCounter {
public:
    AllocationCounter();   // armed, at zero
    ~AllocationCounter();  // disarmed
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    int count() const;
};

// Counts the allocations the loaded plug-in's own code makes while armed (the
// host's are left alone) and makes the n-th of them throw std::bad_alloc.
class PluginAllocationFault {
public:
    explicit PluginAllocationFault(int failAt);  // 0: none fails
    ~PluginAllocationFault();
    PluginAllocationFault(const PluginAllocationFault&) = delete;
    PluginAllocationFault& operator=(const PluginAllocationFault&) = delete;

    int count() const;
};

}  // namespace outfold
