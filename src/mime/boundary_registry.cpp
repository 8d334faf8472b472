#include "mime/boundary_registry.h"

#include <string_view>

BoundaryRegistry& BoundaryRegistry::Module() {
    static BoundaryRegistry registry;
    return registry;
}

void BoundaryRegistry::RegisterBoundary(const CString& b) {
    if (b.IsEmpty() || !m_known.insert(b.str()).second) return;
    CString lowered = b;
    lowered.MakeLower();
    m_entries.push_back(Entry{b.str(), lowered.str()});
}

void BoundaryRegistry::UnregisterBoundary(const CString& b) {
    if (b.IsEmpty()) return;
    for (size_t i = m_entries.size(); i-- > 0;) {
        if (m_entries[i].text == b.str()) {
            m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(i));
            m_known.erase(b.str());
            return;
        }
    }
}

bool BoundaryRegistry::MatchesRegisteredBoundary(std::string_view line) const {
    if (line.empty() || m_entries.empty()) return false;
    // One buffer for every line looked at: a scan over a large message allocates nothing.
    m_lowered.assign(line);
    for (char& ch : m_lowered) ch = AsciiLower(ch);
    const std::string_view text = m_lowered;
    for (size_t i = m_entries.size(); i-- > 0;) {
        const std::string_view entry = m_entries[i].lowered;
        if (entry.size() <= text.size() ? text.find(entry) != std::string_view::npos
                                        : entry.find(text) != std::string_view::npos)
            return true;
    }
    return false;
}
