#include "platform/cstring.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string_view>

namespace {
// Below this, preparing a skip table costs more than it saves.
constexpr size_t kSkipSearchFrom = 4096;
bool InSet(char ch, const char* set) { return set && ch != '\0' && std::strchr(set, ch) != nullptr; }
bool IsSpace(char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }
}  // namespace

int CString::Find(char ch, int start) const {
    if (start < 0) start = 0;
    if (static_cast<size_t>(start) >= m_s.size()) return -1;
    size_t pos = m_s.find(ch, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const char* sub, int start) const {
    if (!sub) return -1;
    if (start < 0) start = 0;
    if (static_cast<size_t>(start) > m_s.size()) return -1;
    const std::string_view needle(sub);
    // Long texts (whole responses, message bodies) are searched with skips: the library's search
    // stops at every occurrence of the needle's first byte, which in a body of "AAAA..." lines
    // searched for a tag "AEG..." is every byte.
    if (m_s.size() - static_cast<size_t>(start) >= kSkipSearchFrom && needle.size() >= 2) {
        const auto begin = m_s.begin() + start;
        const auto hit = std::search(begin, m_s.end(), std::boyer_moore_horspool_searcher(needle.begin(), needle.end()));
        return hit == m_s.end() ? -1 : static_cast<int>(hit - m_s.begin());
    }
    size_t pos = m_s.find(needle, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(char ch) const {
    size_t pos = m_s.rfind(ch);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::FindOneOf(const char* set) const {
    if (!set) return -1;
    size_t pos = m_s.find_first_of(set);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

CString CString::Mid(int first) const { return Mid(first, GetLength() - (first < 0 ? 0 : first)); }

CString CString::Mid(int first, int count) const {
    if (first < 0) first = 0;
    if (count < 0) count = 0;
    const int len = GetLength();
    if (first >= len || count == 0) return CString();
    if (count > len - first) count = len - first;
    return CString(m_s.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::Left(int count) const {
    if (count <= 0) return CString();
    if (count >= GetLength()) return *this;
    return CString(m_s.substr(0, static_cast<size_t>(count)));
}

CString CString::Right(int count) const {
    if (count <= 0) return CString();
    if (count >= GetLength()) return *this;
    return CString(m_s.substr(m_s.size() - static_cast<size_t>(count)));
}

void CString::MakeLower() {
    for (char& ch : m_s) ch = AsciiLower(ch);
}

void CString::MakeUpper() {
    for (char& ch : m_s)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
}

void CString::TrimLeft() {
    size_t i = 0;
    while (i < m_s.size() && IsSpace(m_s[i])) ++i;
    m_s.erase(0, i);
}

void CString::TrimRight() {
    size_t n = m_s.size();
    while (n > 0 && IsSpace(m_s[n - 1])) --n;
    m_s.resize(n);
}

void CString::TrimLeft(char ch) {
    size_t i = 0;
    while (i < m_s.size() && m_s[i] == ch) ++i;
    m_s.erase(0, i);
}

void CString::TrimRight(char ch) {
    size_t n = m_s.size();
    while (n > 0 && m_s[n - 1] == ch) --n;
    m_s.resize(n);
}

void CString::TrimLeft(const char* set) {
    size_t i = 0;
    while (i < m_s.size() && InSet(m_s[i], set)) ++i;
    m_s.erase(0, i);
}

void CString::TrimRight(const char* set) {
    size_t n = m_s.size();
    while (n > 0 && InSet(m_s[n - 1], set)) --n;
    m_s.resize(n);
}

int CString::Replace(char oldCh, char newCh) {
    int count = 0;
    if (oldCh == newCh) return 0;
    for (char& ch : m_s)
        if (ch == oldCh) { ch = newCh; ++count; }
    return count;
}

int CString::Replace(const char* oldText, const char* newText) {
    if (!oldText || !*oldText) return 0;
    const std::string_view from(oldText);
    const std::string_view to(newText ? newText : "");
    size_t pos = m_s.find(from);
    if (pos == std::string::npos) return 0;
    // One pass into a new buffer: linear in the text whatever the number of hits.
    std::string out;
    out.reserve(m_s.size());
    size_t done = 0;
    int count = 0;
    while (pos != std::string::npos) {
        out.append(m_s, done, pos - done);
        out.append(to);
        done = pos + from.size();
        ++count;
        pos = m_s.find(from, done);
    }
    out.append(m_s, done, std::string::npos);
    m_s.swap(out);
    return count;
}

int CString::Remove(char ch) {
    size_t before = m_s.size();
    std::erase(m_s, ch);
    return static_cast<int>(before - m_s.size());
}

int CString::Compare(const char* text) const { return std::strcmp(m_s.c_str(), text ? text : ""); }

int CString::CompareNoCase(const char* text) const {
    const char* a = m_s.c_str();
    const char* b = text ? text : "";
    for (;; ++a, ++b) {
        const unsigned char ca = static_cast<unsigned char>(AsciiLower(*a));
        const unsigned char cb = static_cast<unsigned char>(AsciiLower(*b));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (needed < 0) {
        va_end(again);
        m_s.clear();
        return;
    }
    std::string out(static_cast<size_t>(needed) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, again);
    va_end(again);
    out.resize(static_cast<size_t>(needed));
    m_s.swap(out);
}

void CStringArray::RemoveAt(int index, int count) {
    if (index < 0 || count <= 0 || index >= GetSize()) return;
    const int end = index + count > GetSize() ? GetSize() : index + count;
    m_items.erase(m_items.begin() + index, m_items.begin() + end);
}

void CStringArray::InsertAt(int index, const CString& text) {
    if (index < 0) index = 0;
    if (index > GetSize()) m_items.resize(static_cast<size_t>(index));
    m_items.insert(m_items.begin() + index, text);
}
