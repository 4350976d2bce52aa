// Who may control the measurement from the network: whoever knows the six-digit PIN the
// program shows on its screen. Wrong guesses from one address lock that address out for a while.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>

class PinGuard {
public:
    using Clock = std::chrono::steady_clock;
    // The time source; tests pass their own so a lockout can end without waiting.
    using Now = std::function<Clock::time_point()>;

    enum class Verdict {
        accepted,  // the PIN is right
        missing,   // no PIN given: refused, but it is no guess
        wrong,     // a wrong PIN: refused and counted against the address
        locked,    // the address made too many wrong guesses and waits
    };

    // Wrong PINs in a row from one address before it is locked out.
    static constexpr int maxWrong = 5;
    static constexpr std::chrono::seconds lockout{60};
    // Addresses remembered at most; the oldest harmless entries go first.
    static constexpr std::size_t maxAddresses = 4096;

    explicit PinGuard(std::string pin, Now now = [] { return Clock::now(); });

    // A fresh PIN: six decimal digits from the system's random source.
    static std::string makePin();

    // Checks a control request's PIN from that address. A right PIN clears the address's count;
    // the fifth wrong one in a row locks the address for 60 s, during which every request from
    // it is refused, a right PIN too. Thread-safe.
    Verdict check(const std::string& address, const std::string* pin);

    // Seconds until the address may try again (0 when it is not locked).
    int secondsLocked(const std::string& address);

    const std::string& getPin() const { return pin_; }

private:
    struct Record {
        int wrong = 0;
        Clock::time_point lockedUntil{};
    };
    // Drops records that hold nothing any more, and when still too many, the oldest locks.
    void prune(Clock::time_point now);

    const std::string pin_;
    Now now_;
    std::mutex mutex_;
    std::map<std::string, Record> records_;
};
