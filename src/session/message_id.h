// Message ids as the host sees them (the IMAP UID in four little-endian bytes), and folder
// references (null or empty: the Inbox).
#pragma once

#include <cstdint>

#include "records/cid.h"
#include "zq_mailplugin.h"

inline constexpr uint32_t kUidIdLength = 4;

// The first four bytes, little-endian; the caller has checked there are four.
inline uint32_t UidFromBytes(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

inline void SetUidId(CId& id, uint32_t uid) {
    const uint8_t bytes[kUidIdLength] = {static_cast<uint8_t>(uid), static_cast<uint8_t>(uid >> 8),
                                         static_cast<uint8_t>(uid >> 16), static_cast<uint8_t>(uid >> 24)};
    id.SetData(bytes, kUidIdLength);
}

inline const char* FolderNameOf(FolderRef folder) {
    return (folder && *folder && **folder) ? *folder : "Inbox";
}
