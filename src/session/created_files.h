// The attachment files this process created, so that releasing a list deletes only those: a
// path the host made up, or a file another program put at a path after ours was gone, stays.
#pragma once

#include "platform/cstring.h"
#include "platform/files.h"

namespace created_files {

void Remember(const CString& path, const files::FileIdentity& identity);
// Deletes the file when this process created it at that path and it is still that file; the
// path is forgotten either way. True when a file was deleted.
bool Release(const char* path) noexcept;
// How many created files are still known (for tests and the soak benchmark).
int Count() noexcept;

}  // namespace created_files
