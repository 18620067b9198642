#pragma once

#include "engine/fields/LineTime.h"

#include <cstdio>
#include <cstdlib>

namespace backtrail::testing {

/// The time a log line writes as "2026-12-08T17:13:23+02:00", read as a scan
/// reads it.
inline engine::LineTime at(int year, int month, int day, int hour, int minute, int second, int offsetMinutes)
{
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", year, month, day, hour, minute, second,
                  offsetMinutes < 0 ? '-' : '+', std::abs(offsetMinutes) / 60, std::abs(offsetMinutes) % 60);
    return engine::FindLineTime(text, engine::W3cFields());
}

} // namespace backtrail::testing
