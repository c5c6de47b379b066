// Cabinet transfer: chunk and close bytes, progress, acknowledges, timeouts and stops, the
// name field, and the user and factory paths into the virtual amplifier.
#include "ir/ir_transfer.h"

#include <gtest/gtest.h>

#include "amp_fixture.h"
#include "device/protocol.h"
#include "ir/cabinet_commands.h"
#include "ir/ir_import.h"
#include "wav_builder.h"

namespace nimba {
namespace {

using namespace nimba::test;

std::vector<uint8_t> image_of(size_t samples) {
    std::vector<float> s(samples);
    for (size_t i = 0; i < samples; ++i) s[i] = static_cast<float>(i % 97) / 100.0f - 0.4f;
    return *encode_ir_image(s);
}

// The image bytes a chunk carries, joined from its nibbles.
std::vector<uint8_t> chunk_payload(const std::vector<uint8_t>& m) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < 256; ++i)
        bytes.push_back(static_cast<uint8_t>(m[7 + 2 * i] << 4 | m[8 + 2 * i]));
    return bytes;
}

std::string name_text(const ir_name_field& f) {
    return std::string(f.begin(), std::find(f.begin(), f.end(), 0));
}

TEST(CabinetUpload, FullImageChunksAndClose) {
    amp_fixture amp;
    const auto image = image_of(4096);
    ASSERT_EQ(image.size(), 16428u);
    amp.link->failure_count = 1;
    upload_ir_image(*amp.link, image, 4, L"UK 412 V30 GB");

    const auto chunks = amp.sent_with_code(0x08);
    ASSERT_EQ(chunks.size(), 65u);
    std::vector<uint8_t> joined;
    for (size_t k = 0; k < chunks.size(); ++k) {
        const auto& m = chunks[k];
        ASSERT_EQ(m.size(), 520u);
        EXPECT_EQ(m[0], 0xF0);
        EXPECT_EQ(m[1], 0x00);
        EXPECT_EQ(m[519], 0xF7);
        const uint32_t offset = m[3] << 12 | m[4] << 8 | m[5] << 4 | m[6];
        EXPECT_EQ(offset, k * 256);
        for (size_t i = 3; i < 519; ++i) ASSERT_LT(m[i], 0x10) << "chunk " << k << " byte " << i;
        const auto payload = chunk_payload(m);
        joined.insert(joined.end(), payload.begin(), payload.end());
    }
    EXPECT_EQ((std::vector<uint8_t>{chunks.back()[3], chunks.back()[4], chunks.back()[5],
                                    chunks.back()[6]}),
              (std::vector<uint8_t>{4, 0, 0, 0}));
    // The last chunk: 44 image bytes, then 212 padding bytes sent as 424 zero nibbles.
    EXPECT_TRUE(std::equal(image.begin(), image.end(), joined.begin()));
    EXPECT_TRUE(std::all_of(chunks.back().begin() + 7 + 88, chunks.back().end() - 1,
                            [](uint8_t b) { return b == 0; }));

    const auto closes = amp.sent_with_code(0x09);
    ASSERT_EQ(closes.size(), 1u);
    const auto& close = closes[0];
    ASSERT_EQ(close.size(), 73u);
    EXPECT_EQ((std::vector<uint8_t>(close.begin(), close.begin() + 8)),
              (std::vector<uint8_t>{0xF0, 0x00, 0x09, 4, 0x04, 0x00, 0x02, 0x0C}));
    EXPECT_EQ(std::string(close.begin() + 8, close.begin() + 21), "UK 412 V30 GB");
    EXPECT_EQ(close[72], 0xF7);
    EXPECT_EQ(amp.sent.back(), close); // the close comes last

    with_bus(amp.bus, [&](loopback_bus& b) {
        EXPECT_EQ(b.amp.slots[4].image, image);
        EXPECT_EQ(b.amp.slots[4].name, "UK 412 V30 GB");
        return 0;
    });
    EXPECT_EQ(amp.state->progress.load(), 100);
    EXPECT_EQ(amp.state->link_status.load(), link_busy); // the worker's busy status stays
    EXPECT_EQ(amp.link->failure_count.load(), 0);
}

TEST(CabinetUpload, ProgressCountsImageBytesSent) {
    amp_fixture amp;
    upload_ir_image(*amp.link, image_of(4096), 0, L"x");
    const auto& shown = amp.progress_shown;
    ASSERT_EQ(shown.size(), 65u); // chunks 1..64, then 100; the last chunk leaves it alone
    EXPECT_EQ((std::vector<int32_t>(shown.begin(), shown.begin() + 6)),
              (std::vector<int32_t>{1, 3, 4, 6, 7, 9}));
    EXPECT_EQ(shown[63], 99);
    EXPECT_EQ(shown[64], 100);
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    // The pause after the acknowledged close runs on the link's clock.
    EXPECT_GE(amp.clock.now.load(), 100);
}

TEST(CabinetUpload, EmptyIrIsOneChunkOfHeader) {
    amp_fixture amp;
    const auto image = image_of(0);
    ASSERT_EQ(image.size(), 44u);
    const auto start = amp.clock.now.load();
    upload_ir_image(*amp.link, image, 0, L"");
    // Each acknowledge is taken on the first 5 ms poll; then the pause after the close.
    EXPECT_EQ(amp.clock.now.load() - start, 2 * link_poll_step_ms + transfer_pause_ms);
    const auto chunks = amp.sent_with_code(0x08);
    ASSERT_EQ(chunks.size(), 1u);
    const auto payload = chunk_payload(chunks[0]);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), payload.begin()));
    EXPECT_TRUE(std::all_of(payload.begin() + 44, payload.end(), [](uint8_t b) { return b == 0; }));
    const auto close = amp.sent_with_code(0x09).at(0);
    EXPECT_EQ((std::vector<uint8_t>(close.begin() + 4, close.begin() + 8)),
              (std::vector<uint8_t>{0, 0, 2, 0x0C}));
    EXPECT_TRUE(
        std::all_of(close.begin() + 8, close.begin() + 72, [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(amp.progress_shown, std::vector<int32_t>{100});
}

// How a transfer ends when an acknowledge does not come or the editor is closing.
TEST(CabinetUpload, EndsWithoutRetry) {
    const struct {
        const char* name;
        int64_t drop_reply; // the amplifier's reply that is lost (0: none)
        bool silent;
        bool stop;
        bool early_acknowledge; // an 08 already in last_reply before the first send
        size_t chunks_sent;
        size_t closes_sent;
        int32_t status;
        int32_t failures;
    } cases[] = {
        {"close unacknowledged", 66, false, false, false, 65, 1, link_error, 3},
        {"first chunk unacknowledged", 1, false, false, false, 1, 0, link_error, 3},
        {"chunk 10 unacknowledged", 10, false, false, false, 10, 0, link_error, 3},
        {"stale acknowledge does not count", 0, true, false, true, 1, 0, link_error, 3},
        {"stop requested", 0, true, true, false, 1, 0, link_busy, 2},
    };
    for (const auto& c : cases) {
        amp_fixture amp;
        amp.bus.amp.faults.drop_reply = c.drop_reply;
        amp.bus.amp.faults.silent = c.silent;
        amp.link->stop_requested = c.stop;
        amp.link->failure_count = 2;
        if (c.early_acknowledge) amp.link->last_reply = code_acknowledge;
        upload_ir_image(*amp.link, image_of(4096), 1, L"cab");
        EXPECT_EQ(amp.sent_with_code(0x08).size(), c.chunks_sent) << c.name;
        EXPECT_EQ(amp.sent_with_code(0x09).size(), c.closes_sent) << c.name;
        EXPECT_EQ(amp.state->link_status.load(), c.status) << c.name;
        EXPECT_EQ(amp.link->failure_count.load(), c.failures) << c.name;
        EXPECT_NE(amp.state->progress.load(), 100) << c.name;
        // The amplifier completes the slot when it takes the close, answered or not.
        EXPECT_EQ(amp.bus.amp.slots[1].image.empty(), c.closes_sent == 0) << c.name;
    }
}

TEST(CabinetUpload, NothingSentWhenItCannotBeCarried) {
    amp_fixture amp;
    amp.out.closePort();
    upload_ir_image(*amp.link, image_of(10), 0, L"x");
    EXPECT_TRUE(amp.sent.empty());

    amp_fixture open;
    upload_ir_image(*open.link, image_of(10), 6, L"x"); // no such slot
    upload_ir_image(*open.link, std::vector<uint8_t>(0x10000, 0), 0, L"x");
    EXPECT_TRUE(open.sent.empty());
    for (auto* a : {&amp, &open}) {
        EXPECT_EQ(a->state->link_status.load(), link_busy);
        // Only the outcome's paint: one per refused upload.
        EXPECT_EQ(a->repaints, a == &amp ? 1 : 2);
    }
    EXPECT_EQ(latest_outcome(amp.state->outcome).latest.text,
              "cabinet not sent: the amplifier's MIDI port is closed");
    EXPECT_EQ(latest_outcome(open.state->outcome).latest.text,
              "cabinet not sent: no such slot, or the image is too large");
}

TEST(CabinetName, FieldFromNameSource) {
    const std::string seventy(70, 'q');
    const struct {
        std::wstring source;
        std::string expected;
    } cases[] = {
        {L"My Cab.wav", "MY CAB"},
        {L"room.wav.wav", "ROOM"},
        {L"A.WAVEFORM.WAV", "A"},
        {L"UK 412 V30 GB", "UK 412 V30 GB"},
        {L"no dot here", "NO DOT HERE"},
        {L"take.2.final.wave", "TAKE.2.FINAL"}, // only the extension goes
        {L"", ""},
        {L"caf\u00e9 \u00c5.wav", "CAF_ _"},
        {L"amp\U0001F3B8.wav", "AMP__"}, // two UTF-16 units
        {std::wstring(seventy.begin(), seventy.end()), std::string(64, 'Q')},
    };
    for (const auto& c : cases) {
        const ir_name_field field = make_ir_name_field(c.source);
        EXPECT_EQ(name_text(field), c.expected);
        for (uint8_t b : field) EXPECT_LT(b, 0x80);
    }
}

TEST(CabinetName, FileNameOfPath) {
    EXPECT_EQ(file_name_of(L"C:\\irs\\My Cab.wav"), L"My Cab.wav");
    EXPECT_EQ(file_name_of(L"/home/u/irs/a.wav"), L"a.wav");
    EXPECT_EQ(file_name_of(L"C:\\mixed/dir\\b.wav"), L"b.wav");
    EXPECT_EQ(file_name_of(L"plain.wav"), L"plain.wav");
    EXPECT_EQ(file_name_of(L"dir/"), L"");
}

TEST(CabinetImport, UserFileGoesIntoSlotUnderItsName) {
    temp_folder dir;
    std::vector<float> samples = {0.0f, 0.001f, 0.5f, -0.25f, 0.125f};
    write_file(dir / "My Cab.wav", float_wav(samples, 48000));
    amp_fixture amp;
    const path_picker pick = [&](pick_mode) { return wide(dir / "My Cab.wav"); };
    run_cabinet_command(*amp.link, command_import_slot0 + 3, pick);
    // The preview hands back the file as its default choices convert it.
    cabinet_handoff& files = amp.state->cabinet_files;
    files.send_slot = files.picked_slot;
    files.send_name = files.picked_name;
    files.send_samples = convert_wav_to_ir(files.picked_file).samples;
    run_cabinet_command(*amp.link, command_send_previewed, pick);
    EXPECT_EQ(amp.bus.amp.slots[3].image,
              *encode_ir_image(std::vector<float>{0.5f, -0.25f, 0.125f}));
    EXPECT_EQ(amp.bus.amp.slots[3].name, "MY CAB");
    EXPECT_EQ(amp.state->progress.load(), 100);
}

TEST(CabinetImport, RefusedFileSendsNothing) {
    temp_folder dir;
    write_file(dir / "fast.wav", float_wav({0.5f, 0.5f}, 192000));
    for (const std::wstring& path :
         {wide(dir / "fast.wav"), wide(dir / "missing.wav"), std::wstring()}) {
        amp_fixture amp;
        run_cabinet_command(*amp.link, command_import_slot0, [&](pick_mode) { return path; });
        EXPECT_TRUE(amp.sent.empty());
        EXPECT_EQ(amp.state->link_status.load(), link_connected);
    }
}

TEST(CabinetImport, FactorySamplesAndTooLongIr) {
    amp_fixture amp;
    const std::vector<float> samples(4096, 0.125f);
    send_factory_ir(*amp.link, L"412 GB", samples, 5);
    EXPECT_EQ(amp.bus.amp.slots[5].image, *encode_ir_image(samples));
    EXPECT_EQ(amp.bus.amp.slots[5].name, "412 GB");

    amp_fixture too_long;
    send_factory_ir(*too_long.link, L"x", std::vector<float>(4097, 0.0f), 0);
    EXPECT_TRUE(too_long.sent.empty());
    EXPECT_EQ(too_long.state->link_status.load(), link_connected);
}

} // namespace
} // namespace nimba
