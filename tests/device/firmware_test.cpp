// Firmware image download (through the fetch seam and over libcurl against a loopback HTTP
// server), the version it carries and the chunk and closing messages.
#include "device/firmware.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "device/librarian.h"
#include "fetch_cases.h"
#include "tests/core/temp_files.h"
#include "worker_fixture.h"

#ifndef _WIN32
#include "loopback_http_server.h"
#endif

namespace nimba {
namespace {

using bytes = std::vector<uint8_t>;

std::unique_ptr<device_link> make_link() {
    auto link = std::make_unique<device_link>();
    link->firmware_image.fill(0xEE); // left over from an earlier attempt
    return link;
}

// A fetch that writes `size` bytes of a pattern (as far as the buffer holds) and reports
// `status` with the count it wrote, or a count of its own when `claimed` is set.
firmware_fetch fake_fetch(fetch_status status, size_t size, size_t claimed = SIZE_MAX) {
    return [=](const std::string&, std::span<uint8_t> buffer) {
        const size_t n = std::min(size, buffer.size());
        for (size_t i = 0; i < n; ++i) buffer[i] = static_cast<uint8_t>(i * 7 + 1);
        return fetch_result{status, claimed == SIZE_MAX ? n : claimed};
    };
}

TEST(FirmwareDownload, TakesOnlyASuccessfulResponseOfExactlyTheImageSize) {
    struct case_t {
        const char* name;
        firmware_fetch fetch;
        const char* refusal; // nullptr: the image is taken
    };
    const case_t cases[] = {
        {"exact image", fake_fetch(fetch_status::ok, firmware_image_size), nullptr},
        {"one byte short", fake_fetch(fetch_status::ok, firmware_image_size - 1),
         "firmware image refused: 131071 bytes, not 131072"},
        {"one byte long", fake_fetch(fetch_status::too_long, firmware_image_size + 1),
         "firmware image refused: more than 131072 bytes"},
        {"error page of image size", fake_fetch(fetch_status::http_error, firmware_image_size),
         "firmware image refused: the server answered with an error status"},
        {"broken mid-body", fake_fetch(fetch_status::transport_error, firmware_image_size),
         "firmware image refused: the download failed"},
        {"count beyond the buffer",
         fake_fetch(fetch_status::ok, firmware_image_size, firmware_image_size + 1),
         "firmware image refused: 131073 bytes, not 131072"},
        {"empty body", fake_fetch(fetch_status::ok, 0),
         "firmware image refused: 0 bytes, not 131072"},
        {"throwing fetch",
         [](const std::string&, std::span<uint8_t>) -> fetch_result {
             throw std::runtime_error("network");
         },
         "firmware image refused: the download failed"},
        {"no fetch", firmware_fetch{}, "firmware image refused: the download failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto link = make_link();
        const auto refusal =
            download_firmware_image(*link, c.fetch, "http://fw.test/fw/NIMBA.bin?v=");
        ASSERT_EQ(refusal.has_value(), c.refusal != nullptr);
        if (!c.refusal) {
            EXPECT_EQ(link->firmware_image[1], 8);
        } else {
            EXPECT_EQ(refusal->code, outcome_code::firmware_refused);
            EXPECT_EQ(refusal->text, c.refusal);
            // Nothing of a refused body may stay behind to be sent later.
            EXPECT_TRUE(std::all_of(link->firmware_image.begin(), link->firmware_image.end(),
                                    [](uint8_t b) { return b == 0; }));
        }
    }
}

TEST(FirmwareDownload, PassesTheUrlUnchanged) {
    auto link = make_link();
    std::string seen;
    download_firmware_image(
        *link,
        [&](const std::string& url, std::span<uint8_t>) {
            seen = url;
            return fetch_result{fetch_status::transport_error, 0};
        },
        firmware_url);
    EXPECT_EQ(seen, "https://firmware.corvane.com/fw/NIMBA.bin?v=");
}

TEST(FirmwareImage, VersionIsTheLittleEndianWordAt1FFFC) {
    auto link = make_link();
    link->firmware_image.fill(0);
    const uint8_t tail[] = {0x34, 0x12, 0x00, 0x00};
    std::copy(std::begin(tail), std::end(tail), link->firmware_image.end() - 4);
    EXPECT_EQ(firmware_image_version(link->firmware_image), 0x1234);
    link->firmware_image[0x1FFFD] = 0xFF;
    link->firmware_image[0x1FFFC] = 0xFE;
    EXPECT_EQ(firmware_image_version(link->firmware_image), 0xFFFE);
}

TEST(FirmwareMessages, ChunkCarriesAddressNibblesAndTwoNibblesPerByte) {
    auto link = make_link();
    auto& image = link->firmware_image;
    image[0] = 0xA7;
    image[255] = 0x5C;
    image[0x1FF00] = 0x10;
    bytes message(600, 0xAA);

    ASSERT_EQ(build_firmware_chunk(image, 0, message), 522u);
    EXPECT_EQ(bytes(message.begin(), message.begin() + 11),
              (bytes{0xF0, 0x00, 0x07, 0, 0, 0, 0, 0, 0, 0x0A, 0x07}));
    EXPECT_EQ(message[519], 0x05);
    EXPECT_EQ(message[520], 0x0C);
    EXPECT_EQ(message[521], 0xF7);
    EXPECT_EQ(message[522], 0xAA) << "written past the message";

    ASSERT_EQ(build_firmware_chunk(image, 0x1FF00, message), 522u);
    EXPECT_EQ(bytes(message.begin(), message.begin() + 11),
              (bytes{0xF0, 0x00, 0x07, 0x00, 0x01, 0x0F, 0x0F, 0x00, 0x00, 0x01, 0x00}));
    EXPECT_TRUE(std::all_of(message.begin() + 9, message.begin() + 521,
                            [](uint8_t b) { return b <= 0x0F; }));
}

TEST(FirmwareMessages, ChunkRefusesAddressesPastTheImageAndShortBuffers) {
    auto link = make_link();
    bytes message(522);
    EXPECT_EQ(build_firmware_chunk(link->firmware_image, 0x20000, message), 0u);
    EXPECT_EQ(build_firmware_chunk(link->firmware_image, 0x1FF01, message), 0u);
    bytes short_buffer(521);
    EXPECT_EQ(build_firmware_chunk(link->firmware_image, 0, short_buffer), 0u);
    EXPECT_EQ(build_firmware_close(std::span<uint8_t>(short_buffer).first(72)), 0u);
}

TEST(FirmwareMessages, CloseNamesTheImageFile) {
    bytes message(73, 0xAA);
    ASSERT_EQ(build_firmware_close(message), 73u);
    bytes expected = {0xF0, 0x00, 0x09, 0x10, 0x0F, 0x0F, 0x0F, 0x0F};
    for (char c : std::string("NIMBA.bin")) expected.push_back(static_cast<uint8_t>(c));
    expected.resize(72, 0x00);
    expected.push_back(0xF7);
    EXPECT_EQ(message, expected);
}

// --- the update in the worker's connect sequence, against the virtual amplifier -------------

using test::firmware_image_with_version;
using test::worker_fixture;

constexpr uint8_t code_chunk = 0x07, code_close = 0x09, code_reset = 0x0C, code_program = 0x02;

// Replies to the backup before an update: six slot names, 128 programs, the return.
constexpr int64_t backup_replies = slot_count + program_count + 1;

// An amplifier at version 0100 (hex), a server offering `image` and a folder for backups.
struct update_fixture : worker_fixture {
    test::temp_folder backups;
    explicit update_fixture(bytes image) {
        bus.amp.firmware_version = 0x0100;
        server_body = std::move(image);
        services.backup_folder = test::wide(backups.path);
    }
    std::vector<std::filesystem::path> backup_files() const {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(backups.path))
            files.push_back(entry.path());
        return files;
    }
};

TEST(FirmwareUpdate, SendsTheImageByteExactWithProgressAfterEachChunk) {
    const bytes image = firmware_image_with_version(0x0101);
    update_fixture f(image);
    post_command(f.state->commands, {.code = command_store});
    f.cycles(1);

    EXPECT_EQ(f.bus.amp.firmware_updates, 1);
    EXPECT_TRUE(f.bus.amp.firmware_image == image) << "image changed on the way";
    EXPECT_EQ(f.state->available_firmware_version, 0x0101);
    const auto chunks = f.sent_with_code(code_chunk);
    ASSERT_EQ(chunks.size(), 512u);
    for (size_t k = 0; k < chunks.size(); ++k) {
        ASSERT_EQ(chunks[k].message.size(), 522u);
        uint32_t address = 0;
        for (size_t i = 3; i < 9; ++i) address = address << 4 | chunks[k].message[i];
        ASSERT_EQ(address, k * 256);
    }
    // The progress shown after chunk k is what the screen showed as chunk k + 1 went out.
    struct case_t {
        size_t chunk;
        int32_t progress;
    };
    for (const auto c : {case_t{1, 0}, case_t{6, 1}, case_t{256, 50}, case_t{511, 99}}) {
        EXPECT_EQ(chunks[c.chunk].screen.progress, c.progress) << "after chunk " << c.chunk;
    }
    const auto closes = f.sent_with_code(code_close);
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].screen.progress, 99) << "100 shown before the close was acknowledged";
    EXPECT_EQ(f.state->progress, 100);
    EXPECT_EQ(f.repaints.back().progress, 100);
    EXPECT_EQ(f.link->failure_count, 0);

    // Then the amplifier is told to restart, and the cycle ends without taking the command.
    const auto resets = f.sent_with_code(code_reset);
    ASSERT_EQ(resets.size(), 1u);
    // Acknowledge 5 ms, the transfer's own 100 ms pause, then the worker's 100 ms.
    EXPECT_EQ(resets[0].screen.at_ms - closes[0].screen.at_ms, 205);
    EXPECT_GE(f.clock.now_ms() - resets[0].screen.at_ms, 2000);
    EXPECT_EQ(pending_commands(f.state->commands), 1u);

    // The amplifier announces its new state; the next sequence finds nothing newer to send.
    f.cycles(1);
    EXPECT_EQ(f.state->device_firmware_version, 0x0101);
    EXPECT_EQ(f.state->link_status, link_connected);
    EXPECT_EQ(f.bus.amp.firmware_updates, 1);
    EXPECT_EQ(f.fetches, 1) << "the image is fetched once per run";
}

TEST(FirmwareUpdate, MissingAcknowledgeEndsTheTransferAndResetsTheLink) {
    update_fixture f(firmware_image_with_version(0x0101));
    // Reply 1 answers the version request, then come the backup's; the next k-th acknowledges
    // chunk k.
    f.bus.amp.faults.drop_reply = f.bus.amp.replies_made + 1 + backup_replies + 300;
    f.cycles(1);

    EXPECT_EQ(f.state->link_status, link_error);
    EXPECT_EQ(f.link->failure_count, 3);
    EXPECT_EQ(f.sent_with_code(code_chunk).size(), 300u);
    EXPECT_TRUE(f.sent_with_code(code_close).empty());
    EXPECT_EQ(f.state->progress, 300 * 25 / 128);
    EXPECT_EQ(f.bus.amp.firmware_updates, 0);
    EXPECT_EQ(f.codes_sent().back(), code_reset);

    const size_t before = f.sent.size();
    f.cycles(1);
    EXPECT_EQ(f.codes_sent(before), (std::vector<uint8_t>{code_reset}));
    EXPECT_EQ(f.link->failure_count, 0);

    // The next sequence neither downloads again nor repeats the transfer.
    f.cycles(1);
    EXPECT_EQ(f.fetches, 1);
    EXPECT_EQ(f.state->available_firmware_version, 0);
    EXPECT_EQ(f.sent_with_code(code_chunk).size(), 300u);
    EXPECT_EQ(f.state->link_status, link_connected);
}

TEST(FirmwareUpdate, SendsOnlyAWholeNewerImage) {
    struct case_t {
        const char* name;
        size_t size;
        fetch_status status;
        uint16_t image_version;
        uint16_t available; // what the sequence takes as the image's version
        bool sent;
    };
    const case_t cases[] = {
        {"newer", firmware_image_size, fetch_status::ok, 0x0101, 0x0101, true},
        {"same version", firmware_image_size, fetch_status::ok, 0x0100, 0x0100, false},
        {"older", firmware_image_size, fetch_status::ok, 0x00FF, 0x00FF, false},
        {"one byte short", firmware_image_size - 1, fetch_status::ok, 0x0101, 0, false},
        {"one byte long", firmware_image_size + 1, fetch_status::ok, 0x0101, 0, false},
        {"error page", firmware_image_size, fetch_status::http_error, 0x0101, 0, false},
        {"version 1234", firmware_image_size, fetch_status::ok, 0x1234, 0x1234, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        update_fixture f(firmware_image_with_version(c.image_version, c.size));
        f.server_status = c.status;
        f.cycles(1);
        EXPECT_EQ(f.state->available_firmware_version, c.available);
        EXPECT_EQ(f.sent_with_code(code_chunk).empty(), !c.sent);
        EXPECT_EQ(f.bus.amp.firmware_updates, c.sent ? 1 : 0);
        if (!c.sent) {
            EXPECT_EQ(f.state->link_status, link_connected);
            EXPECT_EQ(f.sent_with_code(code_program).size(), 1u);
        }
    }
}

// Every program is read and a backup written before the first chunk; when the backup cannot be
// made whole or written, no chunk is sent in this run and the reason is kept. A folder that
// cannot take the backup is found before any program is read.
TEST(FirmwareUpdate, BacksUpAllProgramsFirstAndSendsNothingWhenTheBackupFails) {
    struct row {
        const char* what;
        std::function<void(update_fixture&)> setup;
        const char* result; // the latest outcome
        size_t requests;    // requests 02 at least, or exactly the connect's one
    };
    const row rows[] = {
        {"backup written", [](update_fixture&) {}, "firmware updated from 1.0.0 to 1.1.0",
         program_count + 1},
        {"program 77 never answers", [](update_fixture& f) { f.bus.amp.faults.mute_program = 77; },
         "firmware not sent: backup incomplete: program 77 did not answer 3 requests", 77 + 1},
        {"the folder is a file",
         [](update_fixture& f) {
             test::write_file(f.backups / "file", {1});
             f.services.backup_folder = test::wide(f.backups / "file");
         },
         "firmware not sent: backup not written: the backup folder cannot be made", 1},
        {"no folder", [](update_fixture& f) { f.services.backup_folder.clear(); },
         "firmware not sent: backup not written: no folder for backups", 1},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        update_fixture f(firmware_image_with_version(0x0101));
        f.bus.amp.programs[64] = {1, 2, 3, 4, 2, 1, 1, 1, 1};
        r.setup(f);
        f.cycles(1);
        EXPECT_EQ(latest_outcome(f.state->outcome).latest.text, r.result);
        const bool sent = f.bus.amp.firmware_updates == 1;
        EXPECT_EQ(sent, std::string_view(r.result).starts_with("firmware updated"));
        const auto programs = f.sent_with_code(code_program);
        if (r.requests == 1) {
            EXPECT_EQ(programs.size(), 1u);
        } else {
            EXPECT_GE(programs.size(), r.requests);
        }
        if (!sent) {
            // Held for the run: the link connects and no chunk ever goes out.
            f.cycles(3);
            EXPECT_TRUE(f.sent_with_code(code_chunk).empty());
            EXPECT_EQ(f.state->link_status, link_connected);
            continue;
        }
        const auto chunks = f.sent_with_code(code_chunk);
        ASSERT_FALSE(chunks.empty());
        EXPECT_LT(programs.back().screen.at_ms, chunks.front().screen.at_ms);
        EXPECT_TRUE(std::any_of(f.repaints.begin(), f.repaints.end(), [](const auto& seen) {
            return seen.progress == progress_programs + 50;
        }));
        const auto files = f.backup_files();
        ASSERT_EQ(files.size(), 1u);
        EXPECT_TRUE(files[0].filename().string().ends_with("-firmware-1.0.0.json"));
        const backup_load load = read_backup_file(test::wide(files[0]));
        ASSERT_TRUE(load.backup) << load.error;
        EXPECT_EQ(words_of(load.backup->programs[64], amp_value::channel)[0], 2);
    }
}

TEST(FirmwareUpdate, ImageEndingInVersionBytesGivesThatVersion) {
    bytes image = firmware_image_with_version(0);
    const uint8_t tail[] = {0x34, 0x12, 0x00, 0x00};
    std::copy(std::begin(tail), std::end(tail), image.end() - 4);
    update_fixture f(image);
    f.bus.amp.firmware_version = 0x2000;
    f.cycles(1);
    EXPECT_EQ(f.state->available_firmware_version, 0x1234);
    EXPECT_TRUE(f.sent_with_code(code_chunk).empty());
}

TEST(FirmwareUpdate, FailedDownloadIsTriedAgainOnlyUntilOneSucceeds) {
    update_fixture f(firmware_image_with_version(0x0100, firmware_image_size - 1));
    f.cycles(1);
    EXPECT_EQ(f.fetches, 1);
    front_panel_program_change(f.bus, 0);
    f.cycles(1);
    EXPECT_EQ(f.fetches, 2);
    f.server_body = firmware_image_with_version(0x0100);
    front_panel_program_change(f.bus, 0);
    f.cycles(1);
    front_panel_program_change(f.bus, 0);
    f.cycles(1);
    EXPECT_EQ(f.fetches, 3);
    EXPECT_EQ(f.state->available_firmware_version, 0x0100);
}

TEST(FirmwareUpdate, ClosedOutputSendsNothing) {
    update_fixture f(firmware_image_with_version(0x0101));
    f.link->state->link_status = link_busy;
    std::copy(f.server_body.begin(), f.server_body.end(), f.link->firmware_image.begin());
    transfer_firmware(*f.link); // ports not opened yet
    EXPECT_TRUE(f.sent.empty());
    EXPECT_EQ(f.state->link_status, link_busy);
    EXPECT_EQ(f.link->failure_count, 0);
}

// --- libcurl against a loopback HTTP server ---------------------------------------------------
// Native only: the Windows build fetches through WinINet, which has its own test, and the
// browser edition fetches no firmware.
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)

TEST(CurlFetch, ReportsStatusAndNeverWritesPastTheBuffer) {
    ::setenv("no_proxy", "*", 1);
    const std::string image = test::body_of(firmware_image_size);
    std::vector<test::fetch_case> cases = test::shared_fetch_cases(image);
    const test::fetch_case curl_cases[] = {
        {"long body, announced",
         test::http_response("200 OK", test::body_of(firmware_image_size + 1)),
         fetch_status::too_long, 0},
        {"long body, unannounced",
         test::http_response("200 OK", test::body_of(firmware_image_size + 1), false),
         fetch_status::too_long, SIZE_MAX},
        {"cut off mid-body",
         "HTTP/1.1 200 OK\r\nContent-Length: 131072\r\n\r\n" + test::body_of(1000),
         fetch_status::transport_error, 1000},
    };
    cases.insert(cases.end(), std::begin(curl_cases), std::end(curl_cases));
    test::check_fetch_cases<test::loopback_http_server>(platform_firmware_fetch(), cases, image);
}

TEST(CurlFetch, AsksCachesToStepAsideAndFailsWithoutAServer) {
    ::setenv("no_proxy", "*", 1);
    bytes storage(firmware_image_size);
    std::string closed_url;
    {
        test::loopback_http_server server(test::http_response("200 OK", test::body_of(16)));
        ASSERT_NE(server.port, 0);
        platform_firmware_fetch()(server.url(), storage);
        closed_url = server.url();
        EXPECT_NE(server.request.find("GET /fw/NIMBA.bin?v= HTTP/1.1"), std::string::npos);
        EXPECT_NE(server.request.find("Cache-Control: no-cache"), std::string::npos);
        EXPECT_NE(server.request.find("Pragma: no-cache"), std::string::npos);
    }
    // The server is gone: its port now refuses connections.
    EXPECT_EQ(platform_firmware_fetch()(closed_url, storage).status, fetch_status::transport_error);
}

#endif // !_WIN32 && !__EMSCRIPTEN__

} // namespace
} // namespace nimba
