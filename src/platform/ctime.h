// 32-bit seconds since 1970-01-01 00:00 UTC, as the class library's time value.
#pragma once

#include <cstdint>

#include "platform/cstring.h"

// Gregorian leap years.
inline bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

class CTime {
public:
    CTime() = default;
    explicit CTime(int32_t time) : m_time(time) {}
    // Local-time construction; daylight -1 lets the zone rules decide. Values that do not
    // convert give time 0.
    CTime(int year, int month, int day, int hour, int minute, int second, int daylight = -1);

    static CTime GetCurrentTime();
    // The fields as local time (daylight -1: the zone rules decide); false when they cannot be
    // represented as a 32-bit time.
    static bool LocalToTime(int year, int month, int day, int hour, int minute, int second, int daylight,
                            int32_t& value);
    int32_t GetTime() const { return m_time; }

    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;
    int GetDayOfWeek() const;  // 1 = Sunday

    // strftime-style formatting of the local time.
    CString Format(const char* format) const;
    // The same on UTC.
    CString FormatGmt(const char* format) const;

    friend bool operator==(CTime a, CTime b) { return a.m_time == b.m_time; }

private:
    int32_t m_time = 0;
};
