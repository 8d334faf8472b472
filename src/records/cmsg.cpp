#include "records/cmsg.h"

#include <cstring>
#include <new>

#include "records/archive.h"

const CRuntimeClass CMsg::classCMsg = {"CMsg", sizeof(CMsg), 1, &CMsg::CreateObject, &CObject::classCObject};

CObject* CMsg::CreateObject() { return new (std::nothrow) CMsg(); }

void AfxClassInit() {
    CRuntimeClass::Register(&CMsg::classCMsg);
    CRuntimeClass::Register(&CId::classCId);
    CRuntimeClass::Register(&CFolderId::classCFolderId);
}

namespace {
// Registered when the module is loaded, so that archives find the classes by name.
const bool g_registered = (AfxClassInit(), true);
}  // namespace

CMsg::~CMsg() {
    if (m_cbAuxData != 0) delete[] m_pAuxData;
    delete[] m_pszAuxText;
}

void CMsg::SetAuxText(const char* text) {
    delete[] m_pszAuxText;
    m_pszAuxText = nullptr;
    if (!text) return;
    const size_t length = std::strlen(text);
    m_pszAuxText = new char[length + 1];
    std::memcpy(m_pszAuxText, text, length + 1);
}

void CMsg::SetAuxData(const void* data, uint32_t length) {
    if (m_cbAuxData != 0) delete[] m_pAuxData;
    m_pAuxData = nullptr;
    m_cbAuxData = 0;
    if (!data || length == 0) return;
    m_pAuxData = new uint8_t[length];
    std::memcpy(m_pAuxData, data, length);
    m_cbAuxData = length;
}

void CMsg::Serialize(CArchive& ar) {
    CString* const texts[] = {&m_strFrom, &m_strTo,      &m_strCc,   &m_strBcc,        &m_strReplyTo,
                              &m_strExtra, &m_strSubject, &m_strBody, &m_strAttachments};
    if (ar.IsStoring()) {
        m_id.Serialize(ar);
        m_id2.Serialize(ar);
        m_id3.Serialize(ar);
        ar << m_wHost1 << m_dwHost1 << m_tDate.GetTime() << m_dwHost2 << m_dwPartial << m_wFlags << m_dwFlags;
        for (CString* text : texts) ar << *text;
        return;
    }
    if (ar.GetObjectSchema() == 0) return;
    m_id.Serialize(ar);
    m_id2.Serialize(ar);
    m_id3.Serialize(ar);
    int32_t date = 0;
    ar >> m_wHost1 >> m_dwHost1 >> date >> m_dwHost2 >> m_dwPartial >> m_wFlags >> m_dwFlags;
    m_tDate = CTime(date);
    for (CString* text : texts) ar >> *text;
}
