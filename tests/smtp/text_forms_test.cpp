// The text forms of an outgoing message: recipient and attachment lists, dot-stuffing, the body
// wrap, base64, the UTC date, the content types of parts and the multipart text.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "../support/test_kit.h"
#include "smtp/address_list.h"
#include "smtp/attachment_file.h"
#include "smtp/attachment_list.h"
#include "smtp/base64_encode.h"
#include "smtp/body_wrap.h"
#include "smtp/content_type_table.h"
#include "smtp/dot_stuffing.h"
#include "smtp/mail_date.h"
#include "smtp/message_composer.h"

namespace {

std::string R(char ch, size_t n) { return std::string(n, ch); }
std::string Joined(const CStringArray& items, const char* after) {
    std::string text;
    for (const CString& item : items) text += item.str() + after;
    return text;
}

// One table per function from a text to a text; a row names its input and the text it gives.
TEST(TextForms, AddressesAttachmentListDotStuffingBodyWrapAndBase64) {
    const std::string a65 = R('a', 65), x65 = R('x', 65);
    const std::pair<std::string (*)(const std::string&), std::vector<std::pair<std::string, std::string>>>
        tables[] = {
            // The header reading splits on ";" only and stops at an empty item.
            {[](const std::string& in) { return smtp::FormatHeaderList(in).str(); },
             {{"Ann <a@x.org>;b@y.org", "Ann <a@x.org>, <b@y.org>"},
              {"a@x.org,b@y.org", "<a@x.org,b@y.org>"},
              {"a@x.org;;b@y.org", "<a@x.org>"},
              {"a@x.org; ;b@y.org", "<a@x.org>, , <b@y.org>"},
              {";a@x.org", ""},
              {"a@x.org;", "<a@x.org>"},
              {" a@x.org ; b@y.org ", "<a@x.org>, <b@y.org>"},
              {"\"Doe, J\" <j@x.org>", "\"Doe, J\" <j@x.org>"}}},
            // The envelope splits on "," and ";" outside double quotes and keeps bare addresses;
            // an unbalanced quote stays open to the end.
            {[](const std::string& in) { return Joined(smtp::RecipientCommands(in), ""); },
             {{"a@x.org;;b@y.org", "RCPT TO: <a@x.org>\r\nRCPT TO: <b@y.org>\r\n"},
              {"a@x.org, ,b@y.org", "RCPT TO: <a@x.org>\r\nRCPT TO: <b@y.org>\r\n"},
              {"a@x.org,", "RCPT TO: <a@x.org>\r\n"},
              {"\"Doe, John\" <j@x.org>", "RCPT TO: <j@x.org>\r\n"},
              {"\"Ann\" <a@x.org>, b@y.org", "RCPT TO: <a@x.org>\r\nRCPT TO: <b@y.org>\r\n"},
              {"j@x.org (John Doe)", "RCPT TO: <j@x.org>\r\n"},
              {"'j@x.org'", "RCPT TO: <j@x.org>\r\n"},
              {"\"j@x.org\"", ""},
              {"Ann <a@x.org", ""},
              {" , ; ", ""},
              {"\"Ann <a@x.org>, b@y.org", "RCPT TO: <a@x.org>\r\n"}}},
            {[](const std::string& in) { return smtp::ExtractAddress(in).str(); },
             {{" \"Ann\" <'a@x.org'>", "a@x.org"},
              {"b> <a", ""},
              {"a@x.org (Ann", "a@x.org (Ann"},
              {"(Ann) a@x.org", ""},
              {"Ann <a@x.org> (home)", "a@x.org"}}},
            // Matching quotes go repeatedly; what is inside is not trimmed again.
            {[](const std::string& in) { return smtp::Unquote(in).str(); },
             {{"  \"'a'\"  ", "a"}, {"\"", "\""}, {"\"a'", "\"a'"}, {"' a '", " a "}, {"\"\"\"", "\""}}},
            // Paths, then display names (after the last separator of either kind); an empty item
            // ends the list, a trailing comma gives one empty entry.
            {[](const std::string& in) {
                 CStringArray paths, names;
                 smtp::SplitAttachmentList(in, paths, names);
                 return Joined(paths, "|") + " " + Joined(names, "|");
             },
             {{"/tmp/x/a.txt,C:\\dir\\b.pdf", "/tmp/x/a.txt|C:\\dir\\b.pdf| a.txt|b.pdf|"},
              {"a,", "a|| a||"},
              {"a,,b", "a| a|"},
              {",a", " "},
              {" a , b", " a | b|  a | b|"},
              {"/dir/", "/dir/| |"}}},
            // The terminator line stays single; a period elsewhere in a line is left alone.
            {[](const std::string& in) { return smtp::DotStuffed(in); },
             {{"a\r\n.\r\n", "a\r\n.\r\n"},
              {"a\r\n.\r\n\r\n.\r\n", "a\r\n..\r\n\r\n.\r\n"},
              {"a\n.b\r\n.\r\n", "a\n..b\r\n.\r\n"},
              {"x.\r\ny. .\r\n.\r\n", "x.\r\ny. .\r\n.\r\n"},
              {".a", "..a"}}},
            // The break is the first space from index 55 to 65, else index 65; a last line
            // without a line end is never wrapped; a lone CR disappears.
            {[](const std::string& in) {
                 std::string out = "H:";
                 smtp::AppendWrappedBody(in, out);
                 return out;
             },
             {{a65 + "\n", "H:" + a65 + "\r\n"},
              {R('a', 66) + "\n", "H:" + a65 + "\r\na \r\n"},
              {R('a', 70), "H:" + R('a', 70) + "\r\n"},
              {R('x', 60) + " " + R('y', 20) + "\n", "H:" + R('x', 60) + "\r\n" + R('y', 20) + " \r\n"},
              {x65 + " yyyyy\n", "H:" + x65 + "\r\nyyyyy \r\n"},
              {R('x', 66) + " yyyyy\n", "H:" + x65 + "\r\nx yyyyy \r\n"},
              {R('x', 50) + " " + R('y', 20) + "\n",
               "H:" + R('x', 50) + " " + R('y', 14) + "\r\n" + R('y', 6) + " \r\n"},
              {R('a', 200) + "\n", "H:" + a65 + "\r\n" + a65 + "\r\n" + a65 + "\r\naaaaa \r\n"},
              {"one\rtwo\r\nthree", "H:onetwo\r\nthree\r\n"},
              {"\n\n", "H:\r\n\r\n"}}},
            // Both output forms give the same text; fill characters come after the line break
            // and do not count towards the 70 characters of a line.
            {[](const std::string& in) {
                 CString appended("prefix:");
                 EXPECT_TRUE(smtp::Base64Encode(in.data(), in.size(), appended));
                 const std::unique_ptr<char[]> buffer = smtp::Base64Encode(in.data(), in.size());
                 EXPECT_EQ(appended, CString("prefix:") + (buffer ? buffer.get() : "(none)"));
                 EXPECT_EQ(smtp::Base64EncodedLength(in.size()) + 7, appended.str().size());
                 return appended.str();
             },
             {{"", "prefix:"},
              {"M", "prefix:TQ=="},
              {"\xfb\xef\xff", "prefix:++//"},
              {R('A', 52),
               "prefix:QUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQQ\r\n=="},
              {std::string(105, '\0'), "prefix:" + R('A', 70) + "\r\n" + R('A', 70) + "\r\n"}}},
        };
    for (const auto& [function, rows] : tables) {
        for (const auto& [in, out] : rows) EXPECT_EQ(function(in), out) << in;
    }
}

// English names and +0000 whatever the machine's zone: west, east and at UTC.
TEST(TextForms, DateInUtcIndependentOfTheLocalZone) {
    const std::pair<int32_t, const char*> rows[] = {{1078391107, "Thu, 04 Mar 2004 09:05:07 +0000"},
                                                    {951868799, "Tue, 29 Feb 2000 23:59:59 +0000"},
                                                    {0x7FFFFFFF, "Tue, 19 Jan 2038 03:14:07 +0000"}};
    for (const char* zone : {kZoneWest, "JST-9", "UTC0"}) {
        const ZoneGuard pinned(zone);
        for (const auto& [seconds, text] : rows) {
            MailDate date;
            date.SetTime(seconds);
            CString formatted("previous text is replaced");
            EXPECT_TRUE(date.FormatUtc(formatted));
            EXPECT_EQ(formatted, text) << zone;
        }
    }
}

// The lookup is a substring test over extensions sorted shortest first: the exact extension wins
// ("c" before ".css"), a part finds the shortest holder ("tex" finds ".text"). A path's extension
// starts at its last ".", even in a directory name. A table that cannot be read loads nothing and
// is tried again on the next lookup; the system's table is the default.
TEST(ContentTypeTableTest, FirstEntryContainingTheExtensionWins) {
    TempDir dir;
    ContentTypeTable table((dir.path + "/mime.types").c_str());
    CString type;
    EXPECT_TRUE(table.Lookup("pdf", type));
    EXPECT_EQ(type, "application/octet-stream");  // no table yet
    dir.Write(
        "mime.types",
        "# comment line\n\napplication/vnd.ms-excel\t\txls xlb\napplication/pdf\t\t\t\tpdf\nimage/x-none\n"
        "text/css\t\t\t\t\tcss   # trailing comment\ntext/x-csrc\t\t\t\t\tc\ntext/plain\t\t\t\t\tTXT "
        "text\r\n");
    const char* other = "application/octet-stream";
    const std::pair<const char*, const char*> rows[] = {
        {"PDF", "application/pdf"},           {"c", "text/x-csrc"}, {"ss", "text/css"}, {"tex", "text/plain"},
        {".xlb", "application/vnd.ms-excel"}, {"zip", other},       {"", other},        {nullptr, other}};
    for (const auto& [extension, expected] : rows) {
        type = "stale";
        EXPECT_EQ(table.Lookup(extension, type), extension && *extension) << Text(extension);
        EXPECT_EQ(type, expected) << Text(extension);
    }
    const std::pair<const char*, const char*> paths[] = {{"/home/u/report.PDF", "application/pdf"},
                                                         {"/home/u/notes", other},
                                                         {"/home/u.d/notes", other},
                                                         {"/tmp/archive.tar.c", "text/x-csrc"}};
    for (const auto& [path, expected] : paths) {
        table.Lookup(AttachmentFile(path).Extension(), type);
        EXPECT_EQ(type, expected) << path;
    }
    EXPECT_EQ(table.GetCount(), 7);
    ContentTypeTable system;
    const std::pair<const char*, const char*> common[] = {
        {"pdf", "application/pdf"}, {"txt", "text/plain"}, {"png", "image/png"}, {"jpg", "image/jpeg"}};
    for (const auto& [extension, expected] : common)
        EXPECT_TRUE(system.Lookup(extension, type) && type == expected) << extension;
}

// The second file is missing: its part keeps its headers, with no content.
TEST(MessageComposerTest, MultipartWithTwoAttachmentsOneUnreadable) {
    TempDir dir;
    ContentTypeTable table(dir.Write("mime.types", "application/pdf pdf\ntext/plain txt\n").c_str());
    CMsg message;
    message.m_strTo = "a@x.org";
    message.m_strSubject = "Files";
    message.m_strFrom = "me@x.org";
    message.m_strBody = "Hi";
    message.m_strAttachments =
        CString(dir.Write("report.pdf", "hello").c_str()) + "," + dir.path.c_str() + "/gone/notes.txt";
    const smtp::Composition with{
        .displayName = "", .includeAttachments = true, .time = 1078391107, .contentTypes = &table};
    CString text("left over from before");
    EXPECT_EQ(smtp::ComposeHeaders(message, with, text), 0);
    EXPECT_EQ(smtp::ComposeBody(message, with, text), 0);
    EXPECT_EQ(smtp::ComposeAttachments(message, with, text), 0);
    const auto part = [](const std::string& type, const std::string& name) {
        return "\r\n--====_NextPart_====\r\nContent-Type: " + type + ";\r\n\t name=\"" + name +
               "\"\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; "
               "\r\n\tfilename=\"" +
               name + "\"\r\n\r\n";
    };
    EXPECT_EQ(text.str(),
              Crlf("To: <a@x.org>\nSubject: Files\nFrom: <me@x.org>\n"
                   "Date: Thu, 04 Mar 2004 09:05:07 +0000\n"
                   "X-Mailer: Ostravo (TM) IMAP Plug-in Mail Module 2.0.7.0\n"
                   "X-Sender: <me@x.org>\nMime-Version: 1.0\n"
                   "Content-Type: multipart/mixed; boundary=\"====_NextPart_====\"\n\n"
                   "This is a multi-part message in MIME format.\n\n--====_NextPart_====\n"
                   "Content-Type: text/plain; charset=\"ISO-8859-1\"\nContent-Transfer-Encoding: 8bit\n\n"
                   "Hi\n\n") +
                  part("application/pdf", "report.pdf") + "aGVsbG8=\r\n\r\n" +
                  part("text/plain", "notes.txt") + "\r\n\r\n--====_NextPart_====--\r\n");
    EXPECT_EQ(message.m_strBody, "Hi");
}

}  // namespace
