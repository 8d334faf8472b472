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

std::vector<std::string> Paths(const AttachmentList* list) {
    return std::vector<std::string>(list->path, list->path + list->count);
}

class AttachmentTest : public SessionScript {
protected:
    void TearDown() override {
        FreeMailMsgRecord(record);
        SessionScript::TearDown();
    }
    // Logs on and downloads `text`, which the server reports seen.
    void Download(uint32_t uid, const std::string& text, const LogonOptions& options = {}) {
        ScriptLogon();
        Whole(uid, text);
        Flags(uid, "\\Seen");
        LogOn(options);
        const UidRef id(uid);
        ASSERT_EQ(session.GetMsg(nullptr, &id.ref, &record), 0);
        ASSERT_NE(record, nullptr);
        Verify();
    }
    MailMsg* record = nullptr;
};

TEST_F(AttachmentTest, ClashingNamesAreNumberedAndListedInDownloadOrderUntilFreed) {
    std::ofstream(temp.File("a.txt")) << "already here";
    std::ofstream(temp.File("README")) << "already here";
    ASSERT_NO_FATAL_FAILURE(Download(
        11, MessageWith({{"a.txt", "aGVsbG8=", true}, {"a.txt", "second file"}, {"README", "readme body"}}),
        {.flags = 2}));
    const std::vector<std::string> paths = {temp.File("a(1).txt"), temp.File("a(2).txt"), temp.File("README(1)")};
    EXPECT_EQ(SplitPaths(Text(record->attachments)), paths);
    EXPECT_EQ(Contents(paths[0]), "hello");
    EXPECT_EQ(Contents(paths[1]).rfind("second file", 0), 0u);
    EXPECT_EQ(Contents(paths[2]).rfind("readme body", 0), 0u);
    EXPECT_EQ(Contents(temp.File("a.txt")), "already here");

    // Two calls hand out two lists naming the same files, each logged.
    HostKit_Clear();
    const UidRef id(11);
    AttachmentList* first = nullptr;
    AttachmentList* second = nullptr;
    ASSERT_EQ(session.GetAttachments(nullptr, 4, id.bytes, &first), 0);
    ASSERT_EQ(session.GetAttachments(nullptr, 4, id.bytes, &second), 0);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    EXPECT_EQ(Paths(first), paths);
    EXPECT_EQ(Paths(second), paths);
    std::vector<std::string> logged;
    for (int call = 0; call < 2; ++call)
        for (const std::string& path : paths) logged.push_back("ATT: " + path);
    EXPECT_EQ(LogLines("ATT: "), logged);

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
    ASSERT_NO_FATAL_FAILURE(Download(12, MessageWith(hostile)));

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
    EXPECT_EQ(shortened.find_first_not_of('n'), shortened.size() - 4);
    EXPECT_EQ(shortened.substr(shortened.size() - 4), ".pdf");
    const std::set<std::string> expectedNames = {"escape.txt", "win.txt",  "zq-passwd", "a_b.txt",    "ctl_name.txt",
                                                 "attachment", "__",       shortened,   "link(1).txt"};
    EXPECT_EQ(names, expectedNames);
    EXPECT_TRUE(temp.Escaped().empty()) << "written beside the temporary directory: " << temp.Escaped().front();
    EXPECT_FALSE(std::filesystem::exists(temp.parent + "/target.txt"));
}

// A session with the cached message of UID n in the Inbox, carrying `files`, with no server.
class CachedAttachments : public ::testing::Test {
protected:
    void SetUp() override {
        HostKit_Clear();
        session.folders.push_back(std::make_unique<FolderCache>("INBOX"));
    }
    void Cache(uint32_t uid, const std::string& files) {
        auto message = std::make_unique<CMsg>();
        SetUidId(message->m_id, uid);
        message->m_strAttachments = files.c_str();
        session.folders[0]->messages.push_back(std::move(message));
    }
    ImapSession session;
};

TEST_F(CachedAttachments, MoreThanTenPathsAreCutToTenAndTheRestLogged) {
    session.verbose = 2;
    std::vector<std::string> paths;
    std::string joined;
    for (int i = 1; i <= 12; ++i) {
        paths.push_back("/t/p" + std::to_string(i));
        joined += (i > 1 ? "," : "") + paths.back();
    }
    Cache(5, joined);
    const UidRef id(5);
    AttachmentList* list = nullptr;
    ASSERT_EQ(session.GetAttachments(nullptr, 4, id.bytes, &list), 0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(Paths(list), std::vector<std::string>(paths.begin(), paths.begin() + 10));
    delete list;  // not through the release: these files do not exist

    std::vector<std::string> logged = {
        "The message contains more attachments than allowable. Removing attachments:\n/t/p11\n/t/p12"};
    for (int i = 0; i < 10; ++i) logged.push_back("ATT: " + paths[i]);
    std::vector<std::string> calls;
    for (int i = 0; i < HostKit_CallCount(); ++i) calls.push_back(HostKit_Call(i)->text);
    EXPECT_EQ(calls, logged);
}

TEST_F(CachedAttachments, EveryCommaPieceIsAnEntryAndAMessageWithoutFilesGetsNoList) {
    Cache(1, ",a,,b");
    Cache(2, "");
    const UidRef one(1), two(2), three(3);
    CStringArray names;
    ASSERT_TRUE(session.GetAttachmentNames(nullptr, 4, one.bytes, names));
    std::vector<std::string> got;
    for (int i = 0; i < names.GetSize(); ++i) got.push_back(Text(names[i]));
    EXPECT_EQ(got, (std::vector<std::string>{"", "a", "", "b"}));
    EXPECT_FALSE(session.GetAttachmentNames(nullptr, 4, three.bytes, names));
    EXPECT_FALSE(session.GetAttachmentNames(nullptr, 3, one.bytes, names)) << "ids compare by length too";

    AttachmentList* list = nullptr;
    EXPECT_EQ(session.GetAttachments(nullptr, 4, two.bytes, &list), 0);
    EXPECT_EQ(list, nullptr);
    const char* elsewhere = "Work";
    EXPECT_EQ(session.GetAttachments(&elsewhere, 4, two.bytes, &list), 2);
}

}  // namespace
