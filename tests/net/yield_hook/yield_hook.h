// A stand-in of the host's yield library (same file and symbol name) that records each yield in
// the host kit's journal like the shipped stand-in, and also lets a test act at the moment the
// transport yields: between its waits, where a real host runs its own work.
#pragma once

extern "C" {
__attribute__((visibility("default"))) int SyncYieldCycles(int cycles);
// `hook(context)` runs inside every yield until replaced; null removes it.
__attribute__((visibility("default"))) void YieldHook_Set(void (*hook)(void*), void* context);
}
