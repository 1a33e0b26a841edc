// Scripts the plug-in carries as text and runs through the host's script
// service. The table itself is generated at build time from the files in
// pipeline/scripts/ (see pipeline/embed_scripts.py).
#pragma once

#include <cstdint>

namespace outfold {

struct EmbeddedScript {
    const char* name;
    const char* text;      // NUL-terminated UTF-8
    std::uint64_t length;  // bytes of text without the terminator
};

inline constexpr const char* kOptionsDialogScript = "mainPanel.jsx";
inline constexpr const char* kPrefixTooLongScript = "prefixTooLong.jsx";

// Ended by a record whose name is null.
extern const EmbeddedScript kEmbeddedScripts[];

// The text of the first script whose name equals name byte for byte; null
// when there is none.
const char* find_script(const char* name);

}  // namespace outfold
