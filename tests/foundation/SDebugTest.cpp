#include "foundation/SDebug.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

const std::string warning =
    "!!!!!!!! debug.printf(): Ergebnis-String wurde gr\xF6\xDF" "er als 5000 Zeichen -> wurden abgeschnitten !!!!!!!!!!";

// A TCP listener on 127.0.0.1 with an ephemeral port; it takes one connection and collects
// everything sent until the peer closes (or two seconds pass without data).
class Listener {
public:
    Listener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd_, 1) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        port_ = ntohs(a.sin_port);
        reader_ = std::thread([this] { collect(); });
    }
    ~Listener() {
        if (reader_.joinable()) reader_.join();
        if (fd_ >= 0) ::close(fd_);
    }
    int port() const { return port_; }
    // Waits until the peer has closed and returns what arrived.
    std::string received() {
        if (reader_.joinable()) reader_.join();
        return data_;
    }

private:
    void collect() {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) return;
        int c = ::accept(fd_, nullptr, nullptr);
        if (c < 0) return;
        char buf[4096];
        pollfd q{c, POLLIN, 0};
        while (::poll(&q, 1, 2000) > 0) {
            ssize_t n = ::read(c, buf, sizeof buf);
            if (n <= 0) break;
            data_.append(buf, static_cast<std::size_t>(n));
        }
        ::close(c);
    }

    int fd_ = -1;
    int port_ = 0;
    std::thread reader_;
    std::string data_;
};

// A port on 127.0.0.1 where nobody listens.
int closedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

TEST(SDebugTest, OffUnlessSwitchedOn) {
    if (std::getenv("NUK_DEBUG")) GTEST_SKIP() << "NUK_DEBUG is set";
    SDebug debug;
    EXPECT_FALSE(debug.isOn());
    debug.setTarget(SString(std::string("127.0.0.1")), closedPort());
    debug.print(SString(std::string("nichts")));
    debug.printf("%d", 1);
    EXPECT_EQ(debug.getState(), SDebug::notTried) << "an off channel never connects";

    struct Case {
        std::vector<std::string> args;
        const char* env;
        bool on;
    } cases[] = {
        {{"prog"}, nullptr, false},          {{"prog", "--debug"}, nullptr, true},
        {{"prog", "--debug=stderr"}, nullptr, true}, {{"--debug"}, nullptr, false},  // the program path is no switch
        {{"prog", "--debugger"}, nullptr, false},    {{"prog"}, "1", true},
        {{"prog"}, "stderr", true},          {{"prog"}, "0", false},
    };
    for (const Case& c : cases) {
        SDebug d;
        d.setOn(false);
        d.configure(c.args, c.env);
        EXPECT_EQ(d.isOn(), c.on) << (c.args.size() > 1 ? c.args[1] : c.args[0]) << " / " << (c.env ? c.env : "-");
    }
}

TEST(SDebugTest, LinesAndTruncatedPrintf) {
    Listener listener;
    ASSERT_GT(listener.port(), 0);
    {
        SDebug debug;
        debug.setOn(true);
        debug.setTarget(SString(std::string("127.0.0.1")), listener.port());
        debug.print(SString(std::string("SAvrBoard::connectData(..)")));
        EXPECT_EQ(debug.getState(), SDebug::connected);
        debug.printf("Wert=%d %.1f", 42, 2.5);
        debug.printf("%s", std::string(4999, 'a').c_str());  // fits
        debug.printf("%s", std::string(5000, 'b').c_str());  // one too many
        debug.printf("%s%s", std::string(6000, 'c').c_str(), "tail");
    }
    std::string expected = "SAvrBoard::connectData(..)\r\nWert=42 2.5\r\n" + std::string(4999, 'a') + "\r\n" +
                           std::string(4999, 'b') + "\r\n" + warning + "\r\n" + std::string(4999, 'c') + "\r\n" +
                           warning + "\r\n";
    EXPECT_EQ(listener.received(), expected);
}

TEST(SDebugTest, FailedConnectionStaysSilent) {
    SDebug debug;
    debug.setOn(true);
    debug.setTarget(SString(std::string("127.0.0.1")), closedPort());
    debug.print(SString(std::string("eins")));
    EXPECT_EQ(debug.getState(), SDebug::failed);
    EXPECT_EQ(debug.getError().str(), "Fehler beim Verbinden.\r\n");
    // No second attempt.
    debug.print(SString(std::string("zwei")));
    debug.printf("%s", "drei");
    EXPECT_EQ(debug.getError().str(), "Fehler beim Verbinden.\r\n");

    // A name that cannot be resolved (the empty name needs no name server).
    SDebug unnamed;
    unnamed.setOn(true);
    unnamed.setTarget(SString(), 5001);
    unnamed.print(SString(std::string("x")));
    EXPECT_EQ(unnamed.getState(), SDebug::failed);
    EXPECT_EQ(unnamed.getError().str(), "Kann Server-Name/Adresse '' nicht aufl\xF6sen.\r\n");
}

}  // namespace
