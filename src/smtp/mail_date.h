// The Date: header value of an outgoing message: always UTC, always "+0000".
#pragma once

#include <cstdint>

#include "platform/cstring.h"

class MailDate {
public:
    MailDate() = default;
    virtual ~MailDate() = default;

    void SetTime(int32_t seconds) { m_time = seconds; }
    int32_t GetTime() const { return m_time; }

    // "Thu, 04 Mar 2004 09:05:07 +0000"; returns true.
    bool FormatUtc(CString& text) const;

private:
    int32_t m_time = 0;
};
