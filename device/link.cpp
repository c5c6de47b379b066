// The device link's outcome posting.
#include "device/link.h"

#include <utility>

#include "device/protocol.h"

namespace nimba {

void post_outcome(device_link& link, outcome result) {
    if (link.state) post_outcome(link.state->outcome, std::move(result));
    request_repaint(link);
}

} // namespace nimba
