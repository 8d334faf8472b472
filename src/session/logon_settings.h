// The session's own copy of the host's logon parameters (all 24 fields, texts copied).
#pragma once

#include <cstdint>

#include "platform/cstring.h"
#include "zq_mailplugin.h"

struct LogonSettings {
    CString imapServer;
    CString smtpServer;
    int32_t imapPort = -1;
    int32_t smtpPort = -1;
    int32_t extraNumber1 = 0;
    CString extraText1;
    int32_t extraNumber2 = -1;
    CString userName;
    CString password;
    CString sentFolder;
    CString displayName;
    int32_t attachments = 0;
    int32_t preferHtml = 0;
    int32_t unreadOnly = 0;
    int32_t daysBack = 0;
    int32_t useImap = 0;
    int32_t useSmtp = 0;
    int32_t extraNumber4 = 0;
    int32_t maxMessageSize = 0;
    int32_t smtpAuth = 0;
    CString smtpUser;
    CString smtpPassword;
    CString logonLogText;
    CString extraText2;

    static LogonSettings FromHost(const LogonParameters& host);
};
