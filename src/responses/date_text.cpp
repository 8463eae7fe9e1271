#include "responses/date_text.h"

#include <array>
#include <cstdio>
#include <ctime>

namespace quorvane::responses {

namespace {

constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::tm LocalTime(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

}  // namespace

std::string ExpiryDateText(std::chrono::sys_seconds when) {
    using namespace std::chrono;
    const auto seconds = when;
    const auto day = floor<days>(seconds);
    const year_month_day date{day};
    const weekday dayOfWeek{day};
    const hh_mm_ss time{seconds - day};
    char text[64];
    std::snprintf(
        text, sizeof text, "%s, %u %s %04d %02ld:%02ld:%02ld GMT", kDays[dayOfWeek.c_encoding()],
        static_cast<unsigned>(date.day()), kMonths[static_cast<unsigned>(date.month()) - 1],
        static_cast<int>(date.year()), static_cast<long>(time.hours().count()),
        static_cast<long>(time.minutes().count()), static_cast<long>(time.seconds().count()));
    return text;
}

std::string AccessLogDateText(std::chrono::system_clock::time_point when) {
    const std::tm local = LocalTime(when);
    char text[48];
    std::snprintf(text, sizeof text, "%02d/%s/%04d:%02d:%02d:%02d", local.tm_mday,
                  kMonths[local.tm_mon], local.tm_year + 1900, local.tm_hour, local.tm_min,
                  local.tm_sec);
    return text;
}

std::string LocalDateTimeText(std::chrono::system_clock::time_point when) {
    const std::tm local = LocalTime(when);
    char text[48];
    if (local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0) {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                      local.tm_mday);
    } else {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    }
    return text;
}

}  // namespace quorvane::responses
