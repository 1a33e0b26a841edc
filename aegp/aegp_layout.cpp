// Compiles the layout checks into every build.
#include "aegp_layout.h"
