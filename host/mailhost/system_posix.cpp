// The POSIX side of the system seam (a Win32 file would provide the same functions).
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "system.h"

namespace hostos {

const char* PluginFileName() { return "ZQ_VORUDozOzad.so"; }

std::string ExecutableDirectory() {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return ".";
    const std::string path(self, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/'));
}

void* LoadLibrary(const std::string& path, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        error = reason ? reason : "cannot load " + path;
    }
    return handle;
}

void* FindSymbol(void* library, const char* name) { return library ? dlsym(library, name) : nullptr; }

void CloseLibrary(void* library) {
    if (library) dlclose(library);
}

void ReleaseRecordBlock(void* block) { std::free(block); }

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

int TerminalColumns(std::FILE* stream) {
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 20) return size.ws_col;
    return 80;
}

std::tm LocalTime(std::time_t t) {
    std::tm parts{};
    localtime_r(&t, &parts);
    return parts;
}

std::tm UtcTime(std::time_t t) {
    std::tm parts{};
    gmtime_r(&t, &parts);
    return parts;
}

long LocalOffsetSeconds(std::time_t t) { return LocalTime(t).tm_gmtoff; }

}  // namespace hostos
