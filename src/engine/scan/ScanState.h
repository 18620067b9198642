#pragma once

#include "engine/aggregate/EntryDetails.h"
#include "engine/aggregate/WorkingLists.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace backtrail::engine {

/// Adds one to a counter that stops at its maximum instead of wrapping.
inline void SaturatingIncrement(std::int32_t& counter)
{
    if (counter < std::numeric_limits<std::int32_t>::max())
        ++counter;
}

/// Per-scan counters; all of them are reset when a scan starts.
struct ScanCounters
{
    std::int32_t FilesDone = 0; ///< files read to their end
    std::int32_t LinesScanned = 0; ///< lines read, over all files
    std::int32_t LinksFound = 0; ///< referrer lines found (entries appended to List1)
    bool StopRequested = false; ///< a stop was asked for; only a scan start clears it
};

/// The progress bar of a scan: value and maximum, minimum 0.
struct Progress
{
    double value = 0;
    double maximum = 0;

    /// Sets the range for a file of the given line count: value 0.01, maximum lines + 1.01.
    void setRange(std::int64_t lines)
    {
        value = 0.01;
        maximum = double(lines) + 1.01;
    }
    /// Advances by the given number of lines; the value never passes the maximum.
    void step(std::int64_t lines = 1)
    {
        if (value + double(lines) < maximum)
            value += double(lines);
        else
            value = maximum;
    }
};

/// Everything one scan builds up.
struct ScanState
{
    ScanCounters counters;
    std::int32_t DuplicatesRemoved = 0;
    /// Lines read but not taken as referrer lines because they were crawlers'
    /// or referrer spam and hidden (each line counts once, as a crawler's first).
    std::int64_t HiddenCrawlerLines = 0;
    std::int64_t HiddenSpamLines = 0;
    /// Lines read but not taken because a date range was set and their time
    /// lies outside it (or they have none).
    std::int64_t OutsideRangeLines = 0;
    WorkingLists lists;
    /// Each entry's clicks per landing page and day, when the scan counted them.
    EntryDetails details;
    bool detailsCollected = false;
    Progress progress;

    /// Back to the state of a scan that has not started.
    void reset();
};

} // namespace backtrail::engine
