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
    if (local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0) {
        char text[48];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                      local.tm_mday);
        return text;
    }
    return LocalTimestampText(when);
}

std::string LocalTimestampText(std::chrono::system_clock::time_point when) {
    const std::tm local = LocalTime(when);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::string UtcTimestampText(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

namespace {

std::chrono::sys_days CalendarDay(const std::tm& local) {
    using namespace std::chrono;
    return sys_days{year{local.tm_year + 1900} / month{static_cast<unsigned>(local.tm_mon + 1)} /
                    day{static_cast<unsigned>(local.tm_mday)}};
}

}  // namespace

std::string ReadableDateText(std::chrono::system_clock::time_point when,
                             std::chrono::system_clock::time_point now) {
    const std::tm local = LocalTime(when);
    const std::tm today = LocalTime(now);
    char text[48];
    const auto day = CalendarDay(local);
    if (when <= now &&
        (day == CalendarDay(today) || day == CalendarDay(today) - std::chrono::days{1})) {
        std::snprintf(text, sizeof text, "%s %02d:%02d",
                      day == CalendarDay(today) ? "today" : "yesterday", local.tm_hour,
                      local.tm_min);
    } else if (when <= now && local.tm_year == today.tm_year) {
        std::snprintf(text, sizeof text, "%d %s", local.tm_mday, kMonths[local.tm_mon]);
    } else {
        std::snprintf(text, sizeof text, "%d %s %d", local.tm_mday, kMonths[local.tm_mon],
                      local.tm_year + 1900);
    }
    return text;
}

}  // namespace quorvane::responses
