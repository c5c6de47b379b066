// Fuzzes the reply decoder: any bytes, as one received message, against a live editor state.
// Afterwards the fields a reply may write must still hold values a reply can produce.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "device/link.h"
#include "device/protocol.h"

namespace {

struct fuzz_link {
    std::unique_ptr<nimba::editor_state> state = std::make_unique<nimba::editor_state>();
    std::unique_ptr<nimba::device_link> link = std::make_unique<nimba::device_link>();
    fuzz_link() {
        nimba::reset_device_part(*state);
        link->state = state.get();
    }
};

void check(bool holds) {
    if (!holds) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz_link f;
    nimba::handle_message(*f.link, std::span<const uint8_t>(data, size));
    const nimba::editor_state& s = *f.state;
    check(s.program >= 0 && s.program <= 127);
    check(s.midi_channel >= 0 && s.midi_channel <= 0x1F);
    const int32_t last = f.link->last_reply;
    check(last == 0 || last == nimba::code_program || last == nimba::code_program_changed ||
          last == nimba::code_slot_name || last == nimba::code_acknowledge ||
          last == nimba::code_version);
    for (int k = 0; k < nimba::slot_count; ++k) check(nimba::slot_name(s, k).size() <= 64);
    return 0;
}
