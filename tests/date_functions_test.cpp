// The calendar helpers and the date and time functions of scripts.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <locale>
#include <string>
#include <string_view>

#include "script/engine.h"
#include "script_harness.h"
#include "system/date_time.h"

namespace tb {
namespace {

using test::IsReal;
using test::ScriptWorld;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// --- calendar helpers --------------------------------------------------------------------

TEST(DateCalendar, DaysMatchAWalkOverEveryValidDay) {
    // An independent count, day by day from 0001-01-01, checks both directions everywhere.
    int64_t days = kFirstValidDay;
    for (int64_t y = 1; y <= 9999; ++y) {
        for (int m = 1; m <= 12; ++m) {
            for (int d = 1; d <= DaysInMonth(y, m); ++d, ++days) {
                if (DaysFromCivil(y, m, d) != days) FAIL() << y << "-" << m << "-" << d;
                const CivilDate c = CivilFromDays(days);
                if (c.year != y || c.month != m || c.day != d) FAIL() << "day " << days;
            }
        }
    }
    EXPECT_EQ(days - 1, kLastValidDay);
}

TEST(DateCalendar, KnownDays) {
    struct Case {
        int64_t y;
        int m, d;
        int64_t days;
        int weekday;
    };
    const Case cases[] = {
        {1899, 12, 30, 0, 7},       {1899, 12, 29, -1, 6},     {1900, 1, 1, 2, 2},
        {1900, 3, 1, 61, 5},        {1970, 1, 1, 25569, 5},    {2000, 1, 1, 36526, 7},
        {2000, 2, 29, 36585, 3},    {2007, 1, 1, 39083, 2},    {1, 1, 1, -693593, 2},
        {9999, 12, 31, 2958465, 6}, {1600, 2, 29, -109512, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.y << "-" << c.m << "-" << c.d);
        EXPECT_EQ(DaysFromCivil(c.y, c.m, c.d), c.days);
        EXPECT_EQ(Weekday(c.days), c.weekday);
    }
}

TEST(DateCalendar, LeapYearsAndMonthLengths) {
    const std::pair<int, bool> years[] = {{1600, true},  {1700, false}, {1900, false},
                                          {2000, true},  {2004, true},  {2007, false},
                                          {2100, false}, {2400, true},  {1, false}};
    for (auto [year, leap] : years) {
        EXPECT_EQ(IsLeapYear(year), leap) << year;
        EXPECT_EQ(DaysInMonth(year, 2), leap ? 29 : 28) << year;
        EXPECT_EQ(DaysInYear(year), leap ? 366 : 365) << year;
    }
    EXPECT_EQ(DaysInMonth(2007, 4), 30);
    EXPECT_EQ(DaysInMonth(2007, 12), 31);
    EXPECT_EQ(DaysInMonth(2007, 0), 0);
    EXPECT_EQ(DaysInMonth(2007, 13), 0);
}

TEST(DateCalendar, IsoWeeksAtYearBoundaries) {
    struct Case {
        int64_t y;
        int m, d, week;
    };
    const Case cases[] = {
        {2004, 12, 31, 53}, {2005, 1, 1, 53},   {2005, 1, 3, 1},    {2010, 1, 3, 53},
        {2008, 12, 29, 1},  {2009, 12, 31, 53}, {2012, 12, 31, 1},  {2007, 1, 1, 1},
        {2016, 1, 3, 53},   {2026, 6, 15, 25},  {1899, 12, 30, 52}, {9999, 12, 31, 52},
        {1, 1, 1, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsoWeek(DaysFromCivil(c.y, c.m, c.d)), c.week) << c.y << "-" << c.m << "-" << c.d;
}

TEST(DateCalendar, ValidityChecks) {
    EXPECT_TRUE(ValidDate(2008, 2, 29));
    EXPECT_FALSE(ValidDate(2007, 2, 29));
    EXPECT_FALSE(ValidDate(0, 1, 1));
    EXPECT_TRUE(ValidDate(9999, 12, 31));
    EXPECT_FALSE(ValidDate(10000, 1, 1));
    EXPECT_FALSE(ValidDate(2007, 13, 1));
    EXPECT_FALSE(ValidDate(2007, 4, 31));
    EXPECT_TRUE(ValidTime(23, 59, 59));
    EXPECT_TRUE(ValidTime(24, 0, 0));
    EXPECT_FALSE(ValidTime(24, 0, 1));
    EXPECT_FALSE(ValidTime(24, 1, 0));
    EXPECT_FALSE(ValidTime(0, 60, 0));
    EXPECT_FALSE(ValidTime(0, 0, 60));
}

// Before 1899-12-30 the fraction still counts forward from the day's midnight.
TEST(DateCalendar, NegativeDatesKeepTheTimeAfterMidnight) {
    struct Case {
        double value;
        int64_t day, ms;
        double linear;
    };
    const Case cases[] = {
        {-1.25, -1, kMsPerDay / 4, -0.75},     {-1.0, -1, 0, -1.0},
        {-2.75, -2, 3 * kMsPerDay / 4, -1.25}, {-0.5, 0, kMsPerDay / 2, 0.5},
        {0.25, 0, kMsPerDay / 4, 0.25},        {40000.5, 40000, kMsPerDay / 2, 40000.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        DatePoint p;
        ASSERT_TRUE(SplitDate(c.value, p));
        EXPECT_EQ(p.day, c.day);
        EXPECT_EQ(p.ms, c.ms);
        EXPECT_DOUBLE_EQ(LinearDays(c.value), c.linear);
    }
    EXPECT_EQ(JoinDate({-1, kMsPerDay / 4}), -1.25);
    EXPECT_EQ(JoinDate({-1, kMsPerDay + kMsPerDay / 4}), 0.25);  // carried into the next day
    EXPECT_EQ(JoinDate({0, -kMsPerDay / 4}), -1.75);             // borrowed from the day before
    EXPECT_EQ(EncodeDayTime(-3, 0.5), -3.5);
    EXPECT_EQ(EncodeDayTime(3, 0.5), 3.5);
}

TEST(DateCalendar, SplitAndJoinRoundTripToTheMillisecond) {
    for (int64_t day = kFirstValidDay; day <= kLastValidDay; day += 9973) {
        for (int64_t ms : {int64_t(0), int64_t(1), int64_t(43200000), kMsPerDay - 1}) {
            DatePoint p;
            ASSERT_TRUE(SplitDate(JoinDate({day, ms}), p)) << day;
            EXPECT_EQ(p.day, day);
            EXPECT_EQ(p.ms, ms) << day;
        }
    }
}

TEST(DateCalendar, TimeRoundingUpToMidnightCarriesIntoTheNextDay) {
    DatePoint p;
    ASSERT_TRUE(SplitDate(0.9999999999, p));
    EXPECT_EQ(p.day, 1);
    EXPECT_EQ(p.ms, 0);
    ASSERT_TRUE(SplitDate(-1.9999999999, p));  // 1899-12-29, just before midnight
    EXPECT_EQ(p.day, 0);
    EXPECT_EQ(p.ms, 0);
}

TEST(DateCalendar, ValuesOutsideTheYearsOneToNineThousandAreRejected) {
    for (double v : {kNaN, kInf, -kInf, 1e300, -1e300, double(kLastValidDay + 1),
                     double(kFirstValidDay - 1), 9.3e18}) {
        DatePoint p{5, 7};
        EXPECT_FALSE(InDateRange(v)) << v;
        EXPECT_FALSE(SplitDate(v, p)) << v;
        EXPECT_EQ(p.day, 5);
    }
    EXPECT_TRUE(InDateRange(double(kFirstValidDay) - 0.5));  // 0001-01-01 12:00
    EXPECT_TRUE(InDateRange(double(kLastValidDay) + 0.5));
}

TEST(DateCalendar, AddingMonthsCutsTheDayToTheMonthsEnd) {
    struct Case {
        int64_t y;
        int m, d;
        int64_t count;
        int per;
        int64_t ey;
        int em, ed;
    };
    const Case cases[] = {
        {2007, 1, 31, 1, 1, 2007, 2, 28},   {2008, 1, 31, 1, 1, 2008, 2, 29},
        {2008, 2, 29, 1, 12, 2009, 2, 28},  {2008, 2, 29, 4, 12, 2012, 2, 29},
        {2007, 3, 31, -1, 1, 2007, 2, 28},  {2007, 1, 15, -13, 1, 2005, 12, 15},
        {2007, 5, 31, 30, 1, 2009, 11, 30}, {1899, 12, 30, -1, 12, 1898, 12, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.y << "-" << c.m << "-" << c.d << " + " << c.count);
        DatePoint p{DaysFromCivil(c.y, c.m, c.d), 1234};
        ASSERT_TRUE(AddMonths(p, c.count, c.per));
        EXPECT_EQ(p.day, DaysFromCivil(c.ey, c.em, c.ed));
        EXPECT_EQ(p.ms, 1234);
    }
    DatePoint p{kLastValidDay, 0};
    EXPECT_FALSE(AddMonths(p, 1, 1));
    EXPECT_EQ(p.day, kLastValidDay);
    p = {kFirstValidDay, 0};
    EXPECT_FALSE(AddMonths(p, -1, 12));
    EXPECT_FALSE(AddMonths(p, int64_t(1) << 62, 12));  // no overflow
    EXPECT_FALSE(AddMonths(p, -(int64_t(1) << 62), 1));
}

TEST(DateCalendar, AddingTimeCrossesDaysAndStopsAtTheValidRange) {
    DatePoint p{-1, 23 * 3600000};
    ASSERT_TRUE(AddTime(p, 2, 3600000));
    EXPECT_EQ(p.day, 0);
    EXPECT_EQ(p.ms, 3600000);
    ASSERT_TRUE(AddTime(p, -3, 3600000));
    EXPECT_EQ(p.day, -1);
    EXPECT_EQ(p.ms, 22 * 3600000);
    p = {kLastValidDay, kMsPerDay - 1000};
    EXPECT_FALSE(AddTime(p, 1, 1000));
    EXPECT_TRUE(AddTime(p, 999, 1));
    p = {0, 0};
    EXPECT_FALSE(AddTime(p, int64_t(1) << 62, kMsPerDay));  // no overflow
    EXPECT_FALSE(AddTime(p, -(int64_t(1) << 62), 1000));
    EXPECT_EQ(p.day, 0);
}

TEST(DateCalendar, ComparisonsTakeUnderAMillisecondAsEqual) {
    const double ms = 1.0 / double(kMsPerDay);
    for (int64_t day : {int64_t(0), int64_t(40000), kLastValidDay, int64_t(-5000)}) {
        SCOPED_TRACE(day);
        const double a = JoinDate({day, 5000});
        const double one_later = JoinDate({day, 5001});
        EXPECT_EQ(CompareDateTime(a, one_later), -1);
        EXPECT_EQ(CompareDateTime(one_later, a), 1);
        EXPECT_EQ(CompareTime(a, one_later), -1);
        EXPECT_EQ(CompareDateTime(a, JoinDate({day, 5000}) + (day < 0 ? -0.4 : 0.4) * ms), 0);
        EXPECT_EQ(CompareDate(a, JoinDate({day, kMsPerDay - 1})), 0);
    }
    // On negative days the later time has the lower value.
    EXPECT_EQ(CompareDateTime(-1.25, -1.5), -1);
    EXPECT_EQ(CompareTime(-1.25, -1.5), -1);
    EXPECT_EQ(CompareDate(-1.25, -0.5), -1);
    EXPECT_EQ(CompareDate(-2.0, -1.9), -1);
    EXPECT_EQ(CompareTime(3.25, -7.25), 0);
}

TEST(DateCalendar, ClassicLocaleTexts) {
    const DatePoint p{DaysFromCivil(2007, 2, 3), ((4 * 60 + 5) * 60 + 6) * 1000 + 999};
    const std::locale& c = std::locale::classic();
    EXPECT_EQ(FormatDate(p, DateText::kDate, c), "02/03/07");
    EXPECT_EQ(FormatDate(p, DateText::kTime, c), "04:05:06");
    EXPECT_EQ(FormatDate(p, DateText::kDateTime, c), "02/03/07 04:05:06");
    EXPECT_EQ(FormatDate({DaysFromCivil(1850, 11, 20), 0}, DateText::kDateTime, c),
              "11/20/50 00:00:00");
}

// --- the script functions ----------------------------------------------------------------

struct DateFunctionsTest : ::testing::Test {
    ScriptWorld w;

    double Real(std::string_view source) {
        test::RunResult r = w.Eval(source);
        EXPECT_TRUE(r.ok) << source << "\n" << r.message;
        EXPECT_FALSE(r.result.IsString()) << source;
        return r.result.real;
    }
    // Calls a function directly, for arguments that the language cannot write.
    RValue Call(std::string_view name, std::initializer_list<double> args) {
        const int id = w.engine.functions.Find(name);
        EXPECT_GE(id, 0) << name;
        RValue a[kMaxArguments];
        int n = 0;
        for (double v : args) a[n++] = RValue::Real(v);
        RValue result;
        if (id >= 0) w.engine.functions.At(id).handler(w.engine, &w.self, &w.self, n, result, a);
        return result;
    }
};

TEST_F(DateFunctionsTest, EveryFunctionIsRegisteredWithItsArgumentCount) {
    const std::pair<const char*, int> expected[] = {
        {"date_current_datetime", 0},
        {"date_current_date", 0},
        {"date_current_time", 0},
        {"date_create_datetime", 6},
        {"date_create_date", 3},
        {"date_create_time", 3},
        {"date_valid_datetime", 6},
        {"date_valid_date", 3},
        {"date_valid_time", 3},
        {"date_inc_year", 2},
        {"date_inc_month", 2},
        {"date_inc_week", 2},
        {"date_inc_day", 2},
        {"date_inc_hour", 2},
        {"date_inc_minute", 2},
        {"date_inc_second", 2},
        {"date_get_year", 1},
        {"date_get_month", 1},
        {"date_get_week", 1},
        {"date_get_day", 1},
        {"date_get_hour", 1},
        {"date_get_minute", 1},
        {"date_get_second", 1},
        {"date_get_weekday", 1},
        {"date_get_day_of_year", 1},
        {"date_get_hour_of_year", 1},
        {"date_get_minute_of_year", 1},
        {"date_get_second_of_year", 1},
        {"date_year_span", 2},
        {"date_month_span", 2},
        {"date_week_span", 2},
        {"date_day_span", 2},
        {"date_hour_span", 2},
        {"date_minute_span", 2},
        {"date_second_span", 2},
        {"date_compare_datetime", 2},
        {"date_compare_date", 2},
        {"date_compare_time", 2},
        {"date_date_of", 1},
        {"date_time_of", 1},
        {"date_datetime_string", 1},
        {"date_date_string", 1},
        {"date_time_string", 1},
        {"date_days_in_month", 1},
        {"date_days_in_year", 1},
        {"date_leap_year", 1},
        {"date_is_today", 1},
    };
    EXPECT_EQ(std::size(expected), 47u);
    for (auto [name, argc] : expected) {
        const int id = w.engine.functions.Find(name);
        ASSERT_GE(id, 0) << name;
        EXPECT_EQ(w.engine.functions.At(id).argc, argc) << name;
    }
    int dates = 0;
    for (int id = 0; id < w.engine.functions.Count(); ++id)
        if (w.engine.functions.At(id).name.rfind("date_", 0) == 0) ++dates;
    EXPECT_EQ(dates, 47);
}

TEST_F(DateFunctionsTest, CreationAndValidity) {
    const std::pair<const char*, double> cases[] = {
        {"date_create_date(2007, 2, 30)", 0},
        {"date_valid_date(2008, 2, 29)", 1},
        {"date_valid_date(2007, 2, 29)", 0},
        {"date_valid_date(0, 1, 1)", 0},
        {"date_valid_date(10000, 1, 1)", 0},
        {"date_create_date(1899, 12, 30)", 0},
        {"date_create_date(1899, 12, 29)", -1},
        {"date_create_date(2000, 1, 1)", 36526},
        {"date_create_date(1, 1, 1)", -693593},
        {"date_create_time(12, 0, 0)", 0.5},
        {"date_create_time(6, 0, 0)", 0.25},
        {"date_create_time(24, 0, 0)", 1},  // the next midnight
        {"date_create_time(24, 0, 1)", 0},
        {"date_create_time(23, 60, 0)", 0},
        {"date_valid_time(24, 0, 0)", 1},
        {"date_valid_time(23, 59, 60)", 0},
        {"date_create_datetime(1899, 12, 29, 6, 0, 0)", -1.25},
        {"date_create_datetime(2000, 1, 1, 12, 0, 0)", 36526.5},
        {"date_create_datetime(2000, 1, 1, 24, 0, 0)", 36527},
        {"date_create_datetime(1899, 12, 29, 24, 0, 0)", 0},
        {"date_create_datetime(2000, 2, 30, 12, 0, 0)", 0},
        {"date_create_datetime(2000, 1, 1, 12, 0, 60)", 0},
        {"date_valid_datetime(2008, 2, 29, 24, 0, 0)", 1},
        {"date_valid_datetime(2008, 2, 29, 24, 0, 1)", 0},
        {"date_valid_datetime(2007, 2, 29, 0, 0, 0)", 0},
        // Components are rounded (halves to even) and cut to their low 16 bits.
        {"date_create_date(2007 + 65536, 1, 1) == date_create_date(2007, 1, 1)", 1},
        {"date_valid_date(2007, 2 + 65536 * 3, 29 - 65536)", 0},
        {"date_valid_date(2008, 2 + 65536 * 3, 29 - 65536)", 1},
        {"date_valid_date(-1, 1, 1)", 0},
        {"date_valid_time(-1, 0, 0)", 0},
        {"date_create_date(2007, 2.5, 1) == date_create_date(2007, 2, 1)", 1},
        {"date_create_date(2007, 1.5, 1) == date_create_date(2007, 2, 1)", 1},
        {"date_create_time(0, 0.5, 0)", 0},
        // Texts count as 0.
        {"date_valid_date(\"2007\", 1, 1)", 0},
        {"date_create_time(\"12\", 30, 0)", 30.0 / 1440},
    };
    for (auto [source, expected] : cases) EXPECT_DOUBLE_EQ(Real(source), expected) << source;
}

TEST_F(DateFunctionsTest, Components) {
    const std::pair<const char*, double> cases[] = {
        {"date_get_weekday(date_create_date(2007, 1, 1))", 2},
        {"date_get_weekday(date_create_date(2007, 1, 6))", 7},
        {"date_get_weekday(date_create_date(2007, 1, 7))", 1},
        {"date_get_year(date_create_datetime(2008, 2, 29, 13, 45, 30))", 2008},
        {"date_get_month(date_create_datetime(2008, 2, 29, 13, 45, 30))", 2},
        {"date_get_day(date_create_datetime(2008, 2, 29, 13, 45, 30))", 29},
        {"date_get_hour(date_create_datetime(2008, 2, 29, 13, 45, 30))", 13},
        {"date_get_minute(date_create_datetime(2008, 2, 29, 13, 45, 30))", 45},
        {"date_get_second(date_create_datetime(2008, 2, 29, 13, 45, 30))", 30},
        {"date_get_second(date_create_time(23, 59, 59))", 59},
        {"date_get_hour(date_create_time(10, 0, 0))", 10},  // 10/24 is not exact in binary
        {"date_get_week(date_create_date(2004, 12, 31))", 53},
        {"date_get_week(date_create_date(2010, 1, 3))", 53},
        {"date_get_week(date_create_date(2010, 1, 4))", 1},
        {"date_get_year(-1.25)", 1899},
        {"date_get_month(-1.25)", 12},
        {"date_get_day(-1.25)", 29},
        {"date_get_hour(-1.25)", 6},
        {"date_get_weekday(-1.25)", 6},
        {"date_get_day(-0.5)", 30},
        {"date_get_hour(-0.5)", 12},
        {"date_get_day_of_year(date_create_date(2007, 1, 1))", 1},
        {"date_get_day_of_year(date_create_date(2007, 12, 31))", 365},
        {"date_get_day_of_year(date_create_date(2008, 12, 31))", 366},
        {"date_get_hour_of_year(date_create_datetime(2007, 1, 2, 3, 59, 0))", 27},
        {"date_get_minute_of_year(date_create_datetime(2007, 1, 1, 0, 10, 59))", 10},
        {"date_get_second_of_year(date_create_datetime(2007, 1, 1, 1, 1, 5))", 3665},
        {"date_get_second_of_year(date_create_datetime(2008, 12, 31, 23, 59, 59))",
         366.0 * 86400 - 1},
        {"date_days_in_month(date_create_date(2008, 2, 10))", 29},
        {"date_days_in_month(date_create_date(2007, 2, 10))", 28},
        {"date_days_in_month(date_create_date(2007, 4, 1))", 30},
        {"date_days_in_year(date_create_date(2000, 6, 1))", 366},
        {"date_days_in_year(date_create_date(1900, 6, 1))", 365},
        {"date_leap_year(date_create_date(2100, 1, 1))", 0},
        {"date_leap_year(date_create_date(2000, 1, 1))", 1},
        {"date_date_of(date_create_datetime(2007, 5, 6, 18, 0, 0))", 39208},
        {"date_time_of(date_create_datetime(2007, 5, 6, 18, 0, 0))", 0.75},
        {"date_date_of(-1.25)", -1},
        {"date_time_of(-1.25)", 0.25},
        {"date_date_of(-0.5)", 0},
    };
    for (auto [source, expected] : cases) EXPECT_DOUBLE_EQ(Real(source), expected) << source;
}

TEST_F(DateFunctionsTest, Moving) {
    // Each case is a comparison that must hold.
    const char* cases[] = {
        "date_inc_month(date_create_date(2007, 1, 31), 1) == date_create_date(2007, 2, 28)",
        "date_inc_month(date_create_date(2007, 3, 31), -1) == date_create_date(2007, 2, 28)",
        "date_inc_month(date_create_date(2007, 11, 15), 3) == date_create_date(2008, 2, 15)",
        "date_inc_year(date_create_date(2008, 2, 29), 1) == date_create_date(2009, 2, 28)",
        "date_inc_year(date_create_date(2008, 2, 29), -4) == date_create_date(2004, 2, 29)",
        "date_inc_year(date_create_datetime(2008, 2, 29, 6, 0, 0), 1)"
        " == date_create_datetime(2009, 2, 28, 6, 0, 0)",
        "date_inc_week(date_create_date(2007, 12, 27), 1) == date_create_date(2008, 1, 3)",
        "date_inc_day(date_create_date(2008, 2, 28), 1) == date_create_date(2008, 2, 29)",
        "date_inc_day(date_create_date(2008, 3, 1), -1) == date_create_date(2008, 2, 29)",
        "date_inc_day(1, 1.5) == 3",  // amounts are rounded, halves to even
        "date_inc_day(1, 2.5) == 3",
        "date_inc_hour(date_create_datetime(1899, 12, 29, 23, 0, 0), 2)"
        " == date_create_datetime(1899, 12, 30, 1, 0, 0)",
        "date_inc_hour(-1.25, 1) == date_create_datetime(1899, 12, 29, 7, 0, 0)",
        "date_inc_minute(date_create_datetime(2007, 1, 1, 23, 30, 0), 90)"
        " == date_create_datetime(2007, 1, 2, 1, 0, 0)",
        "date_inc_second(date_create_datetime(2007, 1, 1, 0, 0, 0), -1)"
        " == date_create_datetime(2006, 12, 31, 23, 59, 59)",
        "date_inc_second(date_create_date(2007, 1, 1), 86400) == date_create_date(2007, 1, 2)",
        "date_inc_year(date_create_date(9999, 12, 31), 1) == 0",
        "date_inc_day(date_create_date(9999, 12, 31), 1) == 0",
        "date_inc_month(date_create_date(1, 1, 1), -1) == 0",
    };
    for (const char* source : cases) EXPECT_EQ(Real(source), 1) << source;
}

TEST_F(DateFunctionsTest, SpansAndComparisons) {
    const std::pair<const char*, double> cases[] = {
        {"date_day_span(date_create_date(2007, 1, 8), date_create_date(2007, 1, 1))", 7},
        {"date_week_span(date_create_date(2007, 1, 1), date_create_date(2007, 1, 8))", 1},
        {"date_day_span(date_create_date(2007, 1, 1), date_create_datetime(2007, 1, 1, 18, 0, 0))",
         0.75},
        {"date_hour_span(-1.25, 0)", 18},  // 06:00 the day before
        {"date_minute_span(date_create_time(1, 0, 0), date_create_time(2, 30, 0))", 90},
        {"date_second_span(date_create_time(0, 0, 0), date_create_time(0, 0, 30))", 30},
        {"date_year_span(0, 365.25)", 1},
        {"date_month_span(0, 30.4375)", 1},
        {"date_year_span(date_create_date(2000, 1, 1), date_create_date(2000, 7, 2))",
         183.0 / 365.25},
        {"date_compare_datetime(date_create_date(2007, 1, 1), date_create_date(2007, 1, 2))", -1},
        {"date_compare_datetime(date_create_time(12, 0, 0), 0.5)", 0},
        {"date_compare_datetime(date_inc_second(0.5, 1), 0.5)", 1},
        {"date_compare_datetime(-1.25, -1.5)", -1},
        {"date_compare_date(date_create_datetime(2007, 1, 1, 23, 0, 0),"
         " date_create_datetime(2007, 1, 1, 1, 0, 0))",
         0},
        {"date_compare_date(date_create_date(2007, 1, 2), date_create_date(2007, 1, 1))", 1},
        {"date_compare_time(date_create_datetime(2007, 1, 1, 23, 0, 0),"
         " date_create_datetime(2007, 1, 1, 1, 0, 0))",
         1},
        {"date_compare_time(date_create_time(1, 0, 0), date_create_datetime(2000, 1, 1, 1, 0, 0))",
         0},
    };
    for (auto [source, expected] : cases) EXPECT_NEAR(Real(source), expected, 1e-9) << source;
}

TEST_F(DateFunctionsTest, InvalidDatesGiveZeroWithoutAMessage) {
    const char* functions[] = {
        "date_get_year",
        "date_get_month",
        "date_get_week",
        "date_get_day",
        "date_get_hour",
        "date_get_minute",
        "date_get_second",
        "date_get_weekday",
        "date_get_day_of_year",
        "date_get_hour_of_year",
        "date_get_minute_of_year",
        "date_get_second_of_year",
        "date_date_of",
        "date_time_of",
        "date_days_in_month",
        "date_days_in_year",
        "date_leap_year",
        "date_is_today",
    };
    for (double bad : {kNaN, kInf, -kInf, 1e300, -1e300, 3e6, -7e5}) {
        for (const char* name : functions) EXPECT_TRUE(IsReal(Call(name, {bad}), 0)) << name;
        for (const char* name : {"date_inc_year", "date_inc_day", "date_inc_second"})
            EXPECT_TRUE(IsReal(Call(name, {bad, 1}), 0)) << name;
        for (const char* name : {"date_day_span", "date_month_span", "date_compare_datetime",
                                 "date_compare_date", "date_compare_time"}) {
            EXPECT_TRUE(IsReal(Call(name, {bad, 1}), 0)) << name;
            EXPECT_TRUE(IsReal(Call(name, {1, bad}), 0)) << name;
        }
        EXPECT_TRUE(IsReal(Call("date_create_date", {bad, 1, 1}), 0));
        const RValue text = Call("date_date_string", {bad});
        EXPECT_TRUE(text.IsString() && text.text.empty());
    }
    EXPECT_TRUE(IsReal(Call("date_inc_day", {1, 1e15}), 0));  // far outside the years
    EXPECT_TRUE(IsReal(Call("date_inc_month", {1, -1e15}), 0));
    EXPECT_TRUE(IsReal(Call("date_inc_second", {1, 9e18}), 0));
    // An amount with no integer at all rounds to 0, as everywhere in the language.
    EXPECT_TRUE(IsReal(Call("date_inc_hour", {1.5, kNaN}), 1.5));
    EXPECT_TRUE(IsReal(Call("date_inc_hour", {1.5, 1e300}), 1.5));
    EXPECT_TRUE(w.Run("d = date_create_date(2007, 2, 30); d = date_get_year(d);").ok);
}

TEST_F(DateFunctionsTest, NowIsTodayInLocalTime) {
    for (int attempt = 0; attempt < 3; ++attempt) {  // a midnight in between spoils one try
        const double date = Real("date_current_date()");
        const double now = Real("date_current_datetime()");
        const double time = Real("date_current_time()");
        if (Real("date_current_date()") != date) continue;
        EXPECT_EQ(date, std::floor(date));
        EXPECT_GE(now, date);
        EXPECT_LT(now, date + 1);
        EXPECT_GE(time, 0);
        EXPECT_LT(time, 1);
        EXPECT_NEAR(time, now - date, 1.0 / 86400);
        EXPECT_GT(date, DaysFromCivil(2020, 1, 1));
        EXPECT_EQ(Real("date_is_today(date_current_datetime())"), 1);
        EXPECT_EQ(Real("date_is_today(date_current_date() + 0.999)"), 1);
        EXPECT_EQ(Real("date_is_today(date_inc_day(date_current_datetime(), 1))"), 0);
        EXPECT_EQ(Real("date_is_today(date_current_time())"), 0);
        return;
    }
    FAIL() << "the date kept changing";
}

TEST_F(DateFunctionsTest, TextsUseTheHostTimeLocale) {
    const DatePoint p{DaysFromCivil(2007, 2, 3), ((4 * 60 + 5) * 60 + 6) * 1000};
    const std::pair<const char*, DateText> cases[] = {
        {"date_datetime_string(date_create_datetime(2007, 2, 3, 4, 5, 6))", DateText::kDateTime},
        {"date_date_string(date_create_datetime(2007, 2, 3, 4, 5, 6))", DateText::kDate},
        {"date_time_string(date_create_datetime(2007, 2, 3, 4, 5, 6))", DateText::kTime},
    };
    for (auto [source, part] : cases) {
        test::RunResult r = w.Eval(source);
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_TRUE(test::IsText(r.result, FormatDate(p, part, HostTimeLocale()))) << source;
        EXPECT_FALSE(r.result.text.empty());
    }
    // The process-wide locale is left alone.
    EXPECT_EQ(std::locale().name(), std::locale::classic().name());
}

}  // namespace
}  // namespace tb
