// Dates and times. A date argument outside years 1 to 9999 (or not a number at all) is an
// invalid date: every function then gives 0 (the empty text for the text forms), without a
// message. Results of the moving functions are whole milliseconds.
#include <cmath>

#include "functions/register.h"
#include "script/engine.h"
#include "system/date_time.h"

namespace tb {

namespace {

using Args = const RValue*;

// Date components are rounded and then taken as their low 16 bits.
uint16_t Component(const RValue& v) {
    return uint16_t(uint64_t(RoundToInt64(v.real)));
}

// Whole milliseconds of a valid time of day (24:00:00 is a full day).
int64_t TimeMs(Args a) {
    return ((int64_t(Component(a[0])) * 60 + Component(a[1])) * 60 + Component(a[2])) * 1000;
}

// --- now ---------------------------------------------------------------------------------

void CurrentDateTime(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args) {
    result.SetReal(JoinDate(LocalNow()));
}
void CurrentDate(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args) {
    result.SetReal(double(LocalNow().day));
}
void CurrentTime(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args) {
    result.SetReal(double(LocalNow().ms) / double(kMsPerDay));
}

// --- creation and validity ---------------------------------------------------------------

bool ValidDateArgs(Args a) {
    return ValidDate(Component(a[0]), Component(a[1]), Component(a[2]));
}
bool ValidTimeArgs(Args a) {
    return ValidTime(Component(a[0]), Component(a[1]), Component(a[2]));
}
int64_t DayOf(Args a) {
    return DaysFromCivil(Component(a[0]), Component(a[1]), Component(a[2]));
}

// 24:00:00 is the following midnight.
void CreateDateTime(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args a) {
    if (ValidDateArgs(a) && ValidTimeArgs(a + 3))
        result.SetReal(JoinDate({DayOf(a), TimeMs(a + 3)}));
}
void CreateDate(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args a) {
    if (ValidDateArgs(a)) result.SetReal(double(DayOf(a)));
}
void CreateTime(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args a) {
    if (ValidTimeArgs(a)) result.SetReal(double(TimeMs(a)) / double(kMsPerDay));
}

void ValidDateTimeFn(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args a) {
    result.SetReal(ValidDateArgs(a) && ValidTimeArgs(a + 3) ? 1 : 0);
}
void ValidDateFn(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args a) {
    result.SetReal(ValidDateArgs(a) ? 1 : 0);
}
void ValidTimeFn(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args a) {
    result.SetReal(ValidTimeArgs(a) ? 1 : 0);
}

// --- moving ------------------------------------------------------------------------------

template <int kMonths>
void IncMonths(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args a) {
    DatePoint p;
    if (SplitDate(a[0].real, p) && AddMonths(p, RoundToInt64(a[1].real), kMonths))
        result.SetReal(JoinDate(p));
}

template <int64_t kUnitMs>
void IncTime(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args a) {
    DatePoint p;
    if (SplitDate(a[0].real, p) && AddTime(p, RoundToInt64(a[1].real), kUnitMs))
        result.SetReal(JoinDate(p));
}

// --- components --------------------------------------------------------------------------

double Year(const DatePoint& p) {
    return double(CivilFromDays(p.day).year);
}
double Month(const DatePoint& p) {
    return CivilFromDays(p.day).month;
}
double Week(const DatePoint& p) {
    return IsoWeek(p.day);
}
double Day(const DatePoint& p) {
    return CivilFromDays(p.day).day;
}
double Hour(const DatePoint& p) {
    return double(p.ms / 3600000);
}
double Minute(const DatePoint& p) {
    return double(p.ms / 60000 % 60);
}
double Second(const DatePoint& p) {
    return double(p.ms / 1000 % 60);
}
double WeekdayOf(const DatePoint& p) {
    return Weekday(p.day);
}
double DayOfYearOf(const DatePoint& p) {
    return DayOfYear(p.day);
}
double HourOfYear(const DatePoint& p) {
    return (DayOfYear(p.day) - 1) * 24 + Hour(p);
}
double MinuteOfYear(const DatePoint& p) {
    return HourOfYear(p) * 60 + Minute(p);
}
double SecondOfYear(const DatePoint& p) {
    return MinuteOfYear(p) * 60 + Second(p);
}
double DaysInMonthOf(const DatePoint& p) {
    const CivilDate c = CivilFromDays(p.day);
    return DaysInMonth(c.year, c.month);
}
double DaysInYearOf(const DatePoint& p) {
    return DaysInYear(CivilFromDays(p.day).year);
}
double LeapYearOf(const DatePoint& p) {
    return IsLeapYear(CivilFromDays(p.day).year) ? 1 : 0;
}
double IsToday(const DatePoint& p) {
    return p.day == LocalNow().day ? 1 : 0;
}

template <double (*kGet)(const DatePoint&)>
void Getter(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args a) {
    DatePoint p;
    if (SplitDate(a[0].real, p)) result.SetReal(kGet(p));
}

// --- parts, spans and comparisons --------------------------------------------------------

void DateOf(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args a) {
    if (InDateRange(a[0].real)) result.SetReal(std::trunc(a[0].real) + 0.0);  // no -0
}
void TimeOf(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args a) {
    const double v = a[0].real;
    if (InDateRange(v)) result.SetReal(std::fabs(v - std::trunc(v)));
}

// Units per day, as rationals so that the template parameter stays an integer.
template <int kNumerator, int kDenominator>
void Span(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args a) {
    if (!InDateRange(a[0].real) || !InDateRange(a[1].real)) return;
    const double days = std::fabs(LinearDays(a[0].real) - LinearDays(a[1].real));
    result.SetReal(days * kNumerator / kDenominator);
}

template <int (*kCompare)(double, double)>
void Compare(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args a) {
    if (InDateRange(a[0].real) && InDateRange(a[1].real))
        result.SetReal(kCompare(a[0].real, a[1].real));
}

// --- texts -------------------------------------------------------------------------------

template <DateText kPart>
void Text(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, Args a) {
    DatePoint p;
    result.SetString(SplitDate(a[0].real, p) ? RString(FormatDate(p, kPart, HostTimeLocale()))
                                             : RString());
}

constexpr int64_t kSecondMs = 1000;
constexpr int64_t kMinuteMs = 60 * kSecondMs;
constexpr int64_t kHourMs = 60 * kMinuteMs;
constexpr int64_t kWeekMs = 7 * kMsPerDay;

}  // namespace

void RegisterDateFunctions(FunctionRegistry& r) {
    r.Register("date_current_datetime", &CurrentDateTime, 0);
    r.Register("date_current_date", &CurrentDate, 0);
    r.Register("date_current_time", &CurrentTime, 0);
    r.Register("date_create_datetime", &CreateDateTime, 6);
    r.Register("date_create_date", &CreateDate, 3);
    r.Register("date_create_time", &CreateTime, 3);
    r.Register("date_valid_datetime", &ValidDateTimeFn, 6);
    r.Register("date_valid_date", &ValidDateFn, 3);
    r.Register("date_valid_time", &ValidTimeFn, 3);
    r.Register("date_inc_year", &IncMonths<12>, 2);
    r.Register("date_inc_month", &IncMonths<1>, 2);
    r.Register("date_inc_week", &IncTime<kWeekMs>, 2);
    r.Register("date_inc_day", &IncTime<kMsPerDay>, 2);
    r.Register("date_inc_hour", &IncTime<kHourMs>, 2);
    r.Register("date_inc_minute", &IncTime<kMinuteMs>, 2);
    r.Register("date_inc_second", &IncTime<kSecondMs>, 2);
    r.Register("date_get_year", &Getter<Year>, 1);
    r.Register("date_get_month", &Getter<Month>, 1);
    r.Register("date_get_week", &Getter<Week>, 1);
    r.Register("date_get_day", &Getter<Day>, 1);
    r.Register("date_get_hour", &Getter<Hour>, 1);
    r.Register("date_get_minute", &Getter<Minute>, 1);
    r.Register("date_get_second", &Getter<Second>, 1);
    r.Register("date_get_weekday", &Getter<WeekdayOf>, 1);
    r.Register("date_get_day_of_year", &Getter<DayOfYearOf>, 1);
    r.Register("date_get_hour_of_year", &Getter<HourOfYear>, 1);
    r.Register("date_get_minute_of_year", &Getter<MinuteOfYear>, 1);
    r.Register("date_get_second_of_year", &Getter<SecondOfYear>, 1);
    // A year counts 365.25 days and a month 30.4375 days.
    r.Register("date_year_span", &Span<4, 1461>, 2);
    r.Register("date_month_span", &Span<16, 487>, 2);
    r.Register("date_week_span", &Span<1, 7>, 2);
    r.Register("date_day_span", &Span<1, 1>, 2);
    r.Register("date_hour_span", &Span<24, 1>, 2);
    r.Register("date_minute_span", &Span<1440, 1>, 2);
    r.Register("date_second_span", &Span<86400, 1>, 2);
    r.Register("date_compare_datetime", &Compare<CompareDateTime>, 2);
    r.Register("date_compare_date", &Compare<CompareDate>, 2);
    r.Register("date_compare_time", &Compare<CompareTime>, 2);
    r.Register("date_date_of", &DateOf, 1);
    r.Register("date_time_of", &TimeOf, 1);
    r.Register("date_datetime_string", &Text<DateText::kDateTime>, 1);
    r.Register("date_date_string", &Text<DateText::kDate>, 1);
    r.Register("date_time_string", &Text<DateText::kTime>, 1);
    r.Register("date_days_in_month", &Getter<DaysInMonthOf>, 1);
    r.Register("date_days_in_year", &Getter<DaysInYearOf>, 1);
    r.Register("date_leap_year", &Getter<LeapYearOf>, 1);
    r.Register("date_is_today", &Getter<IsToday>, 1);
}

}  // namespace tb
