// Stand-in for the host's sync manager: yielding only records the call.
#include "hostkit.h"

extern "C" __attribute__((visibility("default"))) int SyncYieldCycles(int cycles) {
    HostKit_Record("ZIDU20", "SyncYieldCycles", "", cycles, 0, nullptr, nullptr);
    return 0;
}
