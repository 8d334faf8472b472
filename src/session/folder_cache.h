// Per-folder state kept between calls: the last search's UIDs, a status record per listed
// message, and the messages already downloaded.
#pragma once

#include <cstdint>
#include <memory>
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

    CString name;
    std::vector<MessageStatus> statusRecords;
    std::vector<std::unique_ptr<CMsg>> messages;
    std::vector<uint32_t> uids;
};
