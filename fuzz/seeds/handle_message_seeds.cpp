// Writes the reply decoder fuzzer's starting corpus into the folder given: each reply the
// amplifier sends, in its usual forms and a few edge forms, framed by the protocol's builder.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "core/amp_values.h"
#include "device/messages.h"

namespace {

using namespace nimba;
using bytes = std::vector<uint8_t>;

bytes frame(message_code code, const bytes& data) {
    bytes out(data.size() + frame_overhead);
    std::copy(data.begin(), data.end(),
              build_frame(out, code, data.size()).begin() + frame_data_at);
    return out;
}

// A program reply carrying `globals` of the seven global values.
bytes program_reply(uint8_t n, uint8_t channel, uint8_t fill, uint8_t tolex, size_t globals) {
    bytes data(parameter_block_size - frame_overhead - 7 + globals, fill);
    data[block_at::program - frame_data_at] = n;
    data[row_of(amp_value::midi_channel).byte - frame_data_at] = channel;
    data[row_of(amp_value::tolex_colour).byte - frame_data_at] = tolex;
    return frame(code_program, data);
}

bytes slot_name_reply(uint8_t slot, const std::string& name) {
    bytes data(slot_name_reply_size - frame_overhead, 0);
    data[slot_name_at::slot - frame_data_at] = slot;
    std::copy(name.begin(), name.end(), data.begin() + (slot_name_at::name - frame_data_at));
    return frame(code_slot_name, data);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: handle_message_seeds FOLDER\n");
        return 2;
    }
    const std::pair<const char*, bytes> seeds[] = {
        {"program_0", program_reply(0, 0x21, 1, 3, 7)},
        {"program_5", program_reply(5, 2, 1, 4, 7)},
        {"program_short", program_reply(7, 0, 2, 1, 4)},
        {"changed", frame(code_program_changed, {})},
        {"changed_5", frame(code_program_changed, {5})},
        {"slot_3", slot_name_reply(3, "3_clean")},
        {"slot_2", slot_name_reply(2, "3_clean")},
        {"slot_empty", slot_name_reply(1, "")},
        {"slot_full", slot_name_reply(0, std::string(name_field_size, 'A'))},
        {"acknowledge", frame(code_acknowledge, {})},
        {"version", frame(code_version, {0x01, 0x14})},
    };
    for (const auto& [name, data] : seeds) {
        std::ofstream file(std::string(argv[1]) + "/" + name, std::ios::binary);
        file.write(reinterpret_cast<const char*>(data.data()),
                   static_cast<std::streamsize>(data.size()));
        if (!file) return 1;
    }
    return 0;
}
