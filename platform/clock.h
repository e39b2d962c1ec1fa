// The local date in the program's masks, a monotonic millisecond clock and a
// sleep. Portable.
#pragma once

#include <cstdint>
#include <string>

namespace clk {

// Broken-down local time: year in full (2016), month 1..12, day 1..31,
// hour 0..23, minute and second 0..59.
struct LocalTime {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

LocalTime localNow();

// Mask fields: "%yyyy" four-digit year, "%mm" month, "%dd" day, "%hh" hour,
// "%ii" minute, "%ss" second, each zero-padded to its width. Every other
// character (a lone "%" too) is copied. Values wider than their field are
// written in full.
std::string formatDate(const std::string& mask, const LocalTime& time);
std::string formatNow(const std::string& mask);

// Milliseconds since some fixed moment; never goes back.
uint64_t monotonicMs();
void sleepMs(int ms);

} // namespace clk
