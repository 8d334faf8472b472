// Tests against the real servers of the CTest fixture: each test gets an empty account of its
// own, seeded as it needs, and short waits.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <thread>

#include "../support/test_kit.h"
#include "host_string.h"
#include "imap/imap_client.h"
#include "net/transport_waits.h"
#include "zq_mailplugin.h"

// A message text with CR LF line ends, `padding` body bytes long or more.
inline std::string MessageText(const std::string& subject, size_t padding = 0) {
    std::string text =
        "From: Alice <alice@example.test>\r\nTo: Bob <bob@example.test>\r\nSubject: " + subject +
        "\r\nDate: Tue, 1 Oct 2024 10:00:00 +0000\r\n\r\nHello from " + subject + ".\r\n";
    for (; padding > 0; padding -= std::min<size_t>(padding, 70))
        text += std::string(std::min<size_t>(padding, 70), 'x') + "\r\n";
    return text;
}

// Logon parameters as a host hands them over, for IMAP only; tests set the rest by name.
struct HostLogon {
    HostLogon(const std::string& server, int port, const std::string& name, const std::string& secret)
        : host(server), user(name), password(secret) {
        params = ImapLogon(empty.c_str(), host.c_str(), port, user.c_str(), password.c_str());
    }
    HostString empty{""}, host, user, password;
    LogonParameters params{};
};

class DovecotTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::ifstream in(std::string(ZQ_MAILSERVER_DIR) + "/env");  // KEY=VALUE lines
        for (std::string line; std::getline(in, line);)
            if (line.find('=') != std::string::npos)
                m_env[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
        ASSERT_FALSE(m_env["ZQ_IMAP_PORT"].empty())
            << "no server: run through ctest, or scripts/mailservers.sh start " << ZQ_MAILSERVER_DIR;
        testing_hooks::OverrideTransportWaits({std::chrono::seconds(5), std::chrono::milliseconds(250)});
        user = ClaimAccount();
        ASSERT_FALSE(user.empty()) << "no test account left";
        settings = SettingsFor(user);
    }
    void TearDown() override {
        client.Disconnect();
        testing_hooks::RestoreTransportWaits();
    }

    int Number(const char* key) { return std::atoi(m_env[key].c_str()); }
    ImapSettings SettingsFor(const std::string& name, const std::string& password = "") {
        ImapSettings s;
        s.server = m_env["ZQ_IMAP_HOST"].c_str();
        s.port = Number("ZQ_IMAP_PORT");
        s.userName = name.c_str();
        s.password = (password.empty() ? m_env["ZQ_POOL_PASSWORD"] : password).c_str();
        s.receiveTimeoutMs = 1500;
        s.sendTimeoutMs = 1500;
        return s;
    }
    HostLogon PoolLogon(const std::string& password = "") {
        return HostLogon(m_env["ZQ_IMAP_HOST"], Number("ZQ_IMAP_PORT"), user,
                         password.empty() ? m_env["ZQ_POOL_PASSWORD"] : password);
    }
    std::string Address(const std::string& name) { return name + "@" + m_env["ZQ_MAIL_DOMAIN"]; }

    // An empty account of the server's pool that no other test uses.
    std::string ClaimAccount() { return Script("claim"); }
    // Stores the texts in the user's mailbox, in order (UIDs 1, 2, ... in a new mailbox).
    void Seed(const std::string& mailbox, const std::vector<std::string>& texts) {
        std::string files;
        for (size_t i = 0; i < texts.size(); ++i) {
            const std::string file = "/tmp/zq-seed-" + user + "-" + std::to_string(i) + ".eml";
            std::ofstream(file, std::ios::binary) << texts[i];
            files += " " + file;
        }
        EXPECT_EQ(Script("seed " + user + " '" + mailbox + "'" + files + " >/dev/null && echo seeded"),
                  "seeded");
        std::system(("rm -f" + files).c_str());
    }
    // The first output line of scripts/mailservers.sh `arguments` (the servers' directory after
    // the command); empty when it failed.
    std::string Script(const std::string& arguments) {
        const size_t space = std::min(arguments.find(' '), arguments.size());
        const std::string line = std::string(ZQ_SOURCE_DIR) + "/scripts/mailservers.sh " +
                                 arguments.substr(0, space) + " " + ZQ_MAILSERVER_DIR +
                                 arguments.substr(space);
        std::string out;
        if (FILE* pipe = ::popen(line.c_str(), "r")) {
            char buffer[64] = {};
            if (std::fgets(buffer, sizeof buffer, pipe)) out = buffer;
            if (::pclose(pipe) != 0) out.clear();
        }
        while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
        return out;
    }
    void LogOn() {
        client.Disconnect();
        ASSERT_EQ(client.Connect(&settings), ImapResult::Ok);
        ASSERT_EQ(client.Login(), ImapResult::Ok);
    }
    // The first message of a pool account's folder, waiting up to 10 s for it; empty if none came.
    std::string FirstMessage(const std::string& name, const std::string& folder = "INBOX") {
        ImapSettings imap = SettingsFor(name);
        ImapClient reader;
        if (reader.Connect(&imap) != ImapResult::Ok || reader.Login() != ImapResult::Ok) return "";
        CString response;
        for (int i = 0; i < 100 && response.Find("MESSAGES 1)") < 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            reader.Execute(("STATUS " + folder + " (MESSAGES)").c_str(), response);
        }
        reader.Execute(("EXAMINE " + folder).c_str(), response);
        reader.Execute("FETCH 1 BODY.PEEK[]", response);  // "* 1 FETCH (BODY[] {size}\r\n<bytes>)\r\n"
        const std::string text = response.str();
        const size_t open = text.find('{'), close = text.find("}\r\n", open);
        if (close == std::string::npos) return "";
        return text.substr(close + 3, std::stoul(text.substr(open + 1, close - open - 1)));
    }

    std::map<std::string, std::string> m_env;
    std::string user;
    ImapSettings settings;
    ImapClient client;
};
