// The parts of the system seam the standard library already makes portable.
#include "system.h"

#include <filesystem>

namespace hostos {

bool MakeDirectories(const std::string& path, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec) error = path + ": " + ec.message();
    return !ec;
}

}  // namespace hostos
