// mailhost: a command-line message host. It loads the mail plug-in, syncs one account into a
// directory, and shows what the plug-in logged when asked to.
#include <cstdio>
#include <string>

#include "hostkit.h"
#include "options.h"
#include "plugin_library.h"
#include "sync.h"

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!options.Parse(argc, argv, error)) {
        std::fputs(error.c_str(), stderr);
        return error == Options::Usage() ? 0 : 64;
    }
    if (options.plugin.empty()) options.plugin = PluginLibrary::DefaultPath();
    PluginLibrary plugin;
    if (!plugin.Load(options.plugin, error)) {
        std::fprintf(stderr, "mailhost: %s\n", error.c_str());
        return 69;
    }
    HostKit_EchoLog(options.verbose ? 1 : 0);
    SyncTotals totals;
    const int rc = RunSync(plugin, options, totals);
    if (rc == 0 || rc == 1)
        std::printf("synced %d folder(s), %d message(s), %d attachment file(s) into %s%s\n", totals.folders,
                    totals.messages, totals.attachments, options.outDir.c_str(),
                    totals.failures ? " (with failures)" : "");
    return rc;
}
