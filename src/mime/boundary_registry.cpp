#include "mime/boundary_registry.h"

#include <optional>

BoundaryRegistry& BoundaryRegistry::Module() {
    static BoundaryRegistry registry;
    return registry;
}

void BoundaryRegistry::RegisterBoundary(const CString& b) {
    if (b.IsEmpty() || !m_known.insert(b.str()).second) return;
    m_entries.push_back(Entry{b.str(), NoCaseFinder(b.view())});
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

bool BoundaryRegistry::MatchesRegisteredBoundary(const CString& line) const {
    if (line.IsEmpty()) return false;
    const std::string_view text = line.view();
    std::optional<NoCaseFinder> lineFinder;  // made only if an entry is longer than the line
    for (size_t i = m_entries.size(); i-- > 0;) {
        const Entry& e = m_entries[i];
        if (e.text.size() <= text.size()) {
            if (e.finder.In(text)) return true;
        } else {
            if (!lineFinder) lineFinder.emplace(text);
            if (lineFinder->In(e.text)) return true;
        }
    }
    return false;
}
