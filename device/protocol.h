// The amplifier's System Exclusive protocol: every request, the reply decoder and the one
// reply wait that every awaited exchange uses. Framing F0 00 <code> ... F7. Worker thread only.
#pragma once

#include <cstdint>
#include <span>

#include "core/outcome.h"
#include "device/messages.h"

namespace nimba {

struct clock_seam;
struct device_link;

// The link's polling step: the reply wait and every pause look again this often.
constexpr int32_t link_poll_step_ms = 5;
// What the amplifier is given after it acknowledged the close of a cabinet or firmware transfer.
inline constexpr int32_t transfer_pause_ms = 100;

// How long an awaited reply may take, on the link's clock. Amplifiers were made against 200
// polls of a Windows timer tick (200 x 15.625 ms) and may need all of it, erasing flash before
// the first firmware chunk say, so the budget is that time on every platform.
constexpr int32_t reply_budget_ms = 3125;

// link.clock when one was given, the steady clock otherwise.
clock_seam& link_clock(device_link& link);
// True while the output port exists and is open.
bool output_open(const device_link& link);

// Decodes one received message into the editor state and the link; malformed ones are dropped.
// A reply taken leaves its message_code in last_reply.
void handle_message(device_link& link, std::span<const uint8_t> message);

enum class wait_result { reply, timeout, stopped };
// Polls one message every 5 ms until last_reply holds `code` or reply_budget_ms have passed
// on the link's clock; a reply taken by the poll that spends the last of the budget still
// counts as a timeout. The caller sets last_reply to 0 before it sends. Touches no status.
wait_result wait_for_reply(device_link& link, int32_t code);

// As wait_for_reply, but only a reply 02 naming program n counts: an amplifier may go on
// reporting the program it was on for a while after a change. A reply 02 naming another
// program ends the wait at once (other_program), so the caller can ask again without waiting
// out the budget.
enum class program_wait { reply, other_program, timeout, stopped };
program_wait wait_for_program_reply(device_link& link, int32_t n);

// The outcome of an exchange left unanswered for reply_budget_ms.
outcome amp_silence();
// A timed-out exchange: link_status = 3, failure_count + 1 and `failure` posted as the outcome.
void note_timeout(device_link& link, outcome failure = amp_silence());
void request_repaint(device_link& link);

// Sends bytes whole when the output port is open; false when it is not.
bool send_message(device_link& link, std::span<const uint8_t> bytes);

// Each request is built in link.message_buffer and sent only while the output port is open;
// the return value says whether it went out. The awaited ones (0B, 04) clear last_reply first,
// so the caller only has to wait. The others await nothing; the caller pauses after them.
bool send_version_request(device_link& link);            // F0 00 0B F7
void request_program(device_link& link, int32_t n);      // F0 00 02 n F7, awaited; sets status
bool send_program_request(device_link& link, int32_t n); // F0 00 02 n F7, awaited
bool request_slot_name(device_link& link, int slot);     // F0 00 04 i F7
bool send_parameter_block(device_link& link, int32_t n); // block 01 of program n, 23 bytes
bool send_store(device_link& link);                      // F0 00 0A F7
bool send_link_reset(device_link& link);                 // F0 00 0C F7

} // namespace nimba
