#include "suites/faults.h"

#include <stdexcept>

namespace host::suites {

void FaultPlan::fail_call(const std::string& operation, int nth, A_Err code) {
    if (nth < 1) throw std::invalid_argument("calls are counted from 1");
    planned_.push_back(Planned{operation, nth, code});
}

void FaultPlan::remove_suite(const std::string& name, A_long version) {
    removed_.emplace(name, version);
}

void FaultPlan::clear() {
    planned_.clear();
    removed_.clear();
}

std::optional<A_Err> FaultPlan::on_call(const std::string& operation) {
    std::optional<A_Err> failure;
    for (auto it = planned_.begin(); it != planned_.end();) {
        if (it->operation == operation && --it->remaining == 0) {
            if (!failure) failure = it->code;
            it = planned_.erase(it);
        } else {
            ++it;
        }
    }
    return failure;
}

bool FaultPlan::is_removed(const std::string& name, A_long version) const {
    return removed_.count({name, version}) != 0;
}

}  // namespace host::suites
