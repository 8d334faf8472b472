#include "platform/ctime.h"

#include <climits>
#include <cstdint>
#include <ctime>

namespace {
std::tm LocalParts(int32_t t) {
    std::time_t value = t;
    std::tm parts{};
    localtime_r(&value, &parts);
    return parts;
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
    gmtime_r(&value, &parts);
    return FormatParts(format, parts);
}
