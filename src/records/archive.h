// A small archive for the message records: little-endian integers and the class library's
// counted-string format, over a byte buffer. Loading past the end fails softly: reads give
// zeros and IsFailed() turns true, so a truncated archive never reads out of bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/cstring.h"

class CObject;
struct CRuntimeClass;

class CArchive {
public:
    enum Mode { store, load };

    CArchive() : m_mode(store) {}                         // storing into an empty buffer
    explicit CArchive(std::vector<uint8_t> data) : m_mode(load), m_buffer(std::move(data)) {}

    bool IsStoring() const { return m_mode == store; }
    bool IsLoading() const { return m_mode == load; }
    bool IsFailed() const { return m_failed; }
    const std::vector<uint8_t>& Buffer() const { return m_buffer; }
    size_t Remaining() const { return m_buffer.size() - m_position; }
    // Marks a load as short: the rest of the buffer is treated as consumed.
    void Fail() { m_failed = true; m_position = m_buffer.size(); }

    // The schema of the object being loaded; -1 (all bits) when none was set. Reading it
    // resets it, as the class library does.
    uint32_t GetObjectSchema();
    void SetObjectSchema(uint32_t schema) { m_schema = schema; }

    CArchive& operator<<(uint8_t v) { return WriteLE(v, 1); }
    CArchive& operator<<(uint16_t v) { return WriteLE(v, 2); }
    CArchive& operator<<(uint32_t v) { return WriteLE(v, 4); }
    CArchive& operator<<(int32_t v) { return WriteLE(static_cast<uint32_t>(v), 4); }
    CArchive& operator<<(const CString& s);

    CArchive& operator>>(uint8_t& v);
    CArchive& operator>>(uint16_t& v);
    CArchive& operator>>(uint32_t& v);
    CArchive& operator>>(int32_t& v);
    CArchive& operator>>(CString& s);

    void Write(const void* data, size_t length);
    // Reads up to length bytes; answers how many arrived.
    size_t Read(void* data, size_t length);

    // Objects with their class: a new-class tag, the schema, the class name, then the object.
    void WriteObject(const CObject& object);
    // Creates the object named in the archive through the class registry; null when the class
    // is unknown or the archive is short. The caller owns the result.
    CObject* ReadObject(const CRuntimeClass* expected);

private:
    CArchive& WriteLE(uint32_t v, int bytes);
    uint32_t ReadLE(int bytes);

    Mode m_mode;
    std::vector<uint8_t> m_buffer;
    size_t m_position = 0;
    bool m_failed = false;
    uint32_t m_schema = 0xFFFFFFFFu;
};
