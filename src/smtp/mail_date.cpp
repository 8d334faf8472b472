#include "smtp/mail_date.h"

#include <ctime>

namespace {
// English names whatever the process locale: the header is read by machines.
constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
}  // namespace

bool MailDate::FormatUtc(CString& text) const {
    const std::time_t value = m_time;
    std::tm parts{};
    gmtime_r(&value, &parts);
    text.Format("%s, %02d %s %04d %02d:%02d:%02d +0000", kDays[parts.tm_wday], parts.tm_mday,
                kMonths[parts.tm_mon], parts.tm_year + 1900, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return true;
}
