#include "platform/SocketOptions.h"

#include <sys/socket.h>

#include <csignal>

namespace platform {

bool setSendBufferSize(int socket, int bytes) {
    return ::setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes) == 0;
}

void ignoreBrokenPipes() {
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace platform
