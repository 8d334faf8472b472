// GetMsg: the record built from a retrieved message, the read state kept on the server, the
// partial flag, and the message cache that answers the second time without traffic.
#include <gtest/gtest.h>

#include "session_script.h"

namespace {

class DownloadTest : public SessionScript {};

// With HTML preferred and a size limit: a listed unseen message stays unseen and comes from the
// cache the second time; above the limit a multipart/mixed message is rebuilt from its first text
// part, without attachments, flagged partial, and the cached copy answers the second time; an
// unlisted message asks for its flags; without an HTML part the plain body is taken.
TEST_F(DownloadTest, RecordsReadStatePartialFlagAndCache) {
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
    Cmd("UID SEARCH NOT DELETED SINCE 01-Jan-1990", "* SEARCH 7\r\n");
    Cmd("UID FETCH 7 (FLAGS BODY.PEEK[HEADER.FIELDS (Received)])",
        FetchAnswer(7, "FLAGS () BODY[HEADER.FIELDS (RECEIVED)]", "\r\n"));
    Whole(7, hello);
    Cmd("UID STORE 7 -FLAGS.SILENT \\seen");
    Size(9, 5000000);
    Fetch(9, "BODY[HEADER.FIELDS (Content-Type)]", "Content-Type: multipart/mixed; boundary=x\r\n\r\n");
    Fetch(9, "BODY[HEADER]",
          CrLf({"From: a@example.test", "Subject: Big",
                "Content-Type: multipart/mixed; boundary=\"zzOUTERzz\"", ""}));
    Fetch(9, "BODY[1.MIME]",
          CrLf({"Content-Type: application/pdf; name=\"r.pdf\"", "Content-Disposition: attachment", ""}));
    Fetch(9, "BODY[2.MIME]", "Content-Type: text/plain; charset=us-ascii\r\n\r\n");
    Fetch(9, "BODY[2]", "The text part.\r\nSecond line.\r\n");
    Flags(9, "");
    Cmd("UID STORE 9 -FLAGS.SILENT \\seen");
    Size(5, 10);
    Cmd("UID FETCH 5 RFC822", "", "NO Gone.");
    Select("work", 1);
    Whole(3, seen);
    Flags(3, "\\Seen");
    LogOn({.attachments = 1, .preferHtml = 1, .maxMessageSize = 100000});
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
              "9 from=a@example.test replyTo=a@example.test subject=Big body=The text part.\r\nSecond "
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

}  // namespace
