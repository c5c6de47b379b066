// The status bar's outcome line.
#include "ui/outcome_line.h"

#include "core/file_access.h"

namespace nimba {

std::wstring screen_text(std::string_view utf8) {
    std::wstring text = wide_from_utf8(utf8);
    for (wchar_t& c : text)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return text;
}

std::wstring_view outcome_to_show(outcome_line& line, const editor_state& state, int64_t now_ms) {
    if (outcome_sequence(state.outcome) != line.sequence) {
        const posted_outcome posted = latest_outcome(state.outcome);
        line.sequence = posted.sequence;
        line.since_ms = now_ms;
        line.text = screen_text(posted.latest.text);
    }
    line.shown = !line.text.empty() && now_ms - line.since_ms < outcome_shown_ms;
    return line.shown ? std::wstring_view(line.text) : std::wstring_view();
}

bool outcome_expired(const outcome_line& line, int64_t now_ms) {
    return line.shown && now_ms - line.since_ms >= outcome_shown_ms;
}

} // namespace nimba
