// Stand-in for the host's sync manager: yielding only records the call.
#include "hostkit.h"

extern "C" HOSTKIT_API int SyncYieldCycles(int cycles) {
    HostKit_Record("ZIDU20", "SyncYieldCycles", "", cycles, 0, nullptr, nullptr);
    return 0;
}
