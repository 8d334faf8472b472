// Builds texts the way the host hands them to Logon: characters preceded by a 12-byte header
// (reference count, length, allocated length). Used by the mailhost command and the tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class HostString {
public:
    explicit HostString(const std::string& text = "") : m_storage(12 + text.size() + 1, '\0') {
        const int32_t header[3] = {-1, static_cast<int32_t>(text.size()), static_cast<int32_t>(text.size())};
        std::memcpy(m_storage.data(), header, sizeof header);
        std::memcpy(m_storage.data() + 12, text.data(), text.size());
    }
    const char* c_str() const { return m_storage.data() + 12; }

private:
    std::vector<char> m_storage;
};
