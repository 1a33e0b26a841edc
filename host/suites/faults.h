// Fault injection: planned failures of single calls and suites that are
// withheld, for tests of a plug-in's error paths.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "aegp.h"

namespace host::suites {

class FaultPlan {
public:
    // The nth call (1-based, counted from now) of the operation fails.
    void fail_call(const std::string& operation, int nth, A_Err code);
    void remove_suite(const std::string& name, A_long version);
    void clear();

    // Counts one call of the operation; the planned error if this call fails.
    std::optional<A_Err> on_call(const std::string& operation);
    bool is_removed(const std::string& name, A_long version) const;

private:
    struct Planned {
        std::string operation;
        int remaining;  // calls still to go; the call that brings it to 0 fails
        A_Err code;
    };
    std::vector<Planned> planned_;
    std::set<std::pair<std::string, A_long>> removed_;
};

}  // namespace host::suites
