// A private directory under the temporary directory for one test, removed with its files.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
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
        if (m_path.empty()) return;
        if (DIR* dir = opendir(m_path.c_str())) {
            while (dirent* entry = readdir(dir)) {
                const std::string name = entry->d_name;
                if (name == "." || name == "..") continue;
                const std::string full = m_path + "/" + name;
                if (unlink(full.c_str()) != 0) rmdir(full.c_str());
            }
            closedir(dir);
        }
        rmdir(m_path.c_str());
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
