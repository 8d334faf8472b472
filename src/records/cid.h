// Variable-length byte identifier (the first four bytes of a message id are its IMAP UID),
// and the identifier that also names a folder.
#pragma once

#include <cstdint>

#include "platform/cstring.h"
#include "records/object.h"

class CId : public CObject {
public:
    static const CRuntimeClass classCId;
    static CObject* CreateObject();

    CId() = default;
    CId(const void* data, uint32_t length) { SetData(data, length); }
    CId(const CId& other) : CObject() { SetData(other.m_pData, other.m_nLength); }
    CId& operator=(const CId& other);
    ~CId() override;

    const CRuntimeClass* GetRuntimeClass() const override { return &classCId; }
    void Serialize(CArchive& ar) override;

    // Replaces the bytes; a copy carries ten spare zero bytes after the identifier.
    void SetData(const void* data, uint32_t length);
    bool IsEqual(const CId& other) const;

    uint32_t GetLength() const { return m_nLength; }
    const uint8_t* GetData() const { return m_pData; }
    // The IMAP UID: the first four bytes, little-endian; 0 for a shorter identifier.
    uint32_t Uid() const;

    uint32_t m_nLength = 0;
    uint8_t* m_pData = nullptr;

protected:
    void Release();
};

class CFolderId : public CId {
public:
    // Its record names CObject as the base, so a kind-of test against CId answers no.
    static const CRuntimeClass classCFolderId;
    static CObject* CreateObject();

    CFolderId() = default;
    CFolderId(const char* name, const void* data, uint32_t length) : CId(data, length), m_strName(name) {}

    const CRuntimeClass* GetRuntimeClass() const override { return &classCFolderId; }
    void Serialize(CArchive& ar) override;

    CString m_strName;
};
