// The computer's address in the local network.
#pragma once

#include <string>

namespace platform {

// The first IPv4 address of a network interface that is up and not the loopback, in dotted
// form ("192.168.1.23"); empty when there is none.
std::string localNetworkAddress();

}  // namespace platform
