// Outgoing mail through a real Postfix: AUTH LOGIN against Dovecot's user table, delivery over
// LMTP, and the message read back from each recipient's INBOX over IMAP.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "../integration/dovecot_fixture.h"
#include "mime/base64_decode.h"
#include "smtp/smtp_client.h"

namespace {

class PostfixTest : public DovecotTest {
protected:
    void SetUp() override {
        DovecotTest::SetUp();
        ASSERT_FALSE(m_env["ZQ_SMTP_PORT"].empty()) << "no Postfix in " << ZQ_MAILSERVER_DIR;
        smtp.server = m_env["ZQ_SMTP_HOST"].c_str();
        smtp.port = std::atoi(m_env["ZQ_SMTP_PORT"].c_str());
        smtp.receiveTimeoutMs = 1500;
        smtp.sendTimeoutMs = 1500;
    }

    std::string Address(const std::string& name) { return name + "@" + m_env["ZQ_MAIL_DOMAIN"]; }

    // The first INBOX message of a pool account, waiting up to 10 s for it; empty if none came.
    std::string FirstInInbox(const std::string& name) {
        ImapSettings imap = SettingsFor(name, m_env["ZQ_POOL_PASSWORD"]);
        ImapClient reader;
        if (reader.Connect(&imap) != ImapResult::Ok || reader.Login() != ImapResult::Ok) return "";
        CString response;
        for (int i = 0; i < 100 && response.Find("MESSAGES 1)") < 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            reader.Execute("STATUS INBOX (MESSAGES)", response);
        }
        reader.Execute("EXAMINE INBOX", response);
        reader.Execute("FETCH 1 BODY.PEEK[]", response);  // "* 1 FETCH (BODY[] {size}\r\n<bytes>)\r\n"
        const std::string text = response.str();
        const size_t open = text.find('{'), close = text.find("}\r\n", open);
        if (close == std::string::npos) return "";
        return text.substr(close + 3, std::stoul(text.substr(open + 1, close - open - 1)));
    }

    SmtpSettings smtp;
};

// Two recipients and an attachment, sent with AUTH LOGIN: both INBOXes get the composed
// headers and body unchanged and the attachment's exact bytes.
TEST_F(PostfixTest, TwoRecipientsWithAttachmentOverAuthLogin) {
    const std::string first = user;
    const std::string second = ClaimAccount();
    ASSERT_FALSE(second.empty());
    char dir[] = "/tmp/zq-smtp-int-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/data.bin";
    std::string bytes;
    for (size_t i = 0; i < 3000; ++i) bytes += static_cast<char>((i * 7 + i / 256) & 0xFF);
    std::ofstream(path, std::ios::binary) << bytes;

    smtp.authenticate = 1;
    smtp.user = first.c_str();
    smtp.password = m_env["ZQ_POOL_PASSWORD"].c_str();
    smtp.includeAttachments = 1;
    smtp.displayName = "Integration Sender";
    SmtpClient sender;
    ASSERT_EQ(sender.Connect(&smtp), SmtpResult::Ok);
    CMsg message;
    message.m_strFrom = "alice@example.test";
    message.m_strTo = CString(Address(first).c_str()) + "; " + Address(second).c_str();
    message.m_strSubject = "Postfix round trip";
    message.m_strBody = "First line\n.\n.leading period\nLast line";
    message.m_strAttachments = path.c_str();
    CString sent;
    ASSERT_EQ(sender.SendMail(message, sent), SmtpResult::Ok);
    sender.Disconnect();
    std::remove(path.c_str());
    rmdir(dir);

    // The composed header section, and the body up to the terminator line.
    const std::string composed = sent.str();
    const size_t headerEnd = composed.find("\r\n\r\n");
    ASSERT_EQ(composed.substr(composed.size() - 5), "\r\n.\r\n");
    const std::string body = composed.substr(headerEnd + 4, composed.size() - 3 - headerEnd - 4);
    const std::string marker = "filename=\"data.bin\"\r\n\r\n";
    for (const std::string& name : {first, second}) {
        const std::string stored = FirstInInbox(name);
        ASSERT_FALSE(stored.empty()) << name;
        // Our hello name, and the authenticated submission (ESMTPA) of AUTH LOGIN.
        EXPECT_NE(stored.find("Received: from COM (localhost [127.0.0.1])\r\n\tby mail.localhost (Postfix) with ESMTPA"),
                  std::string::npos) << name;
        // Every composed header line arrives unchanged; the server only adds its own.
        for (size_t start = 0, end; start < headerEnd + 2; start = end + 2) {
            end = composed.find("\r\n", start);
            EXPECT_NE(stored.find(composed.substr(start, end + 2 - start)), std::string::npos)
                << name << ": " << composed.substr(start, end - start);
        }
        const size_t storedBody = stored.find("\r\n\r\n");
        ASSERT_NE(storedBody, std::string::npos);
        EXPECT_EQ(stored.substr(storedBody + 4), body) << name;
        // The attachment's base64 block decodes to the file's bytes.
        const size_t dataStart = stored.find(marker) + marker.size();
        const size_t dataEnd = stored.find("\r\n\r\n--====_NextPart_====--", dataStart);
        ASSERT_TRUE(dataStart >= marker.size() && dataEnd != std::string::npos) << name;
        std::unique_ptr<unsigned char[]> decoded;
        int32_t length = 0;
        Base64Decode(CString(stored.substr(dataStart, dataEnd - dataStart)), decoded, length);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(decoded.get()), length), bytes) << name;
    }
}

// Plain HELO from loopback; the unknown first recipient is refused and skipped.
TEST_F(PostfixTest, HeloWithOneUnknownRecipient) {
    SmtpClient sender;
    ASSERT_EQ(sender.Connect(&smtp), SmtpResult::Ok);
    CMsg message;
    message.m_strFrom = "bob@example.test";
    message.m_strTo = CString(Address("nosuchuser").c_str()) + "," + Address(user).c_str();
    message.m_strBody = "short";
    CString sent;
    ASSERT_EQ(sender.SendMail(message, sent), SmtpResult::Ok);
    const std::string stored = FirstInInbox(user);
    EXPECT_NE(stored.find("(Postfix) with SMTP id"), std::string::npos);  // plain HELO: not authenticated
    EXPECT_NE(stored.find("\r\n\r\nshort\r\n"), std::string::npos);
}

}  // namespace
