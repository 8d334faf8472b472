// Helpers shared by the MIME tests: message lines as the IMAP engine splits them, and parsed messages.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../support/test_kit.h"
#include "mime/mime_parser.h"
#include "platform/cstring.h"
#include "platform/line_array.h"

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
    Names Attachments() const {
        Names names;
        const MimePartList::Node* cursor = nullptr;
        for (MimePart* a = parser.FirstAttachment(cursor); a; a = parser.NextAttachment(cursor))
            names.push_back(a->fileName.str());
        EXPECT_EQ(cursor, nullptr);
        return names;
    }
    // A line per part: type, {boundary}, [file name], (encoding), <disposition>, then the body. Then
    // the text parts chosen, the attachments listed and the subject.
    std::string Summary() const {
        std::string out;
        const auto add = [](std::string& s, const char* open, const CString& field, const char* close) {
            if (!field.IsEmpty()) s += open + field.str() + close;
        };
        for (const MimePart* p : parts) {
            std::string s = p->contentType.str();
            add(s, " {", p->boundary, "}");
            add(s, " [", p->fileName, "]");
            add(s, " (", p->transferEncoding, ")");
            add(s, " <", p->disposition, ">");
            out += s + ": " + p->body.str() + " | ";
        }
        const auto index = [this](bool html) {
            const auto at = std::find(parts.begin(), parts.end(), parser.FindTextPart(html));
            return at == parts.end() ? std::string("-") : std::to_string(at - parts.begin());
        };
        std::string listed = "text " + index(false) + " html " + index(true) + " listed";
        for (const std::string& name : Attachments()) listed += " " + name;
        add(listed, " subject ", parser.HeaderFields().subject, "");
        return out + listed;
    }
};
