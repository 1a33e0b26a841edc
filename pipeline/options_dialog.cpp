#include "pipeline/options_dialog.h"

#if defined(_WIN32)
#include <windows.h>
#else
// Provided by the process that loads the module.
extern "C" void OutputDebugStringA(const char* text);
#endif

#include <cstring>
#include <string>

#include "pipeline/embedded_scripts.h"
#include "pipeline/json_tokenizer.h"
#include "shell/host_suites.h"
#include "shell/owned.h"
#include "shell/running_error.h"
#include "shell/script_run.h"

namespace outfold {
namespace {

constexpr int kAnswerTokens = 7;  // the array and its six elements
constexpr int kPrefixToken = 4;

bool starts_with_t(std::string_view answer, const JsonToken& token) {
    return answer[std::size_t(token.start)] == 't';
}

void copy_prefix(const std::string& decoded, char (&target)[kMaxPrefixBytes + 1]) {
    std::memset(target, 0, sizeof target);
    std::memcpy(target, decoded.data(), decoded.size());
}

}  // namespace

DialogOutcome read_dialog_answer(std::string_view answer, ExtractOptions* options,
                                 char (&prefix)[kMaxPrefixBytes + 1]) {
    if (answer.empty()) return DialogOutcome::Cancelled;
    JsonParser parser;
    JsonToken tokens[kMaxTokens];
    const int count = json_tokenize(&parser, answer.data(), answer.size(), tokens, kMaxTokens);
    if (count != kAnswerTokens) return DialogOutcome::Malformed;

    const JsonToken& prefixToken = tokens[kPrefixToken];
    const auto rawLength = std::size_t(prefixToken.end - prefixToken.start);
    if (rawLength > kMaxPrefixBytes) return DialogOutcome::PrefixTooLong;

    // Decoding only ever shortens the text, so it fits the 51-byte buffers.
    const std::string decoded =
        json_unescape(answer.substr(std::size_t(prefixToken.start), rawLength));
    copy_prefix(decoded, prefix);
    copy_prefix(decoded, options->prefix);
    options->copyAttributes = starts_with_t(answer, tokens[1]);
    options->deleteSource = starts_with_t(answer, tokens[2]);
    options->keepInComp = starts_with_t(answer, tokens[3]);
    options->prependPrecompName = starts_with_t(answer, tokens[5]);
    options->fixRandomExpressions = starts_with_t(answer, tokens[6]);
    return DialogOutcome::Accepted;
}

DialogRun settle_dialog_answer(const PluginInfo* info, std::string_view answer,
                               ExtractOptions* options, char (&prefix)[kMaxPrefixBytes + 1]) {
    const DialogOutcome outcome = read_dialog_answer(answer, options, prefix);
    if (outcome == DialogOutcome::Malformed) OutputDebugStringA(kMalformedAnswerLine);
    if (outcome != DialogOutcome::PrefixTooLong) return {outcome, A_Err_NONE};
    const A_Err err = with_suites(info->spBasic, [&](HostSuites& suites) {
        return execute_script(*info, suites, find_script(kPrefixTooLongScript), nullptr);
    });
    return {outcome, err};
}

DialogRun run_options_dialog(const PluginInfo* info, ExtractOptions* options,
                             char (&prefix)[kMaxPrefixBytes + 1]) {
    std::string answer;
    const A_Err err = with_suites(info->spBasic, [&](HostSuites& suites) {
        return execute_script(*info, suites, find_script(kOptionsDialogScript), &answer);
    });
    // A failed run leaves the answer empty: the run counts as cancelled.
    if (err != A_Err_NONE) return {DialogOutcome::Cancelled, err};
    return settle_dialog_answer(info, answer, options, prefix);
}

}  // namespace outfold
