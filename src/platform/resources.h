// The module's string table and version data, and the resource handle that Logon switches
// to the language library for the duration of the call.
#pragma once

#include "platform/cstring.h"

namespace resources {

constexpr unsigned kMsgPlugIns = 4000;
constexpr unsigned kImapPlugin = 4323;
constexpr unsigned kVendor = 4325;
constexpr unsigned kInfoFormat = 4327;
constexpr unsigned kLogonFailedFormat = 4328;

constexpr const char* kVersion = "2.0.7.0";
constexpr const char* kDescription = "Ostravo (TM) IMAP Plug-in Mail Module";
constexpr const char* kInternalName = "ZQ_IMAPPlugIn";

// A language library is a shared object exporting
//   const char* ZQ_LoadString(unsigned id)
// that answers null for ids it does not carry.
constexpr const char* kLanguageStringSymbol = "ZQ_LoadString";

// The handle that stands for the module's own resources.
void* InstanceHandle();
void* ResourceHandle();
void SetResourceHandle(void* handle);

// The text of a string id from the current resource handle, falling back to the module's
// own table; empty for an unknown id.
CString LoadString(unsigned id);

}  // namespace resources
