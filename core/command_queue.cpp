// The command ring. head and tail count entries for ever (wrapping at 2^32, a multiple of the
// capacity); each side writes only its own counter, and the release of that counter publishes
// the entry (and the edits made before the post) to the other side.
#include "core/command_queue.h"

namespace nimba {

namespace {

static_assert((command_queue_capacity & (command_queue_capacity - 1)) == 0,
              "the counters wrap at 2^32, so the capacity must divide it");

uint32_t index_of(uint32_t count) {
    return count % command_queue_capacity;
}

} // namespace

bool locks_input(int32_t code) {
    return code == command_store || code == command_send_factory ||
           (code >= command_import_slot0 && code <= command_import_slot5);
}

bool post_command(command_queue& queue, const command& c) {
    const uint32_t tail = queue.tail.load(std::memory_order_relaxed);
    if (tail - queue.head.load(std::memory_order_acquire) >= command_queue_capacity) return false;
    if (locks_input(c.code)) queue.input_locks.fetch_add(1);
    queue.entries[index_of(tail)] = c;
    queue.tail.store(tail + 1, std::memory_order_release);
    return true;
}

std::optional<command> next_command(const command_queue& queue) {
    const uint32_t head = queue.head.load(std::memory_order_relaxed);
    if (queue.tail.load(std::memory_order_acquire) == head) return std::nullopt;
    return queue.entries[index_of(head)];
}

void drop_next_command(command_queue& queue) {
    const uint32_t head = queue.head.load(std::memory_order_relaxed);
    if (queue.tail.load(std::memory_order_acquire) == head) return;
    queue.head.store(head + 1, std::memory_order_release);
}

void command_done(command_queue& queue, int32_t code) {
    if (locks_input(code)) queue.input_locks.fetch_sub(1);
}

uint32_t pending_commands(const command_queue& queue) {
    return queue.tail.load(std::memory_order_acquire) - queue.head.load(std::memory_order_acquire);
}

bool input_locked(const command_queue& queue) {
    return queue.input_locks.load() > 0;
}

} // namespace nimba
