// The expression language's text as tokens: enough of its grammar to find
// layer and composition references without ever looking inside a string,
// comment, regular expression or template.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace outfold {

enum class TokenKind { Identifier, Number, String, Regex, Template, Punctuator };

struct Token {
    TokenKind kind = TokenKind::Punctuator;
    std::size_t begin = 0;  // byte offsets into the text
    std::size_t end = 0;
    // A string's value with its escapes read (UTF-8); otherwise the token's text.
    std::string value;
    bool closed = true;  // a string, regular expression or template that reaches its end
};

// The tokens of the text in order; whitespace and comments are left out. A
// '/' starts a regular expression where a value cannot end before it.
std::vector<Token> tokenize_expression(std::string_view text);

}  // namespace outfold
