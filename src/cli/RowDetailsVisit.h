#pragma once

#include "engine/aggregate/EntryDetails.h"
#include "engine/scan/ScanDriver.h"
#include "engine/scan/ScanState.h"

#include <cstddef>
#include <span>
#include <vector>

namespace backtrail::cli {

/// Hands row i's landing pages (most clicks first) and then its days (by
/// date) to the callbacks, as the formats that carry details write them.
/// A referrer row's own entry is read in place, its pages by number
/// (`onLandingNumber(page, clicks)`, the path being the details'
/// landingName(page)); a site row, or rows whose details were not kept beside
/// their entries, get them summed by the scanner (`onLanding(path, clicks)`).
/// `onDay(day, clicks)` takes days since 1970-01-01.
template<class OnLandingNumber, class OnLanding, class OnDay>
void VisitRowDetails(const engine::Scanner& scanner, std::size_t i, bool bySite,
                     const std::vector<std::vector<std::size_t>>& siteMembers, OnLandingNumber&& onLandingNumber,
                     OnLanding&& onLanding, OnDay&& onDay)
{
    const engine::ScanState& state = scanner.state();
    const bool inPlace = !bySite && state.detailsCollected;
    const engine::RowDetails d = inPlace
        ? engine::RowDetails()
        : scanner.details(bySite && i < siteMembers.size() ? std::span<const std::size_t>(siteMembers[i])
                                                           : std::span<const std::size_t>(&i, 1));
    if (inPlace)
        state.details.visitLandingNumbers(i, onLandingNumber);
    for (const engine::LandingClicks& landing : d.landings)
        onLanding(std::string_view(landing.path), landing.clicks);
    if (inPlace)
        state.details.visitDays(i, onDay);
    for (const engine::DayClicks& day : d.days)
        onDay(day.day, day.clicks);
}

} // namespace backtrail::cli
