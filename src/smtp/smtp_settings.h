// The SMTP account settings the session fills at logon and hands to SmtpClient::Connect.
#pragma once

#include <cstdint>

#include "platform/cstring.h"

struct SmtpSettings {
    CString server;  // host name or dotted address
    int32_t port = -1;
    int32_t extraNumber1 = 0;   // carried; not used by the client
    CString extraText1;         // carried; not used by the client
    int32_t extraNumber2 = 0;   // carried; not used by the client
    CString displayName;        // name part of the From: header
    uint32_t authenticate = 0;  // non-zero: EHLO and AUTH LOGIN; zero: HELO only
    CString user;
    CString password;
    uint32_t includeAttachments = 0;  // non-zero: attachment files are sent
    int32_t receiveTimeoutMs = 1000;
    int32_t sendTimeoutMs = 1000;
    uint32_t syncLogOnFailure = 0;  // carried; not used by the client
    uint32_t logging = 0;           // non-zero: every exchange goes to the host log
};
