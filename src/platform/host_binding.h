// Calls into the message host's own libraries, resolved at run time. A library or symbol
// that cannot be found turns its call into a no-op, so any process can load the module.
#pragma once

namespace host {

// MLOGAdd: one NUL-terminated text to the host's log.
void Log(const char* text);
// SyncYieldCycles: lets the host's sync manager run.
void YieldCycles(int cycles);
// Sync-log entry (ordinal 52 of the sync-log library).
void SyncLog(const char* text, int category, int flags);
// Language library load (ordinal 2) and release (ordinal 3) of the common library.
void* LoadLanguageLibrary(const char* fileName, void* instance, void** handleVariable);
void ReleaseLanguageLibrary(void* handle, void* instance);

// Forgets what was resolved, so that the next call looks the libraries up again.
void ResetBinding();

}  // namespace host
