#include "platform/timezone.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <tuple>

#include "../support/test_kit.h"

namespace {

auto Fields(const ZoneTransition& t) {
    return std::make_tuple(t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour);
}

TEST(PosixZoneRuleTest, BecomesTheWindowsRecord) {
    const struct {
        const char* rule;
        int32_t bias;
        bool daylight;
        int32_t daylightBias;
        ZoneTransition toDaylight, toStandard;
    } cases[] = {
        {"CET-1CEST,M3.5.0,M10.5.0/3", -60, true, -60, {0, 3, 0, 5, 2}, {0, 10, 0, 5, 3}},
        {"EST5EDT", 300, true, -60, {0, 3, 0, 2, 2}, {0, 11, 0, 1, 2}},
        {"AEST-10AEDT,M10.1.0,M4.1.0/3", -600, true, -60, {0, 10, 0, 1, 2}, {0, 4, 0, 1, 3}},
        {"<+0530>-5:30", -330, false, 0, {}, {}},
        {"<-03>3", 180, false, 0, {}, {}},
        {"LHST-10:30LHDT-11,M10.1.0,M4.1.0", -630, true, -30, {0, 10, 0, 1, 2}, {0, 4, 0, 1, 2}},
        {"XST3XDT,J60,J300", 180, true, -60, {2024, 3, 0, 1, 2}, {2024, 10, 0, 27, 2}},
        {"XST3XDT,59,300/1", 180, true, -60, {2024, 2, 0, 29, 2}, {2024, 10, 0, 27, 1}},
        {"IST-2IDT,M3.4.4/26,M10.5.0", -120, true, -60, {0, 3, 4, 4, 0}, {0, 10, 0, 5, 2}},
    };
    for (const auto& c : cases) {
        TimeZoneInformation info;
        bool daylight = !c.daylight;
        ASSERT_TRUE(ParsePosixZoneRule(c.rule, 2024, info, daylight)) << c.rule;
        EXPECT_EQ(info.Bias, c.bias) << c.rule;
        EXPECT_EQ(daylight, c.daylight) << c.rule;
        EXPECT_EQ(info.StandardBias, 0) << c.rule;
        EXPECT_EQ(info.DaylightBias, c.daylightBias) << c.rule;
        EXPECT_EQ(Fields(info.DaylightDate), Fields(c.toDaylight)) << c.rule;
        EXPECT_EQ(Fields(info.StandardDate), Fields(c.toStandard)) << c.rule;
    }
}

TEST(PosixZoneRuleTest, MalformedRulesAreRefused) {
    for (const char* rule : {"", "C", "CET", "CE-1", "CET-1CEST,M13.1.0,M10.5.0", "CET-1CEST,M3.5.0",
                             "CET-1CEST,M3.6.0,M10.5.0", "CET-1CEST,M3.5.7,M10.5.0", "CET-1CEST,J0,J300",
                             "CET-99", "<AB-1", "CET-1CEST,M3.5.0,M10.5.0junk"}) {
        TimeZoneInformation info;
        bool daylight = false;
        EXPECT_FALSE(ParsePosixZoneRule(rule, 2024, info, daylight)) << rule;
    }
}

TEST(LocalZoneInformationTest, ReadsTzRulesAndZoneFiles) {
    TimeZoneInformation info;
    {
        ZoneGuard tz("CET-1CEST,M3.5.0,M10.5.0/3");
        EXPECT_EQ(GetTimeZoneInformation(info, 2024), TimeZoneId::Standard);
        EXPECT_EQ(info.Bias, -60);
    }
    for (const char* name : {"Nowhere/Zone", "../../../etc/passwd"}) {
        ZoneGuard tz(name);
        EXPECT_EQ(GetTimeZoneInformation(info, 2024), TimeZoneId::Unknown) << name;
        EXPECT_EQ(info.Bias, 0) << "an unknown zone is UTC";
    }
    if (access("/usr/share/zoneinfo/America/New_York", R_OK) != 0) GTEST_SKIP() << "no zone files";
    for (const char* name : {"America/New_York", ":America/New_York"}) {
        ZoneGuard tz(name);
        EXPECT_EQ(GetTimeZoneInformation(info, 2024), TimeZoneId::Standard) << name;
        EXPECT_EQ(info.Bias, 300) << name;
        EXPECT_EQ(info.DaylightDate.wMonth, 3) << name;
        EXPECT_EQ(info.StandardDate.wMonth, 11) << name;
    }
    {
        ZoneGuard tz("Asia/Kolkata");
        EXPECT_EQ(GetTimeZoneInformation(info, 2024), TimeZoneId::Unknown);
        EXPECT_EQ(info.Bias, -330);
    }
}

}  // namespace
