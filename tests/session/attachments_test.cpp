// Attachment lists of cached messages: at most ten paths for the host, one entry per comma piece,
// none for a message without files.
#include <gtest/gtest.h>

#include "session/message_id.h"
#include "session_script.h"

namespace {

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
    ASSERT_EQ(session.GetAttachments(nullptr, 4, five.bytes, &list, true), 0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(std::vector<std::string>(list->path, list->path + list->count),
              std::vector<std::string>(paths.begin(), paths.begin() + 10));
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
    EXPECT_EQ(session.GetAttachments(nullptr, 4, two.bytes, &list, true), 0);
    EXPECT_EQ(list, nullptr);
    const char* elsewhere = "Work";
    EXPECT_EQ(session.GetAttachments(&elsewhere, 4, two.bytes, &list, true), 2);
}

}  // namespace
