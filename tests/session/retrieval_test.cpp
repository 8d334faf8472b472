// Message retrieval (the whole and parts paths, the rebuilt text, the cut at the tag prefix, the
// received time, the result codes) and GetMsg: the record built from it, read state, cache.
#include <gtest/gtest.h>

#include <tuple>

#include "imap/message_retrieval.h"
#include "session_script.h"

namespace {

const std::string kPlain = CrLf({"Received: from mx.example.test by imap; Tue, 1 Oct 2024 10:00:00 +0000",
                                 "From: Alice <alice@example.test>", "Subject: Plain", "", "Hello Bob.",
                                 "Line with AEG inside.", "Last line."});
// Its Received time stands in for the missing Date header.
const std::string kPlainRetrieved =
    "whole date=Tue, 1 Oct 2024 10:00:00 +0000 subject=Plain plain=Hello Bob.\nLine with AEG inside.\nLast "
    "line.\n "
    "html=";
const std::string kMixedHeader = CrLf({"From: Alice <alice@example.test>", "Subject: Mixed",
                                       "Content-Type: multipart/mixed; boundary=\"zzOUTERzz\"", ""});
const std::string kTextMime = "Content-Type: text/plain; charset=us-ascii\r\n\r\n";
const std::string kPdfMime =
    CrLf({"Content-Type: application/pdf; name=\"r.pdf\"", "Content-Disposition: attachment", ""});

class RetrievalTest : public SessionScript {
protected:
    // The message retrieved from the Inbox in one line: whole or rebuilt, date, subject, the two
    // texts and the attachments' names and bodies.
    std::string Retrieve(uint32_t uid) {
        EXPECT_EQ(RetrieveMessage(session.imap, "Inbox", uid, &message, false), ImapResult::Ok) << uid;
        std::string text = std::string(message.wholeMessage ? "whole" : "rebuilt") +
                           " date=" + Text(message.header.date) + " subject=" + Text(message.header.subject) +
                           " plain=" + message.plainPart.body.str() + " html=" + message.htmlPart.body.str();
        for (int i = 0; i < message.attachmentCount; ++i)
            text += " " + Text(message.attachments[i].fileName) + ":" + message.attachments[i].body.str();
        return text;
    }
    RetrievedMessage message;
};

// Retrieval first: whole messages (the date from Received when Date is missing, ten attachments
// of twelve) and refusals. Then records with HTML preferred and a size limit: read state, the
// partial flag and the cache.
TEST_F(RetrievalTest, MessagesAndRecordsReadStatePartialFlagAndCache) {
    std::vector<Attachment> files;
    std::string ten = "whole date= subject=Files plain=See the files.\n\n html=";
    for (int i = 1; i <= 12; ++i) {
        files.push_back({"f" + std::to_string(i) + ".txt", "body of f" + std::to_string(i) + "."});
        if (i <= 10) ten += " " + files.back().name + ":" + files.back().body + "\n\n";
    }
    // A lone LF inside a line of the server's text: the body still reaches the host with CR LF.
    const std::string hello = CrLf({"From: Alice <alice@example.test>", "To: Bob <bob@example.test>",
                                    "Cc: Carol <carol@example.test>", "Subject: Hello",
                                    "Date: Tue, 1 Oct 2024 10:00:00 +0000", "", "First\nSecond", "Third"});
    const std::string seen = CrLf({"Received: from mx by imap; Mon, 30 Sep 2024 08:15:00 +0000",
                                   "From: Alice <alice@example.test>", "Reply-To: Desk <desk@example.test>",
                                   "Subject: Seen already", "Date: Tue, 1 Oct 2024 10:00:00 +0000",
                                   "Content-Type: text/plain", "Content-Transfer-Encoding: base64", "",
                                   "UGxhaW4gdGV4dApvdmVyIHR3byBsaW5lcy4="});  // "Plain text\nover two lines."
    ScriptLogon();
    Whole(17, kPlain);
    Whole(18, MessageWith(files));
    Cmd("SELECT \"Work\"", "", "NO No such mailbox.");
    Size(16, 100);
    Cmd("UID FETCH 16 RFC822", "", "NO Message gone.");
    // Records, through GetMsg.
    Cmd("UID SEARCH NOT DELETED SINCE 01-Jan-1990", "* SEARCH 7\r\n");
    Cmd("UID FETCH 7 (FLAGS BODY.PEEK[HEADER.FIELDS (Received)])",
        FetchAnswer(7, "FLAGS () BODY[HEADER.FIELDS (RECEIVED)]", "\r\n"));
    Whole(7, hello);
    Cmd("UID STORE 7 -FLAGS.SILENT \\seen");
    Size(9, 5000000);
    Fetch(9, "BODY[HEADER.FIELDS (Content-Type)]", "Content-Type: multipart/mixed; boundary=x\r\n\r\n");
    Fetch(9, "BODY[HEADER]", kMixedHeader);
    Fetch(9, "BODY[1.MIME]", kPdfMime);
    Fetch(9, "BODY[2.MIME]", kTextMime);
    Fetch(9, "BODY[2]", "The text part.\r\nSecond line.\r\n");
    Flags(9, "");
    Cmd("UID STORE 9 -FLAGS.SILENT \\seen");
    Size(5, 10);
    Cmd("UID FETCH 5 RFC822", "", "NO Gone.");
    Select("work", 1);
    Whole(3, seen);
    Flags(3, "\\Seen");
    LogOn({.attachments = 1, .preferHtml = 1, .maxMessageSize = 100000});
    EXPECT_EQ(Retrieve(17), kPlainRetrieved);
    EXPECT_EQ(Retrieve(18), ten);
    EXPECT_EQ(RetrieveMessage(session.imap, "Work", 17, &message, false), ImapResult::SelectFailed);
    EXPECT_EQ(RetrieveMessage(session.imap, "Elsewhere", 17, &message, false), ImapResult::UnknownFolder);
    EXPECT_EQ(RetrieveMessage(session.imap, "Inbox", 0, &message, false), ImapResult::NotReady);
    EXPECT_EQ(RetrieveMessage(session.imap, "", 17, &message, false), ImapResult::NotReady);
    EXPECT_EQ(RetrieveMessage(session.imap, "Inbox", 17, nullptr, false), ImapResult::NotReady);
    EXPECT_EQ(RetrieveMessage(session.imap, "Inbox", 16, &message, false), kFetchFailed);
    MailMsg** listed = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(session.GetMsgIds(nullptr, &listed, &count), 0);
    ReleaseMailMsgArray(listed, static_cast<int32_t>(count));
    const char* work = "work";  // the listed "Work": folder names match without regard to case
    const uint8_t bytes[] = {1, 2, 3};
    const MessageIdRef shortId{3, bytes};
    MailMsg* none = nullptr;
    const std::string first = Describe(Get(7)), big = Describe(Get(9));
    // Without Reply-To, the sender; without Received, the Date header.
    EXPECT_EQ(
        first,
        "7 from=Alice <alice@example.test> replyTo=Alice <alice@example.test> to=Bob <bob@example.test> "
        "cc=Carol <carol@example.test> subject=Hello body=First\r\nSecond\r\nThird\r\n date=1727776800 "
        "downloaded");
    EXPECT_EQ(Describe(Get(7)), first) << "from the cache";
    EXPECT_NE(taken[0], taken[1]);
    EXPECT_EQ(big,
              "9 from=Alice <alice@example.test> replyTo=Alice <alice@example.test> subject=Mixed body=The "
              "text part.\r\nSecond "
              "line.\r\n\r\n\r\n "
              "date=0 downloaded partial");
    EXPECT_EQ(Describe(Get(9)), big.substr(0, big.size() - 8)) << "the cached copy is whole";
    // A failed retrieval and ids this module never issued produce no record.
    EXPECT_EQ(Get(5), nullptr);
    EXPECT_EQ(session.GetMsg(nullptr, &shortId, &none), 1);
    EXPECT_EQ(session.GetMsg(nullptr, nullptr, &none), 1);
    EXPECT_EQ(none, nullptr);
    // The Received date wins over the Date header.
    EXPECT_EQ(Describe(Get(3, &work)),
              "3 from=Alice <alice@example.test> replyTo=Desk <desk@example.test> subject=Seen already "
              "body=Plain text\r\nover two lines. date=1727684100 read downloaded");
}

// Without attachments, or above the size limit, a message is fetched whole unless it is
// multipart/mixed, which is rebuilt from its parts (also after a refused type probe): an
// alternative pair gives both texts, each cut at the line holding the tag prefix; without a text
// part among the first four only the header is delivered.
TEST_F(RetrievalTest, PartsPath) {
    ScriptLogon();
    Size(27, 90000);
    Fetch(27, "BODY[HEADER.FIELDS (Content-Type)]", "Content-Type: text/plain\r\n\r\n");
    Fetch(27, "RFC822", kPlain);
    Size(24, 500);
    Fetch(24, "BODY[HEADER.FIELDS (Content-Type)]",
          "Content-Type: multipart/mixed; boundary=zzOUTERzz\r\n\r\n");
    Fetch(24, "BODY[HEADER]", kMixedHeader);
    Fetch(24, "BODY[1.MIME]", "Content-Type: multipart/alternative; boundary=\"zzALTzz\"\r\n\r\n");
    Fetch(24, "BODY[1.1.MIME]", kTextMime);
    Fetch(24, "BODY[1.1]", "Plain words.\r\nThen AEG here.\r\nLost line.\r\n");
    Fetch(24, "BODY[1.2.MIME]", "Content-Type: text/html\r\n\r\n");
    Fetch(24, "BODY[1.2]", "<p>Html words.</p>\r\n");
    Size(25, 500);
    Cmd("UID FETCH 25 BODY[HEADER.FIELDS (Content-Type)]", "", "NO Fetch refused.");
    Fetch(25, "BODY[HEADER]", kMixedHeader);
    for (int n = 1; n <= 4; ++n) Fetch(25, "BODY[" + std::to_string(n) + ".MIME]", kPdfMime);
    LogOn({.attachments = 0, .maxMessageSize = 1000});
    EXPECT_EQ(Retrieve(27), kPlainRetrieved);
    EXPECT_EQ(Retrieve(24), "rebuilt date= subject=Mixed plain=Plain words.\n\n html=<p>Html words.</p>\n\n");
    EXPECT_EQ(Retrieve(25), "rebuilt date= subject=Mixed plain= html=");
}

// Edge cases only: plain framing and a prefix mid-line are cut in every fetch above.
TEST(StripFetchFraming, RemovesTheFetchLineAndTheTaggedLineWithTheLineBefore) {
    // Case, text, whether the first and the tagged line go, what is left.
    const std::tuple<const char*, const char*, bool, bool, const char*> cases[] = {
        {"first only", "* 1 FETCH (BODY[1] {6}\r\nbody\r\n)\r\nAEG9 OK\r\n", true, false,
         "body\r\n)\r\nAEG9 OK\r\n"},
        {"tagged only", "* 1 FETCH {6}\r\nbody\r\n)\r\nAEG9 OK\r\n", false, true,
         "* 1 FETCH {6}\r\nbody\r\n"},
        {"prefix at column two", "* x\r\nkeep\r\nbody\r\nxAEG\r\n", true, true, "keep\r\n"},
        {"prefix at the very start", "AEG1 OK\r\n", false, true, ""},
        {"prefix at position two", "a\nAEG", false, true, ""},
        {"no CR", "no line end", true, true, "no line end"},
        {"CR last", "abc\r", true, false, ""},
        {"lower case is no tag", "* x\r\naeg ok\r\n", true, true, "aeg ok\r\n"},
        {"literal shares the closing line",
         "* 1 FETCH (UID 1 BODY[1] {18}\r\nSee the two files.)\r\nAEG4 OK\r\n", true, true,
         "See the two files."},
        {"flags after the literal", "* 1 FETCH (BODY[1] {4}\r\nbody FLAGS (\\Seen))\r\nAEG4 OK\r\n", true,
         true, "body"},
        {"literal kept with its line", "* 1 FETCH (BODY[HEADER] {6}\r\nA: b\r\n)\r\nAEG4 OK\r\n", false, true,
         "* 1 FETCH (BODY[HEADER] {6}\r\nA: b\r\n"},
        {"prefix inside the literal", "* 1 FETCH (BODY[1] {17}\r\nkeep\r\nAEG\r\nlost\r\n)\r\nAEG4 OK\r\n",
         true, true, ""},
        {"literal longer than the text", "* 1 FETCH {99}\r\nbody)\r\nAEG4 OK\r\n", true, true, ""},
    };
    for (const auto& [name, given, first, tagged, result] : cases) {
        CString text(given);
        StripFetchFraming(text, first, tagged);
        EXPECT_EQ(scripted::Printable(text.str()), scripted::Printable(result)) << name;
    }
}

}  // namespace
