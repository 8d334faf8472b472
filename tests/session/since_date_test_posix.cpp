// The SINCE date of a listing with a day limit: the local date that many days back, month names
// in English whatever the locale; no limit lists everything since 1990 (a listing that uses it:
// EnumerationTest.UnselectableEmptyAndUnknownFolders).
#include <gtest/gtest.h>

#include <clocale>
#include <ctime>

#include "session_script.h"

// Zone, local "now" (as seconds), day limit, SINCE text.
TEST(SinceDate, LocalDateThatManyDaysBack) {
    struct Row {
        const char* zone;
        int32_t now;
        int32_t daysBack;
        const char* since;
    } rows[] = {
        {kZoneWest, 1704164400, 1, "31-Dec-2023"},   // 2024-01-01 22:00 local, already the 2nd in UTC
        {"<+13>-13", 1704027600, 1, "31-Dec-2023"},  // 2024-01-01 02:00 local, still 2023 in UTC
        {kZoneWest, 1705338000, 1, "14-Jan-2024"},   // 2024-01-15 12:00
        {kZoneWest, 1705338000, 15, "31-Dec-2023"},
        {kZoneWest, 1709301600, 1, "29-Feb-2024"},  // 2024-03-01 09:00, a leap year
        {kZoneWest, 1709301600, 366, "01-Mar-2023"},
        {kZoneWest, 1709301600, 0, "01-Jan-1990"},
        {kZoneWest, 1709301600, -3, "01-Jan-1990"},
        {kZoneWest, 1709301600, 1000000, "13-Dec-1901"},  // stops at the first 32-bit time
        {"UTC0", 1709301600, 30, "31-Jan-2024"},
    };
    setlocale(LC_TIME, "C");
    for (const Row& row : rows) {
        const ZoneGuard zone(row.zone);
        EXPECT_EQ(std::string(ImapSession::SinceDate(row.daysBack, row.now).c_str()), row.since)
            << row.zone << " " << row.now << " - " << row.daysBack;
    }
}
