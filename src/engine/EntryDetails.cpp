#include "EntryDetails.h"

#include "LineTime.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>

namespace backtrail::engine {

namespace {

constexpr std::size_t kFirstTableSize = 1024;

std::uint32_t saturatingAdd(std::uint32_t a, std::uint32_t b)
{
    return std::uint32_t(std::min<std::uint64_t>(std::uint64_t(a) + b, UINT32_MAX));
}

std::uint64_t dayKeyOf(std::uint32_t entry, std::int32_t day)
{
    return (std::uint64_t(entry) << 32) | std::uint32_t(day);
}

// The pairs of each entry as ranges of a list of positions: start[e] to
// start[e + 1] in `order` (a counting sort by entry, keeping the pairs' order).
void indexByEntry(const std::vector<std::uint32_t>& entryOfPair, std::size_t entries, std::vector<std::uint32_t>& start,
                  std::vector<std::uint32_t>& order)
{
    start.assign(entries + 1, 0);
    for (const std::uint32_t e : entryOfPair)
        ++start[std::min<std::size_t>(e, entries - 1) + 1];
    for (std::size_t e = 0; e < entries; ++e)
        start[e + 1] += start[e];
    order.assign(entryOfPair.size(), 0);
    std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
    for (std::uint32_t p = 0; p < entryOfPair.size(); ++p)
        order[next[std::min<std::size_t>(entryOfPair[p], entries - 1)]++] = p;
}

} // namespace

std::uint64_t EntryDetails::landingHash(std::uint32_t entry, std::string_view landing)
{
    return std::hash<std::string_view>()(landing) ^ (std::uint64_t(entry) * 0x9e3779b97f4a7c15ULL);
}

std::uint64_t EntryDetails::dayHash(std::uint64_t key)
{
    key ^= key >> 33;
    key *= 0xff51afd7ed558ccdULL;
    key ^= key >> 33;
    return key;
}

void EntryDetails::addLanding(std::uint32_t entry, std::string_view landing, std::uint32_t clicks)
{
    if ((landingEntry.size() + 1) * 2 > landingTable.size())
        growLandings();
    const std::size_t mask = landingTable.size() - 1;
    for (std::size_t slot = landingHash(entry, landing) & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t held = landingTable[slot];
        if (held == 0) {
            landingTable[slot] = std::uint32_t(landingEntry.size() + 1);
            landingText.append(landing);
            landingEntry.push_back(entry);
            landingCount.push_back(clicks);
            return;
        }
        if (landingEntry[held - 1] == entry && landingText[held - 1] == landing) {
            landingCount[held - 1] = saturatingAdd(landingCount[held - 1], clicks);
            return;
        }
    }
}

void EntryDetails::addDay(std::uint32_t entry, std::int32_t day, std::uint32_t clicks)
{
    if ((dayKey.size() + 1) * 2 > dayTable.size())
        growDays();
    const std::uint64_t key = dayKeyOf(entry, day);
    const std::size_t mask = dayTable.size() - 1;
    for (std::size_t slot = dayHash(key) & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t held = dayTable[slot];
        if (held == 0) {
            dayTable[slot] = std::uint32_t(dayKey.size() + 1);
            dayKey.push_back(key);
            dayCount.push_back(clicks);
            return;
        }
        if (dayKey[held - 1] == key) {
            dayCount[held - 1] = saturatingAdd(dayCount[held - 1], clicks);
            return;
        }
    }
}

void EntryDetails::growLandings()
{
    landingTable.assign(std::max(kFirstTableSize, landingTable.size() * 2), 0);
    const std::size_t mask = landingTable.size() - 1;
    for (std::uint32_t p = 0; p < landingEntry.size(); ++p) {
        std::size_t slot = landingHash(landingEntry[p], landingText[p]) & mask;
        while (landingTable[slot] != 0)
            slot = (slot + 1) & mask;
        landingTable[slot] = p + 1;
    }
}

void EntryDetails::growDays()
{
    dayTable.assign(std::max(kFirstTableSize, dayTable.size() * 2), 0);
    const std::size_t mask = dayTable.size() - 1;
    for (std::uint32_t p = 0; p < dayKey.size(); ++p) {
        std::size_t slot = dayHash(dayKey[p]) & mask;
        while (dayTable[slot] != 0)
            slot = (slot + 1) & mask;
        dayTable[slot] = p + 1;
    }
}

void EntryDetails::merge(const EntryDetails& later, const std::vector<std::uint32_t>& entryOf)
{
    for (std::size_t p = 0; p < later.landingEntry.size(); ++p)
        addLanding(entryOf[later.landingEntry[p]], later.landingText[p], later.landingCount[p]);
    for (std::size_t p = 0; p < later.dayKey.size(); ++p) {
        const std::uint64_t key = later.dayKey[p];
        addDay(entryOf[std::size_t(key >> 32)], std::int32_t(std::uint32_t(key)), later.dayCount[p]);
    }
}

void EntryDetails::index(std::size_t entries)
{
    landingTable = {};
    dayTable = {};
    if (entries == 0)
        return;
    indexByEntry(landingEntry, entries, landingStart, landingOrder);
    std::vector<std::uint32_t> dayEntry(dayKey.size());
    for (std::size_t p = 0; p < dayKey.size(); ++p)
        dayEntry[p] = std::uint32_t(dayKey[p] >> 32);
    indexByEntry(dayEntry, entries, dayStart, dayOrder);
}

std::vector<LandingClicks> EntryDetails::landingsOf(std::span<const std::size_t> entries) const
{
    std::map<std::string_view, std::uint64_t> sums;
    for (const std::size_t e : entries) {
        if (e + 1 >= landingStart.size())
            continue;
        for (std::uint32_t k = landingStart[e]; k < landingStart[e + 1]; ++k)
            sums[landingText[landingOrder[k]]] += landingCount[landingOrder[k]];
    }
    std::vector<LandingClicks> result;
    result.reserve(sums.size());
    for (const auto& [path, clicks] : sums)
        result.push_back({std::string(path), clicks});
    // The map gave byte order; a stable sort by clicks keeps it among equals.
    std::stable_sort(result.begin(), result.end(),
                     [](const LandingClicks& a, const LandingClicks& b) { return a.clicks > b.clicks; });
    return result;
}

std::vector<DayClicks> EntryDetails::daysOf(std::span<const std::size_t> entries) const
{
    std::map<std::int32_t, std::uint64_t> sums;
    for (const std::size_t e : entries) {
        if (e + 1 >= dayStart.size())
            continue;
        for (std::uint32_t k = dayStart[e]; k < dayStart[e + 1]; ++k)
            sums[std::int32_t(std::uint32_t(dayKey[dayOrder[k]]))] += dayCount[dayOrder[k]];
    }
    std::vector<DayClicks> result;
    result.reserve(sums.size());
    for (const auto& [day, clicks] : sums)
        result.push_back({day, clicks});
    return result;
}

std::string DayText(std::int32_t day)
{
    const std::chrono::year_month_day date {std::chrono::sys_days {std::chrono::days {day}}};
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%04d-%02u-%02u", int(date.year()), unsigned(date.month()),
                                unsigned(date.day()));
    return std::string(text, std::size_t(std::max(0, n)));
}

bool ReadDayText(std::string_view text, std::int32_t& day)
{
    // A day is the whole of a --since bound's date: midnight's key over the seconds of a day.
    if (text.size() != 10)
        return false;
    const std::optional<std::int64_t> start = ParseRangeBound(text, false);
    if (!start)
        return false;
    day = std::int32_t(*start / 86400 - (*start % 86400 < 0 ? 1 : 0));
    return true;
}

} // namespace backtrail::engine
