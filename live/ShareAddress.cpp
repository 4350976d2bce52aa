#include "live/ShareAddress.h"

#include <charconv>

std::optional<ShareAddress> ShareAddress::parse(const std::string& value) {
    ShareAddress address;
    if (value.empty()) return address;
    const std::size_t colon = value.rfind(':');
    const std::string portText = colon == std::string::npos ? value : value.substr(colon + 1);
    if (colon != std::string::npos) {
        address.host = value.substr(0, colon);
        // A host name or an IPv4 address: letters, digits, dots and dashes.
        if (address.host.empty() || address.host.find_first_not_of("abcdefghijklmnopqrstuvwxyz"
                                                                   "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") !=
                                        std::string::npos)
            return std::nullopt;
    }
    int port = -1;
    const auto result = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (portText.empty() || result.ec != std::errc() || result.ptr != portText.data() + portText.size() || port < 0 ||
        port > 65535)
        return std::nullopt;
    address.port = port;
    return address;
}

std::string ShareAddress::url(int boundPort, const std::string& lanAddress) const {
    std::string shown = host;
    if (host == anyHost) shown = lanAddress.empty() ? "127.0.0.1" : lanAddress;
    return "http://" + shown + ":" + std::to_string(boundPort) + "/";
}
