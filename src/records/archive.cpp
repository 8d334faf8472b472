#include "records/archive.h"

#include <cstring>
#include <memory>

#include "records/object.h"

namespace {
constexpr uint16_t kNewClassTag = 0xFFFF;
}

uint32_t CArchive::GetObjectSchema() {
    const uint32_t schema = m_schema;
    m_schema = 0xFFFFFFFFu;
    return schema;
}

CArchive& CArchive::WriteLE(uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) m_buffer.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
}

uint32_t CArchive::ReadLE(int bytes) {
    if (Remaining() < static_cast<size_t>(bytes)) {
        m_position = m_buffer.size();
        m_failed = true;
        return 0;
    }
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(m_buffer[m_position++]) << (8 * i);
    return v;
}

CArchive& CArchive::operator>>(uint8_t& v) { v = static_cast<uint8_t>(ReadLE(1)); return *this; }
CArchive& CArchive::operator>>(uint16_t& v) { v = static_cast<uint16_t>(ReadLE(2)); return *this; }
CArchive& CArchive::operator>>(uint32_t& v) { v = ReadLE(4); return *this; }
CArchive& CArchive::operator>>(int32_t& v) { v = static_cast<int32_t>(ReadLE(4)); return *this; }

// Counted strings: a byte length below 255; else 0xFF and a 16-bit length below 0xFFFE;
// else 0xFF, 0xFFFF and a 32-bit length. Then the characters, no NUL.
CArchive& CArchive::operator<<(const CString& s) {
    const uint32_t length = static_cast<uint32_t>(s.GetLength());
    if (length < 0xFF) {
        WriteLE(length, 1);
    } else if (length < 0xFFFE) {
        WriteLE(0xFF, 1);
        WriteLE(length, 2);
    } else {
        WriteLE(0xFF, 1);
        WriteLE(0xFFFF, 2);
        WriteLE(length, 4);
    }
    Write(s.c_str(), length);
    return *this;
}

CArchive& CArchive::operator>>(CString& s) {
    uint32_t length = ReadLE(1);
    if (length == 0xFF) {
        length = ReadLE(2);
        if (length == 0xFFFF) length = ReadLE(4);
    }
    if (m_failed || length > Remaining()) {
        m_failed = true;
        m_position = m_buffer.size();
        s.Empty();
        return *this;
    }
    s = CString(reinterpret_cast<const char*>(m_buffer.data() + m_position), static_cast<int>(length));
    m_position += length;
    return *this;
}

void CArchive::Write(const void* data, size_t length) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    m_buffer.insert(m_buffer.end(), bytes, bytes + length);
}

size_t CArchive::Read(void* data, size_t length) {
    const size_t n = length < Remaining() ? length : Remaining();
    if (n) std::memcpy(data, m_buffer.data() + m_position, n);
    m_position += n;
    if (n < length) m_failed = true;
    return n;
}

void CArchive::WriteObject(const CObject& object) {
    const CRuntimeClass* cls = object.GetRuntimeClass();
    const CString name(cls->m_lpszClassName);
    WriteLE(kNewClassTag, 2);
    WriteLE(cls->m_wSchema, 2);
    WriteLE(static_cast<uint32_t>(name.GetLength()), 2);
    Write(name.c_str(), static_cast<size_t>(name.GetLength()));
    const_cast<CObject&>(object).Serialize(*this);
}

CObject* CArchive::ReadObject(const CRuntimeClass* expected) {
    if (ReadLE(2) != kNewClassTag) return nullptr;
    const uint32_t schema = ReadLE(2);
    const uint32_t nameLength = ReadLE(2);
    if (m_failed || nameLength > Remaining()) return nullptr;
    const CString name(reinterpret_cast<const char*>(m_buffer.data() + m_position), static_cast<int>(nameLength));
    m_position += nameLength;
    const CRuntimeClass* cls = CRuntimeClass::FromName(name);
    if (!cls || (expected && !cls->IsDerivedFrom(expected))) return nullptr;
    std::unique_ptr<CObject> object(cls->CreateObject());
    if (!object) return nullptr;
    SetObjectSchema(schema);
    object->Serialize(*this);
    if (m_failed) return nullptr;
    return object.release();
}
