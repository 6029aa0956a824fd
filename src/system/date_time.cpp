#include "system/date_time.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <iomanip>
#include <sstream>
#include <stdexcept>

namespace tb {

namespace {

// 1899-12-30 counted from 1970-01-01.
constexpr int64_t kEpochOffset = -25569;
// Elapsed time further than this is never between two valid dates.
constexpr int64_t kMaxSpanMs = (kLastValidDay - kFirstValidDay + 2) * kMsPerDay;
constexpr int64_t kMaxSpanMonths = 12 * 10000;
// Slack on the millisecond rule: a real near day 3 000 000 carries rounding noise of about
// 1e-4 ms, and values a whole millisecond apart must not compare equal.
constexpr double kEqualMs = 1.0 - 1e-3;

int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}
int64_t FloorMod(int64_t a, int64_t b) {
    return a - FloorDiv(a, b) * b;
}

int Sign(double diff_ms) {
    if (std::fabs(diff_ms) < kEqualMs) return 0;
    return diff_ms < 0 ? -1 : 1;
}

bool ValidDay(int64_t day) {
    return day >= kFirstValidDay && day <= kLastValidDay;
}

}  // namespace

bool IsLeapYear(int64_t year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int64_t year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int DaysInYear(int64_t year) {
    return IsLeapYear(year) ? 366 : 365;
}

// Counting from 1 March of a 400-year era puts the leap day last, so month lengths follow a
// fixed pattern.
int64_t DaysFromCivil(int64_t year, int month, int day) {
    const int64_t y = year - (month <= 2 ? 1 : 0);
    const int64_t era = FloorDiv(y, 400);
    const int64_t year_of_era = y - era * 400;
    const int64_t day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t day_of_era =
        year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468 - kEpochOffset;
}

CivilDate CivilFromDays(int64_t days) {
    const int64_t z = days + kEpochOffset + 719468;
    const int64_t era = FloorDiv(z, 146097);
    const int64_t day_of_era = z - era * 146097;
    const int64_t year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const int64_t day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const int64_t mp = (5 * day_of_year + 2) / 153;
    CivilDate c;
    c.day = int(day_of_year - (153 * mp + 2) / 5 + 1);
    c.month = int(mp < 10 ? mp + 3 : mp - 9);
    c.year = year_of_era + era * 400 + (c.month <= 2 ? 1 : 0);
    return c;
}

int Weekday(int64_t days) {
    return int(FloorMod(days + 6, 7)) + 1;  // day 0 was a Saturday
}

int IsoWeek(int64_t days) {
    // The week belongs to the year that holds its Thursday.
    const int iso_weekday = (Weekday(days) + 5) % 7 + 1;  // Monday 1 .. Sunday 7
    const int64_t thursday = days - iso_weekday + 4;
    const int64_t jan1 = DaysFromCivil(CivilFromDays(thursday).year, 1, 1);
    return int((thursday - jan1) / 7 + 1);
}

int DayOfYear(int64_t days) {
    return int(days - DaysFromCivil(CivilFromDays(days).year, 1, 1) + 1);
}

bool ValidDate(uint16_t year, uint16_t month, uint16_t day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

bool ValidTime(uint16_t hour, uint16_t minute, uint16_t second) {
    if (hour == 24) return minute == 0 && second == 0;
    return hour < 24 && minute < 60 && second < 60;
}

bool InDateRange(double value) {
    if (!std::isfinite(value)) return false;
    const double whole = std::trunc(value);
    return whole >= double(kFirstValidDay) && whole <= double(kLastValidDay);
}

double LinearDays(double value) {
    const double whole = std::trunc(value);
    return whole + std::fabs(value - whole);
}

double EncodeDayTime(int64_t day, double time_of_day) {
    return day >= 0 ? double(day) + time_of_day : double(day) - time_of_day;
}

bool SplitDate(double value, DatePoint& out) {
    if (!InDateRange(value)) return false;
    const double linear = LinearDays(value);
    const double day = std::floor(linear);
    DatePoint p;
    p.day = int64_t(day);
    p.ms = std::llround((linear - day) * double(kMsPerDay));
    if (p.ms >= kMsPerDay) {
        ++p.day;
        p.ms -= kMsPerDay;
    }
    out = p;
    return true;
}

double JoinDate(DatePoint p) {
    const int64_t day = p.day + FloorDiv(p.ms, kMsPerDay);
    const int64_t ms = FloorMod(p.ms, kMsPerDay);
    return EncodeDayTime(day, double(ms) / double(kMsPerDay));
}

bool AddMonths(DatePoint& p, int64_t count, int months_per_count) {
    if (count < -kMaxSpanMonths || count > kMaxSpanMonths) return false;
    const CivilDate c = CivilFromDays(p.day);
    const int64_t months = c.year * 12 + (c.month - 1) + count * months_per_count;
    const int64_t year = FloorDiv(months, 12);
    const int month = int(FloorMod(months, 12)) + 1;
    if (year < 1 || year > 9999) return false;
    p.day = DaysFromCivil(year, month, std::min(c.day, DaysInMonth(year, month)));
    return true;
}

bool AddTime(DatePoint& p, int64_t count, int64_t unit_ms) {
    if (count < -kMaxSpanMs / unit_ms || count > kMaxSpanMs / unit_ms) return false;
    const int64_t total = p.day * kMsPerDay + p.ms + count * unit_ms;
    const int64_t day = FloorDiv(total, kMsPerDay);
    if (!ValidDay(day)) return false;
    p.day = day;
    p.ms = FloorMod(total, kMsPerDay);
    return true;
}

int CompareDateTime(double a, double b) {
    return Sign((LinearDays(a) - LinearDays(b)) * double(kMsPerDay));
}

int CompareDate(double a, double b) {
    const double da = std::trunc(a), db = std::trunc(b);
    return da < db ? -1 : (da > db ? 1 : 0);
}

int CompareTime(double a, double b) {
    const double ta = std::fabs(a - std::trunc(a)), tb = std::fabs(b - std::trunc(b));
    return Sign((ta - tb) * double(kMsPerDay));
}

DatePoint LocalNow() {
    using namespace std::chrono;
    const int64_t since_epoch =
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    const std::time_t seconds = std::time_t(FloorDiv(since_epoch, 1000));
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    DatePoint p;
    p.day = DaysFromCivil(int64_t(local.tm_year) + 1900, local.tm_mon + 1, local.tm_mday);
    const int64_t second = std::min(local.tm_sec, 59);  // a leap second stays in its minute
    p.ms = ((int64_t(local.tm_hour) * 60 + local.tm_min) * 60 + second) * 1000 +
           FloorMod(since_epoch, 1000);
    return p;
}

std::string FormatDate(DatePoint p, DateText part, const std::locale& locale) {
    const CivilDate c = CivilFromDays(p.day);
    std::tm tm{};
    tm.tm_year = int(c.year - 1900);
    tm.tm_mon = c.month - 1;
    tm.tm_mday = c.day;
    tm.tm_wday = Weekday(p.day) - 1;
    tm.tm_yday = DayOfYear(p.day) - 1;
    const int64_t seconds = p.ms / 1000;
    tm.tm_hour = int(seconds / 3600);
    tm.tm_min = int(seconds / 60 % 60);
    tm.tm_sec = int(seconds % 60);
    tm.tm_isdst = -1;
    static constexpr const char* kFormats[] = {"%x %X", "%x", "%X"};
    std::ostringstream out;
    out.imbue(locale);
    out << std::put_time(&tm, kFormats[int(part)]);
    return out.str();
}

// The runner follows the user's regional date and time formats but must not change the
// process-wide locale (number formatting everywhere else stays classic), so the environment's
// time category is grafted onto the classic locale and imbued only into the formatting
// stream. An environment naming a locale the system lacks gives the classic formats.
const std::locale& HostTimeLocale() {
    static const std::locale locale = [] {
        try {
            return std::locale(std::locale::classic(), std::locale(""), std::locale::time);
        } catch (const std::runtime_error&) {
            return std::locale::classic();
        }
    }();
    return locale;
}

}  // namespace tb
