// Byte string with the class-library operations the mail algorithms are written in.
// Texts are bytes in the ANSI code page; case-insensitive operations fold A-Z only.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class CString {
public:
    CString() = default;
    CString(const char* text) : m_s(text ? text : "") {}
    CString(const char* data, int length) : m_s(data ? std::string(data, length > 0 ? length : 0) : std::string()) {}
    CString(std::string text) : m_s(std::move(text)) {}
    CString(std::string_view text) : m_s(text) {}
    CString(char ch, int count = 1) : m_s(count > 0 ? count : 0, ch) {}

    int GetLength() const { return static_cast<int>(m_s.size()); }
    bool IsEmpty() const { return m_s.empty(); }
    void Empty() { m_s.clear(); }
    char GetAt(int index) const { return m_s[static_cast<size_t>(index)]; }
    char operator[](int index) const { return GetAt(index); }
    void SetAt(int index, char ch) { m_s[static_cast<size_t>(index)] = ch; }

    operator const char*() const { return m_s.c_str(); }
    const char* c_str() const { return m_s.c_str(); }
    const std::string& str() const { return m_s; }
    std::string& str() { return m_s; }
    std::string_view view() const { return m_s; }

    CString& operator=(const char* text) { m_s = text ? text : ""; return *this; }
    CString& operator+=(const CString& other) { m_s += other.m_s; return *this; }
    CString& operator+=(const char* text) { if (text) m_s += text; return *this; }
    CString& operator+=(char ch) { m_s += ch; return *this; }

    // Finds return -1 when absent; a start past the end finds nothing.
    int Find(char ch, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(char ch) const;
    int FindOneOf(const char* set) const;

    // Out-of-range arguments are clamped the way the class library clamps them.
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Left(int count) const;
    CString Right(int count) const;

    void MakeLower();
    void MakeUpper();
    void TrimLeft();
    void TrimRight();
    void TrimLeft(char ch);
    void TrimRight(char ch);
    void TrimLeft(const char* set);
    void TrimRight(const char* set);
    int Replace(char oldCh, char newCh);
    int Replace(const char* oldText, const char* newText);
    int Remove(char ch);
    int Compare(const char* text) const;
    int CompareNoCase(const char* text) const;

    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    friend bool operator==(const CString& a, const CString& b) { return a.m_s == b.m_s; }
    friend bool operator==(const CString& a, const char* b) { return a.m_s == (b ? b : ""); }
    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_s + b.m_s); }
    friend CString operator+(const CString& a, const char* b) { return CString(a.m_s + (b ? b : "")); }
    friend CString operator+(const char* a, const CString& b) { return CString((a ? a : "") + b.m_s); }
    friend CString operator+(const CString& a, char b) { return CString(a.m_s + b); }

private:
    std::string m_s;
};

// Growable array of strings with the class library's names.
class CStringArray {
public:
    int GetSize() const { return static_cast<int>(m_items.size()); }
    int GetUpperBound() const { return GetSize() - 1; }
    bool IsEmpty() const { return m_items.empty(); }
    int Add(const CString& text) { m_items.push_back(text); return GetSize() - 1; }
    int Add(CString&& text) { m_items.push_back(std::move(text)); return GetSize() - 1; }
    const CString& GetAt(int index) const { return m_items[static_cast<size_t>(index)]; }
    CString& ElementAt(int index) { return m_items[static_cast<size_t>(index)]; }
    const CString& operator[](int index) const { return GetAt(index); }
    CString& operator[](int index) { return ElementAt(index); }
    void SetAt(int index, const CString& text) { m_items[static_cast<size_t>(index)] = text; }
    void SetSize(int size) { m_items.resize(size > 0 ? static_cast<size_t>(size) : 0); }
    void RemoveAll() { m_items.clear(); }
    void RemoveAt(int index, int count = 1);
    void InsertAt(int index, const CString& text);
    void Reserve(int size) { m_items.reserve(static_cast<size_t>(size)); }

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    std::vector<CString> m_items;
};

// Lower-case A-Z only: the module's case rule for protocol texts.
inline char AsciiLower(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch + 32) : ch; }
