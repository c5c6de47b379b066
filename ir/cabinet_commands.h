// The worker's cabinet commands 4..11: import a WAV file into user slot 0..5, send the chosen
// factory cabinet into the chosen slot, export all factory cabinets. Device-link worker only,
// called after the worker has taken the command from the queue.
#pragma once

#include <cstdint>

#include "ir/picker.h"

namespace nimba {

struct device_link;

void run_cabinet_command(device_link& link, int32_t command, const path_picker& pick);

} // namespace nimba
