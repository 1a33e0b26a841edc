// Host objects the plug-in obtains and must give back: collections, streams,
// stream values, effect references, memory handles, keyframe batches and
// layers unlocked for a while. Each guard gives its object back when it goes
// out of scope, so neither an early return, an exception nor a suite the host
// cannot supply can leak it; release() gives it back at a chosen point and
// hands over the host's answer. Every guard takes its release operation from
// a suite acquired before the object is obtained, so giving it back never
// needs a suite the host might not supply.
#pragma once

#include <vector>

#include "aegp.h"

namespace outfold {

// An object the host hands out as a handle and takes back by that handle.
template <class Handle>
class Owned {
public:
    using Release = A_Err (*)(Handle);

    explicit Owned(Release release) : release_(release) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { static_cast<void>(release()); }

    // Where a host call writes the object it hands out.
    Handle* out() { return &handle_; }
    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    // Gives the object back now; 0 when there was nothing to give back.
    A_Err release() noexcept {
        if (handle_ == nullptr) return A_Err_NONE;
        Handle handle = handle_;
        handle_ = nullptr;
        return release_(handle);
    }

private:
    Release release_;
    Handle handle_ = nullptr;
};

// A stream value (or tangent) the host fills in place and takes back by its
// address with AEGP_DisposeStreamValue.
class OwnedStreamValue {
public:
    explicit OwnedStreamValue(const AEGP_StreamSuite_v9& streams)
        : dispose_(streams.AEGP_DisposeStreamValue) {}
    OwnedStreamValue(const OwnedStreamValue&) = delete;
    OwnedStreamValue& operator=(const OwnedStreamValue&) = delete;
    ~OwnedStreamValue() { static_cast<void>(release()); }

    // Where a host call writes the value, and the value to hand back.
    AEGP_StreamValue2* get() { return &value_; }

    // Records the answer of the call that filled get(): the host hands out a
    // value only when it succeeds.
    A_Err adopt(A_Err err) {
        held_ = err == A_Err_NONE;
        return err;
    }

    // Gives the value back now; 0 when none is held.
    A_Err release() noexcept {
        if (!held_) return A_Err_NONE;
        held_ = false;
        return dispose_(&value_);
    }

private:
    A_Err (*dispose_)(AEGP_StreamValue2*);
    AEGP_StreamValue2 value_{};
    bool held_ = false;
};

// A keyframe batch, ended exactly once: commit() adds its keyframes; a batch
// that is given up (after a failure, or while an exception unwinds the call)
// is ended without adding any, so the host never keeps an open batch.
class OwnedKeyframeBatch {
public:
    explicit OwnedKeyframeBatch(const AEGP_KeyframeSuite_v4& keyframes)
        : end_(keyframes.AEGP_EndAddKeyframes) {}
    OwnedKeyframeBatch(const OwnedKeyframeBatch&) = delete;
    OwnedKeyframeBatch& operator=(const OwnedKeyframeBatch&) = delete;
    ~OwnedKeyframeBatch() { static_cast<void>(end(false)); }

    AEGP_AddKeyframesInfoH* out() { return &handle_; }
    AEGP_AddKeyframesInfoH get() const { return handle_; }
    A_Err commit() noexcept { return end(true); }

private:
    A_Err end(bool add) noexcept {
        if (handle_ == nullptr) return A_Err_NONE;
        const AEGP_AddKeyframesInfoH handle = handle_;
        handle_ = nullptr;
        return end_(add, handle);
    }

    A_Err (*end_)(A_Boolean, AEGP_AddKeyframesInfoH);
    AEGP_AddKeyframesInfoH handle_ = nullptr;
};

// Layers the plug-in unlocked for a while, locked again exactly once: by
// release(), or when the guard goes out of scope (after a failure, or while
// an exception unwinds the call). A layer is noted before it is unlocked, so
// none can stay unlocked; locking one that is still locked changes nothing.
class OwnedUnlocks {
public:
    explicit OwnedUnlocks(const AEGP_LayerSuite_v11& layers) : setFlag_(layers.AEGP_SetLayerFlag) {}
    OwnedUnlocks(const OwnedUnlocks&) = delete;
    OwnedUnlocks& operator=(const OwnedUnlocks&) = delete;
    ~OwnedUnlocks() { static_cast<void>(release()); }

    // Unlocks the layer, to be locked again.
    A_Err unlock(AEGP_LayerH layer) {
        layers_.push_back(layer);
        return setFlag_(layer, AEGP_LayerFlag_LOCKED, false);
    }

    // Locks every noted layer again; each is tried, the first error is returned.
    A_Err release() noexcept {
        A_Err first = A_Err_NONE;
        for (const AEGP_LayerH layer : layers_) {
            const A_Err err = setFlag_(layer, AEGP_LayerFlag_LOCKED, true);
            if (first == A_Err_NONE) first = err;
        }
        layers_.clear();
        return first;
    }

private:
    A_Err (*setFlag_)(AEGP_LayerH, AEGP_LayerFlags, A_Boolean);
    std::vector<AEGP_LayerH> layers_;
};

}  // namespace outfold
