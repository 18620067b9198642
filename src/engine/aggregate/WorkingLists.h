#pragma once

#include "engine/fields/LineTime.h"
#include "engine/base/SharedColumn.h"
#include "engine/base/TextList.h"

#include <cstdint>
#include <string>
#include <vector>

namespace backtrail::engine {

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

} // namespace backtrail::engine
