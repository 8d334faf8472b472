// Exact-byte SMTP conversations: a scripted server, a client with short waits and a fixed clock,
// and a record of every byte the client is expected to send.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "host_journal.h"
#include "hostkit.h"
#include "net/transport_waits.h"
#include "scripted_server.h"
#include "smtp/smtp_client.h"

inline constexpr const char* kGreeting = "220 mail.localhost ESMTP\r\n";
inline constexpr const char* kHeaderTail =
    "Date: Thu, 04 Mar 2004 09:05:07 +0000\r\n"
    "X-Mailer: Ostravo (TM) IMAP Plug-in Mail Module 2.0.7.0\r\n";
inline constexpr const char* kTextPart =
    "Mime-Version: 1.0\r\n"
    "Content-Type: text/plain; charset=\"ISO-8859-1\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";

class SmtpScript : public ::testing::Test {
protected:
    void SetUp() override {
        testing_hooks::OverrideTransportWaits(
            {std::chrono::milliseconds(3000), std::chrono::milliseconds(150)});
        HostKit_Clear();
        settings.server = "127.0.0.1";
        settings.port = server.Port();
        settings.receiveTimeoutMs = 1500;
        settings.sendTimeoutMs = 1500;
        settings.logging = 1;
        client.SetClock([] { return 1078391107; });  // Thu, 04 Mar 2004 09:05:07 UTC
    }
    void TearDown() override {
        if (!verified) server.Finish(std::chrono::milliseconds(0));
        client.Disconnect();
        testing_hooks::RestoreTransportWaits();
    }

    // A command and its reply; an empty reply means the client's bytes get none.
    void Cmd(const std::string& command, const std::string& reply = "") {
        reply.empty() ? server.Expect(command) : server.Exchange(command, reply);
        expected += command;
    }
    void ScriptHelo() {
        server.Send(kGreeting);
        Cmd("HELO COM\r\n", "250 mail.localhost\r\n");
    }
    // The client's quit (only when it stays connected) and its close; then the script starts.
    void ScriptEnd(bool quit = true) {
        if (quit) Cmd("quit\r\n");
        server.ExpectClose();
        server.Start();
    }
    void Connected() { ASSERT_EQ(client.Connect(&settings), SmtpResult::Ok); }
    // Disconnects, then checks the script was played and the client sent nothing else.
    void Verify() {
        verified = true;
        client.Disconnect();
        EXPECT_TRUE(scripted::PlayedExactly(server.Finish(), expected));
    }
    std::vector<std::string> LogLines() const { return scripted::JournalTexts("MLOGAdd"); }

    scripted::Server server;
    SmtpClient client;
    SmtpSettings settings;
    std::string expected;
    bool verified = false;
};
