#include "platform/files.h"

namespace files {

bool ReadWholeFile(const char* path, std::string& out) {
    out.clear();
    const ExclusiveFile file(path);
    if (!file.IsOpen()) return false;
    out.resize(file.Size());
    out.resize(file.ReadAt(0, out.data(), out.size()));
    return true;
}

}  // namespace files
