#include "mime/date_parse.h"

#include <climits>
#include <ctime>
#include <string>
#include <string_view>

#include "platform/cstring.h"
#include "platform/ctime.h"

namespace {

constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// atoi without its undefined overflow: leading white space, a sign, digits, saturating.
int ReadInt(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        v = v * 10 + (s[i] - '0');
        if (v > INT_MAX) {
            v = static_cast<long long>(INT_MAX) + 1;
            break;
        }
    }
    v = negative ? -v : v;
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

// Two characters of a time token from first; missing positions count as absent.
int TimePair(std::string_view token, size_t first) {
    if (first >= token.size()) return 0;
    return ReadInt(token.substr(first, 2));
}

int MonthNumber(std::string_view token) {
    if (token.size() != 3) return 0;
    for (int i = 0; i < 12; ++i) {
        const char* name = kMonths[i];
        if (AsciiLower(token[0]) == AsciiLower(name[0]) && AsciiLower(token[1]) == AsciiLower(name[1]) &&
            AsciiLower(token[2]) == AsciiLower(name[2]))
            return i + 1;
    }
    return 0;
}

// The fields as local time, the zone rules deciding on daylight saving; false when they
// cannot be represented.
bool LocalTime(int year, int month, int day, int hour, int minute, int second, int32_t& value) {
    return CTime::LocalToTime(year, month, day, hour, minute, second, -1, value);
}

}  // namespace

int32_t ParseDateIn(const char* text, bool epoch1904, const LocalZoneOffsets& zone) {
    if (text == nullptr || *text == '\0') return 0;
    CString copy(text);
    copy.Remove('\r');
    copy.Remove('\n');
    copy.Remove('\t');
    copy.TrimLeft();
    copy.TrimRight();
    copy += ' ';
    const std::string_view s = copy.view();

    size_t pos = 0;
    const size_t firstSpace = s.find(' ');
    if (ReadInt(s.substr(0, firstSpace)) <= 0) pos = firstSpace + 1;  // a weekday and its comma

    int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0, zoneValue = 0;
    for (int field = 0; field < 5; ++field) {
        while (pos < s.size() && s[pos] == ' ') ++pos;
        const size_t end = pos < s.size() ? s.find(' ', pos) : s.size();
        if (end == pos || pos >= s.size()) break;
        const std::string_view token = s.substr(pos, end - pos);
        pos = end;
        switch (field) {
            case 0:
                day = ReadInt(token);
                break;
            case 1:
                month = MonthNumber(token);
                break;
            case 2:
                year = ReadInt(token);
                break;
            case 3:
                hour = TimePair(token, 0);
                minute = TimePair(token, 3);
                second = TimePair(token, 6);
                break;
            case 4: {
                const int v = ReadInt(token.substr(1));
                zoneValue = token[0] == '+' ? v : (v == INT_MIN ? INT_MAX : -v);
                break;
            }
        }
    }
    if (day == 0 || month == 0 || year == 0) return 0;

    int32_t local = 0;
    // A date the C library cannot represent (a two-digit year, say) takes its invalid time
    // value and is shifted by the zone like any other.
    if (!LocalTime(year, month, day, hour, minute, second, local)) local = -1;
    int64_t t = local;
    if (zoneValue != 0) {
        const int64_t z = zoneValue;
        const int64_t magnitude = z < 0 ? -z : z;
        const int64_t messageOffset = (z < 0 ? -1 : 1) * (magnitude / 100 * 60 + magnitude % 100) * 60;
        const int64_t localOffset = static_cast<int64_t>(zone.standardOffsetEast) + zone.daylightBias;
        t = t + localOffset - messageOffset;
    }
    // 32-bit time arithmetic wraps, as the time value it stands for.
    uint32_t result = static_cast<uint32_t>(t);
    if (epoch1904) result += kEpoch1904Offset;
    return static_cast<int32_t>(result);
}

int32_t ParseDate(const char* text, bool epoch1904) {
    if (text == nullptr || *text == '\0') return 0;
    return ParseDateIn(text, epoch1904, CurrentLocalZone());
}

bool ParseDateText(CTime& time, const char* text) {
    if (text == nullptr || *text == '\0') return false;
    time = CTime(0);
    time = CTime(ParseDate(text, false));
    return true;
}

int DaysInMonth(int month) {
    if (month == 2) return 28;
    if (month == 4 || month == 6 || month == 9 || month == 11) return 30;
    return 31;
}

bool IsOnOrAfterTransition(int month, int transitionWeekday, int todayWeekday, int today, int occurrence) {
    const int firstWeekday = (((todayWeekday - (today - 1)) % 7) + 7) % 7;
    int day = (((transitionWeekday - firstWeekday) % 7) + 7) % 7 + 1;
    if (occurrence >= 1 && occurrence <= 4) {
        day += 7 * (occurrence - 1);
    } else {
        while (day + 7 <= DaysInMonth(month)) day += 7;
    }
    return today >= day;
}

int32_t DaylightBiasOn(const TimeZoneInformation& zone, int month, int day, int weekday) {
    const ZoneTransition& s = zone.StandardDate;
    const ZoneTransition& d = zone.DaylightDate;
    bool daylight;
    if (month > s.wMonth || month < d.wMonth) {
        daylight = false;
    } else if (month > d.wMonth && month < s.wMonth) {
        daylight = true;
    } else if (month == s.wMonth) {
        const bool after =
            s.wYear != 0 ? day >= s.wDay : IsOnOrAfterTransition(month, s.wDayOfWeek, weekday, day, s.wDay);
        daylight = !after;
    } else {
        const bool after =
            d.wYear != 0 ? day >= d.wDay : IsOnOrAfterTransition(month, d.wDayOfWeek, weekday, day, d.wDay);
        daylight = after;
    }
    return daylight ? -zone.DaylightBias * 60 : -zone.StandardBias * 60;
}

int32_t DaylightBiasNow() {
    tzset();
    const CTime now = CTime::GetCurrentTime();
    TimeZoneInformation zone;
    const TimeZoneId id = GetTimeZoneInformation(zone, now.GetYear());
    // No daylight saving in the zone, or no rules to read: no adjustment.
    if (id != TimeZoneId::Standard) return 0;
    return DaylightBiasOn(zone, now.GetMonth(), now.GetDay(), now.GetDayOfWeek() - 1);
}

LocalZoneOffsets CurrentLocalZone() {
    LocalZoneOffsets offsets;
    tzset();
    TimeZoneInformation zone;
    if (GetTimeZoneInformation(zone, CTime::GetCurrentTime().GetYear()) != TimeZoneId::Invalid)
        offsets.standardOffsetEast = -zone.Bias * 60;
    offsets.daylightBias = DaylightBiasNow();
    return offsets;
}
