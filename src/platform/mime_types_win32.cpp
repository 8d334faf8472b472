#include <windows.h>

#include "platform/mime_types.h"

namespace mime_types {

bool ReadTable(const char* path, std::vector<Pair>& pairs) {
    pairs.clear();
    HKEY database = nullptr;
    if (!path || ::RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_ALL_ACCESS, &database) != ERROR_SUCCESS)
        return false;
    // Subkey names of up to 128 characters; a longer one ends the enumeration as any failure does.
    char name[128];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (::RegEnumKeyExA(database, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        pairs.push_back(Pair{CString(name), CString()});
    }
    std::vector<Pair> kept;
    kept.reserve(pairs.size());
    for (Pair& entry : pairs) {
        HKEY typeKey = nullptr;
        if (::RegOpenKeyA(database, entry.contentType.c_str(), &typeKey) != ERROR_SUCCESS) {
            kept.push_back(std::move(entry));
            continue;
        }
        char extension[261];  // 260 for the value, one for a NUL it may lack
        DWORD size = 260;
        DWORD type = 0;
        const LONG rc = ::RegQueryValueExA(typeKey, "Extension", nullptr, &type,
                                           reinterpret_cast<BYTE*>(extension), &size);
        ::RegCloseKey(typeKey);
        if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
        extension[size] = '\0';
        entry.extension = CString(extension);
        entry.extension.MakeLower();
        kept.push_back(std::move(entry));
    }
    ::RegCloseKey(database);
    pairs = std::move(kept);
    return true;
}

}  // namespace mime_types
