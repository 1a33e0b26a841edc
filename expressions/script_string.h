// Writing text into generated scripts as string literals.
#pragma once

#include <string>
#include <string_view>

namespace outfold {

// The UTF-8 text as a script string literal in the given quotes that evaluates to
// exactly that text: quotes, backslashes, control characters and the two
// Unicode line separators are escaped, so no text can end the literal early
// or add script code.
std::string script_string_literal(std::string_view utf8, char quote = '"');

}  // namespace outfold
