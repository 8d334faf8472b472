// Soak run: many whole host sessions against a real IMAP server, through the application object
// as the exports drive it (Logon, GetMsgIds, GetAllMsgs, GetMessageAttachment, FreeAttachment,
// Logoff, Uninitialize), with shortened transport waits. After the 10th cycle and after the
// last it prints the process's resident memory, the heap in use, the open descriptors, the
// attachment files this process still knows and the files left in the temporary directory: a
// session that leaks shows growth between the lines. No host library is bound (logging and
// yielding are no-ops), so the heap is the module's and the C library's alone.
//   bench_soak --port N --user NAME --password TEXT [--cycles N] [--pause-ms N]
#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "host_string.h"
#include "net/transport_waits.h"
#include "platform/files.h"
#include "plugin/mail_plugin_app.h"
#include "session/created_files.h"
#include "session/folder_list.h"

namespace {

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

int CountEntries(const char* path) {
    DIR* dir = opendir(path);
    if (!dir) return -1;
    int n = 0;
    while (const dirent* entry = readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) ++n;
    closedir(dir);
    return n;
}

void Report(int cycle, double seconds) {
    const struct mallinfo2 heap = mallinfo2();
    std::printf(
        "after cycle %5d: rss %6ld KB  heap in use %9zu B  open descriptors %3d  known files %d  "
        "files in temp dir %d  (%.1f s)\n",
        cycle, ResidentKb(), heap.uordblks, CountEntries("/proc/self/fd") - 1, created_files::Count(),
        CountEntries(files::TempDirectory().c_str()), seconds);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::string user, password, server = "127.0.0.1";
    int port = 0, cycles = 1000, pauseMs = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--port")
            port = std::atoi(argv[i + 1]);
        else if (key == "--user")
            user = argv[i + 1];
        else if (key == "--password")
            password = argv[i + 1];
        else if (key == "--server")
            server = argv[i + 1];
        else if (key == "--cycles")
            cycles = std::atoi(argv[i + 1]);
        else if (key == "--pause-ms")
            pauseMs = std::atoi(argv[i + 1]);
    }
    if (port <= 0 || user.empty()) {
        std::fprintf(stderr,
                     "usage: bench_soak --port N --user NAME --password TEXT [--cycles N] [--pause-ms N]\n");
        return 2;
    }
    testing_hooks::OverrideTransportWaits(
        {std::chrono::milliseconds(2000), std::chrono::milliseconds(pauseMs)});

    const HostString empty(""), host(server.c_str()), name(user.c_str()), secret(password.c_str());
    const char* e = empty.c_str();
    const LogonParameters params{host.c_str(),
                                 e,
                                 port,
                                 -1,
                                 0,
                                 e,
                                 -1,
                                 name.c_str(),
                                 secret.c_str(),
                                 e,
                                 e,
                                 /*attachments=*/1,
                                 0,
                                 0,
                                 0,
                                 /*useImap=*/1,
                                 0,
                                 0,
                                 0,
                                 0,
                                 e,
                                 e,
                                 e,
                                 e};
    // Printed before the cycles, so that the output buffer exists before the first measurement.
    std::printf("%d cycles against %s:%d as %s, pause %d ms\n", cycles, server.c_str(), port, user.c_str(),
                pauseMs);
    std::fflush(stdout);
    MailPlugInApp& app = TheApp();
    const auto start = std::chrono::steady_clock::now();
    int attachments = 0, failures = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        app.Initialize();
        if (app.Logon(&params, 0) != 0) ++failures;
        MailMsg** ids = nullptr;
        uint32_t idCount = 0;
        if (app.GetMsgIds(nullptr, &ids, &idCount) != 0) ++failures;
        if (ids) ReleaseMailMsgArray(ids, static_cast<int32_t>(idCount));
        MailMsg** all = nullptr;
        uint32_t allCount = 0;
        if (app.GetAllMsgs(&all, &allCount, 0) != 0) ++failures;
        for (uint32_t i = 0; i < allCount; ++i) {
            AttachmentList* list = nullptr;
            if (app.GetMessageAttachment(nullptr, all[i]->idLength, all[i]->id, &list) != 0) ++failures;
            if (list) attachments += list->count;
            ReleaseAttachmentList(&list);
        }
        if (all) ReleaseMailMsgArray(all, static_cast<int32_t>(allCount));
        app.Logoff();
        app.Uninitialize();
        if (cycle == 10 || cycle % 250 == 0 || cycle == cycles)
            Report(cycle, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf("%d cycles, %d attachment files handed out and released, %d failed calls\n", cycles,
                attachments, failures);
    return failures == 0 ? 0 : 1;
}
