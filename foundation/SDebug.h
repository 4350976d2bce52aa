// The developers' trace channel: lines over TCP to a local viewer (localhost:5001).
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/SString.h"

namespace platform {
class TcpClient;
}

// Off unless the program runs with "--debug" or NUK_DEBUG=1; "--debug=stderr" (or
// NUK_DEBUG=stderr) also copies every line to standard error. It connects at the first line and
// after one failed attempt stays silent for the rest of the run.
class SDebug : public SObject {
public:
    S_CLASSNAME(SDebug)

    enum State { notTried = 0, connected = 1, failed = 2 };
    static constexpr int bufferSize = 5000;

    SDebug();
    ~SDebug() override;

    void print(const SString& line);
    void printf(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

    bool isOn() const { return !off_; }
    void setOn(bool on) { off_ = !on; }
    void setEcho(bool toStderr) { echo_ = toStderr; }
    // Reads the switches from the environment and the command line.
    void configure(const std::vector<std::string>& arguments, const char* envValue);
    void setTarget(const SString& host, int port);
    State getState() const { return state_; }
    const SString& getError() const { return error_; }

private:
    void send(const SString& line);

    SString host_ = SString(std::string("localhost"));
    int port_ = 5001;
    bool off_ = true;
    bool echo_ = false;
    State state_ = notTried;
    // Worker threads (the bootloader burn) print too: one line at a time goes out.
    std::mutex sendMutex_;
    SString error_;
    std::unique_ptr<platform::TcpClient> client_;
};

SDebug& globalDebug();
