// Messages and dates cut short or out of range: a part header on the last line that holds the
// boundary, a forwarded message whose enclosing boundary comes before its blank line, dates the
// C library cannot represent.
#include <gtest/gtest.h>

#include "header_test_util.h"
#include "mime/boundary_registry.h"
#include "mime/date_parse.h"
#include "zone_guard.h"

namespace {

bool Registered(const char* boundary) { return BoundaryRegistry::Module().Contains(boundary); }

// A part header on the last line holding the part's own boundary: the part ends on that line, its
// level is not walked (its boundary stays registered), and the part starting there ends the walk.
TEST(CutShortInputTest, PartEndingWhereItBeganEndsTheWalk) {
    const struct {
        const char* name;
        std::string text;
        Names types;
        const char* stillRegistered;
        const char* gone;
    } cases[] = {
        {"top level, three lines",
         "Content-Type: multipart/mixed; boundary=\"cut8-top\"\n\n"
         "Content-Type: multipart/mixed; boundary=\"cut8-top-stalled\"\n",
         {"multipart/mixed"}, "cut8-top-stalled", nullptr},
        // The header line closes the part before it, then is a part of its own.
        {"nested level",
         Mixed("cut8n-top", {{"Content-Type: multipart/alternative; boundary=\"cut8n-alt\"", ""}}, false) +
             "--cut8n-alt\nContent-Type: multipart/related; boundary=\"cut8n-alt-rel\"\n",
         {"multipart/related", "multipart/related", "multipart/alternative"}, "cut8n-alt-rel", "cut8n-alt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Parsed m(c.text);
        Names types;
        for (const MimePart* part : m.parts) types.push_back(part->contentType.str());
        EXPECT_EQ(types, c.types);
        EXPECT_EQ(m.Bodies(), Names(c.types.size(), ""));
        EXPECT_TRUE(Registered(c.stillRegistered));
        if (c.gone) {
            EXPECT_FALSE(Registered(c.gone)) << "the walk that ended leaves";
        }
    }
    // A later message of the session: its container's boundary never comes, so the container
    // ends at the first line the registry knows, here one inside the stalled boundary.
    Parsed later(Mixed("cut8-later", {{"Content-Type: multipart/alternative; boundary=\"cut8-never\"",
                                       "preamble\ntop-stalled\nrest\n"}}));
    EXPECT_EQ(later.Bodies(), Names{"preamble\n"});
}

TEST(CutShortInputTest, ForwardedHeaderReadStaysInItsRange) {
    // The enclosing boundary closes the forwarded part before its blank line: the embedded
    // message's range is empty, and the header after the blank line lies outside it.
    Parsed m("Subject: Outer\n" + Mixed("cut10", {{"Content-Type: text/plain", "Outer.\n"}}, false) +
             "--cut10\nContent-Type: message/rfc822\nFrom: inner@y\n--cut10--\n\nSubject: outside\nmore\n");
    EXPECT_EQ(m.Bodies(),
              Names{"Outer.\n\r\n\r\nDate: \r\nFrom: \r\nTo: \r\ncc: \r\nSubject: \r\n\r\n"});
    EXPECT_EQ(m.parser.HeaderFields().subject, "Outer");

    // The same at the header reader itself: a range starting past its end reads nothing.
    const LineArray lines = LinesOf("Subject: outside\r\nTo: t@x\r\n");
    MimeHeaderBlock block;
    int position = 1;
    ParseHeaders(position, lines, 0, block);
    EXPECT_EQ(block.subject, "");
    EXPECT_EQ(block.to, "");
    EXPECT_EQ(position, 1);
}

// The invalid time value -1, shifted by the zone; -1 is also the valid result one second before
// 1970 UTC, and must not be taken for a failure. The two-digit years are those of real messages.
TEST(CutShortInputTest, UnrepresentableDatesAreMinusOneShiftedByTheZone) {
    const struct {
        const char* tz;
        LocalZoneOffsets zone;
        const char* text;
        int32_t expected;
    } cases[] = {
        {"UTC0", {0, 0}, "Wed, 20 Dec 95 19:59 -0600", -1 + 6 * 3600},
        {"UTC0", {0, 0}, "Mon, 21 Aug 95 13:30:57 -600", -1 + 6 * 3600},
        {"UTC0", {0, 0}, "Wed, 11 Feb 98 11:51 CST", -1},
        {"UTC0", {0, 0}, "12 Jan 99999999999 10:00:00 +0000", -1},
        {"UTC0", {0, 0}, "1 Jan 2040 00:00:00 +0100", -1 - 3600},
        {"UTC0", {0, 0}, "31 Dec 1969 23:59:59", -1},
        {"UTC0", {0, 0}, "31 Dec 1969 23:59:59 +0100", -1 - 3600},
        {"UTC0", {0, 0}, "31 Dec 1969 23:59:58 +0000", -2},
        {kZoneEast, {3600, 0}, "Wed, 20 Dec 95 19:59 -0600", -1 + 3600 + 6 * 3600},
        {kZoneEast, {3600, 0}, "1 Jan 1970 00:59:59 +0100", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.tz) + ": " + c.text);
        ZoneGuard pin(c.tz);
        EXPECT_EQ(ParseDateIn(c.text, false, c.zone), c.expected);
    }
    ZoneGuard utc("UTC0");
    int32_t value = 7;
    EXPECT_TRUE(CTime::LocalToTime(1969, 12, 31, 23, 59, 59, -1, value)) << "a value, not a failure";
    EXPECT_EQ(value, -1);
    EXPECT_FALSE(CTime::LocalToTime(95, 12, 20, 19, 59, 0, -1, value));
}

}  // namespace
