// Where attachment files go and which files a release may delete: hostile names stay inside the
// temporary directory, names are taken atomically, a directory with a comma takes no file, and
// only files this process wrote are ever deleted.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "session/attachment_files.h"
#include "session/created_files.h"
#include "session/message_id.h"
#include "session_script.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Split(const std::string& joined) {
    std::vector<std::string> pieces;
    std::stringstream in(joined);
    for (std::string piece; std::getline(in, piece, ',');) pieces.push_back(piece);
    return pieces;
}

// A message whose one attachment is named only by the Content-Disposition parameter.
std::string DispositionOnly(const std::string& filename, const std::string& body) {
    return CrLf(
        {"From: a@example.test", "Subject: One file", "Content-Type: multipart/mixed; boundary=\"zzBzz\"", "",
         "--zzBzz", "Content-Type: text/plain", "", "See the file.", "", "--zzBzz",
         "Content-Type: application/octet-stream",
         "Content-Disposition: attachment; filename=\"" + filename + "\"", "", body, "", "--zzBzz--"});
}

class AttachmentPaths : public SessionScript {
protected:
    void TearDown() override {
        for (MailMsg* record : taken) FreeMailMsgRecord(record);
        SessionScript::TearDown();
    }
    void Script(uint32_t uid, const std::string& text) {
        Whole(uid, text);
        Flags(uid, "\\Seen");
    }
    std::string Download(uint32_t uid) {
        const UidRef id(uid);
        MailMsg* record = nullptr;
        EXPECT_EQ(session.GetMsg(nullptr, &id.ref, &record), 0);
        if (!record) return "";
        taken.push_back(record);
        return Text(record->attachments);
    }
    std::vector<MailMsg*> taken;
};

}  // namespace

// Device names, trailing dots and blanks, and characters some systems read as drives, streams or
// wildcards, on top of the path and control-character rules.
TEST(SafeAttachmentName, NamesThatMeanOneOrdinaryFileEverywhere) {
    const std::pair<std::string, std::string> cases[] = {
        {"CON", "_CON"},
        {"aux.txt", "_aux.txt"},
        {"LPT1", "_LPT1"},
        {"com9.tar.gz", "_com9.tar.gz"},
        {"nul .txt", "_nul .txt"},
        {"CONSOLE.txt", "CONSOLE.txt"},
        {"LPT10", "LPT10"},
        {"report.pdf. . ", "report.pdf"},
        {"name...", "name__"},
        {" ", "attachment"},
        {"x:stream.txt", "x_stream.txt"},
        {"C:x", "C_x"},
        {"what?*.txt", "what__.txt"},
        {"a<b>|\"c\".txt", "a_b___c_.txt"},
    };
    for (const auto& [given, safe] : cases)
        EXPECT_EQ(std::string(SafeAttachmentName(CString(given)).c_str()), safe) << given;
}

// Every hostile name lands in the temporary directory under a plain file; a file outside it is
// neither created, changed nor deleted, also by the release; a name given only as an encoded word
// in Content-Disposition is decoded.
TEST_F(AttachmentPaths, HostileNamesStayInsideAndTheReleaseDeletesOnlyThem) {
    std::ofstream(temp.parent + "/passwd") << "outside";
    const std::string sentinel = temp.parent + "/passwd";
    const std::string longName = std::string(300, 'l') + ".doc";
    // Name given, file name expected ("" for the shortened one, checked apart).
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"../../passwd", "passwd"},
        {"/etc/passwd", "passwd(1)"},
        {"C:\\Windows\\x", "x"},
        {"..", "__"},
        {".", "_"},
        {"ctl\x01\x1b[2Jname", "ctl__[2Jname"},
        {longName, ""},
        {"CON", "_CON"},
        {"aux.txt", "_aux.txt"},
        {"LPT1", "_LPT1"},
        {"end. . .", "end"},
        {"a,b,c.txt", "a_b_c.txt"},
    };
    std::vector<Attachment> parts;
    for (const auto& row : rows) parts.push_back({row.first, "body of " + row.second});
    ScriptLogon();
    Script(21, MessageWith(std::vector<Attachment>(parts.begin(), parts.begin() + 10)));
    Script(22, MessageWith(std::vector<Attachment>(parts.begin() + 10, parts.end())));
    Script(23, DispositionOnly("=?utf-8?B?cmFwcG9ydC3DqXTDqS5wZGY=?=", "rapport"));
    LogOn();
    std::vector<std::string> paths = Split(Download(21));
    for (const std::string& path : Split(Download(22))) paths.push_back(path);
    ASSERT_EQ(paths.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].first);
        ASSERT_EQ(paths[i].rfind(temp.path + "/", 0), 0u);
        const std::string name = paths[i].substr(temp.path.size() + 1);
        EXPECT_EQ(name, rows[i].second.empty() ? name : rows[i].second);
        EXPECT_EQ(name.find_first_of("/\\,"), std::string::npos);
        EXPECT_LE(paths[i].size(), 255u);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(paths[i])));
    }
    EXPECT_EQ(paths[6].substr(paths[6].size() - 4), ".doc");
    EXPECT_EQ(Split(Download(23)), std::vector<std::string>{temp.File("rapport-\xe9t\xe9.pdf")});
    EXPECT_EQ(temp.Escaped(), std::vector<std::string>{"passwd"});
    EXPECT_EQ(temp.Read(sentinel), "outside");

    // The host's list: the module's files, the sentinel, and a name it never wrote.
    std::ofstream(temp.File("host-file.txt")) << "the host's own";
    AttachmentList* list = new AttachmentList();
    for (const std::string& path : {paths[0], sentinel, temp.File("host-file.txt"), paths[1]})
        std::snprintf(list->path[list->count++], ZQ_ATTACHMENT_PATH_SIZE, "%s", path.c_str());
    EXPECT_EQ(ReleaseAttachmentList(&list), 0);
    EXPECT_FALSE(fs::exists(paths[0]));
    EXPECT_FALSE(fs::exists(paths[1]));
    EXPECT_EQ(temp.Read(sentinel), "outside");
    EXPECT_EQ(temp.Read(temp.File("host-file.txt")), "the host's own");
}

// A file of ours that was deleted and replaced by another program's file of the same name is
// not ours any more; a second release of a path deletes nothing.
TEST(CreatedFiles, ReleaseDeletesOnlyTheFileThisProcessWrote) {
    const TempDir temp{true};
    const CString dir((temp.path + "/").c_str());
    MimePart part;
    part.body = "ours";
    part.fileName = "a.txt";
    const std::string first = WriteAttachmentFile(part, dir).c_str();
    part.fileName = "b.txt";
    const std::string second = WriteAttachmentFile(part, dir).c_str();
    ASSERT_EQ(first, temp.File("a.txt"));
    fs::remove(second);
    std::ofstream(second) << "someone else's";
    EXPECT_TRUE(created_files::Release(first.c_str()));
    EXPECT_FALSE(fs::exists(first));
    std::ofstream(first) << "someone else's too";
    EXPECT_FALSE(created_files::Release(first.c_str()));
    EXPECT_FALSE(created_files::Release(second.c_str()));
    EXPECT_EQ(temp.Read(first), "someone else's too");
    EXPECT_EQ(temp.Read(second), "someone else's");
}

// The list separator never appears in a path handed out: in a directory whose path holds one,
// no attachment file is written (and the verbose log says why); the message itself arrives.
TEST_F(AttachmentPaths, DirectoryWithACommaTakesNoFile) {
    const std::string commaDir = temp.parent + "/x,y";
    fs::create_directory(commaDir);
    std::ofstream(temp.parent + "/x") << "unrelated";
    setenv("TMPDIR", (commaDir + "/").c_str(), 1);
    ScriptLogon();
    Script(31, MessageWith({{"report.pdf", "pdf body"}}));
    LogOn({.flags = 2});
    EXPECT_EQ(Download(31), "");
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(Text(taken[0]->body).rfind("See the files.", 0), 0u);
    EXPECT_TRUE(fs::is_empty(commaDir));
    EXPECT_EQ(LogLines("IMAP: Attachments"),
              std::vector<std::string>{"IMAP: Attachments not saved: the temporary directory '" + commaDir +
                                       "/' has a comma in its path."});
    AttachmentList* list = new AttachmentList();
    list->count = 2;
    std::snprintf(list->path[0], ZQ_ATTACHMENT_PATH_SIZE, "%s/x,y/report.pdf", temp.parent.c_str());
    std::snprintf(list->path[1], ZQ_ATTACHMENT_PATH_SIZE, "%s/x", temp.parent.c_str());
    EXPECT_EQ(ReleaseAttachmentList(&list), 0);
    EXPECT_EQ(temp.Read(temp.parent + "/x"), "unrelated");
}

// Names are taken with an exclusive create: a FIFO or a dangling link at a name is passed over
// without being opened, and two processes writing the same name at once never share a file.
TEST(WriteAttachmentFile, NamesAreTakenAtomically) {
    const TempDir temp{true};
    const CString dir((temp.path + "/").c_str());
    ASSERT_EQ(mkfifo(temp.File("same.txt").c_str(), 0600), 0);
    fs::create_symlink(temp.parent + "/nowhere", temp.File("same(1).txt"));
    MimePart part;
    part.fileName = "same.txt";
    part.body = "first";
    EXPECT_EQ(std::string(WriteAttachmentFile(part, dir).c_str()), temp.File("same(2).txt"));
    EXPECT_TRUE(fs::is_fifo(temp.File("same.txt")));
    EXPECT_FALSE(fs::exists(temp.parent + "/nowhere"));

    constexpr int kEach = 150;
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const auto writeAll = [&](const std::string& who, std::vector<std::string>& paths) {
        for (int i = 0; i < kEach; ++i) {
            part.body = (who + std::to_string(i)).c_str();
            paths.push_back(WriteAttachmentFile(part, dir).c_str());
        }
    };
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::vector<std::string> paths;
        writeAll("child ", paths);
        std::string joined;
        for (const std::string& path : paths) joined += path + "\n";
        (void)!write(pipeEnds[1], joined.data(), joined.size());
        _exit(0);
    }
    close(pipeEnds[1]);
    std::vector<std::string> parentPaths;
    writeAll("parent ", parentPaths);
    std::string fromChild;
    char buffer[4096];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) fromChild.append(buffer, size_t(n));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    std::vector<std::string> childPaths;
    std::stringstream lines(fromChild);
    for (std::string line; std::getline(lines, line);) childPaths.push_back(line);
    ASSERT_EQ(childPaths.size(), size_t(kEach));

    std::set<std::string> distinct;
    for (const auto& [who, paths] : {std::pair{"parent ", &parentPaths}, std::pair{"child ", &childPaths}}) {
        for (int i = 0; i < kEach; ++i) {
            const std::string& path = (*paths)[size_t(i)];
            EXPECT_EQ(TempDir::Read(path), who + std::to_string(i)) << path;
            distinct.insert(path);
        }
    }
    EXPECT_EQ(distinct.size(), size_t(2 * kEach));
}
