// The frame of a scripted conversation test: short transport waits, an empty host journal, and a
// server whose script is checked when the test ends.
#pragma once

#include <chrono>

#include "host_journal.h"
#include "hostkit.h"
#include "net/transport_waits.h"
#include "scripted_server.h"
#include "transcript.h"

namespace scripted {

class Conversation : public ::testing::Test {
protected:
    Conversation() { HostKit_Clear(); }
    // Played as written and nothing else sent; the server stops before the client hangs up.
    void TearDown() override {
        if (!HasFatalFailure()) {
            EXPECT_TRUE(server.PlayedAsScripted());
        }
        server.Finish(Ms(0));
    }
    // Appends a conversation in the transcript form (transcript.h) to the server's script.
    void Script(std::string_view transcript) { Play(server, transcript); }
    static std::vector<std::string> LogLines(const std::string& prefix = "") {
        return JournalTexts("MLOGAdd", prefix);
    }

    // Declared first: the waits are restored after the client and the server are gone.
    struct ShortWaits {
        ShortWaits() { testing_hooks::OverrideTransportWaits({Ms(3000), Ms(150)}); }
        ~ShortWaits() { testing_hooks::RestoreTransportWaits(); }
    } waits;
    Server server;
};

}  // namespace scripted
