// Protocol: the bytes of every request, the decoding of every reply (tables of bytes in and
// state out) and the reply wait on virtual time.
#include "device/protocol.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/device/scripted_ports.h"

namespace nimba {
namespace {

using test::bytes;
using test::scripted_link;

// A reply 02 about program n: byte 4 channel, 5..13 the program values 1..9 + base,
// byte 14 colour, 15..21 global values 0x40..0x46.
bytes program_reply(uint8_t n, uint8_t channel_byte, uint8_t base, uint8_t colour) {
    bytes m{0xF0, 0x00, 0x02, n, channel_byte};
    for (uint8_t i = 1; i <= 9; ++i) m.push_back(static_cast<uint8_t>(base + i));
    m.push_back(colour);
    for (uint8_t i = 0; i < 7; ++i) m.push_back(static_cast<uint8_t>(0x40 + i));
    m.push_back(0xF7);
    return m;
}

bytes slot_name_reply(uint8_t slot, const std::string& name) {
    bytes m{0xF0, 0x00, 0x04, 0x00, slot};
    for (size_t i = 0; i < 64; ++i) m.push_back(i < name.size() ? uint8_t(name[i]) : 0);
    m.push_back(0xF7);
    return m;
}

bytes shortened(bytes m, size_t size) {
    m.resize(size - 1);
    m.push_back(0xF7);
    return m;
}

std::vector<int32_t> program_values(const program_record& r) {
    return {r.ir_slot[0],      r.ir_slot[1],      r.ir_slot[2],      r.ir_slot[3], r.channel,
            r.channel_mode[0], r.channel_mode[1], r.channel_mode[2], r.ir_bypass};
}
std::vector<int32_t> globals(const editor_state& s) {
    std::vector<int32_t> g;
    for (const auto& v : s.programs[0].global_values) g.push_back(v);
    return g;
}

// ---------------------------------------------------------------------------------------------
// Requests

TEST(ProtocolRequests, EachRequestIsByteExact) {
    struct row {
        const char* what;
        std::function<void(device_link&)> send;
        bytes expected;
    };
    const row rows[] = {
        {"version", [](device_link& l) { send_version_request(l); }, {0xF0, 0x00, 0x0B, 0xF7}},
        {"slot name 0", [](device_link& l) { request_slot_name(l, 0); }, {0xF0, 0, 0x04, 0, 0xF7}},
        {"slot name 5", [](device_link& l) { request_slot_name(l, 5); }, {0xF0, 0, 0x04, 5, 0xF7}},
        {"store", [](device_link& l) { send_store(l); }, {0xF0, 0x00, 0x0A, 0xF7}},
        {"link reset", [](device_link& l) { send_link_reset(l); }, {0xF0, 0x00, 0x0C, 0xF7}},
        {"program 127",
         [](device_link& l) { request_program(l, 127); },
         {0xF0, 0x00, 0x02, 0x7F, 0xF7}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        scripted_link t;
        t.link->last_reply = 99;
        r.send(*t.link);
        ASSERT_EQ(t.out.sent.size(), 1u);
        EXPECT_EQ(t.out.sent[0], r.expected);
    }
}

TEST(ProtocolRequests, AwaitedRequestsClearLastReplyBeforeSending) {
    scripted_link t;
    t.link->last_reply = code_version;
    EXPECT_TRUE(send_version_request(*t.link));
    EXPECT_EQ(t.link->last_reply, 0);
    t.link->last_reply = code_slot_name;
    EXPECT_TRUE(request_slot_name(*t.link, 2));
    EXPECT_EQ(t.link->last_reply, 0);
}

TEST(ProtocolRequests, ParameterBlockCarriesProgramGlobalsAndColour) {
    scripted_link t;
    editor_state& s = *t.state;
    s.program = 9;         // the block is the named program's, whichever the screen shows
    s.midi_channel = 0x21; // only the low five bits travel
    s.tolex_colour = 4;
    program_record& r = s.programs[5];
    r.ir_slot[0] = 1, r.ir_slot[1] = 2, r.ir_slot[2] = 3, r.ir_slot[3] = 4;
    r.channel = 2;
    r.channel_mode[0] = 5, r.channel_mode[1] = 6, r.channel_mode[2] = 7;
    r.ir_bypass = 1;
    for (int i = 0; i < 7; ++i) {
        s.programs[0].global_values[i] = 0x10 + i;
        r.global_values[i] = 0x70; // record 5's own copies are never sent
    }
    EXPECT_TRUE(send_parameter_block(*t.link, 5));
    const bytes expected{0xF0, 0x00, 0x01, 0x05, 0x01, 1,    2,    3,    4,    2,    5,   6,
                         7,    1,    4,    0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0xF7};
    ASSERT_EQ(t.out.sent.size(), 1u);
    EXPECT_EQ(t.out.sent[0], expected);
}

TEST(ProtocolRequests, ValuesAboveSevenBitsNeverBreakTheFrame) {
    scripted_link t;
    t.state->programs[0].ir_slot[0] = 0x1F7; // low byte F7 would end the message early
    t.state->tolex_colour = 0x85;
    send_parameter_block(*t.link, 0);
    ASSERT_EQ(t.out.sent.size(), 1u);
    const bytes& m = t.out.sent[0];
    ASSERT_EQ(m.size(), 23u);
    for (size_t i = 1; i < 22; ++i) EXPECT_LT(m[i], 0x80) << "byte " << i;
    EXPECT_EQ(m[5], 0x77);
    EXPECT_EQ(m[14], 0x05);
}

TEST(ProtocolRequests, NothingIsSentOrAwaitedWhileTheOutputIsClosed) {
    scripted_link t;
    t.out.open = false;
    t.state->link_status = link_connected;
    EXPECT_FALSE(send_version_request(*t.link));
    EXPECT_FALSE(request_slot_name(*t.link, 1));
    EXPECT_FALSE(send_parameter_block(*t.link, 0));
    EXPECT_FALSE(send_store(*t.link));
    EXPECT_FALSE(send_link_reset(*t.link));
    request_program(*t.link, 0);
    EXPECT_TRUE(t.out.sent.empty());
    EXPECT_EQ(t.clock.sleeps, 0);
    EXPECT_EQ(t.state->link_status, link_connected);
    EXPECT_EQ(t.link->failure_count, 0);
}

TEST(ProtocolRequests, RequestsReuseTheLinkBuffer) {
    scripted_link t;
    send_parameter_block(*t.link, 0);
    EXPECT_EQ(t.link->message_buffer[2], 0x01);
    send_store(*t.link);
    EXPECT_EQ(t.link->message_buffer[2], 0x0A);
}

// ---------------------------------------------------------------------------------------------
// Replies

struct decode_row {
    const char* what;
    bytes message;
    int32_t last_reply; // expected afterwards (starts at 0)
    std::function<void(const editor_state&, const device_link&)> check;
};

void run_decode_table(const std::vector<decode_row>& rows,
                      const std::function<void(editor_state&)>& prepare = {}) {
    for (const decode_row& r : rows) {
        SCOPED_TRACE(r.what);
        scripted_link t;
        if (prepare) prepare(*t.state);
        handle_message(*t.link, r.message);
        EXPECT_EQ(t.link->last_reply, r.last_reply);
        if (r.check) r.check(*t.state, *t.link);
    }
}

TEST(ProtocolReplies, ProgramData) {
    const std::vector<int32_t> kept_globals{9, 9, 9, 9, 9, 9, 9};
    run_decode_table(
        {
            {"program 5 sets its record and the globals of record 0",
             program_reply(5, 0x03, 0x10, 2), 2,
             [](const editor_state& s, const device_link&) {
                 EXPECT_EQ(
                     program_values(s.programs[5]),
                     (std::vector<int32_t>{0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19}));
                 EXPECT_EQ(s.programs[5].loaded, 1);
                 EXPECT_EQ(s.programs[0].loaded, 0);
                 EXPECT_EQ(s.midi_channel, 7);
                 EXPECT_EQ(s.tolex_colour, 3);
                 EXPECT_EQ(globals(s),
                           (std::vector<int32_t>{0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46}));
             }},
            {"program 0 with channel byte 21 hex", program_reply(0, 0x21, 0, 5), 2,
             [](const editor_state& s, const device_link&) {
                 EXPECT_EQ(s.midi_channel, 1);
                 EXPECT_EQ(s.tolex_colour, 5);
                 EXPECT_EQ(s.programs[0].loaded, 1);
                 EXPECT_EQ(s.programs[0].ir_slot[0], 1);
             }},
            {"longer than the block: extra bytes ignored",
             [] {
                 bytes m = program_reply(9, 0, 0, 0);
                 m.insert(m.end() - 1, {0x55, 0x66});
                 return m;
             }(),
             2,
             [](const editor_state& s, const device_link&) {
                 EXPECT_EQ(s.programs[9].loaded, 1);
                 EXPECT_EQ(s.programs[0].global_values[6], 0x46);
             }},
            {"20 bytes: global values 4..6 are not in it", shortened(program_reply(1, 0, 0, 0), 20),
             2,
             [](const editor_state& s, const device_link&) {
                 EXPECT_EQ(s.programs[1].loaded, 1);
                 EXPECT_EQ(globals(s), (std::vector<int32_t>{0x40, 0x41, 0x42, 0x43, 9, 9, 9}));
             }},
            {"21 bytes: global values 5 and 6 are not in it",
             shortened(program_reply(1, 0, 0, 0), 21), 2,
             [](const editor_state& s, const device_link&) {
                 EXPECT_EQ(globals(s), (std::vector<int32_t>{0x40, 0x41, 0x42, 0x43, 0x44, 9, 9}));
             }},
            {"19 bytes is refused", shortened(program_reply(1, 0, 0, 0), 19), 0,
             [kept_globals](const editor_state& s, const device_link&) {
                 EXPECT_EQ(s.programs[1].loaded, 0);
                 EXPECT_EQ(globals(s), kept_globals);
             }},
            {"program byte above 7F names no program", program_reply(0x80, 0, 0, 0), 0,
             [kept_globals](const editor_state& s, const device_link&) {
                 EXPECT_EQ(globals(s), kept_globals);
             }},
            {"byte 1 not 00",
             [] {
                 bytes m = program_reply(5, 0, 0, 0);
                 m[1] = 0x01;
                 return m;
             }(),
             0,
             [](const editor_state& s, const device_link&) { EXPECT_EQ(s.programs[5].loaded, 0); }},
        },
        [](editor_state& s) {
            s.midi_channel = 7;
            s.tolex_colour = 3;
            for (auto& g : s.programs[0].global_values) g = 9;
        });
}

TEST(ProtocolReplies, ProgramChanged) {
    run_decode_table(
        {
            {"4 bytes: resync, program kept",
             {0xF0, 0x00, 0x03, 0xF7},
             3,
             [](const editor_state& s, const device_link& l) {
                 EXPECT_TRUE(l.resync_pending);
                 EXPECT_EQ(s.program, 12);
             }},
            {"5 bytes selects the program",
             {0xF0, 0x00, 0x03, 0x05, 0xF7},
             3,
             [](const editor_state& s, const device_link& l) {
                 EXPECT_TRUE(l.resync_pending);
                 EXPECT_EQ(s.program, 5);
             }},
            {"5 bytes, program above 7F kept",
             {0xF0, 0x00, 0x03, 0x80, 0xF7},
             3,
             [](const editor_state& s, const device_link& l) {
                 EXPECT_TRUE(l.resync_pending);
                 EXPECT_EQ(s.program, 12);
             }},
            {"6 bytes ignored entirely",
             {0xF0, 0x00, 0x03, 0x05, 0x00, 0xF7},
             0,
             [](const editor_state& s, const device_link& l) {
                 EXPECT_FALSE(l.resync_pending);
                 EXPECT_EQ(s.program, 12);
             }},
            {"3 bytes ignored",
             {0xF0, 0x00, 0x03},
             0,
             [](const editor_state&, const device_link& l) { EXPECT_FALSE(l.resync_pending); }},
        },
        [](editor_state& s) { s.program = 12; });
}

TEST(ProtocolReplies, SlotNames) {
    const auto name_is = [](int slot, const wchar_t* expected) {
        return [=](const editor_state& s, const device_link&) {
            EXPECT_EQ(slot_name(s, slot), expected);
        };
    };
    std::string long_name(70, 'q');
    bytes high = slot_name_reply(1, "caf\xE9");
    run_decode_table(
        {
            {"own prefix dropped", slot_name_reply(3, "3_clean"), 4, name_is(3, L"CLEAN")},
            {"another slot's prefix kept", slot_name_reply(2, "3_clean"), 4,
             name_is(2, L"3_CLEAN")},
            {"upper-cased, other characters kept", slot_name_reply(0, "my cab-2 [x]"), 4,
             name_is(0, L"MY CAB-2 [X]")},
            {"bytes above 7F widened unchanged", high, 4, name_is(1, L"CAF\xE9")},
            {"all-zero name keeps the old one", slot_name_reply(4, ""), 4, name_is(4, L"OLD")},
            {"name ends at the first zero", slot_name_reply(5, std::string("AB\0CD", 5)), 4,
             name_is(5, L"AB")},
            {"a full field has no terminator", slot_name_reply(5, long_name), 4,
             name_is(5, std::wstring(64, L'Q').c_str())},
            {"slot 6 names no slot", slot_name_reply(6, "6_x"), 4,
             [](const editor_state& s, const device_link&) {
                 for (int k = 0; k < slot_count; ++k) EXPECT_EQ(slot_name(s, k), L"OLD");
             }},
            {"69 bytes refused", shortened(slot_name_reply(4, "NEW"), 69), 0, name_is(4, L"OLD")},
            {"trailing bytes ignored",
             [] {
                 bytes m = slot_name_reply(4, "NEW");
                 m.insert(m.end() - 1, 3, 0x41);
                 return m;
             }(),
             4, name_is(4, L"NEW")},
        },
        [](editor_state& s) {
            for (int k = 0; k < slot_count; ++k) set_slot_name(s, k, L"OLD");
        });
}

TEST(ProtocolReplies, AcknowledgeVersionAndFraming) {
    const auto version_is = [](uint16_t v) {
        return [=](const editor_state& s, const device_link&) {
            EXPECT_EQ(s.device_firmware_version, v);
        };
    };
    run_decode_table(
        {
            {"acknowledge", {0xF0, 0x00, 0x08, 0xF7}, 8, nullptr},
            {"acknowledge with more bytes", {0xF0, 0x00, 0x08, 0x01, 0x02, 0xF7}, 8, nullptr},
            {"acknowledge of 3 bytes", {0xF0, 0x00, 0x08}, 0, nullptr},
            {"byte 0 is not examined", {0x00, 0x00, 0x08, 0xF7}, 8, nullptr},
            {"version 0114", {0xF0, 0x00, 0x0B, 0x01, 0x14, 0xF7}, 11, version_is(0x0114)},
            {"version bytes above 7F",
             {0xF0, 0x00, 0x0B, 0xFF, 0xFE, 0xF7},
             11,
             version_is(0xFFFE)},
            {"version of 5 bytes refused", {0xF0, 0x00, 0x0B, 0x01, 0xF7}, 0, version_is(0x0099)},
            {"version of 4 bytes refused", {0xF0, 0x00, 0x0B, 0xF7}, 0, version_is(0x0099)},
            {"byte 1 not 00", {0xF0, 0x01, 0x0B, 0x01, 0x14, 0xF7}, 0, version_is(0x0099)},
            {"unknown code", {0xF0, 0x00, 0x05, 0x01, 0xF7}, 0, nullptr},
            {"channel message", {0x90, 0x40, 0x7F}, 0, nullptr},
            {"two bytes", {0xF0, 0x00}, 0, nullptr},
            {"empty", {}, 0, nullptr},
        },
        [](editor_state& s) { s.device_firmware_version = 0x0099; });
}

TEST(ProtocolReplies, UnsolicitedProgramDataIsApplied) {
    scripted_link t;
    t.link->last_reply = code_acknowledge;
    handle_message(*t.link, program_reply(40, 0, 0, 0));
    EXPECT_EQ(t.state->programs[40].loaded, 1);
    EXPECT_EQ(t.link->last_reply, code_program);
}

// ---------------------------------------------------------------------------------------------
// Reply wait

TEST(ReplyWait, OutcomeDependsOnThePollThatTakesTheReply) {
    struct row {
        const char* what;
        int poll; // the poll that takes the reply (0: none arrives)
        wait_result result;
        int64_t elapsed_ms;
    };
    const row rows[] = {
        {"first poll", 1, wait_result::reply, 5},
        {"tenth poll", 10, wait_result::reply, 50},
        {"200th poll, once the end of the budget", 200, wait_result::reply, 1000},
        {"624th poll", 624, wait_result::reply, 3120},
        {"last poll counts as a timeout", 625, wait_result::timeout, 3125},
        {"no reply", 0, wait_result::timeout, 3125},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        scripted_link t;
        if (r.poll) t.reply_at(r.poll, {0xF0, 0x00, 0x0B, 0x02, 0x03, 0xF7});
        EXPECT_EQ(wait_for_reply(*t.link, code_version), r.result);
        EXPECT_EQ(t.clock.now, r.elapsed_ms);
        EXPECT_EQ(t.in.polls, r.elapsed_ms / 5);
        // A reply taken by any poll is applied, even by the one that ends the wait.
        EXPECT_EQ(t.state->device_firmware_version, r.poll ? 0x0203 : 0);
        EXPECT_EQ(t.state->link_status, 0); // the wait itself touches no status
    }
}

TEST(ReplyWait, OnlyTheAwaitedCodeEndsIt) {
    scripted_link t;
    t.reply_at(1, {0xF0, 0x00, 0x08, 0xF7});
    t.reply_at(2, program_reply(7, 0, 0, 0));
    t.reply_at(3, slot_name_reply(5, "other slot"));
    EXPECT_EQ(wait_for_reply(*t.link, code_slot_name), wait_result::reply);
    EXPECT_EQ(t.in.polls, 3);
    EXPECT_EQ(t.state->programs[7].loaded, 1);
}

TEST(ReplyWait, AReplyAlreadyThereNeedsNoPoll) {
    scripted_link t;
    t.link->last_reply = code_acknowledge;
    EXPECT_EQ(wait_for_reply(*t.link, code_acknowledge), wait_result::reply);
    EXPECT_EQ(t.clock.sleeps, 0);
}

TEST(ReplyWait, StopRequestEndsItAtOnce) {
    scripted_link t;
    t.link->stop_requested = true;
    t.reply_at(1, {0xF0, 0x00, 0x08, 0xF7}); // taken and applied, but the stop wins
    EXPECT_EQ(wait_for_reply(*t.link, code_acknowledge), wait_result::stopped);
    EXPECT_EQ(t.in.polls, 1);
    EXPECT_EQ(t.link->failure_count, 0);
}

TEST(RequestProgram, SuccessTimeoutAndStop) {
    {
        SCOPED_TRACE("success");
        scripted_link t;
        t.link->failure_count = 1;
        t.reply_at(4, program_reply(3, 0, 0, 0));
        request_program(*t.link, 3);
        EXPECT_EQ(t.link->failure_count, 0);
        EXPECT_EQ(t.state->programs[3].loaded, 1);
        EXPECT_EQ(t.repaints, 0);
    }
    {
        SCOPED_TRACE("timeout");
        scripted_link t;
        t.link->failure_count = 1;
        t.state->link_status = link_connected;
        request_program(*t.link, 0);
        EXPECT_EQ(t.state->link_status, link_error);
        EXPECT_EQ(t.link->failure_count, 2);
        EXPECT_EQ(t.repaints, 1);
        EXPECT_EQ(t.clock.now, reply_budget_ms);
    }
    {
        SCOPED_TRACE("stop");
        scripted_link t;
        t.state->link_status = link_busy;
        t.link->stop_requested = true;
        request_program(*t.link, 0);
        EXPECT_EQ(t.state->link_status, link_busy);
        EXPECT_EQ(t.link->failure_count, 0);
        EXPECT_EQ(t.repaints, 0);
    }
}

} // namespace
} // namespace nimba
