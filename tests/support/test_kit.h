// Builders and scoped fixtures shared by the test folders: message texts, the host's view of
// ids and records, a private temporary directory, a pinned time zone.
#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "zq_mailplugin.h"

// Lines joined with CR LF, each ended by one.
inline std::string CrLf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// Text written with LF line ends, as a server sends it: with CR LF.
inline std::string Crlf(std::string text) {
    for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2) text.insert(at, 1, '\r');
    return text;
}

// A multipart/mixed text: each part is its header lines and body, separated by a blank line.
inline std::string Mixed(const std::string& b, const std::vector<std::pair<std::string, std::string>>& parts,
                         bool close = true) {
    std::string text = "Content-Type: multipart/mixed; boundary=\"" + b + "\"\n\n";
    for (const auto& [headers, body] : parts) text += "--" + b + "\n" + headers + "\n\n" + body;
    return close ? text + "--" + b + "--\n" : text;
}

// The logon record a host hands over for IMAP only: every text but the three given is `empty`
// (a host never passes a null text), every number zero, the SMTP port and the second carried
// number unset. Tests change the rest by name.
inline LogonParameters ImapLogon(ZqHostString empty, ZqHostString host, int32_t port, ZqHostString user,
                                 ZqHostString password) {
    LogonParameters p{};
    p.imapServer = host;
    p.smtpServer = p.extraText1 = p.sentFolder = p.displayName = empty;
    p.smtpUser = p.smtpPassword = p.logonLogText = p.extraText2 = empty;
    p.imapPort = port;
    p.smtpPort = p.extraNumber2 = -1;
    p.userName = user;
    p.password = password;
    p.useImap = 1;
    return p;
}

// The four id bytes of a UID, as the host hands them back.
struct UidRef {
    explicit UidRef(uint32_t uid)
        : bytes{static_cast<uint8_t>(uid), static_cast<uint8_t>(uid >> 8), static_cast<uint8_t>(uid >> 16),
                static_cast<uint8_t>(uid >> 24)},
          ref{4, bytes} {}
    uint8_t bytes[4];
    MessageIdRef ref;
};

inline uint32_t RecordUid(const MailMsg* record) {
    return record->idLength == 4 ? (record->id[0] | record->id[1] << 8 | record->id[2] << 16 |
                                    static_cast<uint32_t>(record->id[3]) << 24)
                                 : 0;
}

inline std::string Text(const char* text) { return text ? text : ""; }

// Sets an environment variable while it lives (unset: null), then puts the old value back.
class EnvGuard {
public:
    EnvGuard(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        value ? setenv(name, value, 1) : unsetenv(name);
        tzset();
    }
    ~EnvGuard() {
        m_old ? setenv(m_name, m_old->c_str(), 1) : unsetenv(m_name);
        tzset();
    }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// Pins the process's time zone for one test.
struct ZoneGuard : EnvGuard {
    explicit ZoneGuard(const char* tz) : EnvGuard("TZ", tz) {}
};

// A private directory `path` for one test, inside a parent that must stay empty otherwise:
// whatever lands beside `path` escaped it. With `asTmpDir`, TMPDIR points into it meanwhile.
class TempDir {
public:
    explicit TempDir(bool asTmpDir = false) : parent(Made()), path(parent + "/tmp") {
        std::filesystem::create_directory(path);
        if (asTmpDir) m_tmpDir.emplace("TMPDIR", path.c_str());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(parent, ignored);
    }

    std::string File(const std::string& name) const { return path + "/" + name; }
    // Writes a file in the directory and answers its full path.
    std::string Write(const std::string& name, const std::string& bytes, mode_t mode = 0644) const {
        const std::string full = File(name);
        std::ofstream(full, std::ios::binary | std::ios::trunc) << bytes;
        chmod(full.c_str(), mode);
        return full;
    }
    static std::string Read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::vector<std::string> Names() const { return List(path, ""); }
    std::vector<std::string> Escaped() const { return List(parent, "tmp"); }

    std::string parent, path;

private:
    // Without its own directory a test would write beside other people's files: it stops here.
    static std::string Made() {
        std::string pattern = "/tmp/zq-test-XXXXXX";
        if (!mkdtemp(pattern.data())) throw std::runtime_error("no temporary directory");
        return pattern;
    }
    static std::vector<std::string> List(const std::string& dir, const std::string& except) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (entry.path().filename() != except) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::optional<EnvGuard> m_tmpDir;
};

inline constexpr const char* kZoneEast = "CET-1CEST,M3.5.0,M10.5.0/3";
inline constexpr const char* kZoneWest = "EST5EDT,M3.2.0,M11.1.0";
inline constexpr const char* kZoneSouth = "AEST-10AEDT,M10.1.0,M4.1.0/3";
