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

std::vector<std::string> Paths(const AttachmentList* list) {
    return std::vector<std::string>(list->path, list->path + list->count);
}

class AttachmentTest : public SessionScript {
protected:
    // Scripts the download of `text`, which the server reports seen.
    void Script(uint32_t uid, const std::string& text) {
        Whole(uid, text);
        Flags(uid, "\\Seen");
    }
    // The attachment paths of the record GetMsg builds.
    std::vector<std::string> Download(uint32_t uid) {
        const MailMsg* record = Get(uid);
        if (!record) return {};
        std::vector<std::string> paths;
        std::stringstream in(Text(record->attachments));
        for (std::string path; std::getline(in, path, ',');) paths.push_back(path);
        return paths;
    }
};

// Clashing names are numbered; two lists name the same files, in download order, each logged;
// the first release deletes them. Hostile names never leave the temporary directory.
TEST_F(AttachmentTest, ClashingNumberedListedUntilFreedAndHostileNamesKeptInside) {
    std::ofstream(temp.File("a.txt")) << "already here";
    std::ofstream(temp.File("README")) << "already here";
    std::filesystem::create_symlink(temp.parent + "/target.txt", temp.File("link.txt"));
    const std::string longName = std::string(300, 'n') + ".pdf";
    const std::vector<Attachment> hostile = {
        {"../../escape.txt", "1"}, {"..\\..\\win.txt", "2"}, {"/etc/zq-passwd", "3"},
        {"a,b.txt", "4"},          {"ctl\x01name.txt", "5"}, {"dir/", "6"},
        {"..", "7"},               {longName, "8"},          {"link.txt", "9"}};
    ScriptLogon();
    Script(11, MessageWith({{"a.txt", "aGVsbG8=", true}, {"a.txt", "second file"}, {"README", "readme body"}}));
    Script(12, MessageWith(hostile));
    LogOn({.flags = 2});
    const std::vector<std::string> paths = {temp.File("a(1).txt"), temp.File("a(2).txt"), temp.File("README(1)")};
    ASSERT_EQ(Download(11), paths);
    EXPECT_EQ(temp.Read(paths[0]), "hello");
    EXPECT_EQ(temp.Read(paths[1]).rfind("second file", 0), 0u);
    EXPECT_EQ(temp.Read(paths[2]).rfind("readme body", 0), 0u);
    EXPECT_EQ(temp.Read(temp.File("a.txt")), "already here");
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

    const std::vector<std::string> written = Download(12);
    ASSERT_EQ(written.size(), hostile.size());
    std::set<std::string> names;
    for (const std::string& path : written) {
        EXPECT_LE(path.size(), 255u) << path;
        ASSERT_EQ(path.rfind(temp.path + "/", 0), 0u) << path;
        const std::string name = path.substr(temp.path.size() + 1);
        EXPECT_EQ(name.find('/'), std::string::npos) << path;
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(path))) << path;
        names.insert(name);
    }
    const std::string shortened = written[7].substr(temp.path.size() + 1);
    EXPECT_EQ(written[7].size(), 255u);
    EXPECT_EQ(shortened.find_first_not_of('n'), shortened.size() - 4);
    EXPECT_EQ(shortened.substr(shortened.size() - 4), ".pdf");
    const std::set<std::string> expectedNames = {"escape.txt", "win.txt",  "zq-passwd", "a_b.txt",    "ctl_name.txt",
                                                 "attachment", "__",       shortened,   "link(1).txt"};
    EXPECT_EQ(names, expectedNames);
    EXPECT_TRUE(temp.Escaped().empty()) << "written beside the temporary directory: " << temp.Escaped().front();
    EXPECT_FALSE(std::filesystem::exists(temp.parent + "/target.txt"));
}

// Cached messages, no server: more than ten paths are cut to ten and the rest logged; every
// comma piece is an entry; a message without files gets no list.
TEST(CachedAttachments, TenPathsAtMostCommaPiecesAndNoFiles) {
    HostKit_Clear();
    ImapSession session;
    session.folders.push_back(std::make_unique<FolderCache>("INBOX"));
    const auto cache = [&session](uint32_t uid, const std::string& files) {
        auto message = std::make_unique<CMsg>();
        SetUidId(message->m_id, uid);
        message->m_strAttachments = files.c_str();
        session.folders[0]->messages.push_back(std::move(message));
    };
    session.verbose = 2;
    std::vector<std::string> paths;
    std::string joined;
    for (int i = 1; i <= 12; ++i) {
        paths.push_back("/t/p" + std::to_string(i));
        joined += (i > 1 ? "," : "") + paths.back();
    }
    cache(5, joined);
    cache(1, ",a,,b");
    cache(2, "");
    const UidRef five(5), one(1), two(2), three(3);
    AttachmentList* list = nullptr;
    ASSERT_EQ(session.GetAttachments(nullptr, 4, five.bytes, &list), 0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(Paths(list), std::vector<std::string>(paths.begin(), paths.begin() + 10));
    delete list;  // not through the release: these files do not exist
    std::vector<std::string> logged = {
        "The message contains more attachments than allowable. Removing attachments:\n/t/p11\n/t/p12"};
    for (int i = 0; i < 10; ++i) logged.push_back("ATT: " + paths[i]);
    std::vector<std::string> calls;
    for (int i = 0; i < HostKit_CallCount(); ++i) calls.push_back(HostKit_Call(i)->text);
    EXPECT_EQ(calls, logged);

    CStringArray names;
    ASSERT_TRUE(session.GetAttachmentNames(nullptr, 4, one.bytes, names));
    std::vector<std::string> got;
    for (int i = 0; i < names.GetSize(); ++i) got.push_back(Text(names[i]));
    EXPECT_EQ(got, (std::vector<std::string>{"", "a", "", "b"}));
    EXPECT_FALSE(session.GetAttachmentNames(nullptr, 4, three.bytes, names));
    EXPECT_FALSE(session.GetAttachmentNames(nullptr, 3, one.bytes, names)) << "ids compare by length too";
    list = nullptr;
    EXPECT_EQ(session.GetAttachments(nullptr, 4, two.bytes, &list), 0);
    EXPECT_EQ(list, nullptr);
    const char* elsewhere = "Work";
    EXPECT_EQ(session.GetAttachments(&elsewhere, 4, two.bytes, &list), 2);
}

}  // namespace
