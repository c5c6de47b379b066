// The device link's outcome posting.
#include "device/link.h"

#include <utility>

#include "device/protocol.h"

namespace nimba {

void post_outcome(device_link& link, outcome result) {
    if (link.state) {
        outcome_record& record = link.state->outcome;
        const std::lock_guard<std::mutex> hold(record.lock);
        record.latest = std::move(result);
        ++record.sequence;
    }
    request_repaint(link);
}

} // namespace nimba
