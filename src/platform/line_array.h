// The lines of a response or a downloaded message, as views into text the array owns: a
// message of a million lines is split with no allocation per line.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class LineArray {
public:
    LineArray() = default;
    LineArray(const LineArray&) = delete;
    LineArray& operator=(const LineArray&) = delete;
    LineArray(LineArray&&) = default;
    LineArray& operator=(LineArray&&) = default;

    // Appends the CR LF-terminated lines of text: each line ends before a CR, and the CR and the
    // one character after it are skipped; a last segment without CR is a line too. An empty
    // text adds nothing. The first form copies text once, the second keeps it.
    int AppendLines(std::string_view text);
    int AppendLines(std::string&& text);
    // The same without a copy: the views point into text, which the caller keeps alive and
    // unchanged while the array lives (a mapped file).
    int AppendBorrowedLines(std::string_view text) { return text.empty() ? 0 : AppendViews(text); }

    int GetSize() const { return static_cast<int>(m_lines.size()); }
    int GetUpperBound() const { return GetSize() - 1; }
    bool IsEmpty() const { return m_lines.empty(); }
    std::string_view operator[](int index) const { return m_lines[static_cast<size_t>(index)]; }
    void RemoveAt(int index) { m_lines.erase(m_lines.begin() + index); }
    void RemoveAll() {
        m_lines.clear();
        m_texts.clear();
    }

    auto begin() const { return m_lines.begin(); }
    auto end() const { return m_lines.end(); }

private:
    int AppendViews(std::string_view text);

    // Each text stays where it is while the array lives; the views point into them.
    std::vector<std::unique_ptr<std::string>> m_texts;
    std::vector<std::string_view> m_lines;
};
