// Attachment files of a downloaded message: written to the temporary directory under unused,
// safe names, listed for the host in download order, deleted when the host frees the list.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "session/message_id.h"
#include "session_script.h"

namespace {

struct Attachment {
    std::string name;
    std::string body;
    bool base64 = false;
};

std::string MessageWith(const std::vector<Attachment>& attachments) {
    std::vector<std::string> lines = {"From: a@example.test", "Subject: Files",
                                      "Content-Type: multipart/mixed; boundary=\"zzBzz\"", "", "--zzBzz",
                                      "Content-Type: text/plain", "", "See the files.", ""};
    for (const Attachment& a : attachments) {
        lines.push_back("--zzBzz");
        lines.push_back("Content-Type: application/octet-stream; name=\"" + a.name + "\"");
        lines.push_back("Content-Disposition: attachment; filename=\"" + a.name + "\"");
        if (a.base64) lines.push_back("Content-Transfer-Encoding: base64");
        lines.push_back("");
        lines.push_back(a.body);
        lines.push_back("");
    }
    lines.push_back("--zzBzz--");
    return CrLf(lines);
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> SplitPaths(const std::string& joined) {
    std::vector<std::string> paths;
    std::stringstream in(joined);
    for (std::string path; std::getline(in, path, ',');) paths.push_back(path);
    return paths;
}

class AttachmentTest : public SessionScript {
protected:
    void TearDown() override {
        FreeMailMsgRecord(record);
        SessionScript::TearDown();
    }
    // The whole conversation of one GetMsg of a message the server reports seen.
    void ScriptDownload(uint32_t uid, const std::string& text) {
        const std::string n = std::to_string(uid);
        ScriptLogon();
        Select();
        Cmd("UID FETCH " + n + " rfc822.size", SizeAnswer(uid, text.size()));
        Cmd("UID FETCH " + n + " RFC822", FetchAnswer(uid, "RFC822", text));
        Cmd("UID FETCH " + n + " FLAGS", "* 1 FETCH (UID " + n + " FLAGS (\\Seen))\r\n");
    }
    void Download(uint32_t uid) {
        const UidRef id(uid);
        ASSERT_EQ(session.GetMsg(nullptr, &id.ref, &record), 0);
        ASSERT_NE(record, nullptr);
    }
    MailMsg* record = nullptr;
};

TEST_F(AttachmentTest, ClashingNamesAreNumberedAndListedInDownloadOrderUntilFreed) {
    std::ofstream(temp.File("a.txt")) << "already here";
    std::ofstream(temp.File("README")) << "already here";
    ScriptDownload(11, MessageWith({{"a.txt", "aGVsbG8=", true}, {"a.txt", "second file"},
                                    {"README", "readme body"}}));
    LogOn({.flags = 2});
    Download(11);
    Verify();

    const std::vector<std::string> paths = {temp.File("a(1).txt"), temp.File("a(2).txt"), temp.File("README(1)")};
    EXPECT_EQ(SplitPaths(Text(record->attachments)), paths);
    EXPECT_EQ(Contents(paths[0]), "hello");
    EXPECT_EQ(Contents(paths[1]).rfind("second file", 0), 0u);
    EXPECT_EQ(Contents(paths[2]).rfind("readme body", 0), 0u);
    EXPECT_EQ(Contents(temp.File("a.txt")), "already here");

    HostKit_Clear();
    const UidRef id(11);
    AttachmentList* first = nullptr;
    AttachmentList* second = nullptr;
    ASSERT_EQ(session.GetAttachments(nullptr, 4, id.bytes, &first), 0);
    ASSERT_EQ(session.GetAttachments(nullptr, 4, id.bytes, &second), 0);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    for (const AttachmentList* list : {first, second}) {
        ASSERT_EQ(list->count, 3);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(std::string(list->path[i]), paths[static_cast<size_t>(i)]);
    }
    const std::vector<std::string> logged = {"ATT: " + paths[0], "ATT: " + paths[1], "ATT: " + paths[2]};
    std::vector<std::string> twice = logged;
    twice.insert(twice.end(), logged.begin(), logged.end());
    EXPECT_EQ(LogLines("ATT: "), twice);

    EXPECT_EQ(ReleaseAttachmentList(&first), 0);
    for (const std::string& path : paths) EXPECT_FALSE(std::filesystem::exists(path)) << path;
    EXPECT_EQ(ReleaseAttachmentList(&second), 0);
    EXPECT_TRUE(std::filesystem::exists(temp.File("a.txt")));
}

TEST_F(AttachmentTest, HostileNamesNeverLeaveTheTemporaryDirectory) {
    std::filesystem::create_symlink(temp.parent + "/target.txt", temp.File("link.txt"));
    const std::string longName = std::string(300, 'n') + ".pdf";
    const std::vector<Attachment> hostile = {
        {"../../escape.txt", "1"}, {"..\\..\\win.txt", "2"}, {"/etc/zq-passwd", "3"},
        {"a,b.txt", "4"},          {"ctl\x01name.txt", "5"}, {"dir/", "6"},
        {"..", "7"},               {longName, "8"},          {"link.txt", "9"}};
    ScriptDownload(12, MessageWith(hostile));
    LogOn();
    Download(12);
    Verify();

    const std::vector<std::string> paths = SplitPaths(Text(record->attachments));
    ASSERT_EQ(paths.size(), hostile.size());
    std::set<std::string> names;
    for (const std::string& path : paths) {
        EXPECT_LE(path.size(), 255u) << path;
        ASSERT_EQ(path.rfind(temp.path + "/", 0), 0u) << path;
        const std::string name = path.substr(temp.path.size() + 1);
        EXPECT_EQ(name.find('/'), std::string::npos) << path;
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(path))) << path;
        names.insert(name);
    }
    const std::string shortened = paths[7].substr(temp.path.size() + 1);
    EXPECT_EQ(paths[7].size(), 255u);
    EXPECT_EQ(shortened.substr(shortened.size() - 4), ".pdf");
    EXPECT_EQ(shortened.find_first_not_of('n'), shortened.size() - 4);
    const std::set<std::string> expectedNames = {"escape.txt", "win.txt",  "zq-passwd", "a_b.txt",    "ctl_name.txt",
                                                 "attachment", "__",       shortened,   "link(1).txt"};
    EXPECT_EQ(names, expectedNames);
    EXPECT_TRUE(temp.Escaped().empty()) << "written beside the temporary directory: " << temp.Escaped().front();
    EXPECT_FALSE(std::filesystem::exists(temp.parent + "/target.txt"));
}

TEST(AttachmentList, MoreThanTenPathsAreCutToTenAndTheRestLogged) {
    HostKit_Clear();
    ImapSession session;
    session.verbose = 2;
    session.folders.push_back(std::make_unique<FolderCache>("INBOX"));
    auto message = std::make_unique<CMsg>();
    SetUidId(message->m_id, 5);
    std::string joined;
    for (int i = 1; i <= 12; ++i) joined += (i > 1 ? ",/t/p" : "/t/p") + std::to_string(i);
    message->m_strAttachments = joined.c_str();
    session.folders[0]->messages.push_back(std::move(message));

    const UidRef id(5);
    AttachmentList* list = nullptr;
    ASSERT_EQ(session.GetAttachments(nullptr, 4, id.bytes, &list), 0);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count, 10);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(std::string(list->path[i]), "/t/p" + std::to_string(i + 1));
    delete list;  // not through the release: these files do not exist

    std::vector<std::string> logged;
    for (int i = 0; i < HostKit_CallCount(); ++i) logged.push_back(HostKit_Call(i)->text);
    ASSERT_EQ(logged.size(), 11u);
    EXPECT_EQ(logged[0], "The message contains more attachments than allowable. Removing attachments:\n/t/p11\n/t/p12");
    EXPECT_EQ(logged[1], "ATT: /t/p1");
    EXPECT_EQ(logged[10], "ATT: /t/p10");
}

TEST(AttachmentList, EveryCommaPieceIsAnEntryAndAMessageWithoutFilesGetsNoList) {
    ImapSession session;
    session.folders.push_back(std::make_unique<FolderCache>("INBOX"));
    for (uint32_t uid : {1u, 2u}) {
        auto message = std::make_unique<CMsg>();
        SetUidId(message->m_id, uid);
        message->m_strAttachments = uid == 1 ? ",a,,b" : "";
        session.folders[0]->messages.push_back(std::move(message));
    }
    const UidRef one(1), two(2), three(3);
    CStringArray names;
    ASSERT_TRUE(session.GetAttachmentNames(nullptr, 4, one.bytes, names));
    ASSERT_EQ(names.GetSize(), 4);
    EXPECT_EQ(Text(names[0]), "");
    EXPECT_EQ(Text(names[1]), "a");
    EXPECT_EQ(Text(names[2]), "");
    EXPECT_EQ(Text(names[3]), "b");
    EXPECT_FALSE(session.GetAttachmentNames(nullptr, 4, three.bytes, names));
    EXPECT_FALSE(session.GetAttachmentNames(nullptr, 3, one.bytes, names)) << "ids compare by length too";

    AttachmentList* list = nullptr;
    EXPECT_EQ(session.GetAttachments(nullptr, 4, two.bytes, &list), 0);
    EXPECT_EQ(list, nullptr);
    const char* elsewhere = "Work";
    EXPECT_EQ(session.GetAttachments(&elsewhere, 4, two.bytes, &list), 2);
}

}  // namespace
