// The platform layer's ties to the system: files (writing, reading under the attachment rules or
// without them, removing, new files that never open a name in use) on both systems, and on POSIX
// the temporary directory from TMPDIR and the zone from TZ rules and zone files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "../support/test_kit.h"
#include "platform/ctime.h"
#include "platform/files.h"
#include "platform/timezone.h"

// One directory carried through: the attachment rules (writable, not empty) apply to
// ReadWholeFile only, the plain reader takes any regular file. A new file replaces an old one
// whole; a link planted at the name is refused. A new file never opens a name in use, stays ours
// until something rewrites it, and is removed again when left unfinished. The reader reads from
// any offset, short at the end.
TEST(FilesTest, WriteReadRemoveAndNewFiles) {
    TempDir dir;
    const std::string path = dir.File("a(1).bin"), bytes("first\0second", 12);
    EXPECT_FALSE(files::Exists(path.c_str()));
    ASSERT_TRUE(files::WriteNew(path.c_str(), bytes.data(), bytes.size()));
    EXPECT_TRUE(files::Exists(path.c_str()));
    const struct {
        std::string path;
        bool whole, plain;
        std::string content;
    } cases[] = {
        {path, true, true, bytes},
        {dir.Write("ro.txt", "data", 0444), false, true, "data"},
        {dir.Write("empty.txt", ""), false, true, ""},
        {dir.path, false, false, ""},
        {dir.File("missing"), false, false, ""},
    };
    for (const auto& c : cases) {
        std::string out = "stale";
        EXPECT_EQ(files::ReadWholeFile(c.path.c_str(), out), c.whole) << c.path;
        EXPECT_EQ(out, c.whole ? c.content : "") << c.path;
        out = "stale";
        EXPECT_EQ(files::ReadPlainFile(c.path.c_str(), out), c.plain) << c.path;
        EXPECT_EQ(out, c.content) << c.path;
    }
    std::string read;
    ASSERT_TRUE(files::WriteNew(path.c_str(), "xy", 2));
    ASSERT_TRUE(files::ReadPlainFile(path.c_str(), read));
    EXPECT_EQ(read, "xy");
    EXPECT_TRUE(files::Remove(path.c_str()));
    EXPECT_FALSE(files::Exists(path.c_str()));
    EXPECT_FALSE(files::Remove(path.c_str()));
    EXPECT_FALSE(files::WriteNew(dir.File("no/such/dir").c_str(), "x", 1));
    EXPECT_FALSE(files::Exists(nullptr));
    chmod(cases[1].path.c_str(), 0644);  // so that the directory can go
#ifndef _WIN32
    ASSERT_EQ(::symlink(dir.File("elsewhere").c_str(), dir.File("planted").c_str()), 0);
    EXPECT_FALSE(files::WriteNew(dir.File("planted").c_str(), "x", 1));
    EXPECT_FALSE(files::Exists(dir.File("elsewhere").c_str())) << "the link's target is never created";
#endif

    const std::string taken = dir.Write("taken.bin", "theirs"), fresh = dir.File("fresh.bin");
    {
        files::NewFile file(taken.c_str());
        EXPECT_TRUE(file.NameTaken());
        EXPECT_FALSE(file.IsOpen() || file.Write("x", 1));
    }
    EXPECT_TRUE(files::ReadPlainFile(taken.c_str(), read));
    EXPECT_EQ(read, "theirs");
    files::FileIdentity identity;
    {
        files::NewFile file(fresh.c_str());
        ASSERT_TRUE(file.IsOpen());
        EXPECT_FALSE(file.NameTaken());
        EXPECT_TRUE(file.Write("ab\0c", 4) && file.Write("d", 1) && file.Close(&identity));
    }
    EXPECT_TRUE(files::IsSameFile(fresh.c_str(), identity));
    {
        const files::ExclusiveFile file(fresh.c_str());
        char buffer[8] = {};
        EXPECT_EQ(file.ReadAt(1, buffer, sizeof buffer), 4u);
        EXPECT_EQ(std::string(buffer, 4), std::string("b\0cd", 4));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(files::WriteNew(fresh.c_str(), "abcd", 4));  // rewritten by someone else
    EXPECT_FALSE(files::IsSameFile(fresh.c_str(), identity));
    const std::string unfinished = dir.File("unfinished.bin");
    EXPECT_TRUE(files::NewFile(unfinished.c_str()).Write("x", 1));
    EXPECT_FALSE(files::Exists(unfinished.c_str()));
}

// Times before 1970 (a long day limit reaches back to 1901) still have a calendar date, on
// Windows too, where the runtime refuses them: the UTC form exactly, the local one as a real date
// that the parts and the formatted text agree on (its zone is the machine's).
TEST(CTimeTest, DatesBefore1970) {
    const struct {
        int32_t time;
        const char* utc;
    } rows[] = {
        {INT32_MIN, "1901-12-13 20:45:52 day 347 Fri"},  {-157852800, "1964-12-31 00:00:00 day 366 Thu"},
        {-121219200, "1966-02-28 00:00:00 day 059 Mon"}, {-58060800, "1968-02-29 00:00:00 day 060 Thu"},
        {-57974400, "1968-03-01 00:00:00 day 061 Fri"},  {-1, "1969-12-31 23:59:59 day 365 Wed"},
        {951782400, "2000-02-29 00:00:00 day 060 Tue"},
    };
    for (const auto& row : rows) {
        const CTime time(row.time);
        EXPECT_EQ(std::string(time.FormatGmt("%Y-%m-%d %H:%M:%S day %j %a").c_str()), row.utc);
        char local[16];
        snprintf(local, sizeof local, "%04d-%02d-%02d", time.GetYear(), time.GetMonth(), time.GetDay());
        EXPECT_EQ(std::string(time.Format("%Y-%m-%d").c_str()), local);
        EXPECT_LE(std::abs(time.GetYear() - std::atoi(row.utc)), 1) << local;
        EXPECT_TRUE(time.GetMonth() >= 1 && time.GetMonth() <= 12 && time.GetDay() >= 1) << local;
    }
}

#ifndef _WIN32
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

// TZ as a rule or a zone file, read as the Windows record: bias, the daylight flag and bias, then
// each change as year.month.weekday.day.hour. A rule that is refused falls back to the zone file
// of that name, and an unknown zone is UTC; a fixed zone from a zone file has no daylight saving.
TEST(LocalZoneInformationTest, ReadsTzRulesAndZoneFiles) {
    const auto describe = [](const TimeZoneInformation& info, bool daylight) {
        const auto change = [](const ZoneTransition& t) {
            std::string s;
            for (int field : {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour})
                s += "." + std::to_string(field);
            return s.substr(1);
        };
        return std::to_string(info.Bias) + (daylight ? " daylight " : " standard ") +
               std::to_string(info.DaylightBias) + " " + change(info.DaylightDate) + " " +
               change(info.StandardDate) +
               (info.StandardBias ? " standard bias " + std::to_string(info.StandardBias) : "");
    };
    const char* const utc = "0 standard 0 0.0.0.0.0 0.0.0.0.0";
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
        {"", utc},
        {"C", utc},
        {"CE-1", utc},
        {"CET-1CEST,M13.1.0,M10.5.0", utc},
        {"CET-1CEST,M3.5.0", utc},
        {"CET-1CEST,M3.6.0,M10.5.0", utc},
        {"CET-1CEST,M3.5.7,M10.5.0", utc},
        {"CET-1CEST,J0,J300", utc},
        {"CET-99", utc},
        {"<AB-1", utc},
        {"CET-1CEST,M3.5.0,M10.5.0junk", utc},
        {"Nowhere/Zone", utc},
        {"../../../etc/passwd", utc},
        {"CET", "-60 daylight -60 0.3.0.5.2 0.10.0.5.3"},  // no offset: not a rule, the zone file
        {"America/New_York", "300 daylight -60 0.3.0.2.2 0.11.0.1.2"},
        {":America/New_York", "300 daylight -60 0.3.0.2.2 0.11.0.1.2"},
        {"Asia/Kolkata", "-330 standard 0 0.0.0.0.0 0.0.0.0.0"},
    };
    const bool zoneFiles = access("/usr/share/zoneinfo/America/New_York", R_OK) == 0;
    for (const auto& [tz, record] : cases) {
        if (!zoneFiles && (std::string(tz) == "CET" || std::strchr(tz, '/'))) continue;  // from zone files
        ZoneGuard guard(tz);
        TimeZoneInformation info;
        info.Bias = 77;
        const TimeZoneId id = GetTimeZoneInformation(info, 2024);
        EXPECT_EQ(id, std::string(record).find("daylight") != std::string::npos ? TimeZoneId::Standard
                                                                                : TimeZoneId::Unknown)
            << tz;
        EXPECT_EQ(describe(info, id == TimeZoneId::Standard), record) << tz;
    }
}
#endif
