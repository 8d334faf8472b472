// The commands, their arguments, options and help texts.
#include "commands.h"

namespace {

const OptionInfo kOut{"--out", "DIR", "write the message files into DIR"};

}  // namespace

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"info",
         "",
         "what the plug-in offers, without logging on",
         "Loads the plug-in, resolves its 27 exports and asks HostSupportsPartialMessages; calls SetMsg\n"
         "and SetMsgPriority, which only show a message box.",
         {},
         0,
         0,
         Command::kNoLogon,
         RunInfo},
        {"folders",
         "",
         "the folder list and each folder's kind",
         "GetFolderList: the folders the server listed at logon, with their kinds (inbox, outbox,\n"
         "drafts, sent, trash or other). The module offers names of up to 15 characters.",
         {},
         0,
         0,
         Command::kImap,
         RunFolders},
        {"folder",
         "create|rename|delete NAME [NEW]",
         "create, rename or delete a folder",
         "folder create NAME: IMAP4AddFolder (creates and subscribes).\n"
         "folder rename OLD NEW: IMAP4RenameFolder.\n"
         "folder delete NAME: IMAP4DeleteFolder, which deletes the folder with its messages; with\n"
         "--move-to the messages are moved first (IMAP4CopyMessage each, IMAP4Commit), and nothing is\n"
         "deleted unless every one of them was copied.",
         {{"--move-to", "FOLDER", "delete: move the folder's messages into FOLDER first"}},
         2,
         3,
         Command::kImap,
         RunFolder},
        {"list",
         "FOLDER",
         "a table of the folder's messages: from, subject, date, read, size",
         "The Inbox comes in one GetAllMsgs; another folder by GetMsgIds and a GetMsg per message.\n"
         "Size is what the host received: the body and the attachment files (the module's temporary\n"
         "files are given back with FreeAttachment). Unread messages stay unread. With --size-limit,\n"
         "larger messages are fetched in part and marked with *.",
         {{"--headers-only", nullptr,
           "download nothing: the Inbox's headers by GetAllMsgs, other folders' dates and read\n"
           "                          state by GetMsgIds and GetMsgHeaders"}},
         1,
         1,
         Command::kImap,
         RunList},
        {"sync",
         "[FOLDER...]",
         "download every message of the folders (all by default) into files",
         "For each folder: GetMsgIds, then per message GetMsg, GetMessageAttachment and FreeAttachment.\n"
         "Writes DIR/FOLDER/UID.json (every field of the record, decoded), the body (UID.txt, or\n"
         "UID.html for an HTML body) and the attachment files (UID/). Shows a progress line on a\n"
         "terminal, a line per folder otherwise (standard error), and a summary table at the end.",
         {{"--out", "DIR", "output directory (default mailhost-out)"}},
         0,
         1000,
         Command::kImap,
         RunSync},
        {"get",
         "FOLDER UID",
         "one message: header fields and body",
         "GetMsg (the download), then GetMessageAttachment and FreeAttachment. Prints the fields and the\n"
         "body; with --out writes the files as sync does. A message above --size-limit is fetched in\n"
         "part (Partial: yes); without the limit the next run fetches it whole.",
         {kOut},
         2,
         2,
         Command::kImap,
         RunGet},
        {"attachments",
         "FOLDER UID",
         "save a message's attachment files",
         "GetMsg, then GetMessageAttachment: the files the module wrote are copied out under their\n"
         "own names, then given back with FreeAttachment (which deletes them).",
         {{"--out", "DIR", "where to save them (default: the current directory)"},
          {"--force", nullptr, "overwrite files that exist"}},
         2,
         2,
         Command::kImap,
         RunAttachments},
        {"send",
         "--to ADDRESS [options]",
         "send a message over SMTP and confirm its copy in the sent-mail folder",
         "SendMsg with a message record built here; the module sends it over SMTP (AUTH LOGIN unless\n"
         "--no-smtp-auth) and files the sent text in --sent-folder. mailhost then looks for that copy\n"
         "(GetMsgIds, GetMsg). Texts are given in UTF-8 and sent in Windows-1252. Each SMTP reply\n"
         "ends on the module's 3-second pause, so a send takes half a minute.",
         {{"--from", "ADDRESS", "sender address (default: --user when it is an address)"},
          {"--to", "ADDRESS", "recipient (repeatable)"},
          {"--cc", "ADDRESS", "copy recipient (repeatable)"},
          {"--bcc", "ADDRESS", "blind copy recipient (repeatable)"},
          {"--subject", "TEXT", "subject"},
          {"--body", "FILE", "body text from FILE, or - for standard input (the default when piped)"},
          {"--attach", "FILE", "attach FILE (repeatable)"}},
         0,
         0,
         Command::kImapAndSmtp,
         RunSend},
        {"mark-read",
         "FOLDER UID...",
         "mark messages read",
         "SetMsgReadStatus with a record naming the UID (or IMAP4SetSeenFlag with --imap4).",
         {{"--imap4", nullptr, "use IMAP4SetSeenFlag"}},
         2,
         1000,
         Command::kImap,
         RunMarkRead},
        {"mark-unread",
         "FOLDER UID...",
         "mark messages unread",
         "SetMsgReadStatus with a record naming the UID (or IMAP4SetSeenFlag with --imap4).",
         {{"--imap4", nullptr, "use IMAP4SetSeenFlag"}},
         2,
         1000,
         Command::kImap,
         RunMarkUnread},
        {"move",
         "FOLDER UID... TARGET",
         "move messages to another folder",
         "IMAP4CopyMessage per message (copies it and flags the original deleted), then\n"
         "IMAP4SelectFolder and IMAP4Commit on FOLDER: the expunge removes every message of FOLDER\n"
         "that is flagged deleted.",
         {},
         3,
         1000,
         Command::kImap,
         RunMove},
        {"copy",
         "FOLDER UID... TARGET",
         "copy messages to another folder (the originals are flagged deleted)",
         "IMAP4CopyMessage per message. The module flags each original deleted: it is no longer\n"
         "listed, and stays on the server until `mailhost expunge FOLDER`.",
         {},
         3,
         1000,
         Command::kImap,
         RunCopy},
        {"delete",
         "FOLDER UID...",
         "delete messages",
         "DeleteMsg per message (marks it read and deleted), then IMAP4SelectFolder and IMAP4Commit\n"
         "on FOLDER, unless --keep.",
         {{"--keep", nullptr, "only flag them deleted; no expunge"}},
         2,
         1000,
         Command::kImap,
         RunDelete},
        {"expunge",
         "FOLDER",
         "remove the messages flagged deleted",
         "IMAP4SelectFolder, then IMAP4Commit.",
         {},
         1,
         1,
         Command::kImap,
         RunExpunge},
        {"append",
         "FOLDER FILE",
         "store a message file (or - for standard input) in a folder",
         "IMAP4Append with the file's text, line ends made CR LF. The exchange waits for the\n"
         "module's 3-second pause twice.",
         {},
         2,
         2,
         Command::kImap,
         RunAppend},
    };
    return commands;
}
