// Outcome texts: each "{}" of a code's template takes the next field.
#include "core/outcome.h"

#include <gtest/gtest.h>

namespace nimba {
namespace {

TEST(Outcome, FieldsFillThePlaceholdersInOrder) {
    EXPECT_EQ(make_outcome(outcome_code::cabinet_sent, {"3", "MY CAB"}).text,
              "cabinet sent to slot 3: MY CAB");
    EXPECT_EQ(make_outcome(outcome_code::cabinet_sent, {"3"}).text, "cabinet sent to slot 3: ");
    EXPECT_EQ(make_outcome(outcome_code::amp_gone, {"extra"}).text,
              "the amplifier's MIDI ports went away");
    EXPECT_EQ(make_outcome(outcome_code::import_refused, {"a {} in a field"}).text,
              "import refused: a {} in a field");
    EXPECT_EQ(make_outcome(outcome_code::none).text, "");
    EXPECT_EQ(kind_of(outcome_code::firmware_timed_out), outcome_kind::no_answer);
    EXPECT_EQ(kind_of(static_cast<outcome_code>(999)), outcome_kind::done);
}

} // namespace
} // namespace nimba
