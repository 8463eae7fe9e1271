#include "http/http_date.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "config/text.h"

namespace quorvane::http {

namespace {

using namespace std::chrono;

constexpr std::array<std::string_view, 7> kDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 7> kLongDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                       "Thursday", "Friday", "Saturday"};
constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Reads the text piece by piece; every step fails once one has failed, so a
// form is checked by one chain and one final test.
class Scanner {
  public:
    explicit Scanner(std::string_view text) : rest_(text) {}

    bool Literal(std::string_view expected) {
        if (ok_ && rest_.substr(0, expected.size()) == expected) {
            rest_.remove_prefix(expected.size());
        } else {
            ok_ = false;
        }
        return ok_;
    }

    // Exactly `count` digits.
    int Digits(size_t count) {
        int value = 0;
        for (size_t i = 0; ok_ && i < count; ++i) {
            if (rest_.empty() || rest_.front() < '0' || rest_.front() > '9') {
                ok_ = false;
                break;
            }
            value = value * 10 + (rest_.front() - '0');
            rest_.remove_prefix(1);
        }
        return value;
    }

    // The index of the name the text continues with.
    template <size_t N>
    int Name(const std::array<std::string_view, N>& names) {
        for (size_t i = 0; ok_ && i < N; ++i) {
            if (rest_.substr(0, names[i].size()) == names[i]) {
                rest_.remove_prefix(names[i].size());
                return static_cast<int>(i);
            }
        }
        ok_ = false;
        return 0;
    }

    // "hh:mm:ss"
    void TimeOfDay(int& hour, int& minute, int& second) {
        hour = Digits(2);
        Literal(":");
        minute = Digits(2);
        Literal(":");
        second = Digits(2);
    }

    bool Done() const { return ok_ && rest_.empty(); }

  private:
    std::string_view rest_;
    bool ok_ = true;
};

struct Fields {
    int year = 0;
    int month = 0;  // 0 to 11
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

std::optional<sys_seconds> ToTime(const Fields& f) {
    const year_month_day date{year{f.year}, month{static_cast<unsigned>(f.month + 1)},
                              day{static_cast<unsigned>(f.day)}};
    // A leap second names the last second of its minute; a time cannot hold it.
    if (!date.ok() || f.hour > 23 || f.minute > 59 || f.second > 60) {
        return std::nullopt;
    }
    return sys_days{date} + hours{f.hour} + minutes{f.minute} + seconds{std::min(f.second, 59)};
}

// "Sun, 06 Nov 1994 08:49:37 GMT"
std::optional<sys_seconds> ParseFixdate(std::string_view text) {
    Scanner in(text);
    Fields f;
    in.Name(kDays);
    in.Literal(", ");
    f.day = in.Digits(2);
    in.Literal(" ");
    f.month = in.Name(kMonths);
    in.Literal(" ");
    f.year = in.Digits(4);
    in.Literal(" ");
    in.TimeOfDay(f.hour, f.minute, f.second);
    in.Literal(" GMT");
    return in.Done() ? ToTime(f) : std::nullopt;
}

// "Sunday, 06-Nov-94 08:49:37 GMT"
std::optional<sys_seconds> ParseOldDate(std::string_view text, sys_seconds now) {
    Scanner in(text);
    Fields f;
    in.Name(kLongDays);
    in.Literal(", ");
    f.day = in.Digits(2);
    in.Literal("-");
    f.month = in.Name(kMonths);
    in.Literal("-");
    const int twoDigits = in.Digits(2);
    in.Literal(" ");
    in.TimeOfDay(f.hour, f.minute, f.second);
    in.Literal(" GMT");
    if (!in.Done()) {
        return std::nullopt;
    }
    const int thisYear = static_cast<int>(year_month_day{floor<days>(now)}.year());
    f.year = thisYear - thisYear % 100 + twoDigits;
    std::optional<sys_seconds> when = ToTime(f);
    if (when && *when > now + duration_cast<seconds>(years{50})) {
        f.year -= 100;
        when = ToTime(f);
    }
    return when;
}

// "Sun Nov  6 08:49:37 1994"
std::optional<sys_seconds> ParseAsctime(std::string_view text) {
    Scanner in(text);
    Fields f;
    in.Name(kDays);
    in.Literal(" ");
    f.month = in.Name(kMonths);
    in.Literal(" ");
    if (text.size() > 8 && text[8] == ' ') {
        in.Literal(" ");
        f.day = in.Digits(1);
    } else {
        f.day = in.Digits(2);
    }
    in.Literal(" ");
    in.TimeOfDay(f.hour, f.minute, f.second);
    in.Literal(" ");
    f.year = in.Digits(4);
    return in.Done() ? ToTime(f) : std::nullopt;
}

}  // namespace

std::string HttpDateText(sys_seconds when) {
    constexpr sys_days kFirst = sys_days{year{1} / January / 1};
    constexpr sys_seconds kLast =
        sys_days{year{9999} / December / 31} + hours{23} + minutes{59} + seconds{59};
    when = std::clamp<sys_seconds>(when, kFirst, kLast);
    const auto day = floor<days>(when);
    const year_month_day date{day};
    const hh_mm_ss time{when - day};
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02u %s %04d %02d:%02d:%02d GMT",
                  kDays[weekday{day}.c_encoding()].data(), static_cast<unsigned>(date.day()),
                  kMonths[static_cast<unsigned>(date.month()) - 1].data(),
                  static_cast<int>(date.year()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

std::optional<sys_seconds> ParseHttpDate(std::string_view text, sys_seconds now) {
    text = config::TrimBlanks(text);
    if (text.size() > 3 && text[3] == ',') {
        return ParseFixdate(text);
    }
    if (text.size() > 3 && text[3] == ' ') {
        return ParseAsctime(text);
    }
    return ParseOldDate(text, now);
}

}  // namespace quorvane::http
