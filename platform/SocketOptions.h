// Settings of a network socket the program serves on.
#pragma once

namespace platform {

// How much unsent data the kernel keeps for the socket at most (SO_SNDBUF). False when the
// system refuses.
bool setSendBufferSize(int socket, int bytes);
// Writing to a connection the peer has closed gives an error instead of ending the process
// (SIGPIPE ignored process-wide).
void ignoreBrokenPipes();

}  // namespace platform
