// The WinINet firmware fetch against a loopback HTTP server: status read before the body,
// bodies taken only into the buffer, the cache bypassed.
// The server's Winsock headers come before anything that may bring in <windows.h>.
#include "tests/device/loopback_http_server.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/state.h"
#include "device/firmware_fetch.h"
#include "tests/device/fetch_cases.h"

namespace nimba {
namespace {

using bytes = std::vector<uint8_t>;

TEST(WininetFetch, ReportsStatusAndNeverWritesPastTheBuffer) {
    const std::string image = test::body_of(firmware_image_size);
    std::vector<test::fetch_case> cases = test::shared_fetch_cases(image);
    cases.push_back({"long body",
                     test::http_response("200 OK", test::body_of(firmware_image_size + 1)),
                     fetch_status::too_long, firmware_image_size});
    test::check_fetch_cases<test::loopback_http_server>(platform_firmware_fetch(), cases, image);
}

// One URL answers twice with bodies it allows to be cached for an hour: a fetch served from
// the URL cache would bring back the first body the second time.
TEST(WininetFetch, FetchesAgainRatherThanFromTheCache) {
    bytes buffer(firmware_image_size);
    const std::string first = test::body_of(firmware_image_size);
    const std::string second = first.substr(1).insert(0, 1, char{0x55});
    std::vector<std::string> responses;
    for (const std::string* body : {&first, &second}) {
        std::string response = test::http_response("200 OK", *body);
        responses.push_back(
            response.insert(response.find("\r\n") + 2, "Cache-Control: public, max-age=3600\r\n"));
    }
    test::loopback_http_server server(std::move(responses));
    ASSERT_NE(server.port, 0);
    for (const std::string* body : {&first, &second}) {
        const fetch_result result = platform_firmware_fetch()(server.url(), buffer);
        EXPECT_EQ(result.status, fetch_status::ok);
        EXPECT_EQ(buffer[0], static_cast<uint8_t>((*body)[0]));
    }
    // Nor may a proxy's cache answer for the server.
    EXPECT_NE(server.request.find("Pragma: no-cache"), std::string::npos) << server.request;
}

} // namespace
} // namespace nimba
