// The records that cross the exports: layouts, the host's strings, and the folder list built for
// the host with its limits.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "host_string.h"
#include "session/folder_list.h"
#include "session/logon_settings.h"

// Offsets not already pinned by the static checks where the records are read.
TEST(HostRecordLayout, Offsets) {
    const std::pair<size_t, size_t> logon[] = {
        {offsetof(LogonParameters, imapServer), 0},   {offsetof(LogonParameters, smtpServer), 4},
        {offsetof(LogonParameters, smtpPort), 12},    {offsetof(LogonParameters, extraNumber1), 16},
        {offsetof(LogonParameters, extraText1), 20},  {offsetof(LogonParameters, extraNumber2), 24},
        {offsetof(LogonParameters, password), 32},    {offsetof(LogonParameters, sentFolder), 36},
        {offsetof(LogonParameters, displayName), 40}, {offsetof(LogonParameters, preferHtml), 48},
        {offsetof(LogonParameters, unreadOnly), 52},  {offsetof(LogonParameters, daysBack), 56},
        {offsetof(LogonParameters, useSmtp), 64},     {offsetof(LogonParameters, extraNumber4), 68},
        {offsetof(LogonParameters, smtpAuth), 76},    {offsetof(LogonParameters, smtpPassword), 84},
    };
    for (const auto& [actual, expected] : logon) EXPECT_EQ(actual, expected);
    EXPECT_EQ(offsetof(MessageIdRef, data), 4u);
    EXPECT_EQ(offsetof(AttachmentList, path[9]), 2308u);
    EXPECT_EQ(offsetof(FolderEntry, reserved), 4u);
    EXPECT_EQ(offsetof(FolderEntry, extra), 8u);
    EXPECT_EQ(offsetof(FolderEntry, kind), 12u);
}

TEST(HostStrings, CopiedByTheirHeaderLength) {
    const HostString server("mail.example.test"), user("al ice"), empty("");
    const LogonSettings s = LogonSettings::FromHost({.imapServer = server.c_str(),
                                                     .imapPort = 1143,
                                                     .userName = user.c_str(),
                                                     .password = empty.c_str(),
                                                     .daysBack = -3});
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
};

}  // namespace

// Kinds come from the whole name in any case. Names over 15 characters are left out without
// using one of the fifty places; an Inbox is added when none is listed, over the last of fifty.
TEST(FolderListForHost, NamesKindsAndLimits) {
    using Listing = std::vector<std::pair<std::string, int32_t>>;
    std::vector<std::string> longThenFifty(10, "A-name-that-is-too-long"), sixty;
    Listing fortyNineAndInbox;
    for (int i = 0; i < 60; ++i) sixty.push_back(i == 54 ? "INBOX" : "F" + std::to_string(i));
    for (int i = 0; i < 50; ++i) longThenFifty.push_back("F" + std::to_string(i));
    for (int i = 0; i < 49; ++i) fortyNineAndInbox.emplace_back("F" + std::to_string(i), -1);
    fortyNineAndInbox.emplace_back("Inbox", 0);
    const std::pair<std::vector<std::string>, Listing> cases[] = {
        {{"INBOX", "Drafts", "Sent Items", "Trash", "SENT", "outbox", "Inboxes"},
         {{"INBOX", 0},
          {"Drafts", 2},
          {"Sent Items", -1},
          {"Trash", 4},
          {"SENT", 3},
          {"outbox", 1},
          {"Inboxes", -1}}},
        {{"ExactlyFifteen!", "SixteenCharacter", "Inbox"}, {{"ExactlyFifteen!", -1}, {"Inbox", 0}}},
        {longThenFifty, fortyNineAndInbox},
        {{"Work", "Home"}, {{"Work", -1}, {"Home", -1}, {"Inbox", 0}}},
        {sixty, fortyNineAndInbox},
        {{}, {}},
    };
    for (const auto& [names, expected] : cases) {
        SCOPED_TRACE(names.empty() ? "no names"
                                   : names.front() + " and " + std::to_string(names.size() - 1) + " more");
        FolderList list(names);
        EXPECT_EQ(list.result, 0);
        ASSERT_EQ(list.count, expected.size());
        if (expected.empty()) {
            EXPECT_EQ(list.entries, nullptr) << "no array for an empty list";
        }
        for (uint32_t i = 0; i < list.count; ++i) {
            EXPECT_EQ(list.entries[i]->name, expected[i].first) << i;
            EXPECT_EQ(list.entries[i]->kind, expected[i].second) << i;
            EXPECT_EQ(list.entries[i]->reserved, 0u) << i;
            EXPECT_EQ(list.entries[i]->extra, nullptr) << i;
        }
    }
}
