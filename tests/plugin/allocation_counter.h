// Counts the global allocations this thread makes while armed, so a test can
// show that a piece of code allocates nothing.
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

}  // namespace outfold
