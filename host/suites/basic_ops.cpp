// The SP basic suite: suites are handed out by (name, version) and counted
// until released. A pair the host does not have, or one a test withheld,
// answers A_Err_MISSING_SUITE with a null table.
#include "suites/ops.h"
#include "suites/session.h"
#include "suites/tables.h"

namespace host::suites::ops {

A_Err AcquireSuite(const char* name, A_long version, const void** suite) {
    return run("AcquireSuite", [&](Session& s) {
        const void*& table = out(suite);
        table = nullptr;
        if (name == nullptr) throw BadArgument("null suite name");
        if (s.host().faults.is_removed(name, version)) return A_Err_MISSING_SUITE;
        const void* found = find_suite(name, version);
        if (found == nullptr) return A_Err_MISSING_SUITE;
        ++s.host().acquired[{name, version}];
        table = found;
        return A_Err_NONE;
    });
}

A_Err ReleaseSuite(const char* name, A_long version) {
    return run("ReleaseSuite", [&](Session& s) {
        if (name == nullptr) throw BadArgument("null suite name");
        const auto held = s.host().acquired.find({name, version});
        if (held == s.host().acquired.end() || held->second == 0)
            throw BadArgument("releasing a suite that is not acquired");
        --held->second;
        return A_Err_NONE;
    });
}

}  // namespace host::suites::ops
