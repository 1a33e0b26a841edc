// The plug-in's one error convention: an operation keeps one running error;
// every host call and sub-step runs only while it is 0, and its result
// replaces it. Loops run to their end doing nothing after an error.
#pragma once

#include <utility>

#include "aegp.h"

namespace outfold {

class RunningError {
public:
    RunningError() = default;
    explicit RunningError(A_Err initial) : code_(initial) {}

    // Runs call() only while no error has occurred; its A_Err becomes the
    // running error.
    template <class Call>
    RunningError& then(Call&& call) {
        if (code_ == A_Err_NONE) code_ = std::forward<Call>(call)();
        return *this;
    }

    // Takes a result that was obtained elsewhere, unless an error is already set.
    void keep_first(A_Err err) {
        if (code_ == A_Err_NONE) code_ = err;
    }

    bool ok() const { return code_ == A_Err_NONE; }
    A_Err code() const { return code_; }

private:
    A_Err code_ = A_Err_NONE;
};

}  // namespace outfold
