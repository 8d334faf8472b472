// The Win32 side of the system seam.
#include <io.h>
#include <windows.h>
#undef LoadLibrary  // the seam's own function below, not the system's macro


#include "system.h"

namespace hostos {

const char* PluginFileName() { return "ZQ_VORUDozOzad.dll"; }

std::string ExecutableDirectory() {
    char self[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(nullptr, self, sizeof self);
    if (n == 0 || n >= sizeof self) return ".";
    const std::string path(self, n);
    return path.substr(0, path.find_last_of("\\/"));
}

void* LoadLibrary(const std::string& path, std::string& error) {
    HMODULE module = ::LoadLibraryA(path.c_str());
    if (!module) error = "cannot load " + path + " (error " + std::to_string(::GetLastError()) + ")";
    return module;
}

void* FindSymbol(void* library, const char* name) {
    return library ? reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name)) : nullptr;
}

void CloseLibrary(void* library) {
    if (library) ::FreeLibrary(static_cast<HMODULE>(library));
}

// A GetMsg record is a fixed global-memory block.
void ReleaseRecordBlock(void* block) {
    if (block) ::GlobalFree(block);
}

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

int TerminalColumns(std::FILE* stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (::GetConsoleScreenBufferInfo(console, &info)) {
        const int columns = info.srWindow.Right - info.srWindow.Left + 1;
        if (columns > 20) return columns;
    }
    return 80;
}

std::tm LocalTime(std::time_t t) {
    std::tm parts{};
    localtime_s(&parts, &t);
    return parts;
}

std::tm UtcTime(std::time_t t) {
    std::tm parts{};
    gmtime_s(&parts, &t);
    return parts;
}

long LocalOffsetSeconds(std::time_t t) {
    std::tm local = LocalTime(t);
    return static_cast<long>(_mkgmtime(&local) - t);
}

}  // namespace hostos
