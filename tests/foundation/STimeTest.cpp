#include "foundation/STime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

TEST(STimeTest, GermanDateAndTimeInLocalTime) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "UTC", 1);
    tzset();
    struct Case {
        int64_t seconds;
        const char* date;
        const char* time;
    } cases[] = {
        {0, "01.01.1970", "00:00:00"},
        {1303220297, "19.04.2011", "13:38:17"},
        {2147483648LL, "19.01.2038", "03:14:08"},  // one second past the 32-bit range
        {4102444799LL, "31.12.2099", "23:59:59"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(STime(c.seconds).formatDate().str(), c.date) << c.seconds;
        EXPECT_EQ(STime(c.seconds).formatTime().str(), c.time) << c.seconds;
    }
    EXPECT_EQ(STime(1303220297).format("Messung %Y-%m-%d %H_%M_%S").str(), "Messung 2011-04-19 13_38_17");
    EXPECT_NEAR(static_cast<double>(STime::now().getSeconds()), static_cast<double>(std::time(nullptr)), 2.0);
    if (old) setenv("TZ", saved.c_str(), 1);
    else unsetenv("TZ");
    tzset();
}

}  // namespace
