// The module-wide list of multipart boundaries being walked: the fallback that ends a part
// whose own end cannot be found.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/cstring.h"

class BoundaryRegistry {
public:
    // The one registry of the module, alive until the module unloads.
    static BoundaryRegistry& Module();

    // Appends b unless it is empty or already listed (exact bytes).
    void RegisterBoundary(const CString& b);
    // Removes the last entry identical to b.
    void UnregisterBoundary(const CString& b);
    // True when the line and some entry contain one another, case-insensitively (the longer the
    // shorter; at equal lengths the entry the line). False for an empty line.
    bool MatchesRegisteredBoundary(std::string_view line) const;

    // Drops every entry, as unloading the module does (and as a fuzz run needs between inputs).
    void Clear() {
        m_entries.clear();
        m_known.clear();
    }

    bool Contains(const CString& b) const { return m_known.count(b.str()) != 0; }
    int GetCount() const { return static_cast<int>(m_entries.size()); }

private:
    struct Entry {
        std::string text;
        std::string lowered;
    };
    std::vector<Entry> m_entries;
    std::unordered_set<std::string> m_known;  // spares a scan of the list on every registration
    mutable std::string m_lowered;
};

// Shorthands on the module's registry.
inline void RegisterBoundary(const CString& b) { BoundaryRegistry::Module().RegisterBoundary(b); }
inline void UnregisterBoundary(const CString& b) { BoundaryRegistry::Module().UnregisterBoundary(b); }
inline bool MatchesRegisteredBoundary(std::string_view line) {
    return BoundaryRegistry::Module().MatchesRegisteredBoundary(line);
}
