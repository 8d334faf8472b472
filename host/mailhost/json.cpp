#include "json.h"

#include <cstdio>

void JsonWriter::BeforeValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_counts.empty()) return;
    if (m_counts.back()++ > 0) m_text += ',';
    m_text += '\n';
    m_text.append(m_counts.size() * 2, ' ');
}

JsonWriter& JsonWriter::Open(char bracket) {
    BeforeValue();
    m_text += bracket;
    m_counts.push_back(0);
    return *this;
}

JsonWriter& JsonWriter::Close(char bracket) {
    const bool empty = m_counts.back() == 0;
    m_counts.pop_back();
    if (!empty) {
        m_text += '\n';
        m_text.append(m_counts.size() * 2, ' ');
    }
    m_text += bracket;
    return *this;
}

JsonWriter& JsonWriter::BeginObject() { return Open('{'); }
JsonWriter& JsonWriter::EndObject() { return Close('}'); }
JsonWriter& JsonWriter::BeginArray() { return Open('['); }
JsonWriter& JsonWriter::EndArray() { return Close(']'); }

JsonWriter& JsonWriter::Key(std::string_view key) {
    String(key);
    m_text += ": ";
    m_afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view utf8) {
    BeforeValue();
    m_text += '"';
    for (const char c : utf8) {
        switch (c) {
            case '"':
                m_text += "\\\"";
                break;
            case '\\':
                m_text += "\\\\";
                break;
            case '\n':
                m_text += "\\n";
                break;
            case '\r':
                m_text += "\\r";
                break;
            case '\t':
                m_text += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
                    m_text += escaped;
                } else {
                    m_text += c;
                }
        }
    }
    m_text += '"';
    return *this;
}

JsonWriter& JsonWriter::Number(int64_t value) {
    BeforeValue();
    m_text += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    m_text += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    m_text += "null";
    return *this;
}

const std::string& JsonWriter::Text() {
    if (m_counts.empty() && !m_text.empty() && m_text.back() != '\n') m_text += '\n';
    return m_text;
}
