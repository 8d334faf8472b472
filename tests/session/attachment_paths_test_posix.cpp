// Where attachment files go and which files a release may delete: clashing names are numbered,
// hostile names stay inside the temporary directory, names are taken atomically, a directory with
// a comma takes no file, and only files this process wrote are ever deleted.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "session/attachment_files.h"
#include "session/created_files.h"
#include "session_script.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Paths(const AttachmentList* list) { return {list->path, list->path + list->count}; }

// A host's list of `paths`, as it hands one back to the release.
AttachmentList* HostList(const std::vector<std::string>& paths) {
    auto* list = new AttachmentList();
    for (const std::string& path : paths)
        std::snprintf(list->path[list->count++], ZQ_ATTACHMENT_PATH_SIZE, "%s", path.c_str());
    return list;
}

class AttachmentPaths : public SessionScript {
protected:
    // Scripts the download of `text`, which the server reports seen.
    void Script(uint32_t uid, const std::string& text) {
        Whole(uid, text);
        Flags(uid, "\\Seen");
    }
    // The attachment paths of the record GetMsg builds.
    std::vector<std::string> Download(uint32_t uid) {
        const MailMsg* record = Get(uid);
        return record ? SplitCommas(Text(record->attachments)) : std::vector<std::string>{};
    }
};

}  // namespace

// Clashing names are numbered; two lists name the same files, in download order, each logged;
// the first release deletes them. Every hostile name lands in the temporary directory under a
// plain file; a file outside it is neither created, changed nor deleted, also by the release; a
// name given only as an encoded word in Content-Disposition is decoded.
TEST_F(AttachmentPaths, NumberedListedUntilFreedAndHostileNamesKeptInside) {
    const std::string sentinel = temp.parent + "/passwd";
    std::ofstream(sentinel) << "outside";
    std::ofstream(temp.File("a.txt")) << "already here";
    std::ofstream(temp.File("README")) << "already here";
    fs::create_symlink(temp.parent + "/target.txt", temp.File("link.txt"));
    // Name given, file name expected; the long one is cut to a path of 255 bytes.
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"../../passwd", "passwd"},
        {"/etc/passwd", "passwd(1)"},
        {"..\\..\\win.txt", "win.txt"},
        {"a,b,c.txt", "a_b_c.txt"},
        {"ctl\x01\x1b[2Jname", "ctl__[2Jname"},
        {"dir/", "attachment"},
        {"..", "__"},
        {std::string(300, 'l') + ".doc", std::string(255 - temp.path.size() - 5, 'l') + ".doc"},
        {"link.txt", "link(1).txt"},
        {"CON", "_CON"}};
    std::vector<Attachment> hostile;
    for (const auto& row : rows) hostile.push_back({row.first, "body of " + row.second});
    const std::string encodedName = "=?utf-8?B?cmFwcG9ydC3DqXTDqS5wZGY=?=";
    ScriptLogon();
    Script(11,
           MessageWith({{"a.txt", "aGVsbG8=", true}, {"a.txt", "second file"}, {"README", "readme body"}}));
    Script(12, MessageWith(hostile));
    Script(13,
           Crlf("From: a@example.test\nSubject: One file\n" +
                Mixed("zzBzz", {{"Content-Type: text/plain", "See the file.\n"},
                                {"Content-Type: application/octet-stream\nContent-Disposition: attachment; "
                                 "filename=\"" +
                                     encodedName + "\"",
                                 "rapport\n"}})));
    LogOn({.flags = 2});
    const std::vector<std::string> paths = {temp.File("a(1).txt"), temp.File("a(2).txt"),
                                            temp.File("README(1)")};
    ASSERT_EQ(Download(11), paths);
    EXPECT_EQ(temp.Read(paths[0]), "hello");
    EXPECT_EQ(temp.Read(paths[1]).rfind("second file", 0), 0u);
    EXPECT_EQ(temp.Read(paths[2]).rfind("readme body", 0), 0u);
    HostKit_Clear();
    const UidRef id(11);
    AttachmentList* first = nullptr;
    AttachmentList* second = nullptr;
    ASSERT_EQ(session.GetAttachments(nullptr, 4, id.bytes, &first, true), 0);
    ASSERT_EQ(session.GetAttachments(nullptr, 4, id.bytes, &second, true), 0);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    EXPECT_EQ(Paths(first), paths);
    EXPECT_EQ(Paths(second), paths);
    std::vector<std::string> logged;
    for (int call = 0; call < 2; ++call)
        for (const std::string& path : paths) logged.push_back("ATT: " + path);
    EXPECT_EQ(LogLines("ATT: "), logged);
    EXPECT_EQ(ReleaseAttachmentList(&first), 0);
    for (const std::string& path : paths) EXPECT_FALSE(fs::exists(path)) << path;
    EXPECT_EQ(ReleaseAttachmentList(&second), 0);
    EXPECT_EQ(temp.Read(temp.File("a.txt")), "already here");

    const std::vector<std::string> written = Download(12);
    ASSERT_EQ(written.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(written[i], temp.File(rows[i].second)) << rows[i].first;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(written[i]))) << rows[i].first;
    }
    EXPECT_EQ(Download(13), std::vector<std::string>{temp.File("rapport-\xe9t\xe9.pdf")});
    EXPECT_EQ(temp.Escaped(), std::vector<std::string>{"passwd"});
    EXPECT_EQ(temp.Read(sentinel), "outside");

    // The host's list: the module's files, the sentinel, and a name it never wrote.
    std::ofstream(temp.File("host-file.txt")) << "the host's own";
    AttachmentList* list = HostList({written[0], sentinel, temp.File("host-file.txt"), written[1]});
    EXPECT_EQ(ReleaseAttachmentList(&list), 0);
    EXPECT_FALSE(fs::exists(written[0]));
    EXPECT_FALSE(fs::exists(written[1]));
    EXPECT_EQ(temp.Read(sentinel), "outside");
    EXPECT_EQ(temp.Read(temp.File("host-file.txt")), "the host's own");
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
    EXPECT_EQ(Download(31), std::vector<std::string>{});
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(Text(taken[0]->body).rfind("See the files.", 0), 0u);
    EXPECT_TRUE(fs::is_empty(commaDir));
    EXPECT_EQ(LogLines("IMAP: Attachments"),
              std::vector<std::string>{"IMAP: Attachments not saved: the temporary directory '" + commaDir +
                                       "/' has a comma in its path."});
    AttachmentList* list = HostList({commaDir + "/report.pdf", temp.parent + "/x"});
    EXPECT_EQ(ReleaseAttachmentList(&list), 0);
    EXPECT_EQ(temp.Read(temp.parent + "/x"), "unrelated");
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
    // Each process writes its bodies and lists its paths, a line each, in `paths`.
    const auto writeAll = [&](const std::string& who, std::string& paths) {
        for (int i = 0; i < kEach; ++i) {
            part.body = (who + std::to_string(i)).c_str();
            paths += std::string(WriteAttachmentFile(part, dir).c_str()) + "\n";
        }
    };
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string paths;
        writeAll("child ", paths);
        (void)!write(pipeEnds[1], paths.data(), paths.size());
        _exit(0);
    }
    close(pipeEnds[1]);
    std::string parentPaths, childPaths;
    writeAll("parent ", parentPaths);
    char buffer[4096];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) childPaths.append(buffer, size_t(n));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    std::set<std::string> distinct;
    for (const auto& [who, paths] : {std::pair{"parent ", &parentPaths}, std::pair{"child ", &childPaths}}) {
        std::stringstream lines(*paths);
        int i = 0;
        for (std::string path; std::getline(lines, path); ++i) {
            EXPECT_EQ(TempDir::Read(path), who + std::to_string(i)) << path;
            distinct.insert(path);
        }
        EXPECT_EQ(i, kEach) << who;
    }
    EXPECT_EQ(distinct.size(), size_t(2 * kEach));
}
