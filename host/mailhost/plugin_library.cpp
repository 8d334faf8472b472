#include "plugin_library.h"

#include "system.h"

bool PluginLibrary::Load(const std::string& path, std::string& error) {
    m_handle = hostos::LoadLibrary(path, error);
    if (!m_handle) return false;
    std::string missing;
#define MAILHOST_BIND(name)                                                          \
    name = reinterpret_cast<decltype(&::name)>(hostos::FindSymbol(m_handle, #name)); \
    if (!name) missing += std::string(missing.empty() ? "" : ", ") + #name;
    MAILHOST_EXPORTS(MAILHOST_BIND)
#undef MAILHOST_BIND
    if (!missing.empty()) error = path + " lacks the export(s) " + missing;
    return missing.empty();
}

int PluginLibrary::ExportCount() {
#define MAILHOST_COUNT(name) +1
    return 0 MAILHOST_EXPORTS(MAILHOST_COUNT);
#undef MAILHOST_COUNT
}

PluginLibrary::~PluginLibrary() { hostos::CloseLibrary(m_handle); }
