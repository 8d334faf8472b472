// The local time zone's rules as the Windows zone record the date code is written against,
// derived from the POSIX TZ rule of the zone (TZ, or the footer of the zone file).
#pragma once

#include <cstdint>
#include <string_view>

// A transition date: wYear 0 means the weekday form (wDay is the occurrence, 5 the last one
// of the month); otherwise an absolute date in wYear.
struct ZoneTransition {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;      // 0: no transition
    uint16_t wDayOfWeek = 0;  // 0 = Sunday
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;
};

// Biases are minutes, UTC = local time + bias (+ the period's own bias).
struct TimeZoneInformation {
    int32_t Bias = 0;
    ZoneTransition StandardDate;  // the change to standard time
    int32_t StandardBias = 0;
    ZoneTransition DaylightDate;  // the change to daylight time
    int32_t DaylightBias = 0;
};

// Documented values of the zone query. Callers work the period in force out from the
// transition dates; on POSIX a zone with daylight saving always answers Standard, Windows
// answers Daylight during the daylight period.
enum class TimeZoneId : uint32_t {
    Unknown = 0,            // the zone has no daylight saving
    Standard = 1,           // the zone has daylight saving
    Daylight = 2,           // the zone has daylight saving
    Invalid = 0xFFFFFFFFu,  // no rule could be read
};

// Reads the rules of the local zone. POSIX: TZ (a POSIX rule, or a zone name or path, ":"
// allowed), else /etc/localtime; an unset or unknown zone is UTC, as the C library takes it;
// year is used for the rule forms that name a day of the year. Windows: the system's
// GetTimeZoneInformation (year unused).
TimeZoneId GetTimeZoneInformation(TimeZoneInformation& info, int year);

// The C runtime's zone settings read again (tzset), so local-time conversions see a changed zone.
void RefreshZoneSettings();

// Parses one POSIX TZ rule (e.g. "CET-1CEST,M3.5.0,M10.5.0/3"). False when it is malformed.
bool ParsePosixZoneRule(std::string_view rule, int year, TimeZoneInformation& info, bool& hasDaylight);
