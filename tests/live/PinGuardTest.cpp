#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "live/PinGuard.h"

namespace {

using Verdict = PinGuard::Verdict;
using namespace std::chrono_literals;

// A clock the test moves by hand.
struct FakeClock {
    PinGuard::Clock::time_point now{std::chrono::hours(1)};
    PinGuard::Now function() {
        return [this] { return now; };
    }
};

struct Step {
    const char* pin;  // nullptr: no PIN given
    std::chrono::seconds after;  // the clock moves this far before the request
    Verdict expected;
};

struct PinCase {
    const char* name;
    std::vector<Step> steps;
};

void PrintTo(const PinCase& c, std::ostream* os) {
    *os << c.name;
}

class PinRules : public ::testing::TestWithParam<PinCase> {};

TEST_P(PinRules, FollowsTheSequence) {
    FakeClock clock;
    PinGuard guard("123456", clock.function());
    int index = 0;
    for (const Step& step : GetParam().steps) {
        clock.now += step.after;
        std::string pin = step.pin ? step.pin : "";
        const Verdict verdict = guard.check("192.168.1.20", step.pin ? &pin : nullptr);
        if (verdict != step.expected) {
            ADD_FAILURE() << "step " << index << " (pin " << (step.pin ? step.pin : "none") << "): got "
                          << static_cast<int>(verdict) << ", expected " << static_cast<int>(step.expected);
        }
        ++index;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PinRules,
    ::testing::Values(
        PinCase{"right", {{"123456", 0s, Verdict::accepted}}},
        PinCase{"none", {{nullptr, 0s, Verdict::missing}}},
        PinCase{"wrong", {{"654321", 0s, Verdict::wrong}}},
        PinCase{"prefix and padded are wrong",
                {{"12345", 0s, Verdict::wrong}, {"1234567", 0s, Verdict::wrong}, {" 123456", 0s, Verdict::wrong},
                 {"", 0s, Verdict::wrong}}},
        // Missing PINs are no guesses: they never lock the address.
        PinCase{"missing never locks",
                {{nullptr, 0s, Verdict::missing}, {nullptr, 0s, Verdict::missing}, {nullptr, 0s, Verdict::missing},
                 {nullptr, 0s, Verdict::missing}, {nullptr, 0s, Verdict::missing}, {nullptr, 0s, Verdict::missing},
                 {"123456", 0s, Verdict::accepted}}},
        PinCase{"five wrong lock, also against the right PIN",
                {{"1", 0s, Verdict::wrong}, {"2", 0s, Verdict::wrong}, {"3", 0s, Verdict::wrong},
                 {"4", 0s, Verdict::wrong}, {"5", 0s, Verdict::wrong}, {"123456", 0s, Verdict::locked},
                 {nullptr, 1s, Verdict::locked}, {"123456", 58s, Verdict::locked}}},
        PinCase{"the lock ends after 60 s and the count starts afresh",
                {{"1", 0s, Verdict::wrong}, {"2", 0s, Verdict::wrong}, {"3", 0s, Verdict::wrong},
                 {"4", 0s, Verdict::wrong}, {"5", 0s, Verdict::wrong}, {"123456", 60s, Verdict::accepted},
                 {"1", 0s, Verdict::wrong}, {"2", 0s, Verdict::wrong}, {"3", 0s, Verdict::wrong},
                 {"4", 0s, Verdict::wrong}, {"123456", 0s, Verdict::accepted}}},
        PinCase{"a right PIN clears the count",
                {{"1", 0s, Verdict::wrong}, {"2", 0s, Verdict::wrong}, {"3", 0s, Verdict::wrong},
                 {"4", 0s, Verdict::wrong}, {"123456", 0s, Verdict::accepted}, {"1", 0s, Verdict::wrong},
                 {"2", 0s, Verdict::wrong}, {"3", 0s, Verdict::wrong}, {"4", 0s, Verdict::wrong},
                 {"123456", 0s, Verdict::accepted}}}),
    [](const ::testing::TestParamInfo<PinCase>& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST(PinGuard, LocksOnlyTheGuessingAddress) {
    FakeClock clock;
    PinGuard guard("123456", clock.function());
    const std::string wrong = "000000";
    const std::string right = "123456";
    for (int i = 0; i < PinGuard::maxWrong; ++i) guard.check("10.0.0.66", &wrong);
    if (true) {
        EXPECT_EQ(guard.check("10.0.0.66", &right), Verdict::locked);
        EXPECT_EQ(guard.check("10.0.0.7", &right), Verdict::accepted);
        EXPECT_EQ(guard.secondsLocked("10.0.0.66"), 60);
        EXPECT_EQ(guard.secondsLocked("10.0.0.7"), 0);
    }
}

TEST(PinGuard, ManyAddressesKeepRunningLocks) {
    // A flood of guessing addresses cannot make the guard forget a lock that still runs.
    FakeClock clock;
    PinGuard guard("123456", clock.function());
    const std::string wrong = "000000";
    const std::string right = "123456";
    for (int i = 0; i < PinGuard::maxWrong; ++i) guard.check("10.0.0.66", &wrong);
    for (std::size_t a = 0; a < PinGuard::maxAddresses + 10; ++a) guard.check("172.16.0." + std::to_string(a), &wrong);
    EXPECT_EQ(guard.check("10.0.0.66", &right), Verdict::locked);
}

TEST(PinGuard, MakesSixDigitPins) {
    for (int i = 0; i < 50; ++i) {
        const std::string pin = PinGuard::makePin();
        if (pin.size() != 6 || pin.find_first_not_of("0123456789") != std::string::npos) {
            ADD_FAILURE() << pin;
        }
    }
}

}  // namespace
