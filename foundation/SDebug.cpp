#include "foundation/SDebug.h"

#include <cstdio>
#include <cstdlib>
#include <locale.h>

#include "platform/Paths.h"
#include "platform/TcpClient.h"

SDebug& globalDebug() {
    static SDebug debug;
    return debug;
}

SDebug::SDebug() : client_(std::make_unique<platform::TcpClient>()) {
    configure(platform::commandLineArguments(), std::getenv("NUK_DEBUG"));
}

SDebug::~SDebug() = default;

void SDebug::configure(const std::vector<std::string>& arguments, const char* envValue) {
    std::string env = envValue ? envValue : "";
    if (env == "1" || env == "on") setOn(true);
    if (env == "stderr") {
        setOn(true);
        echo_ = true;
    }
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--debug") setOn(true);
        if (arguments[i] == "--debug=stderr") {
            setOn(true);
            echo_ = true;
        }
    }
}

void SDebug::setTarget(const SString& host, int port) {
    host_ = host;
    port_ = port;
    client_->close();
    state_ = notTried;
}

void SDebug::send(const SString& line) {
    std::lock_guard lock(sendMutex_);
    if (echo_) std::fprintf(stderr, "%s\n", line.c_str());
    if (state_ == notTried) {
        switch (client_->connect(host_.str(), port_)) {
            case platform::TcpClient::Result::ok: state_ = connected; break;
            case platform::TcpClient::Result::resolveFailed:
                error_ += SString(std::string("Kann Server-Name/Adresse '")) + host_ +
                          SString(std::string("' nicht aufl\xF6sen.\r\n"));
                state_ = failed;
                break;
            case platform::TcpClient::Result::socketFailed:
                error_ += "socket(..) schlug fehl.\r\n";
                state_ = failed;
                break;
            case platform::TcpClient::Result::connectFailed:
                error_ += "Fehler beim Verbinden.\r\n";
                state_ = failed;
                break;
        }
    }
    if (state_ == connected && !client_->send(line.str() + "\r\n")) state_ = failed;
}

void SDebug::print(const SString& line) {
    if (off_) return;
    send(line);
}

void SDebug::printf(const char* fmt, ...) {
    if (off_) return;
    char buffer[bufferSize];
    va_list args;
    va_start(args, fmt);
    // The same number format as SString, whatever locale the GUI set.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    locale_t previous = uselocale(cLocale);
    int needed = std::vsnprintf(buffer, sizeof buffer, fmt, args);
    uselocale(previous);
    va_end(args);
    if (needed < 0) buffer[0] = 0;
    send(SString(std::string(buffer)));
    if (needed >= bufferSize)
        send(SString(std::string("!!!!!!!! debug.printf(): Ergebnis-String wurde gr\xF6\xDF" "er als 5000 Zeichen -> wurden abgeschnitten !!!!!!!!!!")));
}
