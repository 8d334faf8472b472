// The module's string table and version data, and the resource handle that Logon switches
// to the language library for the duration of the call.
#pragma once

#include "platform/cstring.h"
#include "platform/string_table.h"

namespace resources {

constexpr unsigned kMsgPlugIns = ZQ_IDS_MSGPLUGINS;
constexpr unsigned kImapPlugin = ZQ_IDS_IMAPPLUGIN;
constexpr unsigned kVendor = ZQ_IDS_VENDOR;
constexpr unsigned kInfoFormat = ZQ_IDS_INFO_FORMAT;
constexpr unsigned kLogonFailedFormat = ZQ_IDS_LOGON_FAILED_FORMAT;

constexpr const char* kVersion = ZQ_VERSION_TEXT;
constexpr const char* kDescription = ZQ_DESCRIPTION;
constexpr const char* kInternalName = ZQ_INTERNAL_NAME;

// On Linux a language library is a shared object exporting
//   const char* ZQ_LoadString(unsigned id)
// that answers null for ids it does not carry. On Windows it is a resource library whose
// string table is read with the system's string loader.
constexpr const char* kLanguageStringSymbol = "ZQ_LoadString";

// The handle that stands for the module's own resources: the module's instance handle (on
// Windows the one the loader gave the entry point, kept with SetInstanceHandle).
void* InstanceHandle();
void SetInstanceHandle(void* instance);
void* ResourceHandle();
void SetResourceHandle(void* handle);

// The text of a string id from the current resource handle, falling back to the module's
// own table; empty for an unknown id.
CString LoadString(unsigned id);

}  // namespace resources
