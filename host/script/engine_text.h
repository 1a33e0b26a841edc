// Text across the script engine's boundary.
//
// The engine keeps strings as CESU-8: UTF-16 code units, each written the
// way UTF-8 writes a code point, so a character beyond the Basic
// Multilingual Plane is two 3-byte surrogates and counts 2 in `length`, as
// in the application's engine. Everything outside the engine is UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace host::script {

// UTF-8 to the engine's form; a broken sequence becomes U+FFFD.
std::string to_engine(std::string_view utf8);
// The engine's form to UTF-8: surrogate pairs become one 4-byte character;
// a lone surrogate or a broken sequence becomes U+FFFD.
std::string from_engine(std::string_view engine);

}  // namespace host::script
