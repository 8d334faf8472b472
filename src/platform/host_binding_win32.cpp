#include <windows.h>

#include "platform/host_binding_table.h"

namespace host {
namespace {

// By name or, for the ordinal-only functions, by ordinal (a pointer value below 0x10000).
template <typename Fn>
Fn Procedure(HMODULE library, LPCSTR nameOrOrdinal) {
    return library ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(library, nameOrOrdinal)))
                   : nullptr;
}

}  // namespace

// The libraries are found by the system's search order: the host program's directory first.
Binding LoadBinding() {
    Binding binding;
    HMODULE logLib = ::LoadLibraryA("ZARAVEZUV.dll");
    HMODULE yieldLib = ::LoadLibraryA("ZIDU20.dll");
    HMODULE syncLib = ::LoadLibraryA("REVED20.dll");
    HMODULE commonLib = ::LoadLibraryA("TavikCmn.dll");
    binding.log = Procedure<LogFn>(logLib, "MLOGAdd");
    binding.yield = Procedure<YieldFn>(yieldLib, "SyncYieldCycles");
    binding.syncLog = Procedure<SyncLogFn>(syncLib, MAKEINTRESOURCEA(52));
    binding.loadLang = Procedure<LoadLangFn>(commonLib, MAKEINTRESOURCEA(2));
    binding.releaseLang = Procedure<ReleaseLangFn>(commonLib, MAKEINTRESOURCEA(3));
    return binding;
}

}  // namespace host
