// The parser's searches over its line range, and the joining of part bodies.
#include <algorithm>

#include "mime/boundary_registry.h"
#include "mime/line_gram_index.h"
#include "mime/mime_parser.h"
#include "mime/text_match.h"
#include "platform/large_buffer.h"

int MimeParser::FindLineContaining(int from, const CString& text) const {
    if (text.IsEmpty() || from >= m_lineEnd || m_lines == nullptr) return -1;
    // A container whose boundary never comes is searched for again by its walk: the last
    // search that found nothing answers for any later start.
    if (m_missingFrom >= 0 && from >= m_missingFrom && text == m_missingText) return -1;
    from = std::max(from, 0);
    int found = -1;
    const size_t gram = LineGramIndex::GramFor(text.view());
    std::unique_ptr<LineGramIndex>& index = m_gramIndex[gram - 1];
    if (index) {
        found = index->FindLineContaining(from, text.view());
    } else {
        if (!m_finder || !(m_finderText == text)) {
            m_finder.reset();
            m_finderText = text;
            m_finder.emplace(m_finderText.view());
        }
        for (int i = from; i < m_lineEnd && found < 0; ++i)
            if (m_finder->In((*m_lines)[i])) found = i;
        if (found < 0) {
            // Boundaries that never come, one per part, would cost a scan of the rest of the
            // message each: once failed scans for texts of this length have cost twice the
            // range, an index of their piece length takes over.
            int64_t& failed = m_failedScanLines[gram - 1];
            failed += m_lineEnd - from;
            if (failed > 2 * static_cast<int64_t>(m_lineEnd))
                index = std::make_unique<LineGramIndex>(*m_lines, m_lineEnd, gram);
        }
    }
    if (found < 0) {
        m_missingText = text;
        m_missingFrom = from;
    }
    return found;
}

int MimeParser::FindLastBoundaryLine(int from, const CString& text) const {
    if (text.IsEmpty() || from >= m_lineEnd - 1 || m_lines == nullptr) return m_lineEnd - 1;
    const NoCaseFinder finder(text.view());
    for (int i = m_lineEnd - 1; i >= std::max(from, 0); --i) {
        const std::string_view line = (*m_lines)[i];
        if (line.size() >= text.view().size() ? finder.In(line) : finder.NeedleContains(line))
            return i;
    }
    return m_lineEnd - 1;
}

int MimeParser::FindRegisteredBoundaryLine(int from) const {
    if (m_lines == nullptr) return m_lineEnd;
    const BoundaryRegistry& registry = BoundaryRegistry::Module();
    for (int i = std::max(from, 0); i < m_lineEnd; ++i)
        if (registry.MatchesRegisteredBoundary((*m_lines)[i])) return i;
    return m_lineEnd;
}

int MimeParser::FirstEmptyLine(int from) const {
    if (m_lines == nullptr) return -1;
    from = std::max(from, 0);
    // No empty line in [m_emptyFrom, m_emptyAt) (or none at all after m_emptyFrom).
    if (m_emptyFrom >= 0 && from >= m_emptyFrom && (m_emptyAt < 0 || from <= m_emptyAt)) return m_emptyAt;
    int found = -1;
    for (int i = from; i < m_lineEnd; ++i) {
        if ((*m_lines)[i].empty()) {
            found = i;
            break;
        }
    }
    m_emptyFrom = from;
    m_emptyAt = found;
    return found;
}

CString MimeParser::JoinLines(int first, int end, bool withoutBreaks) const {
    if (m_lines == nullptr) return CString();
    first = std::max(first, 0);
    end = std::min(end, m_lines->GetSize());
    if (first >= end) return CString();
    // Sized once, filled once: linear in the part however many lines it has.
    size_t total = 0;
    for (int i = first; i < end; ++i)
        total += (*m_lines)[i].size() + (withoutBreaks ? 0 : 1);
    std::string text;
    text.reserve(total);
    AdviseLargeBuffer(text.data(), total);
    for (int i = first; i < end; ++i) {
        text += (*m_lines)[i];
        if (!withoutBreaks) text += '\n';
    }
    return CString(std::move(text));
}
