// A record array being filled for the host. What it holds is released unless handed over, so a
// listing that fails part-way (an exception, memory running out) leaves the host a count of 0 and
// its array pointer as it was: the two always agree.
#pragma once

#include <cstdint>

#include "records/cmsg.h"
#include "session/folder_list.h"

class RecordArray {
public:
    explicit RecordArray(uint32_t capacity) : m_capacity(capacity), m_array(AllocMailMsgArray(capacity)) {}
    ~RecordArray() {
        if (!m_array) return;
        for (uint32_t i = 0; i < m_count; ++i) FreeMailMsgRecord(m_array[i]);
        delete[] m_array;
    }
    RecordArray(const RecordArray&) = delete;
    RecordArray& operator=(const RecordArray&) = delete;

    bool IsAllocated() const { return m_array != nullptr; }
    uint32_t Count() const { return m_count; }
    // Takes the record; a null record (its block could not be allocated) is left out.
    void Append(MailMsg* record) {
        if (record && m_count < m_capacity) m_array[m_count++] = record;
    }
    // Both at once, when the listing has succeeded.
    void HandOver(MailMsg*** out, uint32_t& count) {
        *out = m_array;
        count = m_count;
        m_array = nullptr;
    }

private:
    uint32_t m_capacity;
    MailMsg** m_array;
    uint32_t m_count = 0;
};
