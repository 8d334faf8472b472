#include "session/created_files.h"

#include <string>
#include <unordered_map>

namespace created_files {
namespace {
// Function-local, so that it exists before the first attachment whatever the load order.
std::unordered_map<std::string, files::FileIdentity>& Known() {
    static std::unordered_map<std::string, files::FileIdentity> known;
    return known;
}
}  // namespace

void Remember(const CString& path, const files::FileIdentity& identity) { Known()[path.str()] = identity; }

bool Release(const char* path) noexcept {
    if (!path || !*path) return false;
    try {
        auto& known = Known();
        const auto found = known.find(path);
        if (found == known.end()) return false;
        const bool ours = files::IsSameFile(path, found->second);
        known.erase(found);
        return ours && files::Remove(path);
    } catch (...) {
        return false;  // the lookup's key could not be built: nothing is deleted
    }
}

int Count() noexcept { return static_cast<int>(Known().size()); }

}  // namespace created_files
