#include "platform/RequestHeadGuard.h"

#include <dlfcn.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <thread>
#include <vector>

namespace {

thread_local int acceptedSocket = -1;

// The library accepts its connections with accept(2) (cpp-httplib 0.11) or accept4(2) (0.18, for
// close-on-exec) and gives its task queue only a closure around the socket; these definitions
// stand before the C library's, note the socket for takeAcceptedSocket on the accepting thread,
// and otherwise do exactly what the C library does.
template <typename Call, typename... Args>
int noteAccepted(const char* name, Args... args) {
    static const Call next = reinterpret_cast<Call>(dlsym(RTLD_NEXT, name));
    if (!next) {
        errno = ENOSYS;
        return -1;
    }
    const int socket = next(args...);
    acceptedSocket = socket;
    return socket;
}

}  // namespace

extern "C" int accept(int fd, struct sockaddr* address, socklen_t* length) {
    return noteAccepted<int (*)(int, struct sockaddr*, socklen_t*)>("accept", fd, address, length);
}

extern "C" int accept4(int fd, struct sockaddr* address, socklen_t* length, int flags) {
    return noteAccepted<int (*)(int, struct sockaddr*, socklen_t*, int)>("accept4", fd, address, length, flags);
}

namespace requesthead {

int takeAcceptedSocket() {
    const int socket = acceptedSocket;
    acceptedSocket = -1;
    return socket;
}

bool admit(int socket, std::size_t maxBytes, std::chrono::milliseconds wait) {
    if (socket < 0) return true;
    std::vector<char> head(maxBytes);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    ssize_t seen = -1;
    for (;;) {
        const ssize_t n = ::recv(socket, head.data(), head.size(), MSG_PEEK | MSG_DONTWAIT);
        if (n == 0) return true;  // closed: the library sees that itself
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return true;
        if (n > 0 && std::string_view(head.data(), static_cast<std::size_t>(n)).find("\r\n\r\n") != std::string_view::npos)
            return true;
        if (n >= static_cast<ssize_t>(maxBytes)) break;
        if (std::chrono::steady_clock::now() >= deadline) return true;
        if (n == seen || n < 0) {
            // Nothing new: wait for more bytes (poll would answer at once while any are waiting).
            if (n < 0) {
                pollfd p{socket, POLLIN, 0};
                ::poll(&p, 1, 20);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        seen = n;
    }
    static const char refusal[] =
        "HTTP/1.1 431 Request Header Fields Too Large\r\nContent-Type: application/json\r\n"
        "Content-Length: 35\r\nConnection: close\r\n\r\n{\"error\":\"request head too large\"}\n";
    ::send(socket, refusal, sizeof refusal - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    ::shutdown(socket, SHUT_WR);
    // The rest of what the client sends is read and dropped for a moment, so that closing does
    // not reset the connection before the client has read the answer.
    char sink[16384];
    const auto drainUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < drainUntil) {
        pollfd p{socket, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        if (::recv(socket, sink, sizeof sink, 0) <= 0) break;
    }
    ::shutdown(socket, SHUT_RDWR);
    return false;
}

}  // namespace requesthead
