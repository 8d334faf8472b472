// mailhost's commands against the real servers, each test on a seeded pool account of its own:
// the exit status and what mailhost printed, then what the server holds, read over IMAP by a
// client of the test's own. Every mailhost run logs on with the module's shipped waits.
#include <gmock/gmock.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "dovecot_fixture.h"

namespace fs = std::filesystem;

namespace {

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Outcome {
    int status;
    std::string out, err;
};

// One step of a table: a mailhost command line, what it answers, and what a folder (or, for
// "folders", the folder list) holds afterwards: "UID:flags" items, flags sorted.
struct Step {
    std::string args;
    int status;
    std::string printed;  // in standard output or standard error
    std::string probe, holds;
};

class MailhostTest : public DovecotTest {
protected:
    void SetUp() override {
        DovecotTest::SetUp();
        char pattern[] = "/tmp/zq-mailhost-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        fs::create_directories(dir / "tmp");
        // The module writes attachment files into the temporary directory: one per test.
        ::setenv("TMPDIR", (dir / "tmp").c_str(), 1);
        ::setenv("MAILHOST_PASSWORD", m_env["ZQ_POOL_PASSWORD"].c_str(), 1);
    }
    void TearDown() override {
        DovecotTest::TearDown();
        fs::remove_all(dir);
    }

    std::string CommandLine(const std::string& args) {
        return std::string(ZQ_EMULATOR) + " " + ZQ_BINARY_DIR + "/bin/mailhost --user " + user +
               " --imap-port " + m_env["ZQ_IMAP_PORT"] + " --smtp-port " + m_env["ZQ_SMTP_PORT"] + " " + args;
    }
    Outcome Mailhost(const std::string& args, const std::string& input = "") {
        std::ofstream(dir / "stdin", std::ios::binary) << input;
        const std::string line = "cd '" + dir.string() + "' && " + CommandLine(args) + " <stdin 2>stderr";
        Outcome run{-1, "", ""};
        if (FILE* pipe = ::popen(line.c_str(), "r")) {
            char buffer[4096];
            for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
            const int status = ::pclose(pipe);
            run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        run.err = FileText(dir / "stderr");
        return run;
    }

    // The server's view over IMAP, on a fresh connection each time.
    std::string Holds(const std::string& probe) {
        client.Disconnect();
        if (client.Connect(&settings) != ImapResult::Ok || client.Login() != ImapResult::Ok)
            return "no logon";
        CString response;
        std::vector<std::string> items;
        if (probe == "folders") {
            client.Execute("LIST \"\" \"*\"", response);
            const std::string text = response.str();
            const std::regex list(R"re(\* LIST \([^)]*\) "/" "?([^"\r\n]+)"?)re");
            for (auto it = std::sregex_iterator(text.begin(), text.end(), list); it != std::sregex_iterator();
                 ++it)
                items.push_back((*it)[1]);
            std::sort(items.begin(), items.end());
        } else {
            client.Execute(("EXAMINE \"" + probe + "\"").c_str(), response);
            client.Execute("UID FETCH 1:* (FLAGS)", response);
            const std::string text = response.str();
            const std::regex fetch(R"(UID (\d+) FLAGS \(([^)]*)\))");
            for (auto it = std::sregex_iterator(text.begin(), text.end(), fetch);
                 it != std::sregex_iterator(); ++it) {
                std::istringstream words((*it)[2]);
                std::vector<std::string> flags{std::istream_iterator<std::string>(words), {}};
                flags.erase(std::remove(flags.begin(), flags.end(), "\\Recent"), flags.end());
                std::sort(flags.begin(), flags.end());
                std::string item = (*it)[1].str() + ":";
                for (size_t i = 0; i < flags.size(); ++i) item += (i ? " " : "") + flags[i];
                items.push_back(item);
            }
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
            EXPECT_NE((run.out + run.err).find(step.printed), std::string::npos) << run.out << run.err;
            EXPECT_EQ(Holds(step.probe), step.holds);
        }
    }

    std::string Demo(const std::string& name) {
        return FileText(std::string(ZQ_SOURCE_DIR) + "/scripts/demo/" + name);
    }

    fs::path dir;
};

TEST_F(MailhostTest, FolderCommandsCreateRenameAndDeleteWithAndWithoutMovingFirst) {
    Seed("Projects", {MessageText("plan"), MessageText("budget")});
    Play({
        {"folder create Archive", 0, "IMAP4AddFolder(\"Archive\") -> 0 (done)", "folders",
         "Archive,INBOX,Projects"},
        {"folder rename Archive Attic", 0, "IMAP4RenameFolder(\"Archive\", \"Attic\") -> 0 (done)", "folders",
         "Attic,INBOX,Projects"},
        {"folder delete Projects --move-to Attic", 0,
         "IMAP4CopyMessage(2, \"Projects\", \"Attic\") -> 0 (done)", "Attic", "1:,2:"},
        {"folders", 0, "Attic   other", "folders", "Attic,INBOX"},
        {"folder delete Attic", 0, "IMAP4DeleteFolder(\"Attic\") -> 0 (done)", "folders", "INBOX"},
        {"folder delete Nowhere", 1, "no folder Nowhere", "folders", "INBOX"},
        {"folder rename Nowhere Else", 1, "no folder Nowhere", "folders", "INBOX"},
    });
}

TEST_F(MailhostTest, MessageCommandsChangeFlagsAndPlacesOnTheServer) {
    Seed("INBOX", {MessageText("one"), MessageText("two"), MessageText("three")});
    Seed("Work", {MessageText("work")});
    Play({
        {"mark-read INBOX 1 2", 0, "SetMsgReadStatus(\"INBOX\", 2, 1) -> 0 (done)", "INBOX",
         "1:\\Seen,2:\\Seen,3:"},
        {"mark-unread INBOX 2 --imap4", 0, "IMAP4SetSeenFlag(\"INBOX\", 2, 0) -> 0 (done)", "INBOX",
         "1:\\Seen,2:,3:"},
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
    EXPECT_NE(append.out.find("IMAP4Append(\"Work\", "), std::string::npos);
    EXPECT_EQ(Holds("Work"), "2:,3:,4:");
}

// Listing and downloading leave unread mail unread; the size limit fetches part of a message,
// and a logon without it fetches the whole; attachment files are copied out and the module's
// own are given back.
TEST_F(MailhostTest, ReadingCommandsKeepUnreadMailUnreadAndWriteFiles) {
    Seed("INBOX", {Demo("INBOX/1-plain.eml"), Demo("INBOX/4-invoice.eml"), Demo("INBOX/7-large.eml")});
    LogOn();
    ASSERT_EQ(client.SetSeenFlag("INBOX", 1, true), ImapResult::Ok);

    Outcome run = Mailhost("list INBOX --size-limit 10000");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out,
                ::testing::ContainsRegex("1  Bob Example +Lunch on Friday. +2026-12-0[0-9 :]+ +yes +"));
    EXPECT_THAT(run.out,
                ::testing::ContainsRegex("2  Example Hosting Billing +Invoice 2026-117 for November +"
                                         "2026-12-0[0-9 :]+ +no +[0-9.]+ K?B\n"));
    EXPECT_THAT(run.out,
                ::testing::ContainsRegex("3  Weather Station Network +November .* no +[0-9]+ B\\*\n"));
    run = Mailhost("list INBOX --headers-only");
    EXPECT_THAT(run.out,
                ::testing::ContainsRegex("3  Weather Station Network +November readings .* no +-\n"));
    EXPECT_EQ(Holds("INBOX"), "1:\\Seen,2:,3:");

    run = Mailhost("get INBOX 3 --size-limit 10000 --json");
    EXPECT_EQ(run.status, 0) << run.err;
    for (const char* field : {"\"command\": \"get\"", "\"uid\": 3", "\"partial\": true", "\"read\": false",
                              "\"downloaded\": true", "\"subject\": \"November readings of all stations\"",
                              "\"attachments\": []", "\"export\": \"GetMsg\"", "\"exitStatus\": 0\n}\n"})
        EXPECT_NE(run.out.find(field), std::string::npos) << field << "\n" << run.out;
    run = Mailhost("get INBOX 3");
    EXPECT_NE(run.out.find("Partial:     no\nAttachments: readings-2026-11.csv\n"), std::string::npos)
        << run.out;

    run = Mailhost("attachments INBOX 2 --out att");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(FileText(dir / "att/invoice-2026-117.pdf").substr(0, 8), "%PDF-1.4");
    EXPECT_EQ(FileText(dir / "att/logo.png").substr(1, 3), "PNG");
    EXPECT_EQ(FileText(dir / "att/usage.csv").substr(0, 19), "date,service,hours\r");
    EXPECT_TRUE(fs::is_empty(dir / "tmp")) << "the module's files are given back";
    run = Mailhost("attachments INBOX 2 --out att");
    EXPECT_EQ(run.status, 5);
    EXPECT_NE(run.err.find("exists (--force overwrites it)"), std::string::npos);

    // On a terminal sync rewrites one progress line per folder.
    const std::string line = "cd '" + dir.string() + "' && script -qec '" +
                             CommandLine("sync INBOX --out out") + "' /dev/null >tty.txt";
    EXPECT_EQ(std::system(line.c_str()), 0);
    const std::string tty = FileText(dir / "tty.txt");
    EXPECT_NE(tty.find("\rINBOX (1/1)  0/3 messages  0 B"), std::string::npos) << tty;
    EXPECT_THAT(tty,
                ::testing::ContainsRegex("\rINBOX \\(1/1\\)  3/3 messages  [0-9.]+ KB  [0-9.]+ [KM]?B/s"));
    EXPECT_THAT(tty, ::testing::ContainsRegex("INBOX \\(1/1\\): 3 messages, [0-9.]+ KB in [0-9.]+ s"));
    EXPECT_THAT(tty, ::testing::ContainsRegex("INBOX +3 +2 +0 +4 +[0-9.]+ KB +0\r?\ntotal"));
    EXPECT_NE(
        FileText(dir / "out/INBOX/2.json").find("\"attachmentFiles\": [\n    \"2/invoice-2026-117.pdf\""),
        std::string::npos);
    EXPECT_EQ(FileText(dir / "out/INBOX/1.txt").substr(0, 10), "Hi Alice,\r");
    EXPECT_EQ(FileText(dir / "out/INBOX/2/usage.csv"), FileText(dir / "att/usage.csv"));
    EXPECT_EQ(Holds("INBOX"), "1:\\Seen,2:,3:");
}

// Postfix delivers to the To and Bcc recipients; the module files the sent text in Sent, where
// mailhost finds it. A dead SMTP server is a failed send.
TEST_F(MailhostTest, SendDeliversThroughPostfixAndConfirmsTheSentCopy) {
    const std::string to = ClaimAccount(), bcc = ClaimAccount();
    ASSERT_FALSE(to.empty() || bcc.empty());
    LogOn();
    ASSERT_EQ(client.CreateFolder("Sent"), ImapResult::Ok);
    std::ofstream(dir / "notes.txt") << "Figures are in thousands.\n";
    const std::string args = "send --from " + Address(user) + " --to " + Address(to) + " --bcc " +
                             Address(bcc) + " --subject 'Grüße, notes' --attach notes.txt";

    Outcome run = Mailhost(args, "Hello Bob,\n.\nA line with a dot above.\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("SendMsg(" + Address(user) + " -> " + Address(to) +
                           ", \"Grüße, notes\") -> 0 (done)\n"
                           "copy filed in Sent as UID 1\n"),
              std::string::npos)
        << run.out << run.err;
    for (const std::string& text : {FirstMessage(to), FirstMessage(bcc), FirstMessage(user, "Sent")}) {
        const std::string subject =
            "Subject: Gr\xFC\xDF"
            "e, notes\r\n";  // sent in Windows-1252
        EXPECT_NE(text.find(subject), std::string::npos) << text;
        EXPECT_NE(text.find("\r\n.\r\nA line with a dot above."), std::string::npos);
        EXPECT_NE(text.find("filename=\"notes.txt\""), std::string::npos);
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {  // the bcc address only in the delivery lines
            if (line.find(bcc + "@") == std::string::npos) continue;
            EXPECT_TRUE(line.rfind("Delivered-To:", 0) == 0 || line.find("for <") != std::string::npos)
                << line;
        }
    }

    run = Mailhost(args + " --smtp-port 1", "again");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("-> 212 (sending failed: SMTP unreachable"), std::string::npos) << run.out;
}

TEST_F(MailhostTest, UsageMistakesAndFailedLogonsHaveTheirExitStatus) {
    const std::string secret = m_env["ZQ_POOL_PASSWORD"];
    struct Usage {
        int status;
        std::string args, printed;
    };
    const std::vector<Usage> table = {
        {2, "", "usage: mailhost [options] COMMAND"},
        {2, "bogus", "unknown command bogus"},
        {2, "list", "usage: mailhost list FOLDER"},
        {2, "list INBOX --frob", "unknown option --frob"},
        {2, "--imap-port x folders", "--imap-port needs a number, not 'x'"},
        {0, "sync --help", "usage: mailhost [options] sync [FOLDER...]"},
        {4, "--plugin /nonexistent/plugin.so folders", "/nonexistent/plugin.so"},
        {3, "--password wrong --sync-log folders",
         "-> 16394 (logon failed: the IMAP server could not be reached or refused the login, and SMTP is not "
         "in "
         "use)\nsync log: OSTRAVO INFO -- Server logon failed for user '" +
             user + "'"},
        {0, "-v info", "exports:  all 27 resolved"},
        {5, "send --from a@example.test --to b@example.test --attach /nonexistent",
         "cannot read the attachment"},
    };
    for (const Usage& row : table) {
        SCOPED_TRACE(row.args);
        const Outcome run = Mailhost(row.args);
        EXPECT_EQ(run.status, row.status) << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(row.printed), std::string::npos) << run.out << run.err;
    }
    const Outcome verbose = Mailhost("-v folders");
    EXPECT_NE(verbose.err.find("[log] IMAP SEND:LIST \"\" \"%\""), std::string::npos) << verbose.err;
    EXPECT_EQ(verbose.err.find(secret), std::string::npos) << "never the password";
}

}  // namespace
