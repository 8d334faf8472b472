#include "smtp/mail_date.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

CString Formatted(int32_t seconds) {
    MailDate date;
    date.SetTime(seconds);
    CString text("previous text is replaced");
    EXPECT_TRUE(date.FormatUtc(text));
    return text;
}

// English names and +0000 whatever the machine's zone: west, east and at UTC.
TEST(MailDateTest, FormatsUtcIndependentOfTheLocalZone) {
    const char* saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    for (const char* zone : {"EST5EDT,M3.2.0,M11.1.0", "JST-9", "UTC0"}) {
        setenv("TZ", zone, 1);
        tzset();
        EXPECT_EQ(Formatted(1078391107), "Thu, 04 Mar 2004 09:05:07 +0000") << zone;
        EXPECT_EQ(Formatted(951868799), "Tue, 29 Feb 2000 23:59:59 +0000") << zone;
        EXPECT_EQ(Formatted(0x7FFFFFFF), "Tue, 19 Jan 2038 03:14:07 +0000") << zone;
    }
    saved ? setenv("TZ", previous.c_str(), 1) : unsetenv("TZ");
    tzset();
}

}  // namespace
