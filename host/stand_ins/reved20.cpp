// Stand-in for the host's sync-log library; ordinal 52 carries a name on ELF.
#include "hostkit.h"

extern "C" HOSTKIT_API int Ordinal_52(const char* text, int category, int flags) {
    HostKit_Record("REVED20", "Ordinal_52", text, category, flags, nullptr, nullptr);
    return 0;
}
