#pragma once

#include "engine/aggregate/EntryDetails.h"
#include "engine/aggregate/WorkingLists.h"
#include "engine/fields/LineTime.h"

#include <cstddef>
#include <span>
#include <vector>

namespace backtrail::engine {

/// What the details view shows of a row: its landing pages and days with
/// their clicks, and its first and last seen.
struct RowDetails
{
    std::vector<LandingClicks> landings; ///< most clicks first, equal clicks by path
    std::vector<DayClicks> days; ///< by date
    LineTime firstSeen;
    LineTime lastSeen;
};

/// The details of a scan's entries (rows in working-list order), summed over
/// the entries given (the referrers of a site row, say). `collected` holds
/// each entry's clicks per landing page and day when the scan counted them
/// (null when it did not: an entry that stands for one line then has that
/// line's, one that collapses equal referrers none).
RowDetails SumRowDetails(const WorkingLists& lists, const EntryDetails* collected,
                         std::span<const std::size_t> entries);

} // namespace backtrail::engine
