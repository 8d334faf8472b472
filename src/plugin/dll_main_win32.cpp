// The module's entry point: it keeps the instance handle the loader gives it, the handle of the
// module's own resources and the one handed to the host's common library at Logon.
#include <windows.h>

#include "platform/resources.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        resources::SetInstanceHandle(instance);
        ::DisableThreadLibraryCalls(instance);  // the module starts no thread and needs no notice of any
    }
    return TRUE;
}
