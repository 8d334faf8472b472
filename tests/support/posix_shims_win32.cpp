#include "posix_shims_win32.h"

#include <direct.h>
#include <io.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {
// Both the C runtime's copy of the environment and the process's own (GetTempPathA reads that).
int Put(const char* name, const char* value) {
    if (_putenv_s(name, value ? value : "") != 0) return -1;
    ::SetEnvironmentVariableA(name, value);
    return 0;
}
// TMP as the program found it: what clearing TMPDIR goes back to.
const std::string& StartingTmp() {
    static const std::string tmp = std::getenv("TMP") ? std::getenv("TMP") : "";
    return tmp;
}
}  // namespace

extern "C" int setenv(const char* name, const char* value, int overwrite) {
    StartingTmp();
    if (!overwrite && std::getenv(name)) return 0;
    std::string dir = value ? value : "";
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '\\';
    if (std::strcmp(name, "TMPDIR") == 0) Put("TMP", dir.c_str());
    return Put(name, value);
}

extern "C" int unsetenv(const char* name) {
    if (std::strcmp(name, "TMPDIR") == 0) Put("TMP", StartingTmp().empty() ? nullptr : StartingTmp().c_str());
    return Put(name, nullptr);
}

extern "C" char* mkdtemp(char* pattern) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string copy(pattern);
        if (_mktemp_s(copy.data(), copy.size() + 1) != 0) return nullptr;
        if (_mkdir(copy.c_str()) == 0) return std::strcpy(pattern, copy.c_str());
    }
    return nullptr;
}
