// Outcome texts: each "{}" of a code's template takes the next field; every reason is declared
// once and no template repeats one.
#include "core/outcome.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nimba {
namespace {

constexpr outcome_code every_code[] = {
#define NIMBA_TEST_CODE(code, kind, text) outcome_code::code,
    NIMBA_OUTCOMES(NIMBA_TEST_CODE)
#undef NIMBA_TEST_CODE
};

constexpr reason every_reason[] = {
#define NIMBA_TEST_REASON(name, text) reason::name,
    NIMBA_REASONS(NIMBA_TEST_REASON)
#undef NIMBA_TEST_REASON
};

TEST(Outcome, FieldsFillThePlaceholdersInOrder) {
    EXPECT_EQ(make_outcome(outcome_code::cabinet_sent, {"3", "MY CAB"}).text,
              "cabinet sent to slot 3: MY CAB");
    EXPECT_EQ(make_outcome(outcome_code::cabinet_sent, {"3"}).text, "cabinet sent to slot 3: ");
    EXPECT_EQ(make_outcome(outcome_code::amp_gone, {"extra"}).text,
              "the amplifier's MIDI ports went away");
    EXPECT_EQ(make_outcome(outcome_code::import_refused, {"a {} in a field"}).text,
              "import refused: a {} in a field");
    EXPECT_EQ(make_outcome(outcome_code::none).text, "");
    EXPECT_EQ(kind_of(static_cast<outcome_code>(999)), outcome_kind::done);
    EXPECT_EQ(reason_text(reason::chunk_of, {"3", "512"}), "chunk 3 of 512");
    EXPECT_EQ(reason_text(static_cast<reason>(999)), "");
}

// Every template, filled with marked fields: each field lands once, in order, on one line, and
// only `none` reads as done without saying anything.
TEST(Outcome, EveryTemplateTakesItsFieldsInOrderOnOneLine) {
    for (const outcome_code code : every_code) {
        const std::string text = make_outcome(code, {"<0>", "<1>", "<2>", "<3>"}).text;
        SCOPED_TRACE(text);
        EXPECT_EQ(text.find("{}"), std::string::npos);
        EXPECT_EQ(text.find('\n'), std::string::npos);
        size_t last = 0;
        for (const char* marker : {"<0>", "<1>", "<2>", "<3>"}) {
            const size_t at = text.find(marker);
            if (at == std::string::npos) continue;
            EXPECT_GE(at, last) << marker;
            EXPECT_EQ(text.find(marker, at + 1), std::string::npos) << marker;
            last = at;
        }
        EXPECT_EQ(text.empty(), code == outcome_code::none);
    }
}

// A cause is told in one text: reasons are distinct, one line, and no outcome template writes
// one out again (as "the amplifier's port is closed" once drifted from the MIDI port's reason).
TEST(Outcome, EachReasonIsDeclaredOnceAndNoTemplateRepeatsOne) {
    std::vector<std::string> seen;
    for (const reason why : every_reason) {
        const std::string text = reason_text(why);
        SCOPED_TRACE(text);
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(text.find('\n'), std::string::npos);
        EXPECT_EQ(std::count(seen.begin(), seen.end(), text), 0);
        seen.push_back(text);
        const std::string words = text.substr(0, text.find("{}"));
        if (words.size() < 12) continue; // "chunk " and the like
        for (const outcome_code code : every_code)
            EXPECT_EQ(make_outcome(code).text.find(words), std::string::npos)
                << make_outcome(code).text;
    }
}

} // namespace
} // namespace nimba
