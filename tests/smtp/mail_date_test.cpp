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

TEST(MailDateTest, FormatsUtcWithEnglishNamesAndZeroOffset) {
    struct Case {
        int32_t seconds;
        const char* text;
    } const cases[] = {
        {1078391107, "Thu, 04 Mar 2004 09:05:07 +0000"},
        {951868799, "Tue, 29 Feb 2000 23:59:59 +0000"},
        {0, "Thu, 01 Jan 1970 00:00:00 +0000"},
        {0x7FFFFFFF, "Tue, 19 Jan 2038 03:14:07 +0000"},
    };
    for (const Case& c : cases) EXPECT_EQ(Formatted(c.seconds), c.text);
}

// The header never uses the machine's zone: west and east of UTC give the same text.
TEST(MailDateTest, IndependentOfTheLocalZone) {
    const char* saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    for (const char* zone : {"EST5EDT,M3.2.0,M11.1.0", "JST-9", "UTC0"}) {
        setenv("TZ", zone, 1);
        tzset();
        EXPECT_EQ(Formatted(1078391107), "Thu, 04 Mar 2004 09:05:07 +0000") << zone;
    }
    if (saved) {
        setenv("TZ", previous.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

}  // namespace
