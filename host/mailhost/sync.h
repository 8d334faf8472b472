// One sync run through the plug-in's exports: folders, message ids, messages, attachments.
#pragma once

#include "options.h"
#include "plugin_library.h"

struct SyncTotals {
    int folders = 0;
    int messages = 0;
    int attachments = 0;
    int failures = 0;
};

// Logs on, syncs every folder into options.outDir, logs off. Answers the process exit code.
int RunSync(const PluginLibrary& plugin, const Options& options, SyncTotals& totals);
