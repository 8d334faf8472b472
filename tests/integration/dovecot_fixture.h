// Tests against the real Dovecot that the CTest fixture started: reads the server's env file,
// gives each test an empty account of its own, seeds it, and shortens the client's waits.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

#include "imap/imap_client.h"
#include "net/transport_waits.h"

// KEY=VALUE lines; the value runs raw to the end of the line.
inline std::map<std::string, std::string> ReadEnvFile(const std::string& path) {
    std::map<std::string, std::string> values;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

// A message text with CR LF line ends, `padding` body bytes long or more.
inline std::string MessageText(const std::string& subject, size_t padding = 0) {
    std::string text = "From: Alice <alice@example.test>\r\nTo: Bob <bob@example.test>\r\nSubject: " + subject +
                       "\r\nDate: Tue, 1 Oct 2024 10:00:00 +0000\r\n\r\nHello from " + subject + ".\r\n";
    while (padding > 0) {
        const size_t n = std::min<size_t>(padding, 70);
        text += std::string(n, 'x') + "\r\n";
        padding -= n;
    }
    return text;
}

class DovecotTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_env = ReadEnvFile(std::string(ZQ_MAILSERVER_DIR) + "/env");
        ASSERT_FALSE(m_env["ZQ_IMAP_PORT"].empty())
            << "no server: run through ctest, or scripts/mailservers.sh start " << ZQ_MAILSERVER_DIR;
        testing_hooks::OverrideTransportWaits({std::chrono::seconds(5), std::chrono::milliseconds(250)});
        user = ClaimAccount();
        ASSERT_FALSE(user.empty()) << "no test account left";
        settings = SettingsFor(user, m_env["ZQ_POOL_PASSWORD"]);
    }
    void TearDown() override {
        client.Disconnect();
        testing_hooks::RestoreTransportWaits();
    }

    ImapSettings SettingsFor(const std::string& name, const std::string& password) {
        ImapSettings s;
        s.server = m_env["ZQ_IMAP_HOST"].c_str();
        s.port = std::atoi(m_env["ZQ_IMAP_PORT"].c_str());
        s.userName = name.c_str();
        s.password = password.c_str();
        s.receiveTimeoutMs = 1500;
        s.sendTimeoutMs = 1500;
        return s;
    }
    std::string Password(const std::string& name) { return m_env["ZQ_PASSWORD_" + name]; }

    // An empty account of the server's pool that no other test uses.
    std::string ClaimAccount() {
        const std::string line = std::string(ZQ_SOURCE_DIR) + "/scripts/mailservers.sh claim " + ZQ_MAILSERVER_DIR;
        std::string name;
        if (FILE* out = ::popen(line.c_str(), "r")) {
            char buffer[64] = {};
            if (std::fgets(buffer, sizeof buffer, out)) name = buffer;
            ::pclose(out);
        }
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
        return name;
    }
    int Script(const std::string& command, const std::string& arguments) {
        const std::string line = std::string(ZQ_SOURCE_DIR) + "/scripts/mailservers.sh " + command + " " +
                                 ZQ_MAILSERVER_DIR + " " + arguments + " >/dev/null";
        return std::system(line.c_str());
    }
    // Stores the texts in the user's mailbox, in order (UIDs 1, 2, ... in a new mailbox).
    void Seed(const std::string& mailbox, const std::vector<std::string>& texts) {
        std::string files;
        for (size_t i = 0; i < texts.size(); ++i) {
            const std::string path = "/tmp/zq-seed-" + user + "-" + std::to_string(i) + ".eml";
            std::ofstream(path, std::ios::binary) << texts[i];
            files += " " + path;
        }
        ASSERT_EQ(Script("seed", user + " '" + mailbox + "'" + files), 0);
        for (size_t i = 0; i < texts.size(); ++i)
            std::remove(("/tmp/zq-seed-" + user + "-" + std::to_string(i) + ".eml").c_str());
    }
    void LogOn() {
        ASSERT_EQ(client.Connect(&settings), ImapResult::Ok);
        ASSERT_EQ(client.Login(), ImapResult::Ok);
    }

    std::map<std::string, std::string> m_env;
    std::string user;
    ImapSettings settings;
    ImapClient client;
};
