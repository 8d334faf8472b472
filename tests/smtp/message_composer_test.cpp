#include "smtp/message_composer.h"

#include <gtest/gtest.h>

#include <string>

#include "scoped_temp_dir.h"

namespace {

constexpr int32_t kMarch4th2004 = 1078391107;  // Thu, 04 Mar 2004 09:05:07 UTC
constexpr const char* kTextPart =
    "Content-Type: text/plain; charset=\"ISO-8859-1\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";

std::string Compose(CMsg& message, const smtp::Composition& with) {
    CString text("left over from before");
    EXPECT_EQ(smtp::ComposeHeaders(message, with, text), 0);
    EXPECT_EQ(smtp::ComposeBody(message, with, text), 0);
    if (with.includeAttachments) {
        EXPECT_EQ(smtp::ComposeAttachments(message, with, text), 0);
    }
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
    with.time = kMarch4th2004;
    EXPECT_EQ(Compose(message, with),
              "To: <a@x.org>, Bob <b@y.org>\r\n"
              "cc: <c@z.org>\r\n"
              "Subject: Hello there\r\n"
              "From: \"Me Myself\" <me@x.org>\r\n"
              "Date: Thu, 04 Mar 2004 09:05:07 +0000\r\n"
              "X-Mailer: Ostravo (TM) IMAP Plug-in Mail Module 2.0.7.0\r\n"
              "X-Sender: \"Me Myself\" <me@x.org>\r\n"
              "Mime-Version: 1.0\r\n" +
                  std::string(kTextPart) + "Line one\r\nLine two\r\n\r\n");
}

// A bcc-only message with no subject, no display name and an empty body.
TEST(MessageComposerTest, EmptyBodyIsOneSpaceLine) {
    CMsg message;
    message.m_strBcc = "hidden@w.org";
    message.m_strFrom = "me@x.org";
    smtp::Composition with;
    with.time = kMarch4th2004;
    EXPECT_EQ(Compose(message, with),
              "To: \r\n"
              "From: <me@x.org>\r\n"
              "Date: Thu, 04 Mar 2004 09:05:07 +0000\r\n"
              "X-Mailer: Ostravo (TM) IMAP Plug-in Mail Module 2.0.7.0\r\n"
              "X-Sender: <me@x.org>\r\n"
              "Mime-Version: 1.0\r\n" +
                  std::string(kTextPart) + " \r\n");
}

TEST(MessageComposerTest, ExcludedNoteGoesIntoTheMessagesOwnBody) {
    CMsg message;
    message.m_strTo = "a@x.org";
    message.m_strFrom = "me@x.org";
    message.m_strBody = "See the file.";
    message.m_strAttachments = "/tmp/whatever.pdf";
    smtp::Composition with;
    with.time = kMarch4th2004;
    const std::string text = Compose(message, with);
    const std::string note = "\r\n\r\n***Attachments excluded by request.***\r\n";
    EXPECT_EQ(message.m_strBody, "See the file." + note);
    const std::string tail = std::string(kTextPart) + "See the file." + note + "\r\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(text.find("multipart"), std::string::npos);
}

// Two files, the second missing: it keeps its part headers with no content; the content type
// comes from the table by extension.
TEST(MessageComposerTest, MultipartWithTwoAttachmentsOneUnreadable) {
    ScopedTempDir dir;
    ContentTypeTable table(dir.Write("mime.types", "application/pdf pdf\ntext/plain txt\n").c_str());
    const std::string pdf = dir.Write("report.pdf", "hello");
    CMsg message;
    message.m_strTo = "a@x.org";
    message.m_strSubject = "Files";
    message.m_strFrom = "me@x.org";
    message.m_strBody = "Hi";
    message.m_strAttachments = CString(pdf.c_str()) + "," + dir.Path().c_str() + "/gone/notes.txt";
    smtp::Composition with;
    with.includeAttachments = true;
    with.time = kMarch4th2004;
    with.contentTypes = &table;
    EXPECT_EQ(Compose(message, with),
              "To: <a@x.org>\r\n"
              "Subject: Files\r\n"
              "From: <me@x.org>\r\n"
              "Date: Thu, 04 Mar 2004 09:05:07 +0000\r\n"
              "X-Mailer: Ostravo (TM) IMAP Plug-in Mail Module 2.0.7.0\r\n"
              "X-Sender: <me@x.org>\r\n"
              "Mime-Version: 1.0\r\n"
              "Content-Type: multipart/mixed; boundary=\"====_NextPart_====\"\r\n"
              "\r\n"
              "This is a multi-part message in MIME format.\r\n\r\n"
              "--====_NextPart_====\r\n" +
                  std::string(kTextPart) +
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

// Attachment content longer than one encoder line keeps the encoder's line breaks.
TEST(MessageComposerTest, AttachmentContentIsEncodedWhole) {
    ScopedTempDir dir;
    const std::string path = dir.Write("zeros.bin", std::string(54, '\0'));
    CMsg message;
    message.m_strAttachments = path.c_str();
    smtp::Composition with;
    with.includeAttachments = true;
    CString text;
    smtp::ComposeAttachments(message, with, text);
    EXPECT_EQ(text.str(),
              "\r\n--====_NextPart_====\r\n"
              "Content-Type: application/octet-stream;\r\n\t name=\"zeros.bin\"\r\n"
              "Content-Transfer-Encoding: base64\r\n"
              "Content-Disposition: attachment; \r\n\tfilename=\"zeros.bin\"\r\n\r\n"
              "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\r\nAA"
              "\r\n\r\n--====_NextPart_====--\r\n");
}

}  // namespace
