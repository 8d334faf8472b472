// Message retrieval through the IMAP client: exact commands of the whole, header-only and parts
// paths, the rebuilt text, the cut at the tag prefix, the received time, and the result codes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "imap/message_retrieval.h"
#include "session_script.h"

namespace {

const std::string kPlain = CrLf({"From: Alice <alice@example.test>", "To: Bob <bob@example.test>",
                                 "Subject: Plain", "Date: Tue, 1 Oct 2024 10:00:00 +0000", "",
                                 "Hello Bob.", "Line with AEG inside.", "Last line."});

// The top-level header of a multipart/mixed message and its parts, as the server hands them out.
const std::string kMixedHeader = CrLf({"From: Alice <alice@example.test>", "Subject: Mixed",
                                       "Content-Type: multipart/mixed; boundary=\"zzOUTERzz\"", ""});
const std::string kTextMime = CrLf({"Content-Type: text/plain; charset=us-ascii", ""});
const std::string kPdfMime =
    CrLf({"Content-Type: application/pdf; name=\"r.pdf\"", "Content-Disposition: attachment; filename=\"r.pdf\"", ""});

class RetrievalTest : public SessionScript {
protected:
    ImapResult Retrieve(uint32_t uid, bool headerOnly = false) {
        return RetrieveMessage(session.imap, "Inbox", uid, &message, headerOnly);
    }
    RetrievedMessage message;
};

TEST_F(RetrievalTest, WholeMessageTakesOneRfc822AfterTheSizeQuery) {
    ScriptLogon();
    Select();
    Cmd("UID FETCH 7 rfc822.size", SizeAnswer(7, kPlain.size()));
    Cmd("UID FETCH 7 RFC822", FetchAnswer(7, "RFC822", kPlain));
    LogOn();
    ASSERT_EQ(Retrieve(7), ImapResult::Ok);
    Verify();
    EXPECT_EQ(message.wholeMessage, 1);
    EXPECT_EQ(Text(message.header.from), "Alice <alice@example.test>");
    EXPECT_EQ(Text(message.header.subject), "Plain");
    // On the whole path the tag prefix inside the text cuts nothing.
    EXPECT_NE(message.plainPart.body.Find("Hello Bob."), -1);
    EXPECT_NE(message.plainPart.body.Find("Line with AEG inside."), -1);
    EXPECT_NE(message.plainPart.body.Find("Last line."), -1);
    EXPECT_EQ(message.attachmentCount, 0);
}

TEST_F(RetrievalTest, LargeMixedMessageIsRebuiltFromItsFirstTextPart) {
    ScriptLogon();
    Select();
    Cmd("UID FETCH 9 rfc822.size", SizeAnswer(9, 90000));
    Cmd("UID FETCH 9 BODY[HEADER.FIELDS (Content-Type)]",
        FetchAnswer(9, "BODY[HEADER.FIELDS (CONTENT-TYPE)]", "Content-Type: multipart/mixed; boundary=\"zzOUTERzz\"\r\n\r\n"));
    Cmd("UID FETCH 9 BODY[HEADER]", FetchAnswer(9, "BODY[HEADER]", kMixedHeader));
    Cmd("UID FETCH 9 BODY[1.MIME]", FetchAnswer(9, "BODY[1.MIME]", kPdfMime));
    Cmd("UID FETCH 9 BODY[2.MIME]", FetchAnswer(9, "BODY[2.MIME]", kTextMime));
    Cmd("UID FETCH 9 BODY[2]", FetchAnswer(9, "BODY[2]", "The text part.\r\nSecond line.\r\n"));
    LogOn({.attachments = 1, .maxMessageSize = 1000});
    ASSERT_EQ(Retrieve(9), ImapResult::Ok);
    Verify();
    EXPECT_EQ(message.wholeMessage, 0);
    EXPECT_EQ(Text(message.header.subject), "Mixed");
    EXPECT_EQ(message.plainPart.body.Find("The text part."), 0) << scripted::Printable(message.plainPart.body.str());
    EXPECT_GT(message.plainPart.body.Find("Second line."), 0);
    EXPECT_EQ(message.attachmentCount, 0);
}

TEST_F(RetrievalTest, LargeSinglePartMessageIsStillFetchedWhole) {
    ScriptLogon();
    Select();
    Cmd("UID FETCH 7 rfc822.size", SizeAnswer(7, 90000));
    Cmd("UID FETCH 7 BODY[HEADER.FIELDS (Content-Type)]",
        FetchAnswer(7, "BODY[HEADER.FIELDS (CONTENT-TYPE)]", "Content-Type: text/plain\r\n\r\n"));
    Cmd("UID FETCH 7 RFC822", FetchAnswer(7, "RFC822", kPlain));
    LogOn({.attachments = 1, .maxMessageSize = 1000});
    ASSERT_EQ(Retrieve(7), ImapResult::Ok);
    Verify();
    EXPECT_EQ(message.wholeMessage, 1);
    EXPECT_NE(message.plainPart.body.Find("Last line."), -1);
}

TEST_F(RetrievalTest, AlternativePairIsRebuiltWithBothTextsWhenAttachmentsAreNotWanted) {
    const std::string alternativeMime =
        CrLf({"Content-Type: multipart/alternative; boundary=\"zzALTzz\"", ""});
    ScriptLogon();
    Select();
    Cmd("UID FETCH 4 rfc822.size", SizeAnswer(4, 500));
    Cmd("UID FETCH 4 BODY[HEADER.FIELDS (Content-Type)]",
        FetchAnswer(4, "BODY[HEADER.FIELDS (CONTENT-TYPE)]", "Content-Type: Multipart/Mixed; boundary=x\r\n\r\n"));
    Cmd("UID FETCH 4 BODY[HEADER]", FetchAnswer(4, "BODY[HEADER]", kMixedHeader));
    Cmd("UID FETCH 4 BODY[1.MIME]", FetchAnswer(4, "BODY[1.MIME]", alternativeMime));
    Cmd("UID FETCH 4 BODY[1.1.MIME]", FetchAnswer(4, "BODY[1.1.MIME]", kTextMime));
    Cmd("UID FETCH 4 BODY[1.1]", FetchAnswer(4, "BODY[1.1]", "Plain words.\r\n"));
    Cmd("UID FETCH 4 BODY[1.2.MIME]", FetchAnswer(4, "BODY[1.2.MIME]", "Content-Type: text/html\r\n\r\n"));
    Cmd("UID FETCH 4 BODY[1.2]", FetchAnswer(4, "BODY[1.2]", "<p>Html words.</p>\r\n"));
    LogOn({.attachments = 0});
    ASSERT_EQ(Retrieve(4), ImapResult::Ok);
    Verify();
    EXPECT_EQ(message.wholeMessage, 0);
    EXPECT_EQ(message.plainPart.body.Find("Plain words."), 0);
    EXPECT_EQ(message.plainPart.body.Find("Html"), -1);
    EXPECT_EQ(message.htmlPart.body.Find("<p>Html words.</p>"), 0);
}

TEST_F(RetrievalTest, WithoutTextPartAmongTheFirstFourOnlyTheHeaderIsDelivered) {
    ScriptLogon();
    Select();
    Cmd("UID FETCH 5 rfc822.size", SizeAnswer(5, 500));
    Cmd("UID FETCH 5 BODY[HEADER.FIELDS (Content-Type)]", "", "NO Fetch refused.");
    Cmd("UID FETCH 5 BODY[HEADER]", FetchAnswer(5, "BODY[HEADER]", kMixedHeader));
    for (int n = 1; n <= 4; ++n) {
        const std::string item = "BODY[" + std::to_string(n) + ".MIME]";
        Cmd("UID FETCH 5 " + item, FetchAnswer(5, item, kPdfMime));
    }
    LogOn({.attachments = 0});
    ASSERT_EQ(Retrieve(5), ImapResult::Ok);
    Verify();
    EXPECT_EQ(message.wholeMessage, 0);
    EXPECT_EQ(Text(message.header.subject), "Mixed");
    EXPECT_EQ(Text(message.header.from), "Alice <alice@example.test>");
    EXPECT_TRUE(message.plainPart.body.IsEmpty());
    EXPECT_TRUE(message.htmlPart.body.IsEmpty());
}

// On the parts path the first tag prefix in an answer ends it at the start of its line, or of
// the line before when the prefix opens its line.
TEST_F(RetrievalTest, PartsPathCutsAnswersAtTheTagPrefix) {
    ScriptLogon();
    Select();
    Cmd("UID FETCH 6 rfc822.size", SizeAnswer(6, 500));
    Cmd("UID FETCH 6 BODY[HEADER.FIELDS (Content-Type)]",
        FetchAnswer(6, "BODY[HEADER.FIELDS (CONTENT-TYPE)]", "Content-Type: multipart/mixed\r\n\r\n"));
    Cmd("UID FETCH 6 BODY[HEADER]", FetchAnswer(6, "BODY[HEADER]", kMixedHeader));
    Cmd("UID FETCH 6 BODY[1.MIME]", FetchAnswer(6, "BODY[1.MIME]", kTextMime));
    Cmd("UID FETCH 6 BODY[1]", FetchAnswer(6, "BODY[1]", "Kept line.\r\nThen AEG here.\r\nLost line.\r\n"));
    LogOn({.attachments = 0});
    ASSERT_EQ(Retrieve(6), ImapResult::Ok);
    Verify();
    EXPECT_EQ(message.plainPart.body.Find("Kept line."), 0);
    EXPECT_EQ(message.plainPart.body.Find("AEG"), -1);
    EXPECT_EQ(message.plainPart.body.Find("Lost line."), -1);
}

TEST_F(RetrievalTest, HeaderOnlyFetchIsPartialAndHasNoBody) {
    ScriptLogon();
    Select();
    Cmd("UID FETCH 7 rfc822.size", SizeAnswer(7, kPlain.size()));
    Cmd("UID FETCH 7 RFC822.HEADER", FetchAnswer(7, "RFC822.HEADER", kPlain.substr(0, kPlain.find("\r\n\r\n") + 4)));
    LogOn();
    ASSERT_EQ(Retrieve(7, true), ImapResult::Ok);
    Verify();
    EXPECT_EQ(message.wholeMessage, 0);
    EXPECT_EQ(Text(message.header.subject), "Plain");
    EXPECT_EQ(message.plainPart.body.Find("Hello"), -1);
}

TEST_F(RetrievalTest, MissingDateTakesTheReceivedText) {
    const std::string text = CrLf({"Received: from mx.example.test by imap; Tue, 1 Oct 2024 10:00:00 +0000",
                                   "From: a@example.test", "Subject: Undated", "", "Body."});
    ScriptLogon();
    Select();
    Cmd("UID FETCH 3 rfc822.size", SizeAnswer(3, text.size()));
    Cmd("UID FETCH 3 RFC822", FetchAnswer(3, "RFC822", text));
    LogOn();
    ASSERT_EQ(Retrieve(3), ImapResult::Ok);
    Verify();
    ASSERT_FALSE(message.header.received.IsEmpty());
    EXPECT_EQ(Text(message.header.date), Text(message.header.received));
}

TEST_F(RetrievalTest, TwelveAttachmentsDeliverTheFirstTen) {
    std::vector<std::string> lines = {"From: a@example.test", "Subject: Many",
                                      "Content-Type: multipart/mixed; boundary=\"zzBzz\"", "", "--zzBzz",
                                      "Content-Type: text/plain", "", "See the files.", ""};
    for (int i = 1; i <= 12; ++i) {
        const std::string name = "f" + std::to_string(i) + ".txt";
        for (const std::string& line :
             {std::string("--zzBzz"), "Content-Type: text/plain; name=\"" + name + "\"",
              "Content-Disposition: attachment; filename=\"" + name + "\"", std::string(""),
              "content of file " + std::to_string(i), std::string("")})
            lines.push_back(line);
    }
    lines.push_back("--zzBzz--");
    const std::string text = CrLf(lines);
    ScriptLogon();
    Select();
    Cmd("UID FETCH 8 rfc822.size", SizeAnswer(8, text.size()));
    Cmd("UID FETCH 8 RFC822", FetchAnswer(8, "RFC822", text));
    LogOn();
    ASSERT_EQ(Retrieve(8), ImapResult::Ok);
    Verify();
    ASSERT_EQ(message.attachmentCount, 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(Text(message.attachments[i].fileName), "f" + std::to_string(i + 1) + ".txt");
        EXPECT_NE(message.attachments[i].body.Find(("content of file " + std::to_string(i + 1)).c_str()), -1);
    }
}

TEST_F(RetrievalTest, RefusedSelectAndFetchGiveTheirCodes) {
    ScriptLogon();
    Cmd("SELECT \"Work\"", "", "NO No such mailbox.");
    Select();
    Cmd("UID FETCH 7 rfc822.size", SizeAnswer(7, 100));
    Cmd("UID FETCH 7 RFC822", "", "NO Message gone.");
    LogOn();
    EXPECT_EQ(RetrieveMessage(session.imap, "Work", 7, &message, false), ImapResult::SelectFailed);
    EXPECT_EQ(RetrieveMessage(session.imap, "Elsewhere", 7, &message, false), ImapResult::UnknownFolder);
    EXPECT_EQ(RetrieveMessage(session.imap, "Inbox", 0, &message, false), ImapResult::NotReady);
    EXPECT_EQ(RetrieveMessage(session.imap, "", 7, &message, false), ImapResult::NotReady);
    EXPECT_EQ(RetrieveMessage(session.imap, "Inbox", 7, nullptr, false), ImapResult::NotReady);
    EXPECT_EQ(Retrieve(7), kFetchFailed);
    Verify();
}

TEST(RetrievalWithoutLogon, EveryOperationAnswersNotReady) {
    ImapClient client;
    RetrievedMessage message;
    bool seen = true;
    int32_t received = 5;
    EXPECT_EQ(RetrieveMessage(client, "Inbox", 7, &message, false), ImapResult::NotReady);
    EXPECT_EQ(GetReceivedInfo(client, "Inbox", 7, seen, received), ImapResult::NotReady);
    EXPECT_EQ(received, 5);
}

TEST_F(RetrievalTest, ReceivedInfoReadsTheSeenFlagAndTheFoldedReceivedDate) {
    const TimeZoneUtc utc;
    const std::string received = CrLf({"Received: from mx.example.test (mx [127.0.0.1])", "\tby imap.example.test;",
                                       " Tue, 1 Oct 2024 10:00:00 +0000", ""});
    ScriptLogon();
    Select();
    Cmd("UID FETCH 7 (FLAGS BODY.PEEK[HEADER.FIELDS (Received)])",
        FetchAnswer(7, "FLAGS (\\Seen) BODY[HEADER.FIELDS (RECEIVED)]", received));
    Cmd("UID FETCH 8 (FLAGS BODY.PEEK[HEADER.FIELDS (Received)])",
        FetchAnswer(8, "FLAGS (\\Answered) BODY[HEADER.FIELDS (RECEIVED)]", "\r\n"));
    Cmd("UID FETCH 9 (FLAGS BODY.PEEK[HEADER.FIELDS (Received)])", "", "NO Gone.");
    LogOn();
    bool seen = false;
    int32_t time = 0;
    ASSERT_EQ(GetReceivedInfo(session.imap, "Inbox", 7, seen, time), ImapResult::Ok);
    EXPECT_TRUE(seen);
    EXPECT_EQ(time, 1727776800);  // 2024-10-01 10:00:00 UTC
    ASSERT_EQ(GetReceivedInfo(session.imap, "Inbox", 8, seen, time), ImapResult::Ok);
    EXPECT_FALSE(seen);
    EXPECT_EQ(time, 0);
    EXPECT_EQ(GetReceivedInfo(session.imap, "Inbox", 9, seen, time), kFetchFailed);
    Verify();
}

struct FramingCase {
    const char* name;
    const char* text;
    bool first;
    bool tagged;
    const char* result;
};

TEST(StripFetchFraming, RemovesTheFetchLineAndTheTaggedLineWithTheLineBefore) {
    const FramingCase cases[] = {
        {"both", "* 1 FETCH (BODY[1] {6}\r\nbody\r\n)\r\nAEG9 OK done\r\n", true, true, "body\r\n"},
        {"first only", "* 1 FETCH (BODY[1] {6}\r\nbody\r\n)\r\nAEG9 OK\r\n", true, false, "body\r\n)\r\nAEG9 OK\r\n"},
        {"tagged only", "* 1 FETCH {6}\r\nbody\r\n)\r\nAEG9 OK\r\n", false, true, "* 1 FETCH {6}\r\nbody\r\n"},
        {"prefix mid-line", "* x\r\nkeep\r\nsay AEG\r\nmore\r\n", true, true, "keep\r\n"},
        {"prefix at column two", "* x\r\nkeep\r\nbody\r\nxAEG\r\n", true, true, "keep\r\n"},
        {"prefix at the very start", "AEG1 OK\r\n", false, true, ""},
        {"prefix at position two", "a\nAEG", false, true, ""},
        {"no CR", "no line end", true, true, "no line end"},
        {"CR last", "abc\r", true, false, ""},
        {"no prefix", "* x\r\nplain\r\n", true, true, "plain\r\n"},
        {"lower case is no tag", "* x\r\naeg ok\r\n", true, true, "aeg ok\r\n"},
        // A literal without a final line break shares its last line with the closing parenthesis.
        {"literal shares the closing line", "* 1 FETCH (UID 1 BODY[1] {18}\r\nSee the two files.)\r\nAEG4 OK\r\n",
         true, true, "See the two files."},
        {"flags after the literal", "* 1 FETCH (BODY[1] {4}\r\nbody FLAGS (\\Seen))\r\nAEG4 OK\r\n", true, true,
         "body"},
        {"literal kept with its line", "* 1 FETCH (BODY[HEADER] {6}\r\nA: b\r\n)\r\nAEG4 OK\r\n", false, true,
         "* 1 FETCH (BODY[HEADER] {6}\r\nA: b\r\n"},
        {"prefix inside the literal", "* 1 FETCH (BODY[1] {17}\r\nkeep\r\nAEG\r\nlost\r\n)\r\nAEG4 OK\r\n", true, true,
         ""},
        {"literal longer than the text", "* 1 FETCH {99}\r\nbody)\r\nAEG4 OK\r\n", true, true, ""},
    };
    for (const FramingCase& c : cases) {
        CString text(c.text);
        StripFetchFraming(text, c.first, c.tagged);
        EXPECT_EQ(scripted::Printable(text.str()), scripted::Printable(c.result)) << c.name;
    }
}

}  // namespace
