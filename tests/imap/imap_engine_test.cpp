#include <gtest/gtest.h>

#include "imap_script.h"

using namespace std::chrono_literals;

// Tags count from AEG1 in plain decimal; only the current tag's line is dropped from an answer's
// lines, and only an " OK" after the current tag makes it a success.
TEST(ImapEngine, TagsLineSplitAndTaggedOkRule) {
    const std::pair<const char*, std::vector<std::string>> splitCases[] = {
        {"* 2 EXISTS\r\n* 0 RECENT\r\nAEG1 OK done\r\n", {"* 2 EXISTS", "* 0 RECENT"}},
        {"* 2 EXISTS\r\n* last without line end", {"* 2 EXISTS", "* last without line end"}},
        {"AEG1 OK done\r\n", {}},
        {"* stale\r\nAEG0 OK older\r\n", {"* stale", "AEG0 OK older"}},
        {"* bare LF\nAEG1 OK\r\n", {}},  // no CR before the tag: one line holding the tag
    };
    const std::pair<const char*, bool> okCases[] = {
        {"* 2 EXISTS\r\nAEG10 OK Select completed.\r\n", true},
        {"AEG10 NO [NONEXISTENT] Mailbox doesn't exist\r\n", false},
        {"AEG10 NO Mailbox is busy; please retry, OK later\r\n", true},  // " OK" anywhere after the tag
        {"AEG10 BAD Error in IMAP command\r\n", false},
        {"* OK still working\r\n", false},
        {"* OK [ALERT] first\r\nAEG10 NO refused\r\n", false},  // " OK" before the tag does not count
        {"AEG1 OK\r\n", false},                                  // an older tag
    };
    ImapClient client;
    client.Disconnect();
    EXPECT_EQ(client.NextTag(), "AEG1");
    for (const auto& [text, expected] : splitCases) {
        LineArray lines;
        EXPECT_EQ(client.SplitResponseLines(CString(text), lines), static_cast<int>(expected.size())) << text;
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end()), expected) << text;
    }
    for (int i = 2; i <= 9; ++i) client.NextTag();
    EXPECT_EQ(client.NextTag(), "AEG10");
    EXPECT_EQ(client.CurrentTag(), "AEG10");
    for (const auto& [response, ok] : okCases) EXPECT_EQ(client.IsTaggedOk(response), ok) << response;
    client.Disconnect();
    EXPECT_EQ(client.CurrentTag(), "");
    EXPECT_EQ(client.NextTag(), "AEG1");
}

class ImapExecute : public ImapScript {};

// Each command is traced with its answer (a FETCH by its first line, LOGIN never, an answer
// without CR not at all). A tagged line that comes after the pause fails its command
// and heads the next answer, where the newer tag decides. A failing socket is not traced.
TEST_F(ImapExecute, TracesAndLateTaggedLineAndLostSocket) {
    const std::string select = "* FLAGS (\\Seen)\r\n* 2 EXISTS\r\nAEG3 OK [READ-WRITE] Select completed.\r\n";
    Cmd("AEG3 SELECT \"Work\"\r\n", select);
    Script(R"(AEG4 UID FETCH 7 FLAGS => * 1 FETCH (UID 7 FLAGS (\Seen)) | AEG4 OK Fetch completed.
           AEG5 UID FETCH 8 FLAGS => AEG5 NO no such message$)");
    server.Expect("AEG6 SELECT \"Work Archive\"\r\n");
    server.Send("* 9 EXISTS\r\n").Delay(600ms).Send("AEG6 OK Select completed.\r\n");
    Cmd("AEG7 SELECT \"Sent\"\r\n", "* 5 EXISTS\r\nAEG7 OK Select completed.\r\n");
    server.Expect("AEG8 SELECT \"Work\"\r\n").Close();
    LogOn();
    EXPECT_TRUE(client.SelectFolder("Work"));
    bool seen = false;
    EXPECT_EQ(client.GetSeenFlag("Work", 7, seen), ImapResult::Ok);
    EXPECT_TRUE(seen);
    EXPECT_EQ(client.GetSeenFlag("Work", 8, seen), ImapResult::SeenFlagFailed);
    const std::vector<std::string> log = LogLines();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], std::string("IMAP SEND:LIST \"\" \"%\"\nIMAP RECV:") + kDefaultList + "AEG2 OK List completed.\r\n");
    EXPECT_EQ(log[1], "IMAP SEND:SELECT \"Work\"\nIMAP RECV:" + select);
    EXPECT_EQ(log[2], "IMAP SEND:UID FETCH 7 FLAGS\nIMAP RECV:* 1 FETCH (UID 7 FLAGS (\\Seen))");
    for (int i = 0; i < HostKit_CallCount(); ++i)
        EXPECT_EQ(std::string(HostKit_Call(i)->text).find("secret"), std::string::npos);

    EXPECT_FALSE(client.SelectFolder("Work Archive"));
    EXPECT_EQ(client.SelectedFolder(), "Work");
    EXPECT_EQ(client.SelectedCount(), 2);
    EXPECT_TRUE(client.SelectFolder("Sent"));
    EXPECT_EQ(client.SelectedFolder(), "Sent");
    EXPECT_EQ(client.SelectedCount(), 5);
    HostKit_Clear();
    EXPECT_FALSE(client.SelectFolder("Work"));
    EXPECT_TRUE(LogLines().empty());
}

// The answer ends at its tagged line inside the first chunk: no yields of the read loop.
TEST_F(ImapExecute, YieldsBeforeSendingAndAfterReceivingAndNoTraceWithoutLogging) {
    settings.logging = 0;
    Cmd("AEG3 SELECT \"Work\"\r\n", "* 2 EXISTS\r\nAEG3 OK Select completed.\r\n");
    LogOn();
    EXPECT_TRUE(LogLines().empty());
    HostKit_Clear();
    EXPECT_TRUE(client.SelectFolder("Work"));
    ASSERT_EQ(HostKit_CallCount(), 2);  // nothing logged either
    for (int i = 0; i < 2; ++i) {
        EXPECT_STREQ(HostKit_Call(i)->function, "SyncYieldCycles");
        EXPECT_EQ(HostKit_Call(i)->number1, 10);
    }
}
