#include "smtp/message_composer.h"

#include <gtest/gtest.h>

#include <string>

#include "scoped_temp_dir.h"

namespace {

constexpr const char* kDateAndMailer =
    "Date: Thu, 04 Mar 2004 09:05:07 +0000\r\n"
    "X-Mailer: Ostravo (TM) IMAP Plug-in Mail Module 2.0.7.0\r\n";
constexpr const char* kTextPart =
    "Content-Type: text/plain; charset=\"ISO-8859-1\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";

std::string Compose(CMsg& message, smtp::Composition with = {}) {
    with.time = 1078391107;
    CString text("left over from before");
    EXPECT_EQ(smtp::ComposeHeaders(message, with, text), 0);
    EXPECT_EQ(smtp::ComposeBody(message, with, text), 0);
    if (with.includeAttachments) EXPECT_EQ(smtp::ComposeAttachments(message, with, text), 0);
    return text.str();
}

TEST(MessageComposerTest, SinglePartMessage) {
    CMsg message;
    message.m_strTo = "a@x.org; Bob <b@y.org>";
    message.m_strCc = "c@z.org";
    message.m_strBcc = "hidden@w.org";
    message.m_strSubject = "Hello there";
    message.m_strFrom = "me@x.org";
    message.m_strBody = "Line one\nLine two";
    smtp::Composition with;
    with.displayName = "Me Myself";
    EXPECT_EQ(Compose(message, with),
              "To: <a@x.org>, Bob <b@y.org>\r\ncc: <c@z.org>\r\nSubject: Hello there\r\n"
              "From: \"Me Myself\" <me@x.org>\r\n" +
                  std::string(kDateAndMailer) + "X-Sender: \"Me Myself\" <me@x.org>\r\nMime-Version: 1.0\r\n" +
                  kTextPart + "Line one\r\nLine two\r\n\r\n");
}

// A bcc-only message with no subject, no display name and an empty body.
TEST(MessageComposerTest, EmptyBodyIsOneSpaceLine) {
    CMsg message;
    message.m_strBcc = "hidden@w.org";
    message.m_strFrom = "me@x.org";
    EXPECT_EQ(Compose(message), "To: \r\nFrom: <me@x.org>\r\n" + std::string(kDateAndMailer) +
                                    "X-Sender: <me@x.org>\r\nMime-Version: 1.0\r\n" + kTextPart + " \r\n");
}

TEST(MessageComposerTest, ExcludedNoteGoesIntoTheMessagesOwnBody) {
    CMsg message;
    message.m_strTo = "a@x.org";
    message.m_strFrom = "me@x.org";
    message.m_strBody = "See the file.";
    message.m_strAttachments = "/tmp/whatever.pdf";
    const std::string note = "See the file.\r\n\r\n***Attachments excluded by request.***\r\n";
    EXPECT_EQ(Compose(message), "To: <a@x.org>\r\nFrom: <me@x.org>\r\n" + std::string(kDateAndMailer) +
                                    "X-Sender: <me@x.org>\r\nMime-Version: 1.0\r\n" + kTextPart + note +
                                    "\r\n");
    EXPECT_EQ(message.m_strBody, note);
}

// Two files, the second missing: it keeps its part headers with no content; the content type
// comes from the table by extension.
TEST(MessageComposerTest, MultipartWithTwoAttachmentsOneUnreadable) {
    ScopedTempDir dir;
    ContentTypeTable table(dir.Write("mime.types", "application/pdf pdf\ntext/plain txt\n").c_str());
    CMsg message;
    message.m_strTo = "a@x.org";
    message.m_strSubject = "Files";
    message.m_strFrom = "me@x.org";
    message.m_strBody = "Hi";
    message.m_strAttachments =
        CString(dir.Write("report.pdf", "hello").c_str()) + "," + dir.Path().c_str() + "/gone/notes.txt";
    smtp::Composition with;
    with.includeAttachments = true;
    with.contentTypes = &table;
    EXPECT_EQ(Compose(message, with),
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
