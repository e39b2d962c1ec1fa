#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cctype>

namespace {

TEST(DateMask, Formats) {
    const clk::LocalTime morning{2016, 1, 5, 8, 7, 3};
    const clk::LocalTime evening{2016, 10, 21, 23, 59, 58};
    const clk::LocalTime early{999, 12, 31, 0, 0, 0};
    struct Case {
        const char* mask;
        clk::LocalTime time;
        const char* expected;
    };
    const Case cases[] = {
        {"%yyyy/%mm/%dd %hh:%ii:%ss", morning, "2016/01/05 08:07:03"},
        {"%yyyy/%mm/%dd %hh:%ii:%ss", evening, "2016/10/21 23:59:58"},
        {"%yyyy/%mm/%dd %hh:%ii", morning, "2016/01/05 08:07"},
        {"%yyyy%mm%dd_%hh%ii%ss", morning, "20160105_080703"},
        {"%yyyy%mm%dd_%hh%ii%ss", early, "09991231_000000"},
        // Anything that is not a whole field is copied as it stands.
        {"%yy %m %i 100% %", morning, "%yy %m %i 100% %"},
        {"%%yyyy%", morning, "%2016%"},
        {"", morning, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(clk::formatDate(c.mask, c.time), c.expected) << c.mask;
}

TEST(DateMask, NowIsAPlausibleLocalDate) {
    const std::string now = clk::formatNow("%yyyy/%mm/%dd %hh:%ii:%ss");
    ASSERT_EQ(now.size(), 19u);
    const clk::LocalTime t = clk::localNow();
    EXPECT_GE(t.year, 2020);
    EXPECT_TRUE(t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31);
    EXPECT_TRUE(t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59);
}

TEST(Clock, SleepAdvancesTheMonotonicClock) {
    const uint64_t before = clk::monotonicMs();
    clk::sleepMs(20);
    EXPECT_GE(clk::monotonicMs() - before, 20u);
    clk::sleepMs(0);
    clk::sleepMs(-5); // no wait, no fault
}

} // namespace
