// mailhost: a command-line message host. It loads the mail plug-in, syncs one account into a
// directory, and shows what the plug-in logged when asked to.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "hostkit.h"
#include "options.h"
#include "plugin_library.h"
#include "sync.h"

namespace {
std::string DefaultPluginPath() {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = ".";
    if (n > 0) {
        dir.assign(self, static_cast<size_t>(n));
        dir = dir.substr(0, dir.rfind('/'));
    }
    return dir + "/ZQ_VORUDozOzad.so";
}
}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!options.Parse(argc, argv, error)) {
        std::fputs(error.c_str(), stderr);
        return error == Options::Usage() ? 0 : 64;
    }
    if (options.plugin.empty()) options.plugin = DefaultPluginPath();
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
