// Calendar arithmetic on the script's date-time reals: the whole part counts days since
// 1899-12-30, the fraction is the time of day. Before that day the whole part is negative and
// the fraction still counts forward from midnight of that day, so -1.25 is 1899-12-29 06:00
// (the value is whole - fraction, not whole + fraction). All helpers work on the proleptic
// Gregorian calendar; only years 1 to 9999 are valid dates.
#pragma once

#include <cstdint>
#include <locale>
#include <string>

namespace tb {

constexpr int64_t kMsPerDay = 86400000;
constexpr int64_t kFirstValidDay = -693593;  // 0001-01-01
constexpr int64_t kLastValidDay = 2958465;   // 9999-12-31

struct CivilDate {
    int64_t year = 1899;
    int month = 12;
    int day = 30;
};

// A date-time as a point on a straight line: the day and the milliseconds since its midnight
// (0 to kMsPerDay - 1).
struct DatePoint {
    int64_t day = 0;
    int64_t ms = 0;
};

bool IsLeapYear(int64_t year);
int DaysInMonth(int64_t year, int month);  // month 1 to 12
int DaysInYear(int64_t year);
// Days since 1899-12-30 and back; any year, month 1 to 12, day 1 to 31.
int64_t DaysFromCivil(int64_t year, int month, int day);
CivilDate CivilFromDays(int64_t days);
int Weekday(int64_t days);  // 1 = Sunday to 7 = Saturday
int IsoWeek(int64_t days);  // ISO 8601 week number, 1 to 53
int DayOfYear(int64_t days);

// The validity rules of the script functions, on components already cut to 16 bits.
bool ValidDate(uint16_t year, uint16_t month, uint16_t day);
bool ValidTime(uint16_t hour, uint16_t minute, uint16_t second);  // 24:00:00 also passes

// A finite value whose day lies in years 1 to 9999.
bool InDateRange(double value);
// The value as continuous days (negative dates turned into plain offsets), so differences
// and additions mean elapsed time.
double LinearDays(double value);
// The value of a day with a time of day (0 to 1) under the negative-date rule.
double EncodeDayTime(int64_t day, double time_of_day);

// Splits a value into its day and millisecond, the time rounded to the nearest millisecond
// (a time that rounds up to a full day counts as the next midnight). False, with `out`
// untouched, outside the valid range.
bool SplitDate(double value, DatePoint& out);
// The value of a point; `ms` may lie outside one day and is carried into the day.
double JoinDate(DatePoint p);

// Move a point by `count` units; false, with `p` untouched, when the result is not a valid
// date (years 1 to 9999). Adding months keeps the day, cut to the new month's last day.
bool AddMonths(DatePoint& p, int64_t count, int months_per_count);
bool AddTime(DatePoint& p, int64_t count, int64_t unit_ms);

// -1, 0 or 1. The date-time and time forms take values under a millisecond apart as equal;
// the date form compares whole days.
int CompareDateTime(double a, double b);
int CompareDate(double a, double b);
int CompareTime(double a, double b);

// The host's local date and time now, to the millisecond.
DatePoint LocalNow();

enum class DateText { kDateTime, kDate, kTime };
// The host's short date ("%x") and long time ("%X") forms under `locale`.
std::string FormatDate(DatePoint p, DateText part, const std::locale& locale);
// The classic locale with the environment's time category, made once.
const std::locale& HostTimeLocale();

}  // namespace tb
