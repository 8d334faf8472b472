#include "platform/timezone.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace {

struct RuleCase {
    const char* rule;
    int32_t bias;
    bool daylight;
    int32_t daylightBias;
    ZoneTransition toDaylight;
    ZoneTransition toStandard;
};

void ExpectDate(const ZoneTransition& got, const ZoneTransition& want, const char* what) {
    EXPECT_EQ(got.wYear, want.wYear) << what;
    EXPECT_EQ(got.wMonth, want.wMonth) << what;
    EXPECT_EQ(got.wDayOfWeek, want.wDayOfWeek) << what;
    EXPECT_EQ(got.wDay, want.wDay) << what;
    EXPECT_EQ(got.wHour, want.wHour) << what;
}

TEST(PosixZoneRuleTest, BecomesTheWindowsRecord) {
    const RuleCase cases[] = {
        {"CET-1CEST,M3.5.0,M10.5.0/3", -60, true, -60, {0, 3, 0, 5, 2}, {0, 10, 0, 5, 3}},
        {"EST5EDT", 300, true, -60, {0, 3, 0, 2, 2}, {0, 11, 0, 1, 2}},
        {"AEST-10AEDT,M10.1.0,M4.1.0/3", -600, true, -60, {0, 10, 0, 1, 2}, {0, 4, 0, 1, 3}},
        {"<+0530>-5:30", -330, false, 0, {}, {}},
        {"UTC0", 0, false, 0, {}, {}},
        {"<-03>3", 180, false, 0, {}, {}},
        {"LHST-10:30LHDT-11,M10.1.0,M4.1.0", -630, true, -30, {0, 10, 0, 1, 2}, {0, 4, 0, 1, 2}},
        {"XST3XDT,J60,J300", 180, true, -60, {2024, 3, 0, 1, 2}, {2024, 10, 0, 27, 2}},
        {"XST3XDT,59,300/1", 180, true, -60, {2024, 2, 0, 29, 2}, {2024, 10, 0, 27, 1}},
        {"IST-2IDT,M3.4.4/26,M10.5.0", -120, true, -60, {0, 3, 4, 4, 0}, {0, 10, 0, 5, 2}},
    };
    for (const RuleCase& c : cases) {
        TimeZoneInformation info;
        bool daylight = !c.daylight;
        ASSERT_TRUE(ParsePosixZoneRule(c.rule, 2024, info, daylight)) << c.rule;
        EXPECT_EQ(info.Bias, c.bias) << c.rule;
        EXPECT_EQ(daylight, c.daylight) << c.rule;
        EXPECT_EQ(info.StandardBias, 0) << c.rule;
        EXPECT_EQ(info.DaylightBias, c.daylightBias) << c.rule;
        ExpectDate(info.DaylightDate, c.toDaylight, c.rule);
        ExpectDate(info.StandardDate, c.toStandard, c.rule);
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

class TzEnv {
public:
    explicit TzEnv(const char* tz) {
        if (const char* old = std::getenv("TZ")) m_old = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~TzEnv() {
        if (m_old)
            setenv("TZ", m_old->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> m_old;
};

TEST(LocalZoneInformationTest, ReadsTzRulesAndZoneFiles) {
    TimeZoneInformation info;
    {
        TzEnv tz("CET-1CEST,M3.5.0,M10.5.0/3");
        EXPECT_EQ(GetTimeZoneInformation(info, 2024), TimeZoneId::Standard);
        EXPECT_EQ(info.Bias, -60);
    }
    {
        TzEnv tz("Nowhere/Zone");
        EXPECT_EQ(GetTimeZoneInformation(info, 2024), TimeZoneId::Unknown);
        EXPECT_EQ(info.Bias, 0) << "an unknown zone is UTC";
    }
    {
        TzEnv tz("../../../etc/passwd");
        EXPECT_EQ(GetTimeZoneInformation(info, 2024), TimeZoneId::Unknown);
        EXPECT_EQ(info.Bias, 0);
    }
    if (access("/usr/share/zoneinfo/America/New_York", R_OK) != 0) GTEST_SKIP() << "no zone files";
    for (const char* name : {"America/New_York", ":America/New_York"}) {
        TzEnv tz(name);
        EXPECT_EQ(GetTimeZoneInformation(info, 2024), TimeZoneId::Standard) << name;
        EXPECT_EQ(info.Bias, 300) << name;
        EXPECT_EQ(info.DaylightDate.wMonth, 3) << name;
        EXPECT_EQ(info.StandardDate.wMonth, 11) << name;
    }
    {
        TzEnv tz("Asia/Kolkata");
        EXPECT_EQ(GetTimeZoneInformation(info, 2024), TimeZoneId::Unknown);
        EXPECT_EQ(info.Bias, -330);
    }
}

}  // namespace
