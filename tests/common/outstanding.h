// What the host counts as obtained and not given back, as text ("" for nothing).
#pragma once

#include <string>
#include <utility>

#include "host.h"

namespace outfold_test {

inline std::string describe(const host::Outstanding& left) {
    const std::pair<const char*, std::int64_t> counts[] = {{"collections", left.collections},
                                                           {"streams", left.streams},
                                                           {"values", left.streamValues},
                                                           {"effects", left.effects},
                                                           {"memory", left.memHandles},
                                                           {"locked", left.lockedMemHandles},
                                                           {"batches", left.keyframeBatches},
                                                           {"undo groups", left.openUndoGroups},
                                                           {"suites", left.suites}};
    std::string text;
    for (const auto& [what, count] : counts)
        if (count != 0)
            text += std::string(text.empty() ? "" : ", ") + what + " " + std::to_string(count);
    return text;
}

}  // namespace outfold_test
