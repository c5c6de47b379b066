// nimba-cli's IR commands' arguments: the conversion choices given as options (--channel,
// --level, --tail), the --plot file, and the paths left over. Parsed before anything is read.
// One thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/ir_choices.h"

namespace nimba {

struct ir_arguments {
    ir_choices choices;
    std::wstring plot; // --plot <out.png>, where the command takes it
    std::vector<std::wstring> paths;
    std::string bad_option; // one line naming the option and the values it takes
};

// Options may come anywhere among the paths. `takes_plot`: --plot is one of the options.
ir_arguments parse_ir_arguments(const std::vector<std::wstring>& args, bool takes_plot);

// The figures `ir-info` prints of a converted IR: length in samples and ms, peak in dBFS and
// level against the factory median in dB, and, when the level was matched but stopped at a peak
// of 1.0, how far short it is. One line each, ending in a newline.
struct ir_conversion;
std::string ir_figures_text(const ir_conversion& ir);

} // namespace nimba
