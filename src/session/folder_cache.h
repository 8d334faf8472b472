// Per-folder state kept between calls: the last search's UIDs, a status record per listed
// message, and the messages already downloaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/cstring.h"
#include "records/cmsg.h"

struct MessageStatus {
    uint32_t uid = 0;
    int32_t seen = 0;
    int32_t received = 0;  // seconds since 1970, UTC
};

struct FolderCache {
    explicit FolderCache(CString folderName) : name(std::move(folderName)) {}

    // Records of every listing stay; a lookup answers with the earliest one for the UID.
    void AddStatus(const MessageStatus& status) {
        statusIndex.emplace(status.uid, statusRecords.size());
        statusRecords.push_back(status);
    }
    const MessageStatus* FindStatus(uint32_t uid) const {
        const auto found = statusIndex.find(uid);
        return found == statusIndex.end() ? nullptr : &statusRecords[found->second];
    }

    CString name;
    std::vector<MessageStatus> statusRecords;
    std::vector<std::unique_ptr<CMsg>> messages;
    std::vector<uint32_t> uids;

private:
    // UID -> position of its first record, so listings of large folders stay linear.
    std::unordered_map<uint32_t, size_t> statusIndex;
};
