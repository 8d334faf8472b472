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

class AttachmentPaths : public SessionScript {
protected:
    // Scripts the download of `text`, which the server reports seen.
    void Script(uint32_t uid, const std::string& text) {
        Whole(uid, text);
        Flags(uid, "\\Seen");
    }
    // The attachment paths of the record GetMsg builds, as the host gets them.
    std::string Download(uint32_t uid) {
        const MailMsg* record = Get(uid);
        return record ? Text(record->attachments) : "no record";
    }
};

}  // namespace

// Clashing names are numbered; two lists name the same files; the first release
// deletes them. Hostile names land in the temporary directory under a plain file; a file
// outside it is neither created, changed nor deleted; a name given only as an encoded word in
// Content-Disposition is decoded.
TEST_F(AttachmentPaths, NumberedListedUntilFreedAndHostileNamesKeptInside) {
    const std::string sentinel = temp.parent + "/passwd";
    std::ofstream(sentinel) << "outside";
    std::ofstream(temp.File("a.txt")) << "already here";
    std::ofstream(temp.File("README")) << "already here";
    fs::create_symlink(temp.parent + "/target.txt", temp.File("link.txt"));
    // The long name is cut to a path of 255 bytes.
    const std::string longName = std::string(300, 'l') + ".doc";
    const std::string encodedName = "=?utf-8?B?cmFwcG9ydC3DqXTDqS5wZGY=?=";
    ScriptLogon();
    Script(11,
           MessageWith({{"a.txt", "aGVsbG8=", true}, {"a.txt", "second file"}, {"README", "readme body"}}));
    Script(12,
           MessageWith({{"../../passwd", "1"}, {"/etc/passwd", "2"}, {longName, "3"}, {"link.txt", "4"}}));
    Script(13,
           Crlf("From: a@example.test\nSubject: One file\n" +
                Mixed("zzBzz", {{"Content-Type: text/plain", "See the file.\n"},
                                {"Content-Type: application/octet-stream\nContent-Disposition: attachment; "
                                 "filename=\"" +
                                     encodedName + "\"",
                                 "rapport\n"}})));
    LogOn();
    const std::vector<std::string> paths = {temp.File("a(1).txt"), temp.File("a(2).txt"),
                                            temp.File("README(1)")};
    ASSERT_EQ(Download(11), paths[0] + "," + paths[1] + "," + paths[2]);
    EXPECT_EQ(temp.Read(paths[0]) + "|" + temp.Read(paths[1]) + "|" + temp.Read(paths[2]),
              "hello|second file\n\n|readme body\n\n");
    const UidRef id(11);
    AttachmentList* first = nullptr;
    AttachmentList* second = nullptr;
    ASSERT_EQ(session.GetAttachments(nullptr, 4, id.bytes, &first, true), 0);
    ASSERT_EQ(session.GetAttachments(nullptr, 4, id.bytes, &second, true), 0);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    EXPECT_EQ(Paths(first), paths);
    EXPECT_EQ(Paths(second), paths);
    const int known = created_files::Count();
    // A file of ours replaced by another program's file of the same name is not ours any more.
    fs::remove(paths[2]);
    std::ofstream(paths[2]) << "someone else's";
    EXPECT_EQ(ReleaseAttachmentList(&first), 0);
    EXPECT_FALSE(fs::exists(paths[0]));
    EXPECT_FALSE(fs::exists(paths[1]));
    std::ofstream(paths[0]) << "someone else's too";
    EXPECT_EQ(ReleaseAttachmentList(&second), 0) << "a second release of a path deletes nothing";
    EXPECT_EQ(temp.Read(paths[0]) + "|" + temp.Read(paths[2]), "someone else's too|someone else's");
    EXPECT_EQ(created_files::Count(), known - 3) << "released paths are forgotten, or a long sync grows";
    EXPECT_EQ(temp.Read(temp.File("a.txt")), "already here");

    const std::string cut = std::string(255 - temp.path.size() - 5, 'l') + ".doc";
    const std::vector<std::string> written = {temp.File("passwd"), temp.File("passwd(1)"), temp.File(cut),
                                              temp.File("link(1).txt")};
    EXPECT_EQ(Download(12), written[0] + "," + written[1] + "," + written[2] + "," + written[3]);
    for (const std::string& path : written)
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path))) << path;
    EXPECT_EQ(Download(13), temp.File("rapport-\xe9t\xe9.pdf"));
    EXPECT_EQ(temp.Escaped(), std::vector<std::string>{"passwd"});
    EXPECT_EQ(temp.Read(sentinel), "outside");

    auto* list = new AttachmentList();  // the host's list: the module's files and one it never wrote
    for (const std::string& path : {written[0], sentinel, written[1]})
        std::snprintf(list->path[list->count++], ZQ_ATTACHMENT_PATH_SIZE, "%s", path.c_str());
    EXPECT_EQ(ReleaseAttachmentList(&list), 0);
    EXPECT_FALSE(fs::exists(written[0]));
    EXPECT_FALSE(fs::exists(written[1]));
    EXPECT_EQ(temp.Read(sentinel), "outside");
}

// The list separator never appears in a path handed out: in a directory whose path holds one,
// no attachment file is written (and the verbose log says why); the message itself arrives. An
// empty part, or a directory too long for any name beside it, takes no file either.
TEST_F(AttachmentPaths, NoFileInACommaDirectoryForAnEmptyPartOrWithoutRoom) {
    const std::string commaDir = temp.parent + "/x,y";
    fs::create_directory(commaDir);
    setenv("TMPDIR", (commaDir + "/").c_str(), 1);
    ScriptLogon();
    Script(31, MessageWith({{"report.pdf", "pdf body"}}));
    Script(32, MessageWith({{"empty.txt", ""}, {"full.txt", "x"}}));
    Script(33, MessageWith({{"report.pdf", "pdf body"}}));
    LogOn({.flags = 2});
    EXPECT_EQ(
        Describe(Get(31)),
        "31 from=a@example.test replyTo=a@example.test subject=Files body=See the files.\r\n\r\n date=0 "
        "read downloaded");
    EXPECT_TRUE(fs::is_empty(commaDir));
    EXPECT_EQ(LogLines("IMAP: Attachments"),
              std::vector<std::string>{"IMAP: Attachments not saved: the temporary directory '" + commaDir +
                                       "/' has a comma in its path."});
    setenv("TMPDIR", (temp.path + "/").c_str(), 1);
    EXPECT_EQ(Download(32), temp.File("full.txt"));
    // A directory that exists but leaves no room in the host's 256-byte path for the name.
    const std::string deep = temp.path + "/" + std::string(250, 'd');
    fs::create_directory(deep);
    setenv("TMPDIR", (deep + "/").c_str(), 1);
    EXPECT_EQ(Download(33), "");
    EXPECT_TRUE(fs::is_empty(deep));
    fs::remove(deep);
    EXPECT_EQ(temp.Names(), std::vector<std::string>{"full.txt"});
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

    // Two processes write at once: every body ends in a file of its own.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    const std::string who = child == 0 ? "child " : "parent ";
    for (int i = 0; i < 150; ++i) {
        part.body = (who + std::to_string(i)).c_str();
        WriteAttachmentFile(part, dir);
    }
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    std::multiset<std::string> bodies, expected = {"first"};
    for (const std::string& name : temp.Names())
        if (name != "same.txt" && name != "same(1).txt") bodies.insert(TempDir::Read(temp.File(name)));
    for (int i = 0; i < 150; ++i)
        expected.insert({"parent " + std::to_string(i), "child " + std::to_string(i)});
    EXPECT_EQ(bodies, expected);
}
