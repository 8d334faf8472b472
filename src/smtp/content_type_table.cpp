#include "smtp/content_type_table.h"

void ContentTypeTable::Load() {
    // A missing or empty table stays unloaded and is tried again on the next lookup.
    mime_types::ReadTable(m_source.c_str(), m_entries);
    m_loaded = !m_entries.empty();
}

bool ContentTypeTable::Lookup(const char* extension, CString& type) {
    if (!m_loaded) Load();
    type = kDefaultType;
    if (!extension || !*extension) return false;
    CString wanted(extension);
    wanted.MakeLower();
    for (const mime_types::Pair& entry : m_entries) {
        if (entry.extension.Find(wanted.c_str()) >= 0) {
            type = entry.contentType;
            break;
        }
    }
    return true;
}
