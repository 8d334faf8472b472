#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/timezone.h"

namespace {

// The POSIX rule at the end of a version 2 or later zone file.
bool ZoneFileRule(const std::string& path, std::string& rule) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    const std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (data.size() < 6 || data.compare(0, 4, "TZif") != 0 || data[4] < '2' || data.back() != '\n')
        return false;
    const size_t start = data.rfind('\n', data.size() - 2);
    if (start == std::string::npos) return false;
    rule = data.substr(start + 1, data.size() - start - 2);
    return true;
}

TimeZoneId ReadLocalZone(const char* tz, int year, TimeZoneInformation& info) {
    std::string rule;
    bool fromFile = false;
    if (tz == nullptr) {
        fromFile = ZoneFileRule("/etc/localtime", rule);
    } else {
        std::string_view zone(tz);
        if (!zone.empty() && zone[0] == ':') zone.remove_prefix(1);
        bool daylight = false;
        if (!zone.empty() && ParsePosixZoneRule(zone, year, info, daylight))
            return daylight ? TimeZoneId::Standard : TimeZoneId::Unknown;
        // A name that climbs out of the zone directory is not a zone.
        if (!zone.empty() && zone.find("..") == std::string_view::npos) {
            const std::string path =
                zone[0] == '/' ? std::string(zone) : "/usr/share/zoneinfo/" + std::string(zone);
            fromFile = ZoneFileRule(path, rule);
        }
    }
    if (!fromFile) {
        info = TimeZoneInformation();  // UTC, as the C library takes an unknown zone
        return TimeZoneId::Unknown;
    }
    bool daylight = false;
    if (!ParsePosixZoneRule(rule, year, info, daylight)) return TimeZoneId::Invalid;
    return daylight ? TimeZoneId::Standard : TimeZoneId::Unknown;
}

}  // namespace

TimeZoneId GetTimeZoneInformation(TimeZoneInformation& info, int year) {
    // Dates are parsed once per message: the zone file is read again only when TZ or the year
    // changes.
    static std::string cachedKey;
    static TimeZoneInformation cachedInfo;
    static TimeZoneId cachedId = TimeZoneId::Invalid;
    static bool cached = false;
    const char* tz = std::getenv("TZ");
    std::string key = tz ? std::string("=") + tz : std::string("-");
    key += '/';
    key += std::to_string(year);
    if (!cached || key != cachedKey) {
        cachedId = ReadLocalZone(tz, year, cachedInfo);
        cachedKey = std::move(key);
        cached = true;
    }
    info = cachedInfo;
    return cachedId;
}

void RefreshZoneSettings() { tzset(); }
