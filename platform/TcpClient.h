// A blocking TCP client connection.
#pragma once
#include <string>

namespace platform {

class TcpClient {
public:
    enum class Result { ok, resolveFailed, socketFailed, connectFailed };
    TcpClient() = default;
    ~TcpClient();
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    Result connect(const std::string& host, int port);
    // Sends all bytes; false when the connection is gone.
    bool send(const std::string& bytes);
    void close();
    bool isConnected() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace platform
