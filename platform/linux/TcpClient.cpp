#include "platform/TcpClient.h"

#include <cerrno>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

TcpClient::~TcpClient() { close(); }

TcpClient::Result TcpClient::connect(const std::string& host, int port) {
    close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) != 0 || !list)
        return Result::resolveFailed;
    Result result = Result::socketFailed;
    for (addrinfo* a = list; a; a = a->ai_next) {
        int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
            fd_ = fd;
            result = Result::ok;
            break;
        }
        result = Result::connectFailed;
        ::close(fd);
    }
    ::freeaddrinfo(list);
    return result;
}

bool TcpClient::send(const std::string& bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0 && fd_ >= 0) {
        ssize_t n = ::send(fd_, p, left, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            close();
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return fd_ >= 0;
}

void TcpClient::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace platform
