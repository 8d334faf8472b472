#include "session.h"

#include <cstring>

#include "host_string.h"
#include "hostkit.h"

// The host's strings must outlive the logon: the module copies them, but only during Logon.
struct Session::Texts {
    HostString empty, server, smtpServer, user, password, sentFolder, displayName, smtpUser, smtpPassword,
        logText;
};

Session::Session(PluginLibrary& plugin, const GlobalOptions& options, Output& out)
    : m_plugin(plugin), m_options(options), m_out(out) {}

bool Session::Open(bool smtp) {
    const GlobalOptions& o = m_options;
    m_texts.reset(new Texts{HostString(""), HostString(o.server), HostString(o.smtpServer),
                            HostString(o.user), HostString(o.password), HostString(o.sentFolder),
                            HostString(o.displayName), HostString(o.smtpUser), HostString(o.smtpPassword),
                            HostString("mailhost")});
    const Texts& t = *m_texts;
    const char* e = t.empty.c_str();
    LogonParameters p{};
    p.imapServer = t.server.c_str();
    p.smtpServer = t.smtpServer.c_str();
    p.imapPort = o.imapPort;
    p.smtpPort = o.smtpPort;
    p.extraText1 = p.extraText2 = e;
    p.extraNumber2 = -1;
    p.userName = t.user.c_str();
    p.password = t.password.c_str();
    p.sentFolder = t.sentFolder.c_str();
    p.displayName = t.displayName.c_str();
    p.attachments = o.attachments;
    p.preferHtml = o.preferHtml;
    p.unreadOnly = o.unreadOnly;
    p.daysBack = o.sinceDays;
    p.useImap = 1;
    p.useSmtp = smtp;
    p.maxMessageSize = o.sizeLimit;
    p.smtpAuth = o.smtpAuth;
    p.smtpUser = t.smtpUser.c_str();
    p.smtpPassword = t.smtpPassword.c_str();
    p.logonLogText = t.logText.c_str();
    const uint32_t flags =
        (o.verbose ? ZQ_LOGON_VERBOSE : 0) | (o.syncLog ? ZQ_LOGON_SYNC_LOG_ON_FAILURE : 0);

    HostKit_Clear();
    HostKit_EchoLog(o.verbose);
    m_plugin.Initialize();
    m_open = true;
    const int32_t code = m_plugin.Logon(&p, flags, nullptr);
    m_out.Call(
        "Logon",
        o.user + "@" + o.server + ":" + std::to_string(o.imapPort) + ", flags " + std::to_string(flags), code,
        false);
    std::vector<std::string> syncLog;
    for (int i = 0; i < HostKit_CallCount(); ++i)
        if (std::strcmp(HostKit_Call(i)->function, "Ordinal_52") == 0)
            syncLog.push_back(HostKit_Call(i)->text);
    if (m_out.json()) {
        m_out.Json().Key("syncLog").BeginArray();
        for (const std::string& entry : syncLog) m_out.Json().String(entry);
        m_out.Json().EndArray();
    } else {
        for (const std::string& entry : syncLog) std::fprintf(stderr, "sync log: %s\n", entry.c_str());
    }
    DropJournal();
    return code == 0;
}

void Session::DropJournal() { HostKit_Clear(); }

Session::~Session() {
    if (!m_open) return;
    m_plugin.Logoff();
    m_plugin.Uninitialize();
}
