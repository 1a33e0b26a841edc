// Every table is value-initialised, so slots the host does not implement stay
// null, and each implemented slot points at the operation's own function
// (overloads are picked by the slot's type).
#include "suites/tables.h"

#include <cstring>

#include "suites/ops.h"

namespace host::suites {

namespace {

struct Tables {
#define HOST_SUITE_MEMBER(Type, name, version) Type Type##_table{};
    AEGP_FOR_EACH_SUITE(HOST_SUITE_MEMBER)
#undef HOST_SUITE_MEMBER

    Tables() {
#define HOST_SUITE_SLOT(Suite, op, slot) Suite##_table.op = &ops::op;
        AEGP_FOR_EACH_OPERATION(HOST_SUITE_SLOT)
#undef HOST_SUITE_SLOT
    }
};

const Tables& tables() {
    static const Tables instance;
    return instance;
}

}  // namespace

const void* find_suite(const char* name, A_long version) {
    if (name == nullptr) return nullptr;
#define HOST_SUITE_LOOKUP(Type, suiteName, suiteVersion) \
    if (version == suiteVersion && std::strcmp(name, suiteName) == 0) return &tables().Type##_table;
    AEGP_FOR_EACH_SUITE(HOST_SUITE_LOOKUP)
#undef HOST_SUITE_LOOKUP
    return nullptr;
}

}  // namespace host::suites
