// The multipart message text with one part per file, and the content types the parts take
// from the table.
#include <gtest/gtest.h>

#include <string>

#include "../support/test_kit.h"
#include "smtp/attachment_file.h"
#include "smtp/content_type_table.h"
#include "smtp/message_composer.h"

namespace {

constexpr const char* kTable =
    "# comment line\n"
    "\n"
    "application/vnd.ms-excel\t\txls xlb\n"
    "application/pdf\t\t\t\tpdf\n"
    "image/x-none\n"
    "text/css\t\t\t\t\tcss   # trailing comment\n"
    "text/x-csrc\t\t\t\t\tc\n"
    "text/plain\t\t\t\t\tTXT text\r\n";

constexpr const char* kDateAndMailer =
    "Date: Thu, 04 Mar 2004 09:05:07 +0000\r\n"
    "X-Mailer: Ostravo (TM) IMAP Plug-in Mail Module 2.0.7.0\r\n";
constexpr const char* kTextPart =
    "Content-Type: text/plain; charset=\"ISO-8859-1\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";

// One entry per extension, lower case with its dot, in file order; the lookup is a plain
// substring test ("c" finds ".css" before ".c"); a path's extension starts at its last ".",
// even one in a directory name. A table that cannot be read loads nothing and is tried again
// on the next lookup.
TEST(ContentTypeTableTest, FirstEntryContainingTheExtensionWins) {
    TempDir dir;
    ContentTypeTable table((dir.path + "/mime.types").c_str());
    CString type;
    EXPECT_TRUE(table.Lookup("pdf", type));
    EXPECT_EQ(type, "application/octet-stream");
    dir.Write("mime.types", kTable);
    const struct {
        const char* extension;
        const char* type;
        bool answer;
    } cases[] = {
        {"PDF", "application/pdf", true},
        {"c", "text/css", true},
        {"tex", "text/plain", true},
        {".xlb", "application/vnd.ms-excel", true},
        {"zip", "application/octet-stream", true},
        {"", "application/octet-stream", false},
        {nullptr, "application/octet-stream", false},
    };
    for (const auto& c : cases) {
        type = "stale";
        EXPECT_EQ(table.Lookup(c.extension, type), c.answer) << (c.extension ? c.extension : "(null)");
        EXPECT_EQ(type, c.type) << (c.extension ? c.extension : "(null)");
    }
    const std::pair<const char*, const char*> paths[] = {
        {"/home/u/report.PDF", "application/pdf"},
        {"/home/u/notes", "application/octet-stream"},
        {"/home/u.d/notes", "application/octet-stream"},
        {"/tmp/archive.tar.c", "text/css"},
    };
    for (const auto& [path, expected] : paths) {
        table.Lookup(AttachmentFile(path).Extension(), type);
        EXPECT_EQ(type, expected) << path;
    }
    EXPECT_EQ(table.GetCount(), 7);
}

// The system's own table is the default source.
TEST(ContentTypeTableTest, SystemTableKnowsCommonTypes) {
    ContentTypeTable table;
    CString type;
    EXPECT_TRUE(table.Lookup("pdf", type));
    EXPECT_EQ(type, "application/pdf");
}

// Two files, the second missing: it keeps its part headers with no content; the content type
// comes from the table by extension.
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
    smtp::Composition with;
    with.includeAttachments = true;
    with.contentTypes = &table;
    with.time = 1078391107;
    CString text("left over from before");
    EXPECT_EQ(smtp::ComposeHeaders(message, with, text), 0);
    EXPECT_EQ(smtp::ComposeBody(message, with, text), 0);
    EXPECT_EQ(smtp::ComposeAttachments(message, with, text), 0);
    EXPECT_EQ(text.str(),
              "To: <a@x.org>\r\nSubject: Files\r\nFrom: <me@x.org>\r\n" + std::string(kDateAndMailer) +
                  "X-Sender: <me@x.org>\r\nMime-Version: 1.0\r\n"
                  "Content-Type: multipart/mixed; boundary=\"====_NextPart_====\"\r\n"
                  "\r\n"
                  "This is a multi-part message in MIME format.\r\n\r\n"
                  "--====_NextPart_====\r\n" +
                  kTextPart +
                  "Hi\r\n\r\n"
                  "\r\n--====_NextPart_====\r\n"
                  "Content-Type: application/pdf;\r\n\t name=\"report.pdf\"\r\n"
                  "Content-Transfer-Encoding: base64\r\n"
                  "Content-Disposition: attachment; \r\n\tfilename=\"report.pdf\"\r\n\r\n"
                  "aGVsbG8="
                  "\r\n\r\n"
                  "\r\n--====_NextPart_====\r\n"
                  "Content-Type: text/plain;\r\n\t name=\"notes.txt\"\r\n"
                  "Content-Transfer-Encoding: base64\r\n"
                  "Content-Disposition: attachment; \r\n\tfilename=\"notes.txt\"\r\n\r\n"
                  "\r\n\r\n--====_NextPart_====--\r\n");
    EXPECT_EQ(message.m_strBody, "Hi");
}

}  // namespace
