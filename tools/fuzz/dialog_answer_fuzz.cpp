// Fuzz target: the dialog's answer as the plug-in reads it. Whatever the
// script service hands back, reading it must stay inside its buffers, and an
// accepted answer must leave a terminated prefix of at most 50 bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "pipeline/json_tokenizer.h"
#include "pipeline/options_dialog.h"

// The plug-in writes its debug line here; the fuzzer has no use for it.
extern "C" void OutputDebugStringA(const char*) {}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view answer(reinterpret_cast<const char*>(data), size);

    // The tokenizer on its own, with room for fewer tokens than it may want.
    for (unsigned capacity : {0u, 1u, 7u, unsigned(outfold::kMaxTokens)}) {
        outfold::JsonToken tokens[outfold::kMaxTokens];
        outfold::JsonParser parser;
        const int count =
            outfold::json_tokenize(&parser, answer.data(), answer.size(), tokens, capacity);
        if (count > int(capacity)) std::abort();
        for (int i = 0; i < count; ++i) {
            const outfold::JsonToken& token = tokens[i];
            if (token.start < -1 || token.end > int(size) || token.start > token.end) std::abort();
        }
    }

    outfold::ExtractOptions options{};
    char prefix[outfold::kMaxPrefixBytes + 1];
    std::memset(prefix, 'x', sizeof prefix);
    const outfold::DialogOutcome outcome = outfold::read_dialog_answer(answer, &options, prefix);
    if (outcome == outfold::DialogOutcome::Accepted) {
        if (std::memchr(prefix, 0, sizeof prefix) == nullptr) std::abort();
        if (std::memcmp(prefix, options.prefix, sizeof prefix) != 0) std::abort();
    }
    return 0;
}
