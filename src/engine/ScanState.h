#pragma once

#include "EntryDetails.h"
#include "LineTime.h"
#include "SharedColumn.h"
#include "TextList.h"

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

/// The working lists of a scan. Entry i of each list belongs to the same log
/// line: List1 holds the referrer, List2 what the rest of the line gives the
/// row, and the side lists whether the line was a crawler's and the page that
/// the line requested.
struct WorkingLists
{
    TextList List1;
    /// The rest of each referrer line (the line without its referrer) as all
    /// that the rows need of it: the type number ExtensionIndex gives it.
    std::vector<std::uint8_t> List2;
    TextList landing;
    std::vector<std::uint8_t> bot;
    /// Click counts written by duplicate removal; empty until it runs. A scan
    /// that collapses equal referrers as it reads fills them before that: each
    /// entry then stands for as many referrer lines as its count says.
    std::vector<std::uint32_t> counts;
    /// When each entry's lines were first and last seen (no time: no line of
    /// the entry had one). Lists of entries that stand for one line each share
    /// one column for both.
    SharedColumn<LineTime> firstSeen;
    SharedColumn<LineTime> lastSeen;

    void clear();
    std::size_t size() const { return List1.size(); }
    /// True once duplicate removal has written the click counts.
    bool hasCounts() const { return countsWritten; }
    bool isBot(std::size_t i) const { return i < bot.size() && bot[i] != 0; }
    /// The entry as the scan's data model has it: after duplicate removal the
    /// seven-digit zero-filled click count, "|" and the address, else the bare address.
    std::string entryText(std::size_t i) const;
    void appendEntryText(std::size_t i, std::string& out) const;

    bool countsWritten = false;
    /// No two entries have the same referrer and bot flag: the lists come
    /// from a scan that collapsed equal referrers as it read.
    bool distinct = false;
};

/// The click count of an entry as its text: seven digits, zero-filled on the left.
std::string CountText(std::uint32_t count);

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
