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

std::uint64_t mixed(std::uint64_t key)
{
    key ^= key >> 33;
    key *= 0xff51afd7ed558ccdULL;
    key ^= key >> 33;
    return key;
}

std::uint64_t pairKey(std::uint32_t entry, std::uint32_t value)
{
    return (std::uint64_t(entry) << 32) | value;
}

} // namespace

std::uint32_t& EntryDetails::recentOf(std::vector<std::uint32_t>& recent, std::uint32_t entry)
{
    if (entry >= recent.size())
        recent.resize(std::max<std::size_t>(entry + 1, recent.size() * 2), 0);
    return recent[entry];
}

void EntryDetails::PairCounts::add(std::uint64_t key, std::uint32_t clicks, std::uint32_t& recent)
{
    if (recent != 0 && keys[recent - 1] == key) {
        counts[recent - 1] = saturatingAdd(counts[recent - 1], clicks);
        return;
    }
    if ((keys.size() + 1) * 2 > table.size())
        grow();
    const std::size_t mask = table.size() - 1;
    for (std::size_t slot = mixed(key) & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t held = table[slot];
        if (held == 0) {
            table[slot] = std::uint32_t(keys.size() + 1);
            keys.push_back(key);
            counts.push_back(clicks);
            recent = std::uint32_t(keys.size());
            return;
        }
        if (keys[held - 1] == key) {
            counts[held - 1] = saturatingAdd(counts[held - 1], clicks);
            recent = held;
            return;
        }
    }
}

void EntryDetails::PairCounts::grow()
{
    table.assign(std::max(kFirstTableSize, table.size() * 2), 0);
    const std::size_t mask = table.size() - 1;
    for (std::uint32_t p = 0; p < keys.size(); ++p) {
        std::size_t slot = mixed(keys[p]) & mask;
        while (table[slot] != 0)
            slot = (slot + 1) & mask;
        table[slot] = p + 1;
    }
}

std::uint32_t EntryDetails::landingNumber(std::string_view landing)
{
    if ((names.size() + 1) * 2 > nameTable.size())
        growNames();
    const std::size_t mask = nameTable.size() - 1;
    for (std::size_t slot = std::hash<std::string_view>()(landing) & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t held = nameTable[slot];
        if (held == 0) {
            nameTable[slot] = std::uint32_t(names.size() + 1);
            names.append(landing);
            return std::uint32_t(names.size() - 1);
        }
        if (names[held - 1] == landing)
            return held - 1;
    }
}

void EntryDetails::growNames()
{
    nameTable.assign(std::max(kFirstTableSize, nameTable.size() * 2), 0);
    const std::size_t mask = nameTable.size() - 1;
    for (std::uint32_t n = 0; n < names.size(); ++n) {
        std::size_t slot = std::hash<std::string_view>()(names[n]) & mask;
        while (nameTable[slot] != 0)
            slot = (slot + 1) & mask;
        nameTable[slot] = n + 1;
    }
}

void EntryDetails::addLanding(std::uint32_t entry, std::string_view landing, std::uint32_t clicks)
{
    const std::uint32_t number = landingNumber(landing);
    landings.add(pairKey(entry, number), clicks, recentOf(recentLanding, entry));
}

void EntryDetails::addDay(std::uint32_t entry, std::int32_t day, std::uint32_t clicks)
{
    days.add(pairKey(entry, std::uint32_t(day)), clicks, recentOf(recentDay, entry));
}

void EntryDetails::merge(const EntryDetails& later, const std::vector<std::uint32_t>& entryOf)
{
    // The later part's page numbers, as this part numbers the same pages.
    std::vector<std::uint32_t> numberOf(later.names.size());
    for (std::size_t n = 0; n < later.names.size(); ++n)
        numberOf[n] = landingNumber(later.names[n]);
    for (std::size_t p = 0; p < later.landings.keys.size(); ++p) {
        const std::uint64_t key = later.landings.keys[p];
        const std::uint32_t entry = entryOf[std::size_t(key >> 32)];
        landings.add(pairKey(entry, numberOf[std::uint32_t(key)]), later.landings.counts[p],
                     recentOf(recentLanding, entry));
    }
    for (std::size_t p = 0; p < later.days.keys.size(); ++p) {
        const std::uint64_t key = later.days.keys[p];
        const std::uint32_t entry = entryOf[std::size_t(key >> 32)];
        days.add(pairKey(entry, std::uint32_t(key)), later.days.counts[p], recentOf(recentDay, entry));
    }
}

void EntryDetails::index(std::size_t entries)
{
    nameTable = {};
    landings.table = {};
    days.table = {};
    recentLanding = {};
    recentDay = {};
    if (entries == 0)
        return;
    std::vector<std::uint32_t> entryOfPair(landings.keys.size());
    for (std::size_t p = 0; p < landings.keys.size(); ++p)
        entryOfPair[p] = std::uint32_t(landings.keys[p] >> 32);
    indexByEntry(entryOfPair, entries, landingStart, landingOrder);
    entryOfPair.resize(days.keys.size());
    for (std::size_t p = 0; p < days.keys.size(); ++p)
        entryOfPair[p] = std::uint32_t(days.keys[p] >> 32);
    indexByEntry(entryOfPair, entries, dayStart, dayOrder);
}

std::vector<LandingClicks> EntryDetails::landingsOf(std::span<const std::size_t> entries) const
{
    std::map<std::string_view, std::uint64_t> sums;
    for (const std::size_t e : entries) {
        if (e + 1 >= landingStart.size())
            continue;
        for (std::uint32_t k = landingStart[e]; k < landingStart[e + 1]; ++k) {
            const std::size_t p = landingOrder[k];
            sums[names[std::uint32_t(landings.keys[p])]] += landings.counts[p];
        }
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
        for (std::uint32_t k = dayStart[e]; k < dayStart[e + 1]; ++k) {
            const std::size_t p = dayOrder[k];
            sums[std::int32_t(std::uint32_t(days.keys[p]))] += days.counts[p];
        }
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
