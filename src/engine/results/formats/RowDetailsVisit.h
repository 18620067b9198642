#pragma once

#include "Formats.h"

#include "engine/aggregate/EntryDetails.h"
#include "engine/results/RowDetails.h"

#include <cstddef>
#include <span>
#include <vector>

namespace backtrail::engine {

/// Hands row i's landing pages (most clicks first) and then its days (by
/// date) to the callbacks, as the formats that carry details write them.
/// A referrer row's own entry is read in place, its pages by number
/// (`onLandingNumber(page, clicks)`, the path being the details'
/// landingName(page)); a site row, or rows whose details were not kept beside
/// their entries, get them summed (`onLanding(path, clicks)`).
/// `onDay(day, clicks)` takes days since 1970-01-01.
template<class OnLandingNumber, class OnLanding, class OnDay>
void VisitRowDetails(const ResultsToWrite& scan, std::size_t i, bool bySite,
                     const std::vector<std::vector<std::size_t>>& siteMembers, OnLandingNumber&& onLandingNumber,
                     OnLanding&& onLanding, OnDay&& onDay)
{
    const bool inPlace = !bySite && scan.details;
    const RowDetails d = inPlace || !scan.lists
        ? RowDetails()
        : SumRowDetails(*scan.lists, scan.details,
                        bySite && i < siteMembers.size() ? std::span<const std::size_t>(siteMembers[i])
                                                         : std::span<const std::size_t>(&i, 1));
    if (inPlace)
        scan.details->visitLandingNumbers(i, onLandingNumber);
    for (const LandingClicks& landing : d.landings)
        onLanding(std::string_view(landing.path), landing.clicks);
    if (inPlace)
        scan.details->visitDays(i, onDay);
    for (const DayClicks& day : d.days)
        onDay(day.day, day.clicks);
}

} // namespace backtrail::engine
