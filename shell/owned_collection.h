// A host collection that the holder must dispose: disposed explicitly where
// its error code matters, and by the destructor on every other way out
// (including a missing suite), so no path leaks it.
#pragma once

#include "aegp.h"

namespace outfold {

class OwnedCollection {
public:
    // Take the suite before the collection exists, so disposal never needs a
    // suite the host might not supply.
    explicit OwnedCollection(const AEGP_CollectionSuite_v2& suite) : suite_(suite) {}
    OwnedCollection(const OwnedCollection&) = delete;
    OwnedCollection& operator=(const OwnedCollection&) = delete;
    ~OwnedCollection() { dispose(); }

    AEGP_Collection2H* address() { return &handle_; }
    AEGP_Collection2H get() const { return handle_; }
    bool exists() const { return handle_ != nullptr; }

    // Disposes the collection if there is one; returns the host's answer.
    A_Err dispose() noexcept {
        if (handle_ == nullptr) return A_Err_NONE;
        const A_Err err = suite_.AEGP_DisposeCollection(handle_);
        handle_ = nullptr;
        return err;
    }

private:
    const AEGP_CollectionSuite_v2& suite_;
    AEGP_Collection2H handle_ = nullptr;
};

}  // namespace outfold
