// Pins the process's time zone for one test and restores it afterwards.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

class ZoneGuard {
public:
    explicit ZoneGuard(const char* tz) {
        if (const char* old = std::getenv("TZ")) m_old = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ZoneGuard() {
        m_old ? setenv("TZ", m_old->c_str(), 1) : unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> m_old;
};

inline constexpr const char* kZoneEast = "CET-1CEST,M3.5.0,M10.5.0/3";
inline constexpr const char* kZoneWest = "EST5EDT,M3.2.0,M11.1.0";
inline constexpr const char* kZoneSouth = "AEST-10AEDT,M10.1.0,M4.1.0/3";
