#include "RowDetails.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace backtrail::engine {

RowDetails SumRowDetails(const WorkingLists& lists, const EntryDetails* collected, std::span<const std::size_t> entries)
{
    RowDetails result;
    for (const std::size_t e : entries) {
        if (e >= lists.size())
            continue;
        if (e < lists.firstSeen.size())
            KeepEarlier(result.firstSeen, lists.firstSeen[e]);
        if (e < lists.lastSeen.size())
            KeepLater(result.lastSeen, lists.lastSeen[e]);
    }
    if (collected) {
        result.landings = collected->landingsOf(entries);
        result.days = collected->daysOf(entries);
        return result;
    }
    // Entries that stand for one line each: the line's landing page and day.
    std::map<std::string_view, std::uint64_t> landings;
    std::map<std::int32_t, std::uint64_t> days;
    for (const std::size_t e : entries) {
        if (e >= lists.size() || lists.hasCounts())
            continue;
        ++landings[lists.landing[e]];
        if (e < lists.firstSeen.size() && lists.firstSeen[e].valid)
            ++days[lists.firstSeen[e].localDay()];
    }
    for (const auto& [path, clicks] : landings)
        result.landings.push_back({std::string(path), clicks});
    std::stable_sort(result.landings.begin(), result.landings.end(),
                     [](const LandingClicks& a, const LandingClicks& b) { return a.clicks > b.clicks; });
    for (const auto& [day, clicks] : days)
        result.days.push_back({day, clicks});
    return result;
}

} // namespace backtrail::engine
