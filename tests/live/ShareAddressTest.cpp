#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "live/ShareAddress.h"
#include "platform/NetworkAddress.h"

namespace {

TEST(ShareAddress, ReadsTheOptionValue) {
    const struct {
        const char* value;
        std::optional<std::pair<std::string, int>> expected;
    } cases[] = {
        {"", std::pair<std::string, int>{"0.0.0.0", 8080}},
        {"8081", std::pair<std::string, int>{"0.0.0.0", 8081}},
        {"127.0.0.1:9000", std::pair<std::string, int>{"127.0.0.1", 9000}},
        {"schule-pc7:0", std::pair<std::string, int>{"schule-pc7", 0}},
        {"65536", std::nullopt},
        {"-1", std::nullopt},
        {"80x", std::nullopt},
        {"127.0.0.1:", std::nullopt},
        {":8080", std::nullopt},
        {"127.0.0.1", std::nullopt},
        {"a/b:8080", std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<ShareAddress> got = ShareAddress::parse(c.value);
        const bool same = got.has_value() == c.expected.has_value() &&
                          (!got || (got->host == c.expected->first && got->port == c.expected->second));
        if (!same) {
            ADD_FAILURE() << "'" << c.value << "'";
        }
    }
}

TEST(ShareAddress, ShowsTheNetworkAddressWhenListeningOnAll) {
    ShareAddress all;
    ShareAddress loopback{"127.0.0.1", 0};
    if (true) {
        EXPECT_EQ(all.url(8080, "192.168.1.23"), "http://192.168.1.23:8080/");
        EXPECT_EQ(all.url(8080, ""), "http://127.0.0.1:8080/");
        EXPECT_EQ(loopback.url(41234, "192.168.1.23"), "http://127.0.0.1:41234/");
    }
    const std::string lan = platform::localNetworkAddress();
    if (!lan.empty()) {
        EXPECT_NE(lan.rfind("127.", 0), 0u) << lan;
    }
}

}  // namespace
