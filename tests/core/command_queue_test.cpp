// The command ring: order, a full ring refusing, the counters wrapping, the input locks, and a
// producer and a consumer thread passing commands through it (run under ThreadSanitizer too).
#include "core/command_queue.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

namespace nimba {
namespace {

TEST(CommandQueue, KeepsOrderAndRefusesWhenFull) {
    auto q = std::make_unique<command_queue>();
    EXPECT_FALSE(next_command(*q));
    for (int32_t i = 0; i < static_cast<int32_t>(command_queue_capacity); ++i)
        ASSERT_TRUE(post_command(*q, {command_send_block, i}));
    EXPECT_FALSE(post_command(*q, {command_store}));
    EXPECT_FALSE(input_locked(*q)) << "a refused store locked the input";
    EXPECT_EQ(pending_commands(*q), command_queue_capacity);
    for (int32_t i = 0; i < static_cast<int32_t>(command_queue_capacity); ++i) {
        const auto c = next_command(*q);
        ASSERT_TRUE(c);
        EXPECT_EQ(c->program, i);
        EXPECT_EQ(next_command(*q)->program, i) << "looking took it";
        drop_next_command(*q);
    }
    EXPECT_FALSE(next_command(*q));
    drop_next_command(*q); // on an empty ring: nothing
    EXPECT_EQ(pending_commands(*q), 0u);
}

// The counters start just below their wrap, so the ring is used across it.
TEST(CommandQueue, CountersWrapWithoutLosingAnything) {
    auto q = std::make_unique<command_queue>();
    q->head = q->tail = 0xFFFFFFF0u;
    for (int32_t i = 0; i < 100; ++i) {
        ASSERT_TRUE(post_command(*q, {command_read_program, i}));
        ASSERT_TRUE(post_command(*q, {command_read_program, i + 1000}));
        ASSERT_EQ(pending_commands(*q), 2u);
        EXPECT_EQ(next_command(*q)->program, i);
        drop_next_command(*q);
        EXPECT_EQ(next_command(*q)->program, i + 1000);
        drop_next_command(*q);
    }
    EXPECT_EQ(pending_commands(*q), 0u);
}

TEST(CommandQueue, StoreImportAndFactorySendLockInputUntilDone) {
    for (int32_t code = -1; code <= command_export_all + 1; ++code) {
        auto q = std::make_unique<command_queue>();
        const bool locks = code == command_store || code == command_send_factory ||
                           (code >= command_import_slot0 && code <= command_import_slot5);
        EXPECT_EQ(locks_input(code), locks) << code;
        post_command(*q, {code});
        post_command(*q, {code});
        EXPECT_EQ(input_locked(*q), locks) << code;
        for (int i = 0; i < 2; ++i) {
            drop_next_command(*q);
            command_done(*q, code);
        }
        EXPECT_FALSE(input_locked(*q)) << code;
    }
}

TEST(CommandQueue, ThreadsPassEveryCommandInOrder) {
    auto q = std::make_unique<command_queue>();
    constexpr int32_t count = 20000;
    std::thread producer([&q] {
        for (int32_t i = 0; i < count;)
            if (post_command(*q, {command_send_block, i, i % 7, i % 5}))
                ++i;
            else
                std::this_thread::yield();
    });
    std::vector<int32_t> out_of_order;
    for (int32_t expected = 0; expected < count;) {
        const auto c = next_command(*q);
        if (!c) {
            std::this_thread::yield();
            continue;
        }
        if (c->program != expected || c->gap_before_ms != expected % 7 ||
            c->gap_after_ms != expected % 5)
            out_of_order.push_back(expected);
        drop_next_command(*q);
        ++expected;
    }
    producer.join();
    EXPECT_TRUE(out_of_order.empty()) << out_of_order.size() << " commands garbled";
    EXPECT_EQ(pending_commands(*q), 0u);
}

} // namespace
} // namespace nimba
