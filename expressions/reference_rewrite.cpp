#include "expressions/reference_rewrite.h"

#include <algorithm>
#include <optional>

#include "expressions/expression_tokens.h"
#include "expressions/script_string.h"

namespace outfold {

namespace {

struct Edit {
    std::size_t begin, end;
    std::string text;
};

class Scanner {
public:
    Scanner(std::string_view text, const PrecompFacts& facts, const CopyPlaces& copies)
        : text_(text), tokens_(tokenize_expression(text)), facts_(facts), copies_(copies) {}

    ReferenceRewrite run() {
        for (std::size_t j = 0; j < tokens_.size();) j = visit(j);
        return {apply(), std::move(targets_), std::move(indexTargets_), std::move(unresolved_),
                readsCompValues_};
    }

private:
    bool is(std::size_t j, TokenKind kind, std::string_view value = {}) const {
        return j < tokens_.size() && tokens_[j].kind == kind &&
               (value.empty() || tokens_[j].value == value);
    }
    bool punct(std::size_t j, std::string_view value) const {
        return is(j, TokenKind::Punctuator, value);
    }
    // A name of its own, not a member of something else.
    bool free_word(std::size_t j, std::string_view word) const {
        return is(j, TokenKind::Identifier, word) && !(j > 0 && punct(j - 1, "."));
    }
    std::string_view source(std::size_t first, std::size_t last) const {
        return text_.substr(tokens_[first].begin, tokens_[last].end - tokens_[first].begin);
    }

    // The token after the one that closes the bracket at `open`.
    std::optional<std::size_t> closing(std::size_t open) const {
        int depth = 0;
        for (std::size_t j = open; j < tokens_.size(); ++j) {
            if (tokens_[j].kind != TokenKind::Punctuator) continue;
            const std::string& p = tokens_[j].value;
            if (p == "(" || p == "[" || p == "{") ++depth;
            if ((p == ")" || p == "]" || p == "}") && --depth == 0) return j;
        }
        return std::nullopt;
    }

    std::size_t visit(std::size_t j) {
        if (free_word(j, "thisComp")) return visit_this_comp(j);
        if (free_word(j, "layer") && punct(j + 1, "(")) return visit_layer_call(j, j + 1, {});
        if (free_word(j, "comp") && punct(j + 1, "(") && is(j + 2, TokenKind::String) &&
            tokens_[j + 2].closed && tokens_[j + 2].value == facts_.name && punct(j + 3, ")") &&
            punct(j + 4, ".") && is(j + 5, TokenKind::Identifier, "layer") && punct(j + 6, "("))
            return visit_layer_call(j, j + 6, Edit{tokens_[j].begin, tokens_[j + 5].end, ""});
        return j + 1;
    }

    std::size_t visit_this_comp(std::size_t j) {
        if (!punct(j + 1, ".")) {
            unresolved_.emplace_back("thisComp");
            return j + 1;
        }
        if (is(j + 2, TokenKind::Identifier, "layer") && punct(j + 3, "("))
            return visit_layer_call(j, j + 3, {});
        if (j + 2 < tokens_.size()) {
            const auto value = facts_.compValues.find(tokens_[j + 2].value);
            if (value != facts_.compValues.end() && !punct(j + 3, "(")) {
                edits_.push_back({tokens_[j].begin, tokens_[j + 2].end, value->second});
                readsCompValues_ = true;
                return j + 3;
            }
        }
        return j + 2;
    }

    // The pre-comp layer a literal argument names, if any.
    std::optional<std::size_t> named_layer(const Token& argument) const {
        const auto& names = facts_.layerNames;
        if (argument.kind == TokenKind::String) {
            if (!argument.closed) return std::nullopt;
            const auto found = std::ranges::find(names, argument.value);
            if (found == names.end()) return std::nullopt;
            return static_cast<std::size_t>(found - names.begin());
        }
        const std::string& digits = argument.value;
        if (digits.empty() || digits.size() > 9 ||
            !std::ranges::all_of(digits, [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        const std::size_t number = std::stoul(digits);
        if (number < 1 || number > names.size()) return std::nullopt;
        return number - 1;
    }

    bool relative(std::size_t first, std::size_t last) const {
        for (std::size_t j = first; j < last; ++j) {
            if (free_word(j, "index") || free_word(j, "thisLayer") || free_word(j, "parent"))
                return true;
        }
        return false;
    }

    // `head` starts the reference, `open` is its '('; `prefix` replaces the
    // text before `.layer` when it names the pre-comp.
    std::size_t visit_layer_call(std::size_t head, std::size_t open, std::optional<Edit> prefix) {
        const auto close = closing(open);
        if (!close) return open + 1;
        const std::size_t first = open + 1;
        const bool literal =
            *close == first + 1 && (is(first, TokenKind::String) || is(first, TokenKind::Number));
        const auto target = literal ? named_layer(tokens_[first]) : std::nullopt;
        if (target) {
            const Token& argument = tokens_[first];
            if (prefix) {
                prefix->text = "thisComp.layer";
                edits_.push_back(*prefix);
            }
            if (argument.kind == TokenKind::String) {
                edits_.push_back({argument.begin, argument.end,
                                  script_string_literal(copies_.names.at(*target),
                                                        text_[argument.begin])});
                targets_.push_back(*target);
            } else {
                edits_.push_back(
                    {argument.begin, argument.end, std::to_string(copies_.indices.at(*target))});
                indexTargets_.push_back(*target);
            }
            return *close + 1;
        }
        if (!literal && *close > first && !relative(first, *close))
            unresolved_.emplace_back(source(head, *close));
        return first;  // references inside the argument are references too
    }

    std::string apply() const {
        std::vector<Edit> edits = edits_;
        std::ranges::sort(edits, {}, &Edit::begin);
        std::string out;
        std::size_t copied = 0;
        for (const Edit& edit : edits) {
            if (edit.begin < copied) continue;  // never overlaps; kept safe all the same
            out.append(text_.substr(copied, edit.begin - copied));
            out += edit.text;
            copied = edit.end;
        }
        out.append(text_.substr(copied));
        return out;
    }

    std::string_view text_;
    std::vector<Token> tokens_;
    const PrecompFacts& facts_;
    const CopyPlaces& copies_;
    std::vector<Edit> edits_;
    std::vector<std::size_t> targets_;
    std::vector<std::size_t> indexTargets_;
    std::vector<std::string> unresolved_;
    bool readsCompValues_ = false;
};

}  // namespace

ReferenceRewrite rewrite_references(std::string_view expression, const PrecompFacts& facts,
                                    const CopyPlaces& copies) {
    return Scanner(expression, facts, copies).run();
}

std::vector<std::string> string_literals(std::string_view expression) {
    std::vector<std::string> literals;
    for (Token& token : tokenize_expression(expression)) {
        if (token.kind == TokenKind::String && token.closed)
            literals.push_back(std::move(token.value));
    }
    return literals;
}

bool names_composition(std::string_view expression, std::string_view compName) {
    const std::vector<Token> tokens = tokenize_expression(expression);
    for (std::size_t j = 0; j + 3 < tokens.size(); ++j) {
        const bool call =
            tokens[j].kind == TokenKind::Identifier && tokens[j].value == "comp" &&
            !(j > 0 && tokens[j - 1].value == "." && tokens[j - 1].kind == TokenKind::Punctuator) &&
            tokens[j + 1].kind == TokenKind::Punctuator && tokens[j + 1].value == "(";
        if (call && tokens[j + 2].kind == TokenKind::String && tokens[j + 2].closed &&
            tokens[j + 2].value == compName)
            return true;
    }
    return false;
}

}  // namespace outfold
