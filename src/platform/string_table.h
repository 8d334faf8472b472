/* The module's string table and version data: the one place the texts are written. Plain
 * preprocessor definitions, so that the resource script of the Windows build and the C++
 * code of every build read the same lines. */
#ifndef ZQ_STRING_TABLE_H
#define ZQ_STRING_TABLE_H

#define ZQ_IDS_MSGPLUGINS 4000
#define ZQ_IDS_IMAPPLUGIN 4323
#define ZQ_IDS_VENDOR 4325
#define ZQ_IDS_INFO_FORMAT 4327
#define ZQ_IDS_LOGON_FAILED_FORMAT 4328

#define ZQ_TEXT_MSGPLUGINS "MsgPlugIns"
#define ZQ_TEXT_IMAPPLUGIN "ImapPlugin"
#define ZQ_TEXT_VENDOR "Zoquerel"
#define ZQ_TEXT_INFO_FORMAT "OSTRAVO INFO -- %s"
#define ZQ_TEXT_LOGON_FAILED_FORMAT "Server logon failed for user '%s'"

#define ZQ_VERSION_NUMBERS 2, 0, 7, 0
#define ZQ_VERSION_TEXT "2.0.7.0"
#define ZQ_DESCRIPTION "Ostravo (TM) IMAP Plug-in Mail Module"
#define ZQ_INTERNAL_NAME "ZQ_IMAPPlugIn"
#define ZQ_MODULE_FILE_NAME "ZQ_VORUDozOzad.dll"

#endif
