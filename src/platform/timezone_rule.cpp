// POSIX TZ rules ("CET-1CEST,M3.5.0,M10.5.0/3") read into the Windows-style zone record: the
// rule text is all it needs, so every build has it.
#include <cctype>
#include <cstdlib>
#include <string>

#include "platform/ctime.h"
#include "platform/timezone.h"

namespace {

class RuleReader {
public:
    explicit RuleReader(std::string_view text) : m_text(text) {}
    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return AtEnd() ? '\0' : m_text[m_pos]; }
    bool Take(char ch) {
        if (Peek() != ch) return false;
        ++m_pos;
        return true;
    }

    // "<...>" or three or more letters.
    bool Name() {
        if (Take('<')) {
            const size_t close = m_text.find('>', m_pos);
            if (close == std::string_view::npos || close - m_pos < 3) return false;
            m_pos = close + 1;
            return true;
        }
        size_t n = 0;
        while (std::isalpha(static_cast<unsigned char>(Peek()))) ++m_pos, ++n;
        return n >= 3;
    }

    // [+-]hh[:mm[:ss]] in seconds; hours up to maxHours.
    bool Seconds(int maxHours, int32_t& value) {
        int sign = 1;
        if (Take('-'))
            sign = -1;
        else
            Take('+');
        int32_t parts[3] = {0, 0, 0};
        for (int i = 0; i < 3; ++i) {
            if (i > 0 && !Take(':')) break;
            int digits = 0;
            int32_t v = 0;
            while (std::isdigit(static_cast<unsigned char>(Peek())) && digits < 3) {
                v = v * 10 + (Peek() - '0');
                ++m_pos, ++digits;
            }
            if (digits == 0) return false;
            parts[i] = v;
        }
        if (parts[0] > maxHours || parts[1] > 59 || parts[2] > 59) return false;
        value = sign * (parts[0] * 3600 + parts[1] * 60 + parts[2]);
        return true;
    }

    bool Number(int low, int high, int& value) {
        int digits = 0;
        value = 0;
        while (std::isdigit(static_cast<unsigned char>(Peek())) && digits < 4) {
            value = value * 10 + (Peek() - '0');
            ++m_pos, ++digits;
        }
        return digits > 0 && value >= low && value <= high;
    }

private:
    std::string_view m_text;
    size_t m_pos = 0;
};

// Day of the year (0-based) to an absolute date of that year.
void SetYearDay(int year, int yday, ZoneTransition& date) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int month = 0;
    while (month < 11) {
        const int len = kDays[month] + (month == 1 && IsLeapYear(year) ? 1 : 0);
        if (yday < len) break;
        yday -= len;
        ++month;
    }
    date.wYear = static_cast<uint16_t>(year);
    date.wMonth = static_cast<uint16_t>(month + 1);
    date.wDay = static_cast<uint16_t>(yday + 1);
}

// Mm.w.d, Jn or n, then an optional /time (default 02:00).
bool Transition(RuleReader& in, int year, ZoneTransition& date) {
    date = ZoneTransition();
    if (in.Take('M')) {
        int month = 0, week = 0, weekday = 0;
        if (!in.Number(1, 12, month) || !in.Take('.') || !in.Number(1, 5, week) || !in.Take('.') ||
            !in.Number(0, 6, weekday))
            return false;
        date.wMonth = static_cast<uint16_t>(month);
        date.wDay = static_cast<uint16_t>(week);
        date.wDayOfWeek = static_cast<uint16_t>(weekday);
    } else if (in.Take('J')) {
        int day = 0;
        if (!in.Number(1, 365, day)) return false;
        // Jn never counts February 29.
        int yday = day - 1;
        if (IsLeapYear(year) && yday >= 59) ++yday;
        SetYearDay(year, yday, date);
    } else {
        int day = 0;
        if (!in.Number(0, 365, day)) return false;
        SetYearDay(year, day, date);
    }
    int32_t at = 7200;
    if (in.Take('/') && !in.Seconds(167, at)) return false;
    if (at >= 0 && at < 86400) {
        date.wHour = static_cast<uint16_t>(at / 3600);
        date.wMinute = static_cast<uint16_t>(at / 60 % 60);
        date.wSecond = static_cast<uint16_t>(at % 60);
    }
    return true;
}

}  // namespace

bool ParsePosixZoneRule(std::string_view rule, int year, TimeZoneInformation& info, bool& hasDaylight) {
    info = TimeZoneInformation();
    hasDaylight = false;
    RuleReader in(rule);
    int32_t standard = 0;
    if (!in.Name() || !in.Seconds(24, standard)) return false;
    info.Bias = standard / 60;
    if (in.AtEnd()) return true;
    if (!in.Name()) return false;
    int32_t daylight = standard - 3600;
    if (!in.AtEnd() && in.Peek() != ',' && !in.Seconds(24, daylight)) return false;
    hasDaylight = true;
    info.DaylightBias = (daylight - standard) / 60;
    if (in.AtEnd()) {
        // No rule written: the C library's default, second Sunday of March to first of November.
        info.DaylightDate = {0, 3, 0, 2, 2, 0, 0, 0};
        info.StandardDate = {0, 11, 0, 1, 2, 0, 0, 0};
        return true;
    }
    if (!in.Take(',') || !Transition(in, year, info.DaylightDate) || !in.Take(',') ||
        !Transition(in, year, info.StandardDate))
        return false;
    return in.AtEnd();
}
