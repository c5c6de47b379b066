// nimba-cli's IR options: every choice reaches the conversion, options mix with the paths, and
// each bad option is one line naming it and the values it takes.
#include "tools/cli_ir.h"

#include <gtest/gtest.h>

namespace nimba {
namespace {

TEST(CliIr, OptionsSetTheChoices) {
    const ir_arguments parsed = parse_ir_arguments(
        {L"--tail", L"fade", L"in.wav", L"--channel", L"both", L"--level", L"matched", L"out.wav"},
        false);
    EXPECT_EQ(parsed.bad_option, "");
    EXPECT_EQ(parsed.choices.channel, ir_channel::both);
    EXPECT_EQ(parsed.choices.level, ir_level::matched);
    EXPECT_EQ(parsed.choices.tail, ir_tail::fade);
    EXPECT_EQ(parsed.paths, (std::vector<std::wstring>{L"in.wav", L"out.wav"}));

    const ir_arguments plain = parse_ir_arguments({L"a.wav", L"--plot", L"p.png"}, true);
    EXPECT_EQ(plain.plot, L"p.png");
    EXPECT_EQ(plain.choices.channel, ir_channel::left);
    EXPECT_EQ(plain.choices.level, ir_level::file);
    EXPECT_EQ(plain.choices.tail, ir_tail::cut);
    EXPECT_EQ(parse_ir_arguments({L"--channel", L"right"}, false).choices.channel,
              ir_channel::right);
}

TEST(CliIr, BadOptionsNameTheirValues) {
    const struct {
        std::vector<std::wstring> args;
        bool takes_plot;
        std::string line;
    } cases[] = {
        {{L"--channel", L"middle", L"a", L"b"}, false, "--channel takes left, right or both"},
        {{L"a", L"b", L"--level"}, false, "--level takes file or matched"},
        {{L"--tail", L"Fade"}, false, "--tail takes cut or fade"},
        {{L"a", L"--plot"}, true, "--plot takes a PNG file to write"},
        {{L"--plot", L"p.png", L"a", L"b"},
         false,
         "unknown option --plot (--channel takes left, right or both; --level takes file or "
         "matched; --tail takes cut or fade; no other options)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parse_ir_arguments(c.args, c.takes_plot).bad_option, c.line) << c.line;
}

} // namespace
} // namespace nimba
