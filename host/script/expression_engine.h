// Expressions: evaluated in a sandbox of their own, apart from the scripting
// engine. The sandbox is a separate engine heap that holds only the
// expression language (prelude_expression.cpp) and read-only natives over the
// project: no app, no files, no settings. Its memory is capped, and each
// evaluation has a time limit, so a looping or growing expression ends with
// an error instead of holding up the host.
//
// One ExpressionEngine keeps its heap for its lifetime, so evaluations cost
// a compile and a run, not a start-up. Globals an expression leaves behind
// are removed after it; the builtins and the language's names are frozen.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/model.h"

namespace host::script {

struct ExpressionLimits {
    std::size_t heapBytes = std::size_t{32} << 20;
    std::chrono::milliseconds timeLimit{250};  // per evaluation
};

// Where an expression is evaluated: the stream that carries it, on its
// layer (for effect parameters and mask streams, the layer that holds the
// effect or mask), at a composition time.
struct ExpressionSite {
    const model::Project* project = nullptr;
    model::Id layer = model::kNoId;
    const model::Stream* stream = nullptr;
    model::Time compTime;
};

struct ExpressionResult {
    bool ok = false;
    std::vector<double> value;  // in the stream's own layout (see streams.h)
    std::string text;           // streams that hold text
    std::string error;          // when !ok: "Error: ..."
};

class ExpressionEngine {
public:
    explicit ExpressionEngine(ExpressionLimits limits = {});
    ~ExpressionEngine();
    ExpressionEngine(const ExpressionEngine&) = delete;
    ExpressionEngine& operator=(const ExpressionEngine&) = delete;

    // Evaluates the text (UTF-8) for the site. The result must fit the
    // stream: a number for one-value streams, an array for the others (a
    // shorter array keeps the stream's further values, so [x, y] sets a
    // three-value position's x and y), a text for text streams.
    ExpressionResult evaluate(const ExpressionSite& site, std::string_view expression);

    std::size_t heap_bytes() const;  // memory the sandbox holds now

    struct Sandbox;  // the heap and what its natives read; opaque

private:
    std::unique_ptr<Sandbox> sandbox_;
};

// The stream's value at the layer time as the application shows it: the
// stored value, or the value of its enabled expression when that evaluates
// (the stored value when it fails).
ExpressionResult value_after_expression(ExpressionEngine& engine, const model::Project& project,
                                        model::Id layer, const model::Stream& stream,
                                        model::Time layerTime);

// The application's expression fix after a rename: in every expression of
// the project that fails to evaluate, every occurrence of the old text becomes
// the new text (see model::auto_fix_expressions), kept only when the
// expression then evaluates. Only expressions holding the old text are tried,
// at composition time 0; with skipLocked, none on a locked layer. Returns how
// many changed.
int auto_fix_expressions(model::Project& project, ExpressionEngine& engine,
                         std::string_view oldText, std::string_view newText,
                         bool skipLocked = false);

}  // namespace host::script
