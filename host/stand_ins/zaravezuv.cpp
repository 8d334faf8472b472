// Stand-in for the host's log library.
#include "hostkit.h"

extern "C" HOSTKIT_API int MLOGAdd(const char* text) {
    HostKit_Record("ZARAVEZUV", "MLOGAdd", text, 0, 0, nullptr, nullptr);
    return 0;
}
