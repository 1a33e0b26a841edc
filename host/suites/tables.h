// The function tables the host publishes, one per (suite name, version).
#pragma once

#include "aegp.h"

namespace host::suites {

// The table of the pair, or null when the host has no such suite.
const void* find_suite(const char* name, A_long version);

}  // namespace host::suites
