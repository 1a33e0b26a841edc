// The options dialog: runs the dialog script, then checks its answer and
// turns it into the run's options and name prefix.
#pragma once

#include <string>
#include <string_view>

#include "aegp.h"
#include "shell/host_suites.h"
#include "shell/plugin_info.h"

namespace outfold {

enum class DialogOutcome { Cancelled, Malformed, PrefixTooLong, Accepted };

struct DialogRun {
    DialogOutcome outcome;
    A_Err error;  // the running error of the dialog run
};

inline constexpr const char* kMalformedAnswerLine = "Unexpected number of tokens in returned JSON";

// Runs the dialog script and settles its answer. options and prefix are
// filled only when the outcome is Accepted; the prefix is the text the user
// typed (JSON escapes decoded, UTF-8). The buffer's size is part of its type,
// so a caller cannot hand over one too short for the longest prefix.
DialogRun run_options_dialog(const PluginInfo* info, ExtractOptions* options,
                             char (&prefix)[kMaxPrefixBytes + 1]);

// What follows the dialog script's run: checks the answer, writes the debug
// line for a malformed one, runs the prefix alert for a too long one.
DialogRun settle_dialog_answer(const PluginInfo* info, std::string_view answer,
                               ExtractOptions* options, char (&prefix)[kMaxPrefixBytes + 1]);

// The checks on the answer text alone, without any host call: Cancelled for
// an empty answer, Malformed unless it gives exactly seven tokens,
// PrefixTooLong when the fourth element spans more than kMaxPrefixBytes raw
// bytes between its quotes, else Accepted with options and prefix filled.
DialogOutcome read_dialog_answer(std::string_view answer, ExtractOptions* options,
                                 char (&prefix)[kMaxPrefixBytes + 1]);

}  // namespace outfold
