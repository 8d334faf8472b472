#include "session/logon_settings.h"

#include <cstddef>

#include "platform/host_string.h"
#include "platform/layout32.h"

ZQ_LAYOUT32(sizeof(LogonParameters) == 96);
ZQ_LAYOUT32(offsetof(LogonParameters, imapPort) == 8 && offsetof(LogonParameters, userName) == 28);
ZQ_LAYOUT32(offsetof(LogonParameters, attachments) == 44 && offsetof(LogonParameters, useImap) == 60);
ZQ_LAYOUT32(offsetof(LogonParameters, maxMessageSize) == 72 && offsetof(LogonParameters, smtpUser) == 80);
ZQ_LAYOUT32(offsetof(LogonParameters, logonLogText) == 88 && offsetof(LogonParameters, extraText2) == 92);

LogonSettings LogonSettings::FromHost(const LogonParameters& host) {
    LogonSettings s;
    s.imapServer = CopyHostString(host.imapServer);
    s.smtpServer = CopyHostString(host.smtpServer);
    s.imapPort = host.imapPort;
    s.smtpPort = host.smtpPort;
    s.extraNumber1 = host.extraNumber1;
    s.extraText1 = CopyHostString(host.extraText1);
    s.extraNumber2 = host.extraNumber2;
    s.userName = CopyHostString(host.userName);
    s.password = CopyHostString(host.password);
    s.sentFolder = CopyHostString(host.sentFolder);
    s.displayName = CopyHostString(host.displayName);
    s.attachments = host.attachments;
    s.preferHtml = host.preferHtml;
    s.unreadOnly = host.unreadOnly;
    s.daysBack = host.daysBack;
    s.useImap = host.useImap;
    s.useSmtp = host.useSmtp;
    s.extraNumber4 = host.extraNumber4;
    s.maxMessageSize = host.maxMessageSize;
    s.smtpAuth = host.smtpAuth;
    s.smtpUser = CopyHostString(host.smtpUser);
    s.smtpPassword = CopyHostString(host.smtpPassword);
    s.logonLogText = CopyHostString(host.logonLogText);
    s.extraText2 = CopyHostString(host.extraText2);
    return s;
}
