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

}  // namespace
