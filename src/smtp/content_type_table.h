// Content types by file extension, read once from the system's table (shortest extension first).
#pragma once

#include <vector>

#include "platform/cstring.h"
#include "platform/mime_types.h"

class ContentTypeTable {
public:
    static constexpr const char* kDefaultType = "application/octet-stream";

    // Empty and not loaded; the table is read on the first lookup. Tests name their own table.
    explicit ContentTypeTable(const char* source = mime_types::kSystemTable) : m_source(source) {}
    virtual ~ContentTypeTable() = default;

    // Always sets the type. The first entry whose extension contains the given one (lower-cased)
    // anywhere wins: the exact extension when the table has it, else the shortest one holding
    // it ("c" finds ".c", "tex" finds ".text"); no match gives the default type. Answers false
    // only for an empty extension (type: the default).
    bool Lookup(const char* extension, CString& type);

    bool IsLoaded() const { return m_loaded; }
    int GetCount() const { return static_cast<int>(m_entries.size()); }

private:
    void Load();

    CString m_source;
    std::vector<mime_types::Pair> m_entries;
    bool m_loaded = false;
};
