/*
 * ZQ_VORUDozOzad: the IMAP/SMTP mail plug-in module, as a message host sees it.
 *
 * A host loads the module (ZQ_VORUDozOzad.dll on Windows, ZQ_VORUDozOzad.so on Linux, both i386),
 * calls Initialize, then Logon with the account settings, then any number of work calls, then
 * Logoff and Uninitialize. Every call
 * runs to completion on the caller's thread; while it waits on the network the module yields
 * to the host through SyncYieldCycles (see "Host integration" in the README).
 *
 * All records are 32-bit little-endian layouts: int32/uint32 are 4 bytes, every pointer is 4 bytes.
 * Compile the host for i386 (-m32). Functions use the C calling convention (cdecl: the caller removes
 * the arguments).
 *
 * Ownership: what the module hands out (message record arrays, attachment lists, folder lists)
 * goes back through FreeMailMsg, FreeAttachment and FreeFolderList. The single record that GetMsg
 * hands out is one zero-filled block that the host releases itself: GlobalFree on Windows (a fixed
 * global-memory block), free() on Linux. What the host hands in stays the host's; the module
 * copies what it keeps.
 */
#ifndef ZQ_MAILPLUGIN_H
#define ZQ_MAILPLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define ZQ_EXPORT /* the module's .def file names the exports and their ordinals */
#elif defined(__GNUC__)
#define ZQ_EXPORT __attribute__((visibility("default")))
#else
#define ZQ_EXPORT
#endif

/* ---- Status codes --------------------------------------------------------------------- */

#define ZQ_OK 0
#define ZQ_NOT_LOGGED_ON (-1) /* guarded exports before Logon or after Uninitialize */
#define ZQ_UNKNOWN_ID 1       /* GetMsg: id not 4 bytes and not cached */
#define ZQ_NOT_DONE 2         /* DeleteMsg: not marked deleted; GetMessageAttachment: not cached */
#define ZQ_NO_CONNECTION 8    /* the session has no IMAP connection */
#define ZQ_OUT_OF_MEMORY 16   /* GetFolderList; IMAP4Commit: EXPUNGE refused */
#define ZQ_NULL_ARRAY 211     /* FreeMailMsg, FreeFolderList: null array */
#define ZQ_SEND_FAILED 212    /* SendMsg */
#define ZQ_LISTING_FAILED 213 /* GetMsgIds, GetMsgHeaders, GetAllMsgs */
#define ZQ_LOGON_FAILED 16394 /* Logon: neither IMAP nor SMTP usable */
/* Any other value is a result code of the IMAP client, passed through unchanged by
 * SetMsgReadStatus, IMAP4SetSeenFlag, IMAP4SelectFolder, IMAP4AddFolder, IMAP4DeleteFolder,
 * IMAP4RenameFolder, IMAP4Append and IMAP4CopyMessage. */

/* ---- Logon -------------------------------------------------------------------------------- */

/* A host string: a pointer to NUL-terminated characters. The 12 bytes in front of the characters
 * hold three int32 values: reference count, length in characters, allocated length. An empty
 * text is a pointer to an empty string with that header, never a null pointer. */
typedef const char* ZqHostString;

/* Logon option flags (second argument of Logon). */
#define ZQ_LOGON_SYNC_LOG_ON_FAILURE 1 /* not verbose and IMAP unusable: one sync-log entry */
#define ZQ_LOGON_VERBOSE 2             /* progress and failure texts go to MLOGAdd */

/* The account settings, 96 bytes. */
typedef struct LogonParameters {
    ZqHostString imapServer;   /*  0: IMAP host name or dotted address */
    ZqHostString smtpServer;   /*  4: SMTP host name or dotted address */
    int32_t imapPort;          /*  8: IMAP port; -1: not set (port 80 is used) */
    int32_t smtpPort;          /* 12: SMTP port; -1 as for imapPort */
    int32_t extraNumber1;      /* 16: carried, no behaviour */
    ZqHostString extraText1;   /* 20: carried, no behaviour */
    int32_t extraNumber2;      /* 24: carried, no behaviour */
    ZqHostString userName;     /* 28: IMAP LOGIN user */
    ZqHostString password;     /* 32: IMAP LOGIN password */
    ZqHostString sentFolder;   /* 36: folder for copies of sent mail; empty: no copy */
    ZqHostString displayName;  /* 40: the user's name, used in the From header of sent mail */
    int32_t attachments;       /* 44: non-zero: fetch attachments and send them; zero: sent mail
                                      carries a note that attachments were excluded */
    int32_t preferHtml;        /* 48: non-zero: body from the HTML part when not empty */
    int32_t unreadOnly;        /* 52: non-zero: list unseen messages only */
    int32_t daysBack;          /* 56: > 0: list messages since today minus this many days */
    int32_t useImap;           /* 60: non-zero: connect and log in to IMAP */
    int32_t useSmtp;           /* 64: non-zero: sending over SMTP is configured */
    int32_t extraNumber4;      /* 68: kept only */
    int32_t maxMessageSize;    /* 72: bytes above which only part of a message is fetched; <= 0: no limit */
    int32_t smtpAuth;          /* 76: non-zero: SMTP AUTH LOGIN */
    ZqHostString smtpUser;     /* 80: SMTP user */
    ZqHostString smtpPassword; /* 84: SMTP password */
    ZqHostString logonLogText; /* 88: kept; verbose and not empty: Logon logs "IMAP Login" first */
    ZqHostString extraText2;   /* 92: carried, no behaviour */
} LogonParameters;

/* ---- Message ids ---------------------------------------------------------------------------- */

/* How the host names one message, 8 bytes. Every id this module issues is 4 bytes: the IMAP UID
 * as a little-endian uint32. */
typedef struct MessageIdRef {
    uint32_t length;     /* 0: number of id bytes */
    const uint8_t* data; /* 4: the id bytes */
} MessageIdRef;

/* ---- The host message record -------------------------------------------------------------- */

/* Bits of MailMsg.flags. */
#define ZQ_FLAG_READ 0x02000000u       /* bit 25: the IMAP \Seen flag */
#define ZQ_FLAG_DOWNLOADED 0x80000000u /* bit 31: built from a retrieved message */

/* One message: a 112-byte head followed, in the same block, by the data its pointers point into:
 * the id bytes (no NUL after them), id2, id3, auxText with its NUL, auxData, then the nine texts
 * from `from` to `attachments`, each with its NUL. A pointer is null when its item is empty.
 * Pointers are absolute addresses into the block. */
typedef struct MailMsg {
    uint32_t marker;         /*   0: always 1 from the module */
    uint32_t reserved1;      /*   4: 0 */
    uint32_t idLength;       /*   8: bytes of id */
    const uint8_t* id;       /*  12: the IMAP UID, 4 bytes little-endian */
    uint32_t id2Length;      /*  16: bytes of id2 */
    const uint8_t* id2;      /*  20: host-defined second id, carried */
    uint32_t id3Length;      /*  24: bytes of id3 */
    const uint8_t* id3;      /*  28: host-defined third id, carried */
    const char* auxText;     /*  32: extra text; not read by the module */
    uint32_t auxDataLength;  /*  36: bytes of auxData */
    const uint8_t* auxData;  /*  40: extra bytes; not read by the module */
    uint32_t reserved2;      /*  44: 0 */
    uint16_t host1Word;      /*  48: host-defined, carried */
    uint16_t host2Word;      /*  50: host-defined, carried */
    uint32_t host1Value;     /*  52: host-defined, carried */
    int32_t date;            /*  56: message time, seconds since 1970-01-01 00:00 UTC */
    uint32_t host2Value;     /*  60: host-defined, carried */
    uint32_t partial;        /*  64: 1 when only part of the content was fetched */
    uint16_t flagWord;       /*  68: default 0x0400, carried */
    uint16_t alignment;      /*  70: 0 */
    uint32_t flags;          /*  72: ZQ_FLAG_READ, ZQ_FLAG_DOWNLOADED; default 0x002A0000 */
    const char* from;        /*  76: sender address */
    const char* to;          /*  80: To recipients; sending: items separated by ';' or ',' */
    const char* cc;          /*  84: cc recipients */
    const char* bcc;         /*  88: bcc recipients (sending only) */
    const char* replyTo;     /*  92: Reply-To, else From, of a downloaded message */
    const char* extra;       /*  96: host-defined text, carried */
    const char* subject;     /* 100: subject */
    const char* body;        /* 104: body text */
    const char* attachments; /* 108: comma-separated file paths (no blank after the comma) */
} MailMsg;

/* ---- Attachments and folders ---------------------------------------------------------------- */

#define ZQ_MAX_ATTACHMENTS 10
#define ZQ_ATTACHMENT_PATH_SIZE 256

/* The attachment files of one downloaded message, 2564 bytes. FreeAttachment deletes the files. */
typedef struct AttachmentList {
    int32_t count;                                          /*    0: entries in use, 1 to 10 */
    char path[ZQ_MAX_ATTACHMENTS][ZQ_ATTACHMENT_PATH_SIZE]; /*    4: NUL-terminated full paths */
} AttachmentList;

/* Folder kinds of FolderEntry.kind. */
#define ZQ_FOLDER_OTHER (-1)
#define ZQ_FOLDER_INBOX 0
#define ZQ_FOLDER_OUTBOX 1
#define ZQ_FOLDER_DRAFTS 2
#define ZQ_FOLDER_SENT 3
#define ZQ_FOLDER_TRASH 4

/* One folder of GetFolderList, 16 bytes. */
typedef struct FolderEntry {
    char* name;        /*  0: folder name as the server lists it */
    uint32_t reserved; /*  4: 0 */
    void* extra;       /*  8: always null from this module */
    int32_t kind;      /* 12: ZQ_FOLDER_*: whole name "inbox", "outbox", "drafts", "sent" or "trash",
                              compared without regard to case */
} FolderEntry;

/* ---- The exports ------------------------------------------------------------------------------
 * A folder reference (FolderRef) is a pointer to a pointer to a NUL-terminated name; null or an
 * empty name means the Inbox. "Guarded" exports answer ZQ_NOT_LOGGED_ON until Logon succeeds. */
typedef const char* const* FolderRef;

ZQ_EXPORT int32_t Initialize(void);
ZQ_EXPORT int32_t Uninitialize(void);
ZQ_EXPORT int32_t Logon(const LogonParameters* parameters, uint32_t optionFlags, void* unused);
ZQ_EXPORT int32_t Logoff(void);
/* Guarded. Message ids (and read flags) of a folder. *count 0 leaves *records as it was. */
ZQ_EXPORT int32_t GetMsgIds(FolderRef folder, MailMsg*** records, uint32_t* count);
/* Guarded. Header records for the given ids. */
ZQ_EXPORT int32_t GetMsgHeaders(FolderRef folder, MailMsg*** records, uint32_t* count,
                                const MessageIdRef* const* ids, const int32_t* idCount);
/* Guarded. All Inbox messages (headers only when headersOnly is non-zero). */
ZQ_EXPORT int32_t GetAllMsgs(void* unused, MailMsg*** records, uint32_t* count, int32_t headersOnly);
/* One downloaded message; the host releases the record with free(). */
ZQ_EXPORT int32_t GetMsg(FolderRef folder, const MessageIdRef* id, MailMsg** record);
ZQ_EXPORT int32_t SetMsg(void* unused);
ZQ_EXPORT int32_t SendMsg(const MailMsg* message);                                          /* guarded */
ZQ_EXPORT int32_t DeleteMsg(FolderRef folder, const MailMsg* message);                      /* guarded */
ZQ_EXPORT int32_t SetMsgReadStatus(FolderRef folder, const MailMsg* message, int32_t seen); /* guarded */
ZQ_EXPORT int32_t SetMsgPriority(void* unused1, void* unused2, void* unused3);
ZQ_EXPORT int32_t FreeMailMsg(MailMsg** records, int32_t count);
ZQ_EXPORT int32_t GetMessageAttachment(FolderRef folder, uint32_t idLength, const uint8_t* idData,
                                       AttachmentList** list); /* guarded */
ZQ_EXPORT int32_t FreeAttachment(AttachmentList** list);
ZQ_EXPORT int32_t GetFolderList(FolderEntry*** folders, uint32_t* count);
ZQ_EXPORT int32_t FreeFolderList(FolderEntry** folders, int32_t count);
/* Always 1: partially retrieved messages (MailMsg.partial) are supported. */
ZQ_EXPORT uint8_t HostSupportsPartialMessages(void);
ZQ_EXPORT int32_t IMAP4AddFolder(const char* name);                         /* guarded */
ZQ_EXPORT int32_t IMAP4Append(const char* folder, const char* messageText); /* guarded */
ZQ_EXPORT int32_t IMAP4Commit(void);                                        /* guarded */
ZQ_EXPORT int32_t IMAP4CopyMessage(uint32_t uid, const char* sourceFolder,
                                   const char* targetFolder);                       /* guarded */
ZQ_EXPORT int32_t IMAP4DeleteFolder(const char* name);                              /* guarded */
ZQ_EXPORT int32_t IMAP4RenameFolder(const char* oldName, const char* newName);      /* guarded */
ZQ_EXPORT int32_t IMAP4SelectFolder(const char* name);                              /* guarded */
ZQ_EXPORT int32_t IMAP4SetSeenFlag(const char* folder, uint32_t uid, int32_t seen); /* guarded */

#ifdef __cplusplus
}
#endif

#endif /* ZQ_MAILPLUGIN_H */
