// Outgoing mail through a real Postfix: AUTH LOGIN against Dovecot's user table, delivery over
// LMTP, and the message read back from each recipient's INBOX over IMAP.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <unistd.h>

#include "imap/imap_client.h"
#include "mime/base64_decode.h"
#include "net/transport_waits.h"
#include "smtp/smtp_client.h"

namespace {

std::map<std::string, std::string> ReadEnv() {
    std::map<std::string, std::string> values;
    std::ifstream in(std::string(ZQ_MAILSERVER_DIR) + "/env");
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

std::string Claim() {
    const std::string command = std::string(ZQ_SOURCE_DIR) + "/scripts/mailservers.sh claim " + ZQ_MAILSERVER_DIR;
    std::string name;
    if (FILE* out = ::popen(command.c_str(), "r")) {
        char buffer[64] = {};
        if (std::fgets(buffer, sizeof buffer, out)) name = buffer;
        ::pclose(out);
    }
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    return name;
}

class PostfixTest : public ::testing::Test {
protected:
    void SetUp() override {
        env = ReadEnv();
        ASSERT_FALSE(env["ZQ_SMTP_PORT"].empty())
            << "no server: run through ctest, or scripts/mailservers.sh start " << ZQ_MAILSERVER_DIR;
        testing_hooks::OverrideTransportWaits({std::chrono::seconds(5), std::chrono::milliseconds(250)});
        settings.server = env["ZQ_SMTP_HOST"].c_str();
        settings.port = std::atoi(env["ZQ_SMTP_PORT"].c_str());
        settings.receiveTimeoutMs = 1500;
        settings.sendTimeoutMs = 1500;
    }
    void TearDown() override { testing_hooks::RestoreTransportWaits(); }

    std::string Address(const std::string& user) { return user + "@" + env["ZQ_MAIL_DOMAIN"]; }

    // The INBOX messages of a pool account, waiting up to 10 s for `count` to arrive.
    std::vector<std::string> Inbox(const std::string& user, size_t count) {
        ImapSettings imap;
        imap.server = env["ZQ_IMAP_HOST"].c_str();
        imap.port = std::atoi(env["ZQ_IMAP_PORT"].c_str());
        imap.userName = user.c_str();
        imap.password = env["ZQ_POOL_PASSWORD"].c_str();
        imap.receiveTimeoutMs = 1500;
        imap.sendTimeoutMs = 1500;
        ImapClient client;
        std::vector<std::string> messages;
        if (client.Connect(&imap) != ImapResult::Ok || client.Login() != ImapResult::Ok) return messages;
        CString response;
        const std::string wanted = "MESSAGES " + std::to_string(count) + ")";
        for (int i = 0; i < 100; ++i) {
            client.Execute("STATUS INBOX (MESSAGES)", response);
            if (response.Find(wanted.c_str()) >= 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        client.Execute("EXAMINE INBOX", response);
        for (size_t n = 1; n <= count; ++n) {
            if (!client.Execute(("FETCH " + std::to_string(n) + " BODY.PEEK[]").c_str(), response)) break;
            // "* n FETCH (BODY[] {size}\r\n<size bytes>)\r\n"
            const std::string& text = response.str();
            const size_t open = text.find('{');
            const size_t close = text.find("}\r\n", open);
            if (open == std::string::npos || close == std::string::npos) break;
            const size_t size = std::stoul(text.substr(open + 1, close - open - 1));
            messages.push_back(text.substr(close + 3, size));
        }
        client.Logout();
        client.Disconnect();
        return messages;
    }

    std::map<std::string, std::string> env;
    SmtpSettings settings;
};

std::string AllByteValues(size_t size) {
    std::string bytes;
    for (size_t i = 0; i < size; ++i) bytes += static_cast<char>((i * 7 + i / 256) & 0xFF);
    return bytes;
}

// Two recipients and an attachment, sent with AUTH LOGIN: both INBOXes get the composed
// headers and body unchanged and the attachment's exact bytes.
TEST_F(PostfixTest, TwoRecipientsWithAttachmentOverAuthLogin) {
    const std::string first = Claim();
    const std::string second = Claim();
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    char dir[] = "/tmp/zq-smtp-int-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/data.bin";
    const std::string bytes = AllByteValues(3000);
    std::ofstream(path, std::ios::binary) << bytes;

    settings.authenticate = 1;
    settings.user = first.c_str();
    settings.password = env["ZQ_POOL_PASSWORD"].c_str();
    settings.includeAttachments = 1;
    settings.displayName = "Integration Sender";
    SmtpClient client;
    ASSERT_EQ(client.Connect(&settings), SmtpResult::Ok);

    CMsg message;
    message.m_strFrom = "alice@example.test";
    message.m_strTo = CString(Address(first).c_str()) + "; " + Address(second).c_str();
    message.m_strSubject = "Postfix round trip";
    message.m_strBody = "First line\n.\n.leading period\nLast line";
    message.m_strAttachments = path.c_str();
    CString sent;
    ASSERT_EQ(client.SendMail(message, sent), SmtpResult::Ok);
    client.Disconnect();
    std::remove(path.c_str());
    rmdir(dir);

    // What was composed: header section, then the body up to the terminator line.
    const std::string composed = sent.str();
    ASSERT_EQ(composed.substr(composed.size() - 5), "\r\n.\r\n");
    const size_t headerEnd = composed.find("\r\n\r\n");
    const std::string headers = composed.substr(0, headerEnd + 2);
    const std::string body = composed.substr(headerEnd + 4, composed.size() - 3 - headerEnd - 4);

    for (const std::string& user : {first, second}) {
        const std::vector<std::string> inbox = Inbox(user, 1);
        ASSERT_EQ(inbox.size(), 1u) << user;
        const std::string& stored = inbox[0];
        // Our hello name, and the authenticated submission (ESMTPA) of AUTH LOGIN.
        EXPECT_NE(stored.find("Received: from COM (localhost [127.0.0.1])\r\n\tby mail.localhost (Postfix) with ESMTPA"),
                  std::string::npos)
            << user;
        // Every composed header line arrives unchanged; the server only adds its own.
        size_t start = 0;
        while (start < headers.size()) {
            const size_t end = headers.find("\r\n", start);
            const std::string line = headers.substr(start, end + 2 - start);
            EXPECT_NE(stored.find(line), std::string::npos) << user << ": " << line;
            start = end + 2;
        }
        const size_t storedBody = stored.find("\r\n\r\n");
        ASSERT_NE(storedBody, std::string::npos);
        EXPECT_EQ(stored.substr(storedBody + 4), body) << user;
        EXPECT_NE(stored.find("\r\n.\r\n.leading period\r\n"), std::string::npos) << user;

        // The attachment's base64 block decodes to the file's bytes.
        const size_t partStart = stored.find("filename=\"data.bin\"\r\n\r\n");
        ASSERT_NE(partStart, std::string::npos) << user;
        const size_t dataStart = partStart + std::string("filename=\"data.bin\"\r\n\r\n").size();
        const size_t dataEnd = stored.find("\r\n\r\n--====_NextPart_====--", dataStart);
        ASSERT_NE(dataEnd, std::string::npos) << user;
        std::unique_ptr<unsigned char[]> decoded;
        int32_t length = 0;
        Base64Decode(CString(stored.substr(dataStart, dataEnd - dataStart)), decoded, length);
        ASSERT_EQ(length, static_cast<int32_t>(bytes.size())) << user;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(decoded.get()), length), bytes) << user;
    }
}

// Plain HELO from loopback; the unknown first recipient is refused and skipped.
TEST_F(PostfixTest, HeloWithOneUnknownRecipient) {
    const std::string user = Claim();
    ASSERT_FALSE(user.empty());
    SmtpClient client;
    ASSERT_EQ(client.Connect(&settings), SmtpResult::Ok);
    CMsg message;
    message.m_strFrom = "bob@example.test";
    message.m_strTo = CString(Address("nosuchuser").c_str()) + "," + Address(user).c_str();
    message.m_strSubject = "Second recipient only";
    message.m_strBody = "short";
    CString sent;
    ASSERT_EQ(client.SendMail(message, sent), SmtpResult::Ok);
    const std::vector<std::string> inbox = Inbox(user, 1);
    ASSERT_EQ(inbox.size(), 1u);
    EXPECT_NE(inbox[0].find("Subject: Second recipient only\r\n"), std::string::npos);
    EXPECT_NE(inbox[0].find("(Postfix) with SMTP id"), std::string::npos);  // plain HELO: not authenticated
    EXPECT_NE(inbox[0].find("\r\n\r\nshort\r\n"), std::string::npos);
}

TEST_F(PostfixTest, WrongPasswordIsHelloFailed) {
    settings.authenticate = 1;
    settings.user = "bob";
    settings.password = "not-the-password";
    SmtpClient client;
    EXPECT_EQ(client.Connect(&settings), SmtpResult::HelloFailed);
    EXPECT_FALSE(client.IsConnected());
}

}  // namespace
