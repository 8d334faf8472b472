// One logon of the plug-in for the length of a command: Initialize and Logon with the account
// of the global options, Logoff and Uninitialize at the end.
#pragma once

#include <memory>

#include "options.h"
#include "output.h"
#include "plugin_library.h"

class Session {
public:
    Session(PluginLibrary& plugin, const GlobalOptions& options, Output& out);
    Session(const Session&) = delete;
    ~Session();

    // Logs on (with SMTP configured when `smtp`); false when the logon failed, which is
    // reported with the result's meaning and any sync-log entry the module wrote.
    bool Open(bool smtp);
    // The host kit keeps every call of the module in its journal; a long run drops it now and
    // then (log lines were shown as they came).
    static void DropJournal();

private:
    struct Texts;
    PluginLibrary& m_plugin;
    const GlobalOptions& m_options;
    Output& m_out;
    std::unique_ptr<Texts> m_texts;
    bool m_open = false;
};
