// The host's side of the session in tests: texts with CR LF line ends, the id bytes of a UID and
// the texts of a record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zq_mailplugin.h"

inline std::string CrLf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// The four id bytes of a UID, as the host hands them back.
struct UidRef {
    explicit UidRef(uint32_t uid)
        : bytes{static_cast<uint8_t>(uid), static_cast<uint8_t>(uid >> 8), static_cast<uint8_t>(uid >> 16),
                static_cast<uint8_t>(uid >> 24)},
          ref{4, bytes} {}
    uint8_t bytes[4];
    MessageIdRef ref;
};

inline uint32_t RecordUid(const MailMsg* record) {
    return record->idLength == 4 ? (record->id[0] | record->id[1] << 8 | record->id[2] << 16 |
                                    static_cast<uint32_t>(record->id[3]) << 24)
                                 : 0;
}

inline std::string Text(const char* text) { return text ? text : ""; }
