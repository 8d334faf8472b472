// A private directory under the temporary directory for one test, removed with its files.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class ScopedTempDir {
public:
    ScopedTempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/zq-smtp-XXXXXX";
        if (mkdtemp(pattern.data())) m_path = pattern;
    }
    ~ScopedTempDir() {
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;

    const std::string& Path() const { return m_path; }

    // Writes a file in the directory and answers its full path.
    std::string Write(const std::string& name, const std::string& bytes, mode_t mode = 0644) const {
        const std::string full = m_path + "/" + name;
        std::ofstream(full, std::ios::binary | std::ios::trunc) << bytes;
        chmod(full.c_str(), mode);
        return full;
    }

private:
    std::string m_path;
};
