// A private temporary directory for one test (TMPDIR points into it while it lives), inside a
// parent that must stay empty: whatever lands beside `path` escaped it.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

class PrivateTempDir {
public:
    PrivateTempDir() {
        std::string pattern = "/tmp/zq-sess-XXXXXX";
        if (mkdtemp(pattern.data())) parent = pattern;
        path = parent + "/tmp";
        std::filesystem::create_directory(path);
        if (const char* old = std::getenv("TMPDIR")) m_old = old;
        setenv("TMPDIR", path.c_str(), 1);
    }
    ~PrivateTempDir() {
        m_old ? setenv("TMPDIR", m_old->c_str(), 1) : unsetenv("TMPDIR");
        std::error_code ignored;
        if (!parent.empty()) std::filesystem::remove_all(parent, ignored);
    }
    PrivateTempDir(const PrivateTempDir&) = delete;
    PrivateTempDir& operator=(const PrivateTempDir&) = delete;

    std::string File(const std::string& name) const { return path + "/" + name; }
    std::vector<std::string> Names() const { return List(path, ""); }
    // Entries of the parent besides the temporary directory itself.
    std::vector<std::string> Escaped() const { return List(parent, "tmp"); }
    static std::string Read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    std::string parent;
    std::string path;

private:
    static std::vector<std::string> List(const std::string& dir, const std::string& except) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (entry.path().filename() != except) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::optional<std::string> m_old;
};
