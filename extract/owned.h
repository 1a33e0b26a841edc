// Host objects the plug-in obtains and must give back (collections, streams,
// memory handles). A guard gives its object back when it goes out of scope, so
// neither an early return nor a suite the host cannot supply can leak it;
// release() gives it back at a chosen point and hands over the host's answer.
#pragma once

#include "aegp.h"

namespace outfold {

template <class Handle>
class Owned {
public:
    using Release = A_Err (*)(Handle);

    // `release` is the host operation that takes the object back; take it from
    // a suite acquired before the object is obtained.
    explicit Owned(Release release) : release_(release) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { static_cast<void>(release()); }

    // Where a host call writes the object it hands out.
    Handle* out() { return &handle_; }
    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    // Gives the object back now; 0 when there was nothing to give back.
    A_Err release() {
        if (handle_ == nullptr) return A_Err_NONE;
        Handle handle = handle_;
        handle_ = nullptr;
        return release_(handle);
    }

private:
    Release release_;
    Handle handle_ = nullptr;
};

}  // namespace outfold
