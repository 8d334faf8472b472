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

// At the yield before a command's send, the stream of the command tagged `stallTag` is swapped
// for one whose buffer is full and whose send time-out is 20 ms; the real one comes back at the
// next command.
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

class UidFallback : public ImapScript {};

}  // namespace

TEST_F(UidFallback, TimedOutSendSkipsThatMessageOnly) {
    Cmd("AEG3 SELECT \"Work\"\r\n", "* 3 EXISTS\r\nAEG3 OK Select completed.\r\n");
    Cmd("AEG4 UID SEARCH NOT DELETED\r\n", "AEG4 BAD Error in IMAP command\r\n");
    Cmd("AEG5 FETCH 1 UID\r\n", "* 1 FETCH (UID 41)\r\nAEG5 OK Fetch completed.\r\n");
    Cmd("AEG7 FETCH 3 UID\r\n", "* 3 FETCH (UID 43)\r\nAEG7 OK Fetch completed.\r\n");
    LogOn();
    std::vector<uint32_t> uids;
    int count = 0;
    ImapResult result;
    int stalls;
    {
        StalledSend stall(client, "AEG6");
        result = client.GetMessageUids("Work", uids, count);
        stalls = stall.stalls;
    }
    EXPECT_EQ(stalls, 1);
    EXPECT_EQ(result, ImapResult::Ok);
    EXPECT_EQ(uids, (std::vector<uint32_t>{41, 43}));
    EXPECT_EQ(count, 2);
}
