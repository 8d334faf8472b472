// The message-by-message UID listing after a refused search: a command whose send times out
// (the server not reading for a while) skips that message, and the walk goes on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "imap_script.h"
#include "yield_hook.h"

namespace {

// At the yield before its send, the command tagged `stallTag` gets a stream whose buffer is full
// (send time-out 20 ms); the real one comes back at the next command.
struct StalledSend {
    StalledSend(ImapClient& c, const char* tag) : client(c), stallTag(tag) {
        socketpair(AF_UNIX, SOCK_STREAM, 0, pair);
        const int small = 4096;
        setsockopt(pair[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        fcntl(pair[0], F_SETFL, O_NONBLOCK);
        const std::string filler(4096, 'f');
        while (write(pair[0], filler.data(), filler.size()) > 0) {
        }
        fcntl(pair[0], F_SETFL, 0);
        const timeval wait{0, 20000};
        setsockopt(pair[0], SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
        YieldHook_Set(&StalledSend::OnYield, this);
    }
    ~StalledSend() {
        YieldHook_Set(nullptr, nullptr);
        close(pair[0]);
        close(pair[1]);
    }
    static void OnYield(void* context) {
        auto* self = static_cast<StalledSend*>(context);
        const std::string tag = self->client.CurrentTag().c_str();
        if (tag == self->lastTag || !self->client.Socket()) return;
        self->lastTag = tag;
        const int fd = self->client.Socket()->NativeHandle();
        if (tag == self->stallTag) {
            self->saved = dup(fd);
            dup2(self->pair[0], fd);
            ++self->stalls;
        } else if (self->saved >= 0) {
            dup2(self->saved, fd);
            close(self->saved);
            self->saved = -1;
        }
    }
    ImapClient& client;
    std::string stallTag, lastTag;
    int pair[2] = {-1, -1};
    int saved = -1;
    int stalls = 0;
};

}  // namespace

TEST_F(ImapScript, TimedOutSendSkipsThatMessageOnly) {
    Script(R"(AEG3 SELECT "Work" => * 3 EXISTS | AEG3 OK Select completed.
           AEG4 UID SEARCH NOT DELETED => AEG4 BAD Error in IMAP command
           AEG5 FETCH 1 UID => * 1 FETCH (UID 41) | AEG5 OK Fetch completed.
           AEG7 FETCH 3 UID => * 3 FETCH (UID 43) | AEG7 OK Fetch completed.)");
    LogOn();
    std::vector<uint32_t> uids;
    int count = 0;
    const StalledSend stall(client, "AEG6");
    EXPECT_EQ(client.GetMessageUids("Work", uids, count), ImapResult::Ok);
    EXPECT_EQ(stall.stalls, 1);
    EXPECT_EQ(uids, (std::vector<uint32_t>{41, 43}));
    EXPECT_EQ(count, 2);
}
