#include "results.h"

namespace {

struct CodeMeaning {
    const char* exports;  // space-separated export names; "*" for every export
    int32_t code;
    const char* text;
};

constexpr const char* kFolderCalls =
    "IMAP4AddFolder IMAP4DeleteFolder IMAP4RenameFolder IMAP4Append IMAP4SelectFolder";
constexpr const char* kMessageCalls = "SetMsgReadStatus IMAP4SetSeenFlag IMAP4CopyMessage";

// The IMAP client's codes pass through the folder and message exports unchanged; the same
// number means a different thing for folder commands and for message commands.
const CodeMeaning kMeanings[] = {
    {"*", 0, "done"},
    {"*", -1, "not logged on"},
    {"Logon", 16394,
     "logon failed: the IMAP server could not be reached or refused the login, and SMTP is not in use"},
    {"GetFolderList GetMsg SetMsgReadStatus IMAP4Commit", 8, "there is no IMAP connection"},
    {"GetFolderList", 16, "out of memory"},
    {"GetMsgIds GetMsgHeaders GetAllMsgs", 213,
     "listing failed: no connection, a folder not listed at logon, or the server's search failed"},
    {"GetMsg", 1, "the id is not a 4-byte UID and the message is not in the session's cache"},
    {"SendMsg", 212,
     "sending failed: SMTP unreachable or not configured, the login or every recipient refused"},
    {"DeleteMsg", 2, "the server did not mark the message deleted"},
    {"GetMessageAttachment", 2, "the message was not downloaded in full in this session"},
    {"FreeMailMsg FreeFolderList", 211, "no array was given"},
    {"IMAP4Commit", 16, "the server refused EXPUNGE"},
    {kFolderCalls, 8, "there is no IMAP connection"},
    {kFolderCalls, 1, "not logged in, or a folder name or message text is missing"},
    {kFolderCalls, 4, "the folder could not be selected"},
    {kFolderCalls, 11, "the server refused DELETE (or the COPY before it)"},
    {kFolderCalls, 12, "the folder is not in the server's folder list"},
    {kFolderCalls, 14, "the server refused APPEND"},
    {kFolderCalls, 16, "the server refused CREATE or RENAME, or the folder list could not be loaded"},
    {kMessageCalls, 8, "there is no IMAP connection"},
    {kMessageCalls, 1, "not logged in, or a UID or folder name is missing"},
    {kMessageCalls, 4, "the folder could not be selected"},
    {kMessageCalls, 12, "a folder is not in the server's folder list"},
    {kMessageCalls, 13, "no message was moved"},
    {kMessageCalls, 15, "the server refused to store the seen flag"},
};

bool Names(const char* list, std::string_view name) {
    const std::string_view all(list);
    if (all == "*") return true;
    for (size_t start = 0; start <= all.size();) {
        const size_t end = std::min(all.find(' ', start), all.size());
        if (all.substr(start, end - start) == name) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

std::string Meaning(std::string_view exportName, int32_t code) {
    for (const CodeMeaning& m : kMeanings)
        if (m.code == code && Names(m.exports, exportName)) return m.text;
    return "an unexpected result code";
}

std::string CodeText(std::string_view exportName, int32_t code) {
    return std::to_string(code) + " (" + Meaning(exportName, code) + ")";
}
