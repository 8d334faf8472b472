// Helpers shared by the MIME tests: message lines as the IMAP engine splits them, and parsed messages.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "mime/mime_parser.h"
#include "platform/cstring.h"
#include "platform/line_array.h"
#include "../support/test_kit.h"


inline LineArray LinesOf(const std::string& text) {
    LineArray lines;
    lines.AppendLines(std::string_view(text));
    return lines;
}

using Names = std::vector<std::string>;

struct Parsed {
    LineArray lines;
    MimeParser parser;
    std::vector<const MimePart*> parts;

    explicit Parsed(const std::string& lfText) : lines(LinesOf(Crlf(lfText))) {
        EXPECT_TRUE(parser.Parse(0, lines.GetSize(), lines, true));
        for (const MimePartList::Node* n = parser.Parts().Head(); n; n = parser.Parts().After(n))
            parts.push_back(n->part);
    }
    Names Bodies() const {
        Names bodies;
        for (const MimePart* part : parts) bodies.push_back(part->body.str());
        return bodies;
    }
    Names Attachments() const {
        Names names;
        const MimePartList::Node* cursor = nullptr;
        for (MimePart* a = parser.FirstAttachment(cursor); a; a = parser.NextAttachment(cursor))
            names.push_back(a->fileName.str());
        EXPECT_EQ(cursor, nullptr);
        return names;
    }
};

