#include <gtest/gtest.h>

#include <tuple>

#include "imap_script.h"

using namespace std::chrono_literals;

class ImapSearch : public ImapScript {
protected:
    void SelectWork(int tag, int exists) {
        const std::string t = "AEG" + std::to_string(tag);
        Cmd(t + " SELECT \"Work\"\r\n", "* " + std::to_string(exists) + " EXISTS\r\n" + t + " OK Select completed.\r\n");
    }
    std::vector<uint32_t> uids{99};
    int count = -1;
};

TEST_F(ImapBare, SearchCommandForEachOptionCombination) {
    // Unread only, the since date, the command.
    const std::tuple<bool, const char*, const char*> cases[] = {
        {false, "", "UID SEARCH NOT DELETED"},
        {true, "", "UID SEARCH NOT DELETED NOT SEEN"},
        {false, "01-Jan-1990", "UID SEARCH NOT DELETED SINCE 01-Jan-1990"},
        {true, "5-Mar-2024", "UID SEARCH NOT DELETED SINCE 5-Mar-2024 NOT SEEN"},
    };
    for (const auto& [unread, since, command] : cases) {
        SCOPED_TRACE(command);
        settings.unreadOnly = unread;
        settings.sinceDate = since;
        scripted::Server server;
        ScriptLogonOn(server);
        server.Exchange("AEG3 SELECT \"Work\"\r\n", "* 3 EXISTS\r\nAEG3 OK Select completed.\r\n")
            .Exchange(std::string("AEG4 ") + command + "\r\n",
                      "* SEARCH 4 9 1234567\r\nAEG4 OK Search completed (0.001 + 0.000 secs).\r\n");
        ImapClient client;
        LogOnTo(server, client);
        std::vector<uint32_t> found;
        int n = 0;
        EXPECT_EQ(client.GetMessageUids("Work", found, n), ImapResult::Ok);
        EXPECT_EQ(n, 3);
        EXPECT_EQ(found, (std::vector<uint32_t>{4, 9, 1234567}));
        EXPECT_TRUE(server.PlayedAsScripted());
    }
}

// Numbers are read like atoi and the list grows past the announced count; a refused search
// falls back to one FETCH per sequence number and goes on after a refused one.
TEST_F(ImapSearch, EmptyFolderAnswersWithoutNumbersTokensAndFallback) {
    Cmd("AEG3 SELECT \"Sent\"\r\n", "* 0 EXISTS\r\nAEG3 OK Select completed.\r\n");
    SelectWork(4, 3);
    Cmd("AEG5 UID SEARCH NOT DELETED\r\n", "* SEARCH\r\nAEG5 OK Search completed.\r\n");
    Cmd("AEG6 UID SEARCH NOT DELETED\r\n", "* SEARCH \r\nAEG6 OK Search completed.\r\n");
    Cmd("AEG7 UID SEARCH NOT DELETED\r\n", "AEG7 OK Search completed, but said nothing else.\r\n");
    Cmd("AEG8 UID SEARCH NOT DELETED\r\n", "* SEARCH 10 11 12 13  x7 99999999999\r\nAEG8 OK Search completed.\r\n");
    Cmd("AEG9 UID SEARCH NOT DELETED\r\n", "AEG9 BAD Error in IMAP command\r\n");
    Cmd("AEG10 FETCH 1 UID\r\n", "* 1 FETCH (UID 41)\r\nAEG10 OK Fetch completed.\r\n");
    Cmd("AEG11 FETCH 2 UID\r\n", "AEG11 NO gone\r\n");
    Cmd("AEG12 FETCH 3 UID\r\n", "* 3 FETCH (UID 43)\r\nAEG12 OK Fetch completed.\r\n");
    LogOn();
    EXPECT_EQ(client.GetMessageUids("Sent", uids, count), ImapResult::Ok);  // no SEARCH, the list untouched
    EXPECT_EQ(uids, std::vector<uint32_t>{99});
    EXPECT_EQ(count, 0);
    EXPECT_EQ(client.GetMessageUids("Nowhere", uids, count), ImapResult::UnknownFolder);
    EXPECT_EQ(client.GetMessageUids("", uids, count), ImapResult::NotReady);
    EXPECT_EQ(client.GetMessageUids("Work", uids, count), ImapResult::NoUids);
    EXPECT_TRUE(uids.empty());
    EXPECT_EQ(count, 0);
    EXPECT_EQ(client.GetMessageUids("Work", uids, count), ImapResult::Ok);  // empty text after the space
    EXPECT_TRUE(uids.empty());
    EXPECT_EQ(client.GetMessageUids("Work", uids, count), ImapResult::NoUids);
    EXPECT_EQ(client.GetMessageUids("Work", uids, count), ImapResult::Ok);
    EXPECT_EQ(count, 7);
    ASSERT_EQ(uids.size(), 7u);
    EXPECT_EQ(std::vector<uint32_t>(uids.begin(), uids.begin() + 6), (std::vector<uint32_t>{10, 11, 12, 13, 0, 0}));
    EXPECT_EQ(client.GetMessageUids("Work", uids, count), ImapResult::Ok);
    EXPECT_EQ(uids, (std::vector<uint32_t>{41, 43}));
    EXPECT_EQ(count, 2);
}

TEST_F(ImapSearch, FallbackWithUnreadOnlyAsksTheFlagsFirst) {
    settings.unreadOnly = 1;
    SelectWork(3, 3);
    Cmd("AEG4 UID SEARCH NOT DELETED NOT SEEN\r\n", "AEG4 NO refused\r\n");
    Cmd("AEG5 FETCH 1 FLAGS\r\n", "* 1 FETCH (FLAGS (\\Seen))\r\nAEG5 OK Fetch completed.\r\n");
    Cmd("AEG6 FETCH 2 FLAGS\r\n", "* 2 FETCH (FLAGS ())\r\nAEG6 OK Fetch completed.\r\n");
    Cmd("AEG7 FETCH 3 FLAGS\r\n", "AEG7 NO refused\r\n");
    Cmd("AEG8 FETCH 2 UID\r\n", "* 2 FETCH (UID)\r\nAEG8 OK Fetch completed.\r\n");
    // Second call: every message seen, so no candidates.
    Cmd("AEG9 UID SEARCH NOT DELETED NOT SEEN\r\n", "AEG9 NO refused\r\n");
    Cmd("AEG10 FETCH 1 FLAGS\r\n", "* 1 FETCH (FLAGS (\\Seen))\r\nAEG10 OK Fetch completed.\r\n");
    Cmd("AEG11 FETCH 2 FLAGS\r\n", "* 2 FETCH (FLAGS (\\SEEN))\r\nAEG11 OK Fetch completed.\r\n");
    Cmd("AEG12 FETCH 3 FLAGS\r\n", "* 3 FETCH (FLAGS (\\Seen))\r\nAEG12 OK Fetch completed.\r\n");
    LogOn();
    // The only candidate's answer has no number before ")": nothing stored.
    EXPECT_EQ(client.GetMessageUids("Work", uids, count), ImapResult::NoUids);
    EXPECT_TRUE(uids.empty());
    EXPECT_EQ(client.GetMessageUids("Work", uids, count), ImapResult::Ok);
    EXPECT_TRUE(uids.empty());
    EXPECT_EQ(count, 0);
}

// A move copies, then marks each message deleted, and goes on after a failure.
TEST_F(ImapSearch, SeenFlagSizeDeletedFlagMoveAndFallbackOnAServerGone) {
    Cmd("AEG3 UID STORE 7 +FLAGS.SILENT \\seen\r\n", "AEG3 OK Store completed.\r\n");  // the selected folder
    Cmd("AEG4 SELECT \"Work\"\r\n", "* 4 EXISTS\r\nAEG4 OK Select completed.\r\n");
    Cmd("AEG5 UID STORE 7 -FLAGS.SILENT \\seen\r\n", "AEG5 NO [CANNOT] read-only\r\n");
    Cmd("AEG6 UID FETCH 7 FLAGS\r\n", "* 1 FETCH (UID 7 FLAGS (\\Answered))\r\nAEG6 OK Fetch completed.\r\n");
    Cmd("AEG7 UID FETCH 8 FLAGS\r\n", "* 2 FETCH (UID 8 FLAGS (\\Seen))\r\nAEG7 OK Fetch completed.\r\n");
    Cmd("AEG8 UID FETCH 7 rfc822.size\r\n", "* 1 FETCH (UID 7 RFC822.SIZE 2217)\r\nAEG8 OK Fetch completed.\r\n");
    Cmd("AEG9 UID FETCH 8 rfc822.size\r\n", "* 2 FETCH UID 8 RFC822.SIZE 10\r\nAEG9 OK Fetch completed.\r\n");
    Cmd("AEG10 UID FETCH 9 rfc822.size\r\n", "AEG10 NO no such message\r\n");
    Cmd("AEG11 UID STORE 4294967295 +FLAGS.SILENT \\deleted\r\n", "* 1 FETCH (FLAGS)\r\nAEG11 OK Store completed.\r\n");
    Cmd("AEG12 UID STORE 8 +FLAGS.SILENT \\deleted\r\n", "AEG12 NO [CANNOT] read-only\r\n");
    Cmd("AEG13 UID COPY 5 \"Work Archive\"\r\n", "AEG13 OK [COPYUID 1 5 1] Copy completed.\r\n");
    Cmd("AEG14 UID STORE 5 +FLAGS.SILENT \\deleted\r\n", "AEG14 OK Store completed.\r\n");
    Cmd("AEG15 UID COPY 6 \"Work Archive\"\r\n", "AEG15 NO [TRYCREATE] no\r\n");
    Cmd("AEG16 UID COPY 7 \"Work Archive\"\r\n", "AEG16 OK Copy completed.\r\n");
    Cmd("AEG17 UID STORE 7 +FLAGS.SILENT \\deleted\r\n", "AEG17 OK Store completed.\r\n");
    Cmd("AEG18 UID COPY 8 \"Sent\"\r\n", "AEG18 NO no\r\n");
    Cmd("AEG19 UID COPY 9 \"Sent\"\r\n", "AEG19 OK Copy completed.\r\n");
    Cmd("AEG20 UID STORE 9 +FLAGS.SILENT \\deleted\r\n", "AEG20 NO no\r\n");
    Cmd("AEG21 SELECT \"Work Archive\"\r\n", "* 100000000 EXISTS\r\nAEG21 OK Select completed.\r\n");
    Cmd("AEG22 UID SEARCH NOT DELETED\r\n", "AEG22 BAD Error in IMAP command\r\n");
    server.Close();
    LogOn();
    EXPECT_EQ(client.SetSeenFlag(nullptr, 7, true), ImapResult::Ok);
    EXPECT_EQ(client.SetSeenFlag("Work", 0, true), ImapResult::NotReady);
    EXPECT_EQ(client.SetSeenFlag("Nowhere", 7, true), ImapResult::UnknownFolder);
    EXPECT_EQ(client.SetSeenFlag("Work", 7, false), ImapResult::SeenFlagFailed);
    bool seen = true;
    EXPECT_EQ(client.GetSeenFlag("Work", 0, seen), ImapResult::NotReady);
    EXPECT_EQ(client.GetSeenFlag("", 7, seen), ImapResult::NotReady);
    EXPECT_EQ(client.GetSeenFlag("Work", 7, seen), ImapResult::Ok);
    EXPECT_FALSE(seen);
    EXPECT_EQ(client.GetSeenFlag("work", 8, seen), ImapResult::Ok);
    EXPECT_TRUE(seen);
    EXPECT_EQ(client.GetMessageSize("Work", 7), 2217u);
    EXPECT_EQ(client.GetMessageSize("Work", 8), 0u);
    EXPECT_EQ(client.GetMessageSize("Work", 9), 0u);
    EXPECT_EQ(client.GetMessageSize("Nowhere", 9), 0u);
    EXPECT_EQ(client.MarkDeleted("Work", 4294967295u), ImapResult::Ok);  // the whole unsigned range
    EXPECT_EQ(client.MarkDeleted("Work", 8), ImapResult::DeleteFailed);
    EXPECT_EQ(client.MarkDeleted("Work", 0), ImapResult::NotReady);
    const uint32_t three[] = {5, 6, 7};
    EXPECT_EQ(client.MoveMessages("Work", "Work Archive", 3, nullptr), ImapResult::NotReady);
    EXPECT_EQ(client.MoveMessages("Work", "", 3, three), ImapResult::NotReady);
    EXPECT_EQ(client.MoveMessages("Work", "Work Archive", 0, three), ImapResult::NothingMoved);
    EXPECT_EQ(client.MoveMessages("Work", "Nowhere", 3, three), ImapResult::UnknownFolder);
    EXPECT_EQ(client.MoveMessages("Nowhere", "Work", 3, three), ImapResult::UnknownFolder);
    EXPECT_EQ(client.MoveMessages("Work", "Work Archive", 3, three), ImapResult::Ok);
    const uint32_t two[] = {8, 9};
    EXPECT_EQ(client.MoveMessages("WORK", "Sent", 2, two), ImapResult::NothingMoved);

    // The fallback walk stops when the server is gone, not after a hundred million exchanges.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.GetMessageUids("Work Archive", uids, count), ImapResult::NoUids);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_TRUE(uids.empty());
}
