// mailhost's commands against the real servers, each test on a seeded pool account of its own:
// the exit status and what mailhost printed, then what the server holds, read over IMAP by a
// client of the test's own. Every mailhost run logs on with the module's shipped waits.
#include <gmock/gmock.h>
#include <sys/wait.h>

#include <algorithm>
#include <regex>
#include <sstream>

#include "dovecot_fixture.h"

namespace {

using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;

struct Outcome {
    int status;
    std::string out, err;
};

// One step of a table: a mailhost command line, what it answers, and what a folder (or, for
// "folders", the folder list) holds afterwards: "UID:flags" items, flags sorted.
struct Step {
    std::string args;
    int status;
    std::string printed;                 // in standard output or standard error
    std::string probe = "", holds = "";  // no probe: nothing read back
};

class MailhostTest : public DovecotTest {
protected:
    void SetUp() override {
        DovecotTest::SetUp();
        ::setenv("MAILHOST_PASSWORD", m_env["ZQ_POOL_PASSWORD"].c_str(), 1);
    }
    std::string CommandLine(const std::string& args) {
        return "cd '" + dir.parent + "' && " + ZQ_EMULATOR + " " + ZQ_BINARY_DIR + "/bin/mailhost --user " +
               user + " --imap-port " + m_env["ZQ_IMAP_PORT"] + " --smtp-port " + m_env["ZQ_SMTP_PORT"] +
               " " + args;
    }
    Outcome Mailhost(const std::string& args, const std::string& input = "") {
        std::ofstream(dir.parent + "/stdin", std::ios::binary) << input;
        const int status = std::system((CommandLine(args) + " <stdin >stdout 2>stderr").c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, File("stdout"), File("stderr")};
    }
    std::string File(const std::string& name) { return TempDir::Read(dir.parent + "/" + name); }

    // The server's view over IMAP, on a fresh connection each time (its flags in the server's
    // own order, \Recent left out).
    std::string Holds(const std::string& probe) {
        client.Disconnect();
        if (client.Connect(&settings) != ImapResult::Ok || client.Login() != ImapResult::Ok)
            return "no logon";
        std::vector<std::string> items;
        CStringArray folders;
        CString response;
        if (probe == "folders" && client.GetFolderList(folders) == ImapResult::Ok) {
            for (const CString& name : folders) items.push_back(name.str());
            std::sort(items.begin(), items.end());
        } else if (probe != "folders" && client.Execute(("EXAMINE \"" + probe + "\"").c_str(), response)) {
            client.Execute("UID FETCH 1:* (FLAGS)", response);
            const std::string text = std::regex_replace(response.str(), std::regex(R"( ?\\Recent)"), "");
            const std::regex fetch(R"(UID (\d+) FLAGS \(([^)]*)\))");
            for (std::sregex_iterator it(text.begin(), text.end(), fetch), end; it != end; ++it)
                items.push_back((*it)[1].str() + ":" + (*it)[2].str());
        }
        std::string joined;
        for (const std::string& item : items) joined += (joined.empty() ? "" : ",") + item;
        return joined;
    }

    void Play(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            SCOPED_TRACE("mailhost " + step.args);
            const Outcome run = Mailhost(step.args);
            EXPECT_EQ(run.status, step.status) << run.out << run.err;
            EXPECT_THAT(run.out + run.err, HasSubstr(step.printed));
            if (!step.probe.empty()) {
                EXPECT_EQ(Holds(step.probe), step.holds);
            }
        }
    }

    TempDir dir{true};  // the module writes its attachment files into dir.path
};

// Folders made, renamed and deleted; mistakes of use and a refused logon end with their own exit
// status.
TEST_F(MailhostTest, FolderCommandsAndUsageMistakes) {
    Seed("Projects", {MessageText("plan"), MessageText("budget")});
    Play({
        {"folder create Archive", 0, "IMAP4AddFolder(\"Archive\") -> 0 (done)", "folders",
         "Archive,INBOX,Projects"},
        {"folder create Archive", 1, "IMAP4AddFolder(\"Archive\") -> 16 (the server refused CREATE"},
        {"folder rename Archive Attic", 0, "IMAP4RenameFolder(\"Archive\", \"Attic\") -> 0 (done)", "folders",
         "Attic,INBOX,Projects"},
        {"folder delete Projects --move-to Attic", 0,
         "IMAP4CopyMessage(2, \"Projects\", \"Attic\") -> 0 (done)", "Attic", "1:,2:"},
        {"folders", 0, "Attic   other", "folders", "Attic,INBOX"},
        {"folder delete Attic", 0, "IMAP4DeleteFolder(\"Attic\") -> 0 (done)", "folders", "INBOX"},
        {"folder delete Nowhere", 1, "no folder Nowhere", "folders", "INBOX"},
        {"folder rename Nowhere Else", 1, "no folder Nowhere"},
        {"expunge Attic", 1, "IMAP4SelectFolder(\"Attic\") -> 12 (the folder is not in"},
        {"", 2, "usage: mailhost [options] COMMAND"},
        {"bogus", 2, "unknown command bogus"},
        {"list", 2, "usage: mailhost list FOLDER"},
        {"list INBOX --frob", 2, "unknown option --frob"},
        {"--imap-port x folders", 2, "--imap-port needs a number, not 'x'"},
        {"sync --help", 0, "usage: mailhost [options] sync [FOLDER...]"},
        {"--plugin /nonexistent/plugin.so folders", 4, "/nonexistent/plugin.so"},
        {"--password wrong --sync-log folders", 3,
         "\nsync log: OSTRAVO INFO -- Server logon failed for user '" + user + "'"},
        {"-v info", 0, "exports:  all 27 resolved"},
        {"send --from a@example.test --to b@example.test --attach /nonexistent", 5,
         "cannot read the attachment"},
    });
    EXPECT_THAT(Mailhost("-v folders").err, HasSubstr("[log] IMAP SEND:LIST \"\" \"%\""));
}

// The real server's search and flags: what a listing shows and what each command leaves there.
TEST_F(MailhostTest, MessageCommandsChangeFlagsAndPlacesOnTheServer) {
    Seed("INBOX", {MessageText("one"), MessageText("two"), MessageText("three")});
    Seed("Work", {MessageText("work")});
    Play({
        {"list INBOX --since-days 2", 0,
         "SIZE\n  1  Alice  one      2024-10-01 10:00  no    17 B\n  2  Alice  two  "},
        {"mark-read INBOX 1 2", 0, "SetMsgReadStatus(\"INBOX\", 2, 1) -> 0 (done)", "INBOX",
         "1:\\Seen,2:\\Seen,3:"},
        {"mark-unread INBOX 2 --imap4", 0, "IMAP4SetSeenFlag(\"INBOX\", 2, 0) -> 0 (done)", "INBOX",
         "1:\\Seen,2:,3:"},
        {"list INBOX --unread-only", 0, "SIZE\n  2  Alice  two      2024-10-01 10:00  no    17 B\n  3  "},
        {"copy INBOX 3 Work", 0, "flagged deleted and no longer listed", "INBOX", "1:\\Seen,2:,3:\\Deleted"},
        {"move INBOX 2 Work", 0, "IMAP4Commit() -> 0 (done)", "INBOX", "1:\\Seen"},
        {"delete Work 1 --keep", 0, "DeleteMsg(\"Work\", 1) -> 0 (done)", "Work", "1:\\Deleted \\Seen,2:,3:"},
        {"mark-read Work 1", 1, "no message 1 in Work", "Work", "1:\\Deleted \\Seen,2:,3:"},
        {"expunge Work", 0, "IMAP4Commit() -> 0 (done)", "Work", "2:,3:"},
        {"delete INBOX 1", 0, "IMAP4Commit() -> 0 (done)", "INBOX", ""},
        {"move Work 3 Nowhere", 1, "IMAP4CopyMessage(3, \"Work\", \"Nowhere\") -> 12 (a folder is not in",
         "Work", "2:,3:"},
        {"mark-read Work x", 2, "'x' is not a message UID", "Work", "2:,3:"},
    });
    const Outcome append = Mailhost("append Work -", MessageText("appended"));
    EXPECT_EQ(append.status, 0) << append.err;
    EXPECT_THAT(append.out, HasSubstr("IMAP4Append(\"Work\", "));
    EXPECT_EQ(Holds("Work"), "2:,3:,4:");
}

// Listing and downloading leave unread mail unread; the size limit fetches part of a message,
// and a logon without it fetches the whole; attachment files are copied out and the module's
// own are given back.
TEST_F(MailhostTest, ReadingCommandsKeepUnreadMailUnreadAndWriteFiles) {
    std::vector<std::string> demo;
    for (const char* name : {"1-plain", "4-invoice", "7-large"})
        demo.push_back(TempDir::Read(std::string(ZQ_SOURCE_DIR) + "/scripts/demo/INBOX/" + name + ".eml"));
    Seed("INBOX", demo);
    LogOn();
    ASSERT_EQ(client.SetSeenFlag("INBOX", 1, true), ImapResult::Ok);

    Outcome run = Mailhost("list INBOX --size-limit 10000");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, ContainsRegex("1  Bob Example +Lunch on Friday. +2026-12-0[0-9 :]+ +yes +"));
    EXPECT_THAT(run.out, ContainsRegex("2  Example Hosting Billing +Invoice 2026-117 for November +"
                                       "2026-12-0[0-9 :]+ +no +[0-9.]+ K?B\n"));
    EXPECT_THAT(run.out, ContainsRegex("3  Weather Station Network +November .* no +[0-9]+ B\\*\n"));
    run = Mailhost("list INBOX --headers-only");
    EXPECT_THAT(run.out, ContainsRegex("3  Weather Station Network +November readings .* no +-\n"));
    EXPECT_EQ(Holds("INBOX"), "1:\\Seen,2:,3:");

    run = Mailhost("get INBOX 3 --size-limit 10000 --json");
    EXPECT_EQ(run.status, 0) << run.err;
    for (const char* field : {"\"command\": \"get\"", "\"partial\": true", "\"downloaded\": true",
                              "\"subject\": \"November readings of all stations\"", "\"export\": \"GetMsg\"",
                              "\"exitStatus\": 0\n}\n"})
        EXPECT_THAT(run.out, HasSubstr(field));
    EXPECT_THAT(Mailhost("get INBOX 3").out,
                HasSubstr("Partial:     no\nAttachments: readings-2026-11.csv\n"));

    run = Mailhost("attachments INBOX 2 --out att");
    EXPECT_EQ(run.status, 0) << run.err;
    // Each part, decoded apart from the module, is its file byte for byte.
    const std::regex part(
        R"re(filename="([^"]+)"\r?\nContent-Transfer-Encoding: base64\r?\n\r?\n([A-Za-z0-9+/=\r\n]+))re");
    int parts = 0;
    for (std::sregex_iterator it(demo[1].begin(), demo[1].end(), part), end; it != end; ++it, ++parts) {
        std::ofstream(dir.parent + "/part.b64") << (*it)[2].str();
        ASSERT_EQ(std::system(("cd '" + dir.parent + "' && base64 -di part.b64 >part").c_str()), 0);
        EXPECT_EQ(File("att/" + (*it)[1].str()), File("part")) << (*it)[1];
    }
    EXPECT_EQ(parts, 3);
    EXPECT_TRUE(dir.Names().empty()) << "the module's files are given back";
    run = Mailhost("attachments INBOX 2 --out att");
    EXPECT_EQ(run.status, 5);
    EXPECT_THAT(run.err, HasSubstr("exists (--force overwrites it)"));

    // On a terminal sync rewrites one progress line per folder.
    EXPECT_EQ(std::system(("script -qec \"" + CommandLine("sync INBOX --out out") + "\" /dev/null >" +
                           dir.parent + "/tty.txt")
                              .c_str()),
              0);
    const std::string tty = File("tty.txt");
    EXPECT_THAT(tty, HasSubstr("\rINBOX (1/1)  0/3 messages  0 B"));
    EXPECT_THAT(tty, ContainsRegex("\rINBOX \\(1/1\\)  3/3 messages  [0-9.]+ KB  [0-9.]+ [KM]?B/s"));
    EXPECT_THAT(tty, ContainsRegex("INBOX \\(1/1\\): 3 messages, [0-9.]+ KB in [0-9.]+ s"));
    EXPECT_THAT(tty, ContainsRegex("INBOX +3 +2 +0 +4 +[0-9.]+ KB +0\r?\ntotal"));
    EXPECT_THAT(File("out/INBOX/2.json"),
                HasSubstr("\"attachmentFiles\": [\n    \"2/invoice-2026-117.pdf\""));
    EXPECT_EQ(File("out/INBOX/1.txt").substr(0, 10), "Hi Alice,\r");
    EXPECT_EQ(File("out/INBOX/2/usage.csv"), File("att/usage.csv"));
    EXPECT_EQ(Holds("INBOX"), "1:\\Seen,2:,3:");
}

// Postfix delivers past a refused recipient to the To and Bcc ones, after AUTH LOGIN, every header
// line and the body (dot lines, the attachment's part) as the module filed its copy in Sent,
// where mailhost finds it. A wrong SMTP password is refused.
TEST_F(MailhostTest, SendDeliversThroughPostfixWhatTheSentCopyHolds) {
    const std::string to = ClaimAccount(), bcc = ClaimAccount();
    ASSERT_FALSE(to.empty() || bcc.empty());
    LogOn();
    ASSERT_EQ(client.CreateFolder("Sent"), ImapResult::Ok);
    std::ofstream(dir.parent + "/notes.bin") << "Figures in thousands.\n" + std::string(3000, '\xA7');
    const std::string args = "send --from " + Address(user) + " --to " + Address("nosuchuser") + " --to " +
                             Address(to) + " --bcc " + Address(bcc) +
                             " --subject 'Grüße, notes' --attach notes.bin";
    // Refused at AUTH LOGIN's password: the logon fails and no transaction begins.
    const Outcome refused = Mailhost("-v " + args + " --smtp-password wrong", "refused");
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.err, ContainsRegex("RECV:334 UGFzc3dvcmQ6\r\n\n\\[log\\] SMTP: Socket for server "
                                           "'127.0.0.1' on port [0-9]+ failed to connect. \n"));
    EXPECT_THAT(refused.err, Not(HasSubstr("MAIL FROM")));
    EXPECT_THAT(refused.out, HasSubstr("e, notes\") -> 212 (sending failed"));
    const Outcome run = Mailhost(args, "Hello Bob,\n.\n.leading period\nLast line\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out,
                HasSubstr("SendMsg(" + Address(user) + " -> " + Address("nosuchuser") + ";" + Address(to) +
                          ", \"Grüße, notes\") -> 0 (done)\ncopy filed in Sent as UID 1\n"));
    const std::string copy = FirstMessage(user, "Sent");
    const size_t headerEnd = copy.find("\r\n\r\n");
    ASSERT_NE(headerEnd, std::string::npos) << "no copy in Sent";
    const std::string body = copy.substr(headerEnd);
    EXPECT_THAT(copy, HasSubstr("Subject: Gr\xFC\xDF"
                                "e, notes\r\n"));  // sent in Windows-1252
    EXPECT_THAT(body, HasSubstr("\r\n.\r\n.leading period\r\nLast line"));
    EXPECT_THAT(body, HasSubstr("filename=\"notes.bin\"\r\n\r\nRmlndXJlcyBpbiB0aG91c2FuZHMuCqen"));
    for (const std::string& name : {to, bcc}) {
        SCOPED_TRACE(name);
        const std::string text = FirstMessage(name);
        EXPECT_THAT(text, HasSubstr("(Postfix) with ESMTPA"));
        // Every header line of the copy, as the recipient got it.
        std::istringstream headers(copy.substr(0, headerEnd + 2));
        for (std::string line; std::getline(headers, line);) EXPECT_THAT(text, HasSubstr(line + "\n"));
        EXPECT_EQ(text.substr(text.find("\r\n\r\n")) + ".\r\n", body);  // the copy keeps the terminator
    }
}

}  // namespace
