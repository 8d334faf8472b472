#include <gtest/gtest.h>

#include "imap_script.h"

using namespace std::chrono_literals;

TEST(ImapEngine, TagsAndTaggedOkRule) {
    struct Case {
        const char* response;
        bool ok;
    } cases[] = {
        {"* 2 EXISTS\r\nAEG10 OK Select completed.\r\n", true},
        {"AEG10 NO [NONEXISTENT] Mailbox doesn't exist\r\n", false},
        {"AEG10 NO Mailbox is busy; please retry, OK later\r\n", true},  // " OK" anywhere after the tag
        {"AEG10 BAD Error in IMAP command\r\n", false},
        {"* OK still working\r\n", false},
        {"* OK [ALERT] first\r\nAEG10 NO refused\r\n", false},  // " OK" before the tag does not count
        {"AEG1 OK\r\n", false},                                  // an older tag
    };
    ImapClient client;
    client.Disconnect();  // tag numbering from 1, in plain decimal
    EXPECT_EQ(client.NextTag(), "AEG1");
    for (int i = 2; i <= 9; ++i) client.NextTag();
    EXPECT_EQ(client.NextTag(), "AEG10");
    EXPECT_EQ(client.CurrentTag(), "AEG10");
    for (const Case& c : cases) EXPECT_EQ(client.IsTaggedOk(c.response), c.ok) << c.response;
    client.Disconnect();
    EXPECT_EQ(client.CurrentTag(), "");
    EXPECT_EQ(client.NextTag(), "AEG1");
}

TEST(ImapEngine, SplitResponseLinesDropsOnlyTheCurrentTaggedLine) {
    struct Case {
        const char* text;
        std::vector<std::string> lines;
    } cases[] = {
        {"* 2 EXISTS\r\n* 0 RECENT\r\nAEG1 OK done\r\n", {"* 2 EXISTS", "* 0 RECENT"}},
        {"* 2 EXISTS\r\n* last without line end", {"* 2 EXISTS", "* last without line end"}},
        {"AEG1 OK done\r\n", {}},
        {"* stale\r\nAEG0 OK older\r\n", {"* stale", "AEG0 OK older"}},
        {"* bare LF\nAEG1 OK\r\n", {}},  // no CR before the tag: one line holding the tag
    };
    ImapClient client;
    client.Disconnect();
    client.NextTag();
    for (const Case& c : cases) {
        LineArray lines;
        EXPECT_EQ(client.SplitResponseLines(CString(c.text), lines), static_cast<int>(c.lines.size())) << c.text;
        std::vector<std::string> got;
        for (const std::string_view line : lines) got.emplace_back(line);
        EXPECT_EQ(got, c.lines) << c.text;
    }
}

class ImapExecute : public ImapScript {};

TEST_F(ImapExecute, TracesSendAndReceiveAndFetchByItsFirstLine) {
    ScriptLogon();
    const std::string select = "* FLAGS (\\Seen)\r\n* 2 EXISTS\r\nAEG3 OK [READ-WRITE] Select completed.\r\n";
    Cmd("AEG3 SELECT \"Work\"\r\n", select);
    Cmd("AEG4 UID FETCH 7 FLAGS\r\n", "* 1 FETCH (UID 7 FLAGS (\\Seen))\r\nAEG4 OK Fetch completed.\r\n");
    Cmd("AEG5 UID FETCH 8 FLAGS\r\n", "AEG5 NO no such message");
    LogOn();
    EXPECT_TRUE(client.SelectFolder("Work"));
    bool seen = false;
    EXPECT_EQ(client.GetSeenFlag("Work", 7, seen), ImapResult::Ok);
    EXPECT_TRUE(seen);
    EXPECT_EQ(client.GetSeenFlag("Work", 8, seen), ImapResult::SeenFlagFailed);
    Verify();

    const std::vector<std::string> log = LogLines();
    ASSERT_EQ(log.size(), 3u);  // LIST, SELECT, the first FETCH; LOGIN never, and no CR: nothing
    EXPECT_EQ(log[0], std::string("IMAP SEND:LIST \"\" \"%\"\nIMAP RECV:") + kDefaultList + "AEG2 OK List completed.\r\n");
    EXPECT_EQ(log[1], "IMAP SEND:SELECT \"Work\"\nIMAP RECV:" + select);
    EXPECT_EQ(log[2], "IMAP SEND:UID FETCH 7 FLAGS\nIMAP RECV:* 1 FETCH (UID 7 FLAGS (\\Seen))");
    for (int i = 0; i < HostKit_CallCount(); ++i)
        EXPECT_EQ(std::string(HostKit_Call(i)->text).find("secret"), std::string::npos);
}

// The answer ends at its tagged line inside the first chunk: no yields of the read loop.
TEST_F(ImapExecute, YieldsBeforeSendingAndAfterReceivingAndNoTraceWithoutLogging) {
    settings.logging = 0;
    ScriptLogon();
    Cmd("AEG3 SELECT \"Work\"\r\n", "* 2 EXISTS\r\nAEG3 OK Select completed.\r\n");
    LogOn();
    EXPECT_TRUE(LogLines().empty());
    HostKit_Clear();
    EXPECT_TRUE(client.SelectFolder("Work"));
    Verify();
    ASSERT_EQ(HostKit_CallCount(), 2);  // nothing logged either
    for (int i = 0; i < 2; ++i) {
        EXPECT_STREQ(HostKit_Call(i)->function, "SyncYieldCycles");
        EXPECT_EQ(HostKit_Call(i)->number1, 10);
    }
}

TEST_F(ImapExecute, LateTaggedLineFailsAndHeadsTheNextAnswerSocketFailureIsNotTraced) {
    ScriptLogon();
    server.Expect("AEG3 SELECT \"Work\"\r\n");
    server.Send("* 2 EXISTS\r\n").Delay(600ms).Send("AEG3 OK Select completed.\r\n");
    expected += "AEG3 SELECT \"Work\"\r\n";
    Cmd("AEG4 SELECT \"Sent\"\r\n", "* 5 EXISTS\r\nAEG4 OK Select completed.\r\n");
    server.Expect("AEG5 SELECT \"Work\"\r\n").Close();
    expected += "AEG5 SELECT \"Work\"\r\n";
    LogOn();
    EXPECT_FALSE(client.SelectFolder("Work"));
    EXPECT_EQ(client.SelectedFolder(), "");
    // The late tagged line heads the next response; the newer tag still decides.
    EXPECT_TRUE(client.SelectFolder("Sent"));
    EXPECT_EQ(client.SelectedFolder(), "Sent");
    EXPECT_EQ(client.SelectedCount(), 5);
    HostKit_Clear();
    EXPECT_FALSE(client.SelectFolder("Work"));  // the socket fails: no trace
    Verify();
    EXPECT_TRUE(LogLines().empty());
}
