// The POSIX back end of the platform layer: the temporary directory from TMPDIR, and the zone
// from TZ rules and zone files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <tuple>

#include "../support/test_kit.h"
#include "platform/files.h"
#include "platform/timezone.h"

TEST(FilesTest, TempDirectoryEndsWithASeparator) {
    const char* saved = std::getenv("TMPDIR");
    const std::string previous = saved ? saved : "";
    const std::pair<const char*, const char*> cases[] = {
        {nullptr, "/tmp/"}, {"", "/tmp/"}, {"/var/tmp", "/var/tmp/"}, {"/var/tmp/", "/var/tmp/"}};
    for (const auto& [value, expected] : cases) {
        value ? setenv("TMPDIR", value, 1) : unsetenv("TMPDIR");
        EXPECT_EQ(files::TempDirectory(), expected) << (value ? value : "(unset)");
    }
    saved ? setenv("TMPDIR", previous.c_str(), 1) : unsetenv("TMPDIR");
}

// Bias, the daylight flag and bias, then each change as year.month.weekday.day.hour.
static std::string Describe(const TimeZoneInformation& info, bool daylight) {
    const auto change = [](const ZoneTransition& t) {
        std::string s;
        for (int field : {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour}) s += "." + std::to_string(field);
        return s.substr(1);
    };
    return std::to_string(info.Bias) + (daylight ? " daylight " : " standard ") +
           std::to_string(info.DaylightBias) + " " + change(info.DaylightDate) + " " +
           change(info.StandardDate) +
           (info.StandardBias ? " standard bias " + std::to_string(info.StandardBias) : "");
}

TEST(PosixZoneRuleTest, BecomesTheWindowsRecordOrIsRefused) {
    const std::pair<const char*, const char*> cases[] = {
        {"CET-1CEST,M3.5.0,M10.5.0/3", "-60 daylight -60 0.3.0.5.2 0.10.0.5.3"},
        {"EST5EDT", "300 daylight -60 0.3.0.2.2 0.11.0.1.2"},
        {"AEST-10AEDT,M10.1.0,M4.1.0/3", "-600 daylight -60 0.10.0.1.2 0.4.0.1.3"},
        {"<+0530>-5:30", "-330 standard 0 0.0.0.0.0 0.0.0.0.0"},
        {"<-03>3", "180 standard 0 0.0.0.0.0 0.0.0.0.0"},
        {"LHST-10:30LHDT-11,M10.1.0,M4.1.0", "-630 daylight -30 0.10.0.1.2 0.4.0.1.2"},
        {"XST3XDT,J60,J300", "180 daylight -60 2024.3.0.1.2 2024.10.0.27.2"},
        {"XST3XDT,59,300/1", "180 daylight -60 2024.2.0.29.2 2024.10.0.27.1"},
        {"IST-2IDT,M3.4.4/26,M10.5.0", "-120 daylight -60 0.3.4.4.0 0.10.0.5.2"},
    };
    for (const auto& [rule, record] : cases) {
        for (bool before : {false, true}) {
            TimeZoneInformation info;
            bool daylight = before;
            ASSERT_TRUE(ParsePosixZoneRule(rule, 2024, info, daylight)) << rule;
            EXPECT_EQ(Describe(info, daylight), record) << rule;
        }
    }
    for (const char* rule : {"", "C", "CET", "CE-1", "CET-1CEST,M13.1.0,M10.5.0", "CET-1CEST,M3.5.0",
                             "CET-1CEST,M3.6.0,M10.5.0", "CET-1CEST,M3.5.7,M10.5.0", "CET-1CEST,J0,J300",
                             "CET-99", "<AB-1", "CET-1CEST,M3.5.0,M10.5.0junk"}) {
        TimeZoneInformation info;
        bool daylight = false;
        EXPECT_FALSE(ParsePosixZoneRule(rule, 2024, info, daylight)) << rule;
    }
}

// An unknown zone is UTC; a fixed zone from a zone file has no daylight saving.
TEST(LocalZoneInformationTest, ReadsTzRulesAndZoneFiles) {
    const bool zoneFiles = access("/usr/share/zoneinfo/America/New_York", R_OK) == 0;
    const std::tuple<const char*, TimeZoneId, const char*> cases[] = {
        {"CET-1CEST,M3.5.0,M10.5.0/3", TimeZoneId::Standard, "-60 daylight -60 0.3.0.5.2 0.10.0.5.3"},
        {"Nowhere/Zone", TimeZoneId::Unknown, "0 standard 0 0.0.0.0.0 0.0.0.0.0"},
        {"../../../etc/passwd", TimeZoneId::Unknown, "0 standard 0 0.0.0.0.0 0.0.0.0.0"},
        {"America/New_York", TimeZoneId::Standard, "300 daylight -60 0.3.0.2.2 0.11.0.1.2"},
        {":America/New_York", TimeZoneId::Standard, "300 daylight -60 0.3.0.2.2 0.11.0.1.2"},
        {"Asia/Kolkata", TimeZoneId::Unknown, "-330 standard 0 0.0.0.0.0 0.0.0.0.0"},
    };
    for (const auto& [tz, expectedId, record] : cases) {
        if (!zoneFiles && std::string(tz).find('/') != std::string::npos) continue;  // from zone files
        ZoneGuard guard(tz);
        TimeZoneInformation info;
        info.Bias = 77;
        const TimeZoneId id = GetTimeZoneInformation(info, 2024);
        EXPECT_EQ(id, expectedId) << tz;
        EXPECT_EQ(Describe(info, id == TimeZoneId::Standard), record) << tz;
    }
}
