// A bare TCP client for the live server's tests: it sends exactly the bytes a test gives, so
// broken and oversized requests reach the server as they are, and reads what comes back.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>

class LoopbackClient {
public:
    explicit LoopbackClient(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~LoopbackClient() { close(); }
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;

    bool isConnected() const { return connected_; }

    bool send(const std::string& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Reads until done(received) holds, the peer closes, or the time is up. True when done held.
    bool readUntil(const std::function<bool(const std::string&)>& done, int ms = 10000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done(received_)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char buffer[65536];
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) {
                closedByPeer_ = true;
                return done(received_);
            }
            received_.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }
    // Reads until the server closes the connection.
    bool readToEnd(int ms = 10000) {
        readUntil([this](const std::string&) { return closedByPeer_; }, ms);
        return closedByPeer_;
    }

    // One request, the whole answer (the request asks the server to close afterwards).
    static std::string exchange(int port, const std::string& request) {
        LoopbackClient client(port);
        client.send(request);
        client.readToEnd();
        return client.received();
    }
    // The status code of an answer ("HTTP/1.1 404 Not Found" -> 404), 0 without one.
    static int status(const std::string& answer) {
        if (answer.compare(0, 9, "HTTP/1.1 ") != 0 || answer.size() < 12) return 0;
        return std::stoi(answer.substr(9, 3));
    }

    const std::string& received() const { return received_; }
    bool closedByPeer() const { return closedByPeer_; }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    bool connected_ = false;
    bool closedByPeer_ = false;
    std::string received_;
};
