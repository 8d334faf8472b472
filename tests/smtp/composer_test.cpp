// The multipart message text with one part per file, and the content types the parts take
// from the table.
#include <gtest/gtest.h>

#include <string>

#include "../support/test_kit.h"
#include "smtp/attachment_file.h"
#include "smtp/content_type_table.h"
#include "smtp/message_composer.h"

namespace {

// One entry per extension, lower case with its dot, shortest first; the lookup is a plain
// substring test, so the exact extension wins ("c" finds ".c" although ".css" comes first in the
// file) and a part finds the shortest holder ("tex" finds ".text"); a path's extension starts at
// its last ".", even one in a directory name. A table that cannot be read loads nothing and is
// tried again on the next lookup. The system's own table is the default source: extensions that
// longer ones of other types contain ahead of them in the file still find their own type.
TEST(ContentTypeTableTest, FirstEntryContainingTheExtensionWins) {
    TempDir dir;
    ContentTypeTable table((dir.path + "/mime.types").c_str());
    CString type;
    EXPECT_TRUE(table.Lookup("pdf", type));
    EXPECT_EQ(type, "application/octet-stream");
    dir.Write(
        "mime.types",
        "# comment line\n\napplication/vnd.ms-excel\t\txls xlb\napplication/pdf\t\t\t\tpdf\nimage/x-none\n"
        "text/css\t\t\t\t\tcss   # trailing comment\ntext/x-csrc\t\t\t\t\tc\ntext/plain\t\t\t\t\tTXT "
        "text\r\n");
    const struct {
        const char* extension;
        const char* type;
        bool answer;
    } rows[] = {{"PDF", "application/pdf", true},
                {"c", "text/x-csrc", true},
                {"ss", "text/css", true},
                {"tex", "text/plain", true},
                {".xlb", "application/vnd.ms-excel", true},
                {"zip", "application/octet-stream", true},
                {"", "application/octet-stream", false},
                {nullptr, "application/octet-stream", false}};
    for (const auto& row : rows) {
        type = "stale";
        EXPECT_EQ(table.Lookup(row.extension, type), row.answer) << Text(row.extension);
        EXPECT_EQ(type, row.type) << Text(row.extension);
    }
    const std::pair<const char*, const char*> paths[] = {{"/home/u/report.PDF", "application/pdf"},
                                                         {"/home/u/notes", "application/octet-stream"},
                                                         {"/home/u.d/notes", "application/octet-stream"},
                                                         {"/tmp/archive.tar.c", "text/x-csrc"}};
    for (const auto& [path, expected] : paths) {
        table.Lookup(AttachmentFile(path).Extension(), type);
        EXPECT_EQ(type, expected) << path;
    }
    EXPECT_EQ(table.GetCount(), 7);
    ContentTypeTable system;
    const std::pair<const char*, const char*> common[] = {{"pdf", "application/pdf"}, {"txt", "text/plain"},
                                                          {"png", "image/png"},       {"jpg", "image/jpeg"},
                                                          {"zip", "application/zip"}, {"html", "text/html"}};
    for (const auto& [extension, expected] : common) {
        EXPECT_TRUE(system.Lookup(extension, type));
        EXPECT_EQ(type, expected) << extension;
    }
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
