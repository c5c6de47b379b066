// nimba-cli's IR options and figures.
#include "tools/cli_ir.h"

#include <cmath>
#include <cstdio>
#include <string_view>

#include "core/file_access.h"
#include "ir/ir_import.h"

namespace nimba {

namespace {

// An option, the values it takes (in the order of its enum) and where it puts the choice.
struct choice_option {
    std::wstring_view name;
    std::wstring_view values[3];
    int count;
    void (*set)(ir_choices& choices, int value);
};

constexpr choice_option choice_options[] = {
    {L"--channel",
     {L"left", L"right", L"both"},
     3,
     [](ir_choices& c, int v) { c.channel = static_cast<ir_channel>(v); }},
    {L"--level",
     {L"file", L"matched"},
     2,
     [](ir_choices& c, int v) { c.level = static_cast<ir_level>(v); }},
    {L"--tail",
     {L"cut", L"fade"},
     2,
     [](ir_choices& c, int v) { c.tail = static_cast<ir_tail>(v); }},
};

std::string takes_text(const choice_option& option) {
    std::string text = utf8_from_wide(option.name) + " takes ";
    for (int i = 0; i < option.count; ++i) {
        if (i > 0) text += i + 1 == option.count ? " or " : ", ";
        text += utf8_from_wide(option.values[i]);
    }
    return text;
}

// Sets the choice for `value`; false when the option does not take it.
bool choose(const choice_option& option, std::wstring_view value, ir_choices& choices) {
    for (int i = 0; i < option.count; ++i) {
        if (option.values[i] != value) continue;
        option.set(choices, i);
        return true;
    }
    return false;
}

std::string options_text(bool takes_plot) {
    std::string text;
    for (const choice_option& option : choice_options) text += takes_text(option) + "; ";
    return text + (takes_plot ? "--plot takes a PNG file" : "no other options");
}

std::string decibels(double db) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.1f", db);
    return text;
}

} // namespace

ir_arguments parse_ir_arguments(const std::vector<std::wstring>& args, bool takes_plot) {
    ir_arguments parsed;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (arg.size() < 3 || arg.compare(0, 2, L"--") != 0) {
            parsed.paths.push_back(arg);
            continue;
        }
        const bool has_value = i + 1 < args.size();
        if (takes_plot && arg == L"--plot") {
            if (!has_value) {
                parsed.bad_option = "--plot takes a PNG file to write";
                return parsed;
            }
            parsed.plot = args[++i];
            continue;
        }
        const choice_option* option = nullptr;
        for (const choice_option& o : choice_options)
            if (o.name == arg) option = &o;
        if (!option) {
            parsed.bad_option =
                "unknown option " + utf8_from_wide(arg) + " (" + options_text(takes_plot) + ")";
            return parsed;
        }
        if (!has_value || !choose(*option, args[i + 1], parsed.choices)) {
            parsed.bad_option = takes_text(*option);
            return parsed;
        }
        ++i;
    }
    return parsed;
}

std::string ir_figures_text(const ir_conversion& ir) {
    const size_t length = ir.samples.size();
    const float peak = ir_peak(ir.samples);
    const double level = ir_level_db(ir.samples);
    char line[160];
    std::snprintf(line, sizeof line, "IR: %zu samples (%.1f ms) at 48000 Hz, peak %s dBFS\n",
                  length, 1000.0 * static_cast<double>(length) / ir_sample_rate,
                  peak > 0.0f ? decibels(20.0 * std::log10(peak)).c_str() : "-inf");
    std::string text = line;
    text += std::isfinite(level) ? "level: " + decibels(level - factory_median_level_db()) +
                                       " dB against the factory median\n"
                                 : std::string("level: silent\n");
    if (ir.level.shortfall_db > 0.0 && std::isfinite(ir.level.shortfall_db)) {
        std::snprintf(line, sizeof line,
                      "level matched: stopped at a peak of 1.0, %.1f dB short of the factory "
                      "median\n",
                      ir.level.shortfall_db);
        text += line;
    }
    return text;
}

} // namespace nimba
