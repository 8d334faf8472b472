// Message dates and zone rules on arbitrary text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

#include "mime/date_parse.h"
#include "platform/timezone.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool pinned = [] {
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
        return true;
    }();
    (void)pinned;
    const std::string text(reinterpret_cast<const char*>(data), size);
    ParseDateIn(text.c_str(), size % 2 == 1, LocalZoneOffsets{3600, 3600});
    ParseDateIn(text.c_str(), false, LocalZoneOffsets{-36000, 0});
    ParseDate(text.c_str(), false);

    TimeZoneInformation info;
    bool daylight = false;
    if (ParsePosixZoneRule(text, 2024, info, daylight) && daylight) {
        for (int month = 0; month <= 13; ++month) DaylightBiasOn(info, month, 1 + month * 2, month % 7);
    }
    if (size >= 5)
        IsOnOrAfterTransition(data[0] - 128, data[1] - 128, data[2] - 128, data[3] - 128, data[4] - 128);
    return 0;
}
