// Outcome codes, their texts and the latest-outcome record.
#include "core/outcome.h"

#include <iterator>
#include <utility>

namespace nimba {

namespace {

struct outcome_row {
    outcome_kind kind;
    std::string_view text;
};

constexpr outcome_row outcome_rows[] = {
#define NIMBA_OUTCOME_ROW(code, kind, text) {outcome_kind::kind, text},
    NIMBA_OUTCOMES(NIMBA_OUTCOME_ROW)
#undef NIMBA_OUTCOME_ROW
};

constexpr std::string_view reason_texts[] = {
#define NIMBA_REASON_TEXT(name, text) text,
    NIMBA_REASONS(NIMBA_REASON_TEXT)
#undef NIMBA_REASON_TEXT
};

std::string filled(std::string_view rest, std::initializer_list<std::string_view> fields) {
    std::string made;
    const std::string_view* field = fields.begin();
    for (size_t at = rest.find("{}"); at != std::string_view::npos; at = rest.find("{}")) {
        made += rest.substr(0, at);
        if (field != fields.end()) made += *field++;
        rest.remove_prefix(at + 2);
    }
    made += rest;
    return made;
}

const outcome_row& row_of(outcome_code code) {
    const auto index = static_cast<size_t>(code);
    return index < std::size(outcome_rows) ? outcome_rows[index] : outcome_rows[0];
}

} // namespace

outcome_kind kind_of(outcome_code code) {
    return row_of(code).kind;
}

outcome make_outcome(outcome_code code, std::initializer_list<std::string_view> fields) {
    return {code, filled(row_of(code).text, fields)};
}

std::string reason_text(reason why, std::initializer_list<std::string_view> fields) {
    const auto index = static_cast<size_t>(why);
    return index < std::size(reason_texts) ? filled(reason_texts[index], fields) : std::string();
}

posted_outcome latest_outcome(const outcome_record& record) {
    const std::lock_guard<std::mutex> hold(record.lock);
    return {record.latest, record.sequence};
}

void post_outcome(outcome_record& record, outcome result) {
    const std::lock_guard<std::mutex> hold(record.lock);
    record.latest = std::move(result);
    ++record.sequence;
}

uint32_t outcome_sequence(const outcome_record& record) {
    const std::lock_guard<std::mutex> hold(record.lock);
    return record.sequence;
}

} // namespace nimba
