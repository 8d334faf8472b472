// Message dates ("Date:" values, the date that ends a "Received:" header) to time values.
#pragma once

#include <cstdint>

#include "platform/ctime.h"
#include "platform/timezone.h"

// Seconds from 1904-01-01 to 1970-01-01, added for the 1904 epoch.
inline constexpr uint32_t kEpoch1904Offset = 2082844800u;

// The local zone as the date arithmetic sees it: the standard offset east of UTC and the
// daylight adjustment in force, both in seconds.
struct LocalZoneOffsets {
    int32_t standardOffsetEast = 0;
    int32_t daylightBias = 0;
};

// Reads "[weekday,] day month year time zone" by token position. The fields are taken as local
// time, then shifted by the difference between the message's zone and the local zone (with the
// daylight adjustment of the current moment). A text that cannot be converted (no day, month
// name or year) gives 0; a date the C library cannot represent gives -1 shifted by the zone.
int32_t ParseDate(const char* text, bool epoch1904);

// The same with the local zone given (ParseDate passes the current one).
int32_t ParseDateIn(const char* text, bool epoch1904, const LocalZoneOffsets& zone);

// False, time untouched, for a null or empty text; otherwise time = ParseDate(text, false).
bool ParseDateText(CTime& time, const char* text);

// The local zone's standard offset east of UTC and the daylight adjustment in force now.
LocalZoneOffsets CurrentLocalZone();

// The bias of the period in force now, as seconds to add to local standard time.
int32_t DaylightBiasNow();

// The same for a given day (month 1-12, day of month, weekday 0 = Sunday) under given rules.
// The whole transition day counts as the new period.
int32_t DaylightBiasOn(const TimeZoneInformation& zone, int month, int day, int weekday);

// True when today is on or after the occurrence-th transitionWeekday of the month (5: the last
// one, found with DaysInMonth).
bool IsOnOrAfterTransition(int month, int transitionWeekday, int todayWeekday, int today, int occurrence);

// 28 for February in every year, 30 for April, June, September, November, else 31.
int DaysInMonth(int month);
