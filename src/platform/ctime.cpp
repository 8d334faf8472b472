#include "platform/ctime.h"

#include <climits>
#include <cstdint>
#include <ctime>

namespace {
// The calendar date in UTC by arithmetic: the Windows runtime refuses every time before 1970, and
// a day limit or a message date can reach back to 1901.
std::tm UtcParts(int64_t t) {
    std::tm parts{};
    int64_t days = t / 86400, seconds = t % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    parts.tm_hour = static_cast<int>(seconds / 3600);
    parts.tm_min = static_cast<int>(seconds / 60 % 60);
    parts.tm_sec = static_cast<int>(seconds % 60);
    parts.tm_wday = static_cast<int>((days % 7 + 11) % 7);  // 1970-01-01 was a Thursday
    // Years counted from March, so that the leap day ends a year.
    const int64_t z = days + 719468, era = (z >= 0 ? z : z - 146096) / 146097, dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const int64_t year = yearOfEra + era * 400 + (monthFromMarch >= 10);
    parts.tm_mday = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    parts.tm_mon = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 2 : monthFromMarch - 10);
    parts.tm_year = static_cast<int>(year - 1900);
    parts.tm_yday = static_cast<int>(monthFromMarch >= 10 ? dayOfYear - 306 : dayOfYear + 59 + IsLeapYear(year));
    return parts;
}

// Where the runtime has no local time for a moment, its UTC date stands in: at most a day off.
std::tm LocalParts(int32_t t) {
    std::time_t value = t;
    std::tm parts{};
    return localtime_r(&value, &parts) ? parts : UtcParts(t);
}

CString FormatParts(const char* format, const std::tm& parts) {
    char buffer[256];
    const size_t n = std::strftime(buffer, sizeof buffer, format ? format : "", &parts);
    return CString(buffer, static_cast<int>(n));
}
}  // namespace

bool CTime::LocalToTime(int year, int month, int day, int hour, int minute, int second, int daylight,
                        int32_t& value) {
    if (year < INT_MIN + 1900 + 1 || month < INT_MIN + 1) return false;
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = daylight;
    // -1 is both mktime's failure and the valid time one second before 1970 UTC: only a
    // success fills in the day of the year.
    parts.tm_yday = -1;
    const std::time_t t = std::mktime(&parts);
    if (parts.tm_yday < 0 || t < INT32_MIN || t > INT32_MAX) return false;
    value = static_cast<int32_t>(t);
    return true;
}

CTime::CTime(int year, int month, int day, int hour, int minute, int second, int daylight) {
    if (!LocalToTime(year, month, day, hour, minute, second, daylight, m_time)) m_time = 0;
}

CTime CTime::GetCurrentTime() { return CTime(static_cast<int32_t>(std::time(nullptr))); }

int CTime::GetYear() const { return LocalParts(m_time).tm_year + 1900; }
int CTime::GetMonth() const { return LocalParts(m_time).tm_mon + 1; }
int CTime::GetDay() const { return LocalParts(m_time).tm_mday; }
int CTime::GetHour() const { return LocalParts(m_time).tm_hour; }
int CTime::GetMinute() const { return LocalParts(m_time).tm_min; }
int CTime::GetSecond() const { return LocalParts(m_time).tm_sec; }
int CTime::GetDayOfWeek() const { return LocalParts(m_time).tm_wday + 1; }

CString CTime::Format(const char* format) const { return FormatParts(format, LocalParts(m_time)); }

CString CTime::FormatGmt(const char* format) const {
    std::time_t value = m_time;
    std::tm parts{};
    return FormatParts(format, gmtime_r(&value, &parts) ? parts : UtcParts(m_time));
}
