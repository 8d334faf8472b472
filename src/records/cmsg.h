// The module's in-memory form of one mail message, and its conversions to and from the
// host's record (one block: a 112-byte head followed by the data its pointers point into).
#pragma once

#include <cstdint>

#include "platform/cstring.h"
#include "platform/ctime.h"
#include "records/cid.h"
#include "zq_mailplugin.h"

// Result codes of ToMailMsg.
enum class MailMsgResult : int { Ok = 0, OutOfMemory = 5, NullOutput = 211 };

constexpr uint16_t kDefaultMsgWordFlags = 0x0400;
constexpr uint32_t kDefaultMsgFlags = 0x002A0000;
constexpr uint32_t kMsgFlagRead = 1u << 25;
constexpr uint32_t kMsgFlagDownloaded = 1u << 31;
constexpr uint32_t kMailMsgHeadSize = sizeof(MailMsg);  // 112 in the i386 layout

class CMsg : public CObject {
public:
    static const CRuntimeClass classCMsg;
    static CObject* CreateObject();

    CMsg() = default;
    // FromMailMsg: builds the record from a host record (null gives the defaults).
    explicit CMsg(const MailMsg* record);
    CMsg(const CMsg&) = delete;
    CMsg& operator=(const CMsg&) = delete;
    ~CMsg() override;

    const CRuntimeClass* GetRuntimeClass() const override { return &classCMsg; }
    void Serialize(CArchive& ar) override;

    // Builds a new host record block and stores its address in *out (null on failure).
    MailMsgResult ToMailMsg(MailMsg** out) const;
    size_t MailMsgSize() const;

    // Takes a copy of the extra text / bytes (the host's own fields; this module never fills them).
    void SetAuxText(const char* text);
    void SetAuxData(const void* data, uint32_t length);

    CId m_id;
    CId m_id2;
    CId m_id3;
    char* m_pszAuxText = nullptr;
    uint32_t m_cbAuxData = 0;
    uint8_t* m_pAuxData = nullptr;
    uint16_t m_wHost1 = 0;
    uint32_t m_dwHost1 = 0;
    uint16_t m_wHost2 = 0;
    CTime m_tDate;
    uint32_t m_dwHost2 = 0;
    uint32_t m_dwPartial = 0;
    uint16_t m_wFlags = kDefaultMsgWordFlags;
    uint32_t m_dwFlags = kDefaultMsgFlags;
    CString m_strFrom;
    CString m_strTo;
    CString m_strCc;
    CString m_strBcc;
    CString m_strReplyTo;
    CString m_strExtra;
    CString m_strSubject;
    CString m_strBody;
    CString m_strAttachments;
    CString m_strDate;  // raw Date: header text; neither converted nor stored
};

// Releases one host record block: 211 for null, else 0.
int FreeMailMsgRecord(MailMsg* record);
