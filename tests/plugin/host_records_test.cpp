// The records that cross the exports: layouts, the host's strings, and the folder list built for
// the host with its limits.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "host_string.h"
#include "session/folder_list.h"
#include "session/logon_settings.h"

TEST(HostRecordLayout, OffsetsAndSizes) {
    EXPECT_EQ(sizeof(LogonParameters), 96u);
    const std::pair<size_t, size_t> logon[] = {
        {offsetof(LogonParameters, imapServer), 0},     {offsetof(LogonParameters, smtpServer), 4},
        {offsetof(LogonParameters, imapPort), 8},       {offsetof(LogonParameters, smtpPort), 12},
        {offsetof(LogonParameters, extraNumber1), 16},  {offsetof(LogonParameters, extraText1), 20},
        {offsetof(LogonParameters, extraNumber2), 24},  {offsetof(LogonParameters, userName), 28},
        {offsetof(LogonParameters, password), 32},      {offsetof(LogonParameters, sentFolder), 36},
        {offsetof(LogonParameters, displayName), 40},   {offsetof(LogonParameters, attachments), 44},
        {offsetof(LogonParameters, preferHtml), 48},    {offsetof(LogonParameters, unreadOnly), 52},
        {offsetof(LogonParameters, daysBack), 56},      {offsetof(LogonParameters, useImap), 60},
        {offsetof(LogonParameters, useSmtp), 64},       {offsetof(LogonParameters, extraNumber4), 68},
        {offsetof(LogonParameters, maxMessageSize), 72}, {offsetof(LogonParameters, smtpAuth), 76},
        {offsetof(LogonParameters, smtpUser), 80},      {offsetof(LogonParameters, smtpPassword), 84},
        {offsetof(LogonParameters, logonLogText), 88},  {offsetof(LogonParameters, extraText2), 92},
    };
    for (const auto& [actual, expected] : logon) EXPECT_EQ(actual, expected);
    EXPECT_EQ(sizeof(MessageIdRef), 8u);
    EXPECT_EQ(offsetof(MessageIdRef, data), 4u);
    EXPECT_EQ(sizeof(AttachmentList), 2564u);
    EXPECT_EQ(offsetof(AttachmentList, path[0]), 4u);
    EXPECT_EQ(offsetof(AttachmentList, path[9]), 2308u);
    EXPECT_EQ(sizeof(FolderEntry), 16u);
    EXPECT_EQ(offsetof(FolderEntry, reserved), 4u);
    EXPECT_EQ(offsetof(FolderEntry, extra), 8u);
    EXPECT_EQ(offsetof(FolderEntry, kind), 12u);
}

TEST(HostStrings, CopiedByTheirHeaderLength) {
    HostString server("mail.example.test"), user("al ice"), empty("");
    LogonParameters params{};
    params.imapServer = server.c_str();
    params.userName = user.c_str();
    params.password = empty.c_str();
    params.imapPort = 1143;
    params.daysBack = -3;
    const LogonSettings s = LogonSettings::FromHost(params);
    EXPECT_EQ(s.imapServer, "mail.example.test");
    EXPECT_EQ(s.userName, "al ice");
    EXPECT_TRUE(s.password.IsEmpty());
    EXPECT_TRUE(s.smtpServer.IsEmpty()) << "a null pointer reads as empty";
    EXPECT_EQ(s.imapPort, 1143);
    EXPECT_EQ(s.daysBack, -3);
}

namespace {

struct FolderList {
    FolderEntry** entries = nullptr;
    uint32_t count = 0;
    int32_t result = -99;
    explicit FolderList(const std::vector<std::string>& names) {
        CStringArray array;
        for (const std::string& name : names) array.Add(CString(name));
        result = BuildFolderList(array, &entries, &count);
    }
    ~FolderList() {
        if (entries) ReleaseFolderList(entries, static_cast<int32_t>(count));
    }
    std::string Name(uint32_t i) const { return entries[i]->name; }
};

}  // namespace

TEST(FolderListForHost, KindsAndOrderFollowTheListedNames) {
    FolderList list({"INBOX", "Drafts", "Sent Items", "Trash", "SENT", "outbox", "Inboxes"});
    ASSERT_EQ(list.result, 0);
    ASSERT_EQ(list.count, 7u);
    const int32_t kinds[] = {0, 2, -1, 4, 3, 1, -1};
    for (uint32_t i = 0; i < 7; ++i) {
        EXPECT_EQ(list.entries[i]->kind, kinds[i]) << list.Name(i);
        EXPECT_EQ(list.entries[i]->reserved, 0u);
        EXPECT_EQ(list.entries[i]->extra, nullptr);
    }
    EXPECT_EQ(list.Name(2), "Sent Items");
}

TEST(FolderListForHost, LongNamesAreLeftOutWithoutUsingPlaces) {
    FolderList list({"ExactlyFifteen!", "SixteenCharacter", "Inbox"});
    ASSERT_EQ(list.count, 2u);
    EXPECT_EQ(list.Name(0), "ExactlyFifteen!");
    EXPECT_EQ(list.Name(1), "Inbox");

    std::vector<std::string> names(10, "A-name-that-is-too-long");
    for (int i = 0; i < 50; ++i) names.push_back("F" + std::to_string(i));
    FolderList full(names);
    ASSERT_EQ(full.count, 50u) << "the ten long names did not use up places";
    EXPECT_EQ(full.Name(0), "F0");
    EXPECT_EQ(full.Name(48), "F48");
    EXPECT_EQ(full.Name(49), "Inbox") << "no Inbox among the fifty: the last place is taken for it";
    EXPECT_EQ(full.entries[49]->kind, 0);
}

TEST(FolderListForHost, InboxIsAddedWhenMissingAndCapIsFifty) {
    FolderList noInbox({"Work", "Home"});
    ASSERT_EQ(noInbox.count, 3u);
    EXPECT_EQ(noInbox.Name(2), "Inbox");
    EXPECT_EQ(noInbox.entries[2]->kind, 0);

    std::vector<std::string> names;
    for (int i = 0; i < 60; ++i) names.push_back(i == 54 ? "INBOX" : "F" + std::to_string(i));
    FolderList sixty(names);
    ASSERT_EQ(sixty.count, 50u);
    EXPECT_EQ(sixty.Name(48), "F48");
    EXPECT_EQ(sixty.Name(49), "Inbox");

    FolderList none({});
    EXPECT_EQ(none.result, 0);
    EXPECT_EQ(none.count, 0u);
    EXPECT_EQ(none.entries, nullptr) << "no array for an empty list";
}
