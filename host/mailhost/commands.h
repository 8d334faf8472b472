// The mailhost commands. Each is a thin use of the plug-in's exports: it calls them in the
// order a message host would and shows what they answered.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "options.h"
#include "output.h"
#include "plugin_library.h"

// Exit statuses (documented in the README and in `mailhost --help`).
enum ExitStatus {
    kExitOk = 0,
    kExitFailed = 1,  // an export answered a failure, or a message or folder was not there
    kExitUsage = 2,   // the command line is wrong
    kExitLogon = 3,   // the logon failed: no usable IMAP connection
    kExitPlugin = 4,  // the plug-in could not be loaded
    kExitFiles = 5,   // a local file could not be read or written
};

struct Context {
    const GlobalOptions& options;
    const CommandLine& line;
    PluginLibrary& plugin;
    Output& out;
};

struct Command {
    const char* name;
    const char* usage;    // arguments after the name
    const char* summary;  // one line
    const char* details;  // what the command calls, and how it behaves
    std::vector<OptionInfo> options;
    size_t minArguments, maxArguments;
    enum Logon { kNoLogon, kImap, kImapAndSmtp } logon;
    int (*run)(Context&);
};

const std::vector<Command>& Commands();

int RunInfo(Context&);
int RunFolders(Context&);
int RunFolder(Context&);
int RunList(Context&);
int RunGet(Context&);
int RunAttachments(Context&);
int RunSync(Context&);
int RunSend(Context&);
int RunMarkRead(Context&);
int RunMarkUnread(Context&);
int RunMove(Context&);
int RunCopy(Context&);
int RunDelete(Context&);
int RunExpunge(Context&);
int RunAppend(Context&);

// Shared by the commands.
// A UID argument; 0 (and an error printed) when it is not a positive number.
uint32_t ParseUid(Context& c, const std::string& text);
// The folders the module listed at logon (names as the server gives them, with their kinds).
struct FolderInfo {
    std::string name;
    int32_t kind;
};
bool ListFolders(Context& c, std::vector<FolderInfo>& folders);
// The UIDs GetMsgIds lists for a folder (with their read state); false when the listing failed.
bool ListUids(Context& c, const std::string& folder, std::vector<std::pair<uint32_t, bool>>& uids);
// False, with an error, when a UID is not among those the folder lists.
bool RequireUids(Context& c, const std::string& folder, const std::vector<uint32_t>& uids);
