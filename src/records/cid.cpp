#include "records/cid.h"

#include <cstring>

#include "platform/global_memory.h"
#include "records/archive.h"

const CRuntimeClass CId::classCId = {"CId", sizeof(CId), 1, &CId::CreateObject, &CObject::classCObject};
const CRuntimeClass CFolderId::classCFolderId = {"CFolderId", sizeof(CFolderId), 1, &CFolderId::CreateObject,
                                                 &CObject::classCObject};

CObject* CId::CreateObject() { return new (std::nothrow) CId(); }
CObject* CFolderId::CreateObject() { return new (std::nothrow) CFolderId(); }

CId& CId::operator=(const CId& other) {
    if (this != &other) SetData(other.m_pData, other.m_nLength);
    return *this;
}

CId::~CId() { Release(); }

void CId::Release() {
    if (m_pData) FreeRecordBlock(m_pData);
    m_pData = nullptr;
    m_nLength = 0;
}

void CId::SetData(const void* data, uint32_t length) {
    // The source may alias our own block (self-assignment through a pointer): copy first.
    uint8_t* block = nullptr;
    if (data && length != 0 && length <= 0xFFFFFFFFu - 10) {
        block = static_cast<uint8_t*>(AllocRecordBlock(static_cast<size_t>(length) + 10));
        if (block) std::memcpy(block, data, length);
    }
    Release();
    if (block) {
        m_pData = block;
        m_nLength = length;
    }
}

bool CId::IsEqual(const CId& other) const {
    if (m_nLength != other.m_nLength) return false;
    return m_nLength == 0 || std::memcmp(m_pData, other.m_pData, m_nLength) == 0;
}

uint32_t CId::Uid() const {
    if (m_nLength < 4 || !m_pData) return 0;
    return static_cast<uint32_t>(m_pData[0]) | static_cast<uint32_t>(m_pData[1]) << 8 |
           static_cast<uint32_t>(m_pData[2]) << 16 | static_cast<uint32_t>(m_pData[3]) << 24;
}

void CId::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar << m_nLength;
        ar.Write(m_pData, m_nLength);
        return;
    }
    Release();
    uint32_t length = 0;
    ar >> length;
    if (length == 0 || ar.IsFailed()) return;
    // Loaded identifiers get exactly their bytes, without the spare zeros.
    if (length > ar.Remaining()) {
        ar.Fail();  // a short archive: never allocate what cannot arrive
        return;
    }
    auto* block = static_cast<uint8_t*>(AllocRecordBlock(length));
    if (!block) return;
    if (ar.Read(block, length) < length) {
        FreeRecordBlock(block);
        return;
    }
    m_pData = block;
    m_nLength = length;
}

void CFolderId::Serialize(CArchive& ar) {
    if (ar.IsStoring())
        ar << m_strName;
    else
        ar >> m_strName;
    CId::Serialize(ar);
}
