// Where the live view listens and which address the program shows for it.
#pragma once

#include <optional>
#include <string>

struct ShareAddress {
    static constexpr int defaultPort = 8080;
    static constexpr const char* anyHost = "0.0.0.0";

    // What the listening socket binds to; "0.0.0.0" is every IPv4 address of the computer.
    std::string host = anyHost;
    // 0 takes a free port.
    int port = defaultPort;

    // The value of "--share=[ADDRESS:]PORT": "8081", "127.0.0.1:8081", "192.168.1.5:0". An empty
    // value is the default (every address, port 8080). Nothing when it is no such value.
    static std::optional<ShareAddress> parse(const std::string& value);

    // The address to open in a browser: "http://<host>:<port>/". When listening on every
    // address the host is lanAddress (the computer's address in the school network), or the
    // loopback address when it has none.
    std::string url(int boundPort, const std::string& lanAddress) const;
};
