#include "mime/date_parse.h"

#include <gtest/gtest.h>

#include "zone_guard.h"

namespace {

TEST(ParseDateTest, FormsAndZoneArithmetic) {
    // Winter in the northern zones: no daylight adjustment in force.
    const struct {
        const char* tz;
        LocalZoneOffsets zone;
        const char* text;
        int32_t expected;
    } cases[] = {
        {"UTC0", {0, 0}, "12 Jan 2004 10:00:00 +0100", 1073898000},
        {"UTC0", {0, 0}, "Mon, 12 Jan 2004 10:00:00 +0530", 1073881800},
        {"UTC0", {0, 0}, "Mon, 12 Jan 2004 10:00:00 -0800", 1073930400},
        {"UTC0", {0, 0}, "Mon, 12 Jan 2004 10:00:00 GMT", 1073901600},
        {"UTC0", {0, 0}, "Mon, 12 Jan 2004 10:00:00 -0000", 1073901600},
        {"UTC0", {0, 0}, "Mon, 12 Jan 2004 10:00:00", 1073901600},
        {"UTC0", {0, 0}, "mon,   12  JAN 2004   10:00:00   +0100  ", 1073898000},
        {"UTC0", {0, 0}, "\r\n\t12 Jan 2004\r\n 10:00:00 +0100", 1073898000},
        {"UTC0", {0, 0}, "12 Jan 2004 9:05:00 GMT", 1073898300},
        {"UTC0", {0, 0}, "31 Apr 2004 10:00:00 +0000", 1083405600},
        // A text that cannot be converted gives 0.
        {"UTC0", {0, 0}, "Mon, 12 January 2004 10:00:00 +0100", 0},
        {"UTC0", {0, 0}, "Mon, Jan 12 2004 10:00:00 +0100", 0},
        {"UTC0", {0, 0}, "Mon,", 0},
        {"UTC0", {0, 0}, "", 0},
        {"UTC0", {0, 0}, "0 Jan 2004 10:00:00 +0000", 0},
        {"UTC0", {0, 0}, "12 Jan 99999999999 10:00:00 +0000", 0},
        {kZoneEast, {3600, 0}, "Mon, 12 Jan 2004 10:00:00 +0100", 1073898000},
        {kZoneEast, {3600, 0}, "Mon, 12 Jan 2004 11:00:00 +0200", 1073898000},
        {kZoneEast, {3600, 0}, "Mon, 12 Jan 2004 10:00:00 +0000", 1073898000},  // zone 0: fields stay local
        {kZoneEast, {3600, 0}, "Mon, 12 Jul 2004 10:00:00 +0200", 1089615600},  // adjustment of now, not July
        {kZoneEast, {3600, 3600}, "Mon, 12 Jul 2004 10:00:00 +0200", 1089619200},
        {kZoneWest, {-18000, 0}, "Mon, 12 Jan 2004 10:00:00 -0800", 1073930400},
        {kZoneWest, {-18000, 0}, "Mon, 12 Jan 2004 10:00:00 +0100", 1073898000},
        {kZoneSouth, {36000, 3600}, "Mon, 12 Jan 2004 10:00:00 +1100", 1073862000},
    };
    for (const auto& c : cases) {
        ZoneGuard pin(c.tz);
        EXPECT_EQ(ParseDateIn(c.text, false, c.zone), c.expected) << c.tz << ": " << c.text;
    }
    EXPECT_EQ(ParseDateIn(nullptr, false, {}), 0);
}

TEST(ParseDateTest, Epoch1904AndTextForm) {
    ZoneGuard pin("UTC0");
    EXPECT_EQ(static_cast<uint32_t>(ParseDate("12 Jan 2004 10:00:00 GMT", true)),
              1073901600u + kEpoch1904Offset);
    EXPECT_EQ(ParseDate("12 Jan 2004 10:00:00 +0100", false), 1073898000);
    CTime time(77);
    EXPECT_FALSE(ParseDateText(time, ""));
    EXPECT_FALSE(ParseDateText(time, nullptr));
    EXPECT_EQ(time.GetTime(), 77);
    EXPECT_TRUE(ParseDateText(time, "garbage"));
    EXPECT_EQ(time.GetTime(), 0);
    EXPECT_TRUE(ParseDateText(time, "Mon, 12 Jan 2004 10:00:00 +0100"));
    EXPECT_EQ(time.GetTime(), 1073898000);
}

TEST(LocalZoneTest, OffsetSignAndDaylightBiasNow) {
    // The southern zone's daylight period spans the turn of the year: never in force here.
    const struct {
        const char* tz;
        int32_t east;
    } cases[] = {
        {"UTC0", 0}, {kZoneWest, -18000}, {kZoneSouth, 36000}, {"<+0530>-5:30", 19800}, {kZoneEast, 3600}};
    for (const auto& c : cases) {
        ZoneGuard pin(c.tz);
        EXPECT_EQ(CurrentLocalZone().standardOffsetEast, c.east) << c.tz;
        if (std::string(c.tz) == kZoneSouth || c.east == 0) {
            EXPECT_EQ(DaylightBiasNow(), 0) << c.tz;
        }
    }
    ZoneGuard pin(kZoneEast);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const int32_t bias = DaylightBiasNow();
    // Away from the transition days the C library agrees on whether daylight saving is in force.
    if ((local.tm_mon == 2 || local.tm_mon == 9) && local.tm_mday >= 25)
        EXPECT_TRUE(bias == 0 || bias == 3600);
    else
        EXPECT_EQ(bias, local.tm_isdst > 0 ? 3600 : 0);
}

TimeZoneInformation Rules(const char* rule, int year = 2024) {
    TimeZoneInformation info;
    bool daylight = false;
    EXPECT_TRUE(ParsePosixZoneRule(rule, year, info, daylight)) << rule;
    return info;
}

// Also covers the last and fifth occurrences of IsOnOrAfterTransition, with February of 28 days.
TEST(DaylightBiasOnTest, TransitionDaysCountAsTheNewPeriod) {
    const TimeZoneInformation east = Rules(kZoneEast);
    const TimeZoneInformation south = Rules(kZoneSouth);
    // J60 is March 1st, J300 October 27th. The last Sunday of February in leap year 2004 (the
    // 29th) is taken one week early.
    const TimeZoneInformation absolute = Rules("XST3XDT,J60,J300");
    const TimeZoneInformation february = Rules("XST3XDT,M2.5.0,M10.5.0", 2004);
    const struct {
        const TimeZoneInformation& zone;
        int month, day, weekday;
        int32_t bias;
    } cases[] = {
        {east, 3, 30, 6, 0},       {east, 3, 31, 0, 3600},  // 2024: last Sunday of March is the 31st
        {east, 10, 26, 6, 3600},   {east, 10, 27, 0, 0},        {east, 7, 1, 1, 3600},
        {south, 1, 15, 0, 0},      {south, 7, 15, 0, 0},        {absolute, 2, 29, 4, 0},
        {absolute, 3, 1, 5, 3600}, {absolute, 10, 26, 6, 3600}, {absolute, 10, 27, 0, 0},
        {february, 2, 21, 6, 0},   {february, 2, 22, 0, 3600},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DaylightBiasOn(c.zone, c.month, c.day, c.weekday), c.bias) << c.month << "/" << c.day;
}

TEST(IsOnOrAfterTransitionTest, Table) {
    const struct {
        int month, transitionWeekday, todayWeekday, today, occurrence;
        bool expected;
    } cases[] = {
        {10, 0, 0, 13, 2, true}, {10, 0, 6, 12, 2, false},  // October 2024, second Sunday the 13th
        {4, 0, 0, 7, 1, true},   {4, 0, 6, 6, 1, false},    // April 2024, first Sunday the 7th
        {4, 0, 0, 28, 4, true},  {4, 0, 6, 27, 4, false},   // fourth Sunday the 28th
        {11, 3, 2, 5, 1, false}, {11, 3, 3, 6, 1, true},    // first Wednesday, November 2024
        {11, 0, 0, 24, 0, true}, {11, 0, 6, 23, 9, false},  // other occurrences mean the last one
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsOnOrAfterTransition(c.month, c.transitionWeekday, c.todayWeekday, c.today, c.occurrence),
                  c.expected)
            << c.month << "/" << c.today << " occurrence " << c.occurrence;
}

TEST(DaysInMonthTest, NoLeapYears) {
    const int expected[15] = {31, 31, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31, 31};
    for (int month = -1; month <= 13; ++month) EXPECT_EQ(DaysInMonth(month), expected[month + 1]) << month;
}

}  // namespace
