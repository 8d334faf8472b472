#include "mime/html_to_text.h"

#include <cstring>
#include <string>

namespace {

bool SameNoCase(const char* a, size_t aLength, const char* b) {
    const size_t bLength = std::strlen(b);
    if (aLength != bLength) return false;
    for (size_t i = 0; i < aLength; ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

class TagBuffer {
public:
    void Restart(char ch) {
        m_length = 0;
        m_text[m_length++] = ch;
    }
    bool Full() const { return m_length >= kHtmlTagCollect; }
    void Add(char ch) { m_text[m_length++] = ch; }
    void Close() {
        m_text[m_length++] = '>';
        m_text[m_length] = '\0';
    }
    void Clear() { m_length = 0; }
    bool Is(const char* tag) const { return SameNoCase(m_text, m_length, tag); }
    bool StartsWith(const char* prefix) const {
        const size_t n = std::strlen(prefix);
        return m_length >= n && SameNoCase(m_text, n, prefix);
    }

private:
    char m_text[kHtmlTagBuffer] = {};
    size_t m_length = 0;
};

}  // namespace

void HtmlToText(const CString& html, CString& result) {
    const char* in = html.c_str();
    const size_t length = std::strlen(in);  // the text ends at its first NUL
    std::string out;
    out.reserve(length);
    TagBuffer tag;
    bool skipping = false;
    bool inScript = false;
    bool tagSeen = false;

    for (size_t i = 0; i < length; ++i) {
        const char c = in[i];
        if (c == '<') {
            tag.Restart('<');
            skipping = true;
            tagSeen = true;
        } else if (c == '>') {
            tag.Close();
            skipping = false;
            if (tag.Is("</p>") || tag.Is("<br>") || tag.Is("</title>")) {
                out += '\n';
            } else if (tag.StartsWith("<script")) {
                inScript = true;
                skipping = true;
            } else if (tag.Is("</script>")) {
                inScript = false;
            } else if (inScript) {
                skipping = true;
            }
            tag.Clear();
        } else if (!skipping && c != '\r' && c != '\n') {
            if (c == '&') {
                // Entities go without replacement, recognised by where their ";" stands.
                if (i + 3 < length && in[i + 3] == ';')
                    i += 3;
                else if (i + 5 < length && in[i + 5] == ';')
                    i += 5;
            } else {
                out += c;
            }
        } else if (!tag.Full()) {
            if (skipping) {
                tag.Add(c);
            } else if (c == '\n') {
                out += ' ';
                while (i + 1 < length && in[i + 1] == ' ') ++i;
            }
        }
    }
    if (tagSeen)
        result = CString(std::move(out));
    else
        result = html;
}
