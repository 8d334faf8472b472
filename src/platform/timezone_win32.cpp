#include <windows.h>

#include <ctime>

#include "platform/timezone.h"

namespace {
ZoneTransition FromSystemTime(const SYSTEMTIME& t) {
    return ZoneTransition{t.wYear, t.wMonth,  t.wDayOfWeek, t.wDay,
                          t.wHour, t.wMinute, t.wSecond,    t.wMilliseconds};
}
}  // namespace

TimeZoneId GetTimeZoneInformation(TimeZoneInformation& info, int) {
    TIME_ZONE_INFORMATION zone{};
    const DWORD id = ::GetTimeZoneInformation(&zone);
    if (id == TIME_ZONE_ID_INVALID) return TimeZoneId::Invalid;
    info.Bias = zone.Bias;
    info.StandardDate = FromSystemTime(zone.StandardDate);
    info.StandardBias = zone.StandardBias;
    info.DaylightDate = FromSystemTime(zone.DaylightDate);
    info.DaylightBias = zone.DaylightBias;
    return static_cast<TimeZoneId>(id);
}

void RefreshZoneSettings() { _tzset(); }
