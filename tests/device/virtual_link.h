// An editor state and a device link wired to each other on virtual time: where every device
// fixture starts before it adds its ports and its repaint. Single-threaded.
#pragma once

#include <memory>

#include "core/seams.h"
#include "device/link.h"

namespace nimba::test {

struct virtual_link {
    std::unique_ptr<editor_state> state = std::make_unique<editor_state>();
    std::unique_ptr<device_link> link = std::make_unique<device_link>();
    virtual_clock clock;

    virtual_link() {
        reset_device_part(*state);
        link->state = state.get();
        link->clock = &clock;
    }
};

} // namespace nimba::test
