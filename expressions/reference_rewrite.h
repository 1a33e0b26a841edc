// Pointing a copied expression's references at the copies: references to a
// layer of the pre-comp name that layer's copy, and reads of the pre-comp's
// own values through `thisComp` keep the pre-comp's values.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace outfold {

// The pre-comp as the copied expressions knew it; texts are UTF-8.
struct PrecompFacts {
    std::string name;
    std::vector<std::string> layerNames;  // layer 1 first
    // What `thisComp.<member>` is written as instead, by member; a member
    // without an entry stays as written.
    std::map<std::string, std::string, std::less<>> compValues;
};

struct ReferenceRewrite {
    std::string text;
    std::vector<std::size_t> targets;       // the pre-comp layers named by name, 0 = layer 1
    std::vector<std::size_t> indexTargets;  // and by index
    std::vector<std::string> unresolved;  // references left as written, as written
    bool readsCompValues = false;         // `thisComp.<member>` of a rewritten member
};

// The members of a composition whose values differ between the pre-comp and
// the composition the copies land in.
inline constexpr std::string_view kCompValueMembers[] = {
    "name", "width", "height", "duration", "frameDuration", "pixelAspect", "numLayers"};

// The copies as the rewritten references find them, the copy of the
// pre-comp's layer 1 first.
struct CopyPlaces {
    std::vector<std::string> names;
    std::vector<long> indices;  // counted from 1, as expressions count
};

// Rewrites `thisComp.layer(...)`, `layer(...)` and `comp("<pre-comp>").layer(...)`
// whose argument is one string or whole-number literal naming a layer of the
// pre-comp, so that a name becomes the copy's name and an index the copy's
// index (`comp(...)` becomes `thisComp`). Relative forms (through `index`, `thisLayer` or `parent`) stay
// as they are; other forms stay too and are listed as unresolved, as is a
// bare `thisComp` that is not followed by a member. Text inside strings,
// comments, regular expressions and templates never changes, but for the name
// inside a reference's own literal.
ReferenceRewrite rewrite_references(std::string_view expression, const PrecompFacts& facts,
                                    const CopyPlaces& copies);

// The string literals of an expression, with their escapes read.
std::vector<std::string> string_literals(std::string_view expression);

// Whether the expression names the composition by `comp("<name>")`.
bool names_composition(std::string_view expression, std::string_view compName);

}  // namespace outfold
