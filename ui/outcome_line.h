// The status bar's outcome line: which posted outcome the screen shows, upper-cased, and since
// when. An outcome is shown for outcome_shown_ms from the first paint that sees it, measured on
// the user interface's clock. GUI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/state.h"

namespace nimba {

inline constexpr int64_t outcome_shown_ms = 6000;

struct outcome_line {
    uint32_t sequence = 0; // the last outcome taken from the state (0: none yet)
    int64_t since_ms = 0;  // when it was taken
    bool shown = false;    // it was still to be shown at the last paint
    std::wstring text;     // its text in upper case; made once per outcome
};

// For a paint at now_ms: takes a newly posted outcome, and returns the text the status bar shows
// in place of its left text, or nothing once the outcome is older than outcome_shown_ms.
std::wstring_view outcome_to_show(outcome_line& line, const editor_state& state, int64_t now_ms);

// UTF-8 text as the screen shows the worker's words: upper case.
std::wstring screen_text(std::string_view utf8);

// True when the last paint showed the outcome and it has expired since: the screen needs a
// repaint to take it away.
bool outcome_expired(const outcome_line& line, int64_t now_ms);

} // namespace nimba
