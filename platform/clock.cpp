#include "platform/clock.h"

#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

namespace clk {

namespace {

std::string padded(int value, int width) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (static_cast<int>(digits.size()) < width) digits.insert(0, width - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

struct Field {
    const char* token;
    int width;
    int LocalTime::*value;
};

const Field Fields[] = {
    {"%yyyy", 4, &LocalTime::year}, {"%mm", 2, &LocalTime::month},  {"%dd", 2, &LocalTime::day},
    {"%hh", 2, &LocalTime::hour},   {"%ii", 2, &LocalTime::minute}, {"%ss", 2, &LocalTime::second},
};

} // namespace

LocalTime localNow() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &now);
#else
    localtime_r(&now, &tm);
#endif
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    return t;
}

std::string formatDate(const std::string& mask, const LocalTime& time) {
    std::string out;
    size_t i = 0;
    while (i < mask.size()) {
        const Field* match = nullptr;
        for (const Field& f : Fields)
            if (mask.compare(i, std::strlen(f.token), f.token) == 0) match = &f;
        if (match) {
            out += padded(time.*(match->value), match->width);
            i += std::strlen(match->token);
        } else {
            out += mask[i++];
        }
    }
    return out;
}

std::string formatNow(const std::string& mask) {
    return formatDate(mask, localNow());
}

uint64_t monotonicMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void sleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace clk
