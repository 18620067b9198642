#include "EntryDetails.h"

#include "engine/base/HugePages.h"
#include "engine/base/TextHash.h"
#include "engine/fields/LineTime.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>

namespace backtrail::engine {

namespace {

std::uint32_t saturatingAdd(std::uint32_t a, std::uint32_t b)
{
    return std::uint32_t(std::min<std::uint64_t>(std::uint64_t(a) + b, UINT32_MAX));
}

std::uint64_t hashOf(std::uint32_t entry, std::uint32_t value)
{
    return MixHash((std::uint64_t(entry) << 32) | value);
}

} // namespace

void EntryDetails::PairCounts::add(FirstsList& records, std::uint32_t entry, std::uint32_t value, std::uint32_t clicks)
{
    First& mine = records[entry].*member;
    if (mine.value == 0 || mine.value == value + 1) {
        mine.value = value + 1;
        mine.count = saturatingAdd(mine.count, clicks);
        return;
    }
    if (mine.recent != 0 && mine.recentValue == value) {
        Slot& last = table.at(mine.recent - 1);
        last.count = saturatingAdd(last.count, clicks);
        return;
    }
    const std::size_t capacityBefore = table.capacity();
    const auto same = [&](const Slot& held) { return held.entry == entry + 1 && held.value == value; };
    const auto fresh = [&] { return Slot {entry + 1, value, 0}; };
    const auto hashOfHeld = [](const Slot& held) { return hashOf(held.entry - 1, held.value); };
    Slot* pair = table.findOrAdd(hashOf(entry, value), same, fresh, hashOfHeld).first;
    pair->count = saturatingAdd(pair->count, clicks);
    if (table.capacity() != capacityBefore) {
        // The table grew: the entries' last pairs lie elsewhere now.
        for (Firsts& record : records)
            (record.*member).recent = 0;
    }
    mine.recent = std::uint32_t(table.placeOf(*pair) + 1);
    mine.recentValue = value;
}

std::size_t EntryDetails::PairCounts::size(const FirstsList& records) const
{
    return table.size() + merged.size() + values.size()
        + std::size_t(std::count_if(records.begin(), records.end(),
                                    [this](const Firsts& f) { return (f.*member).value != 0; }));
}

void EntryDetails::PairCounts::sortByEntry(std::size_t entries, const FirstsList& records)
{
    // A counting sort by entry (a pair of an entry past the last counts as the
    // last's): each entry's first pair, then its others in table order.
    const std::size_t last = entries == 0 ? 0 : entries - 1;
    auto rowOf = [last](std::size_t entry) { return std::min(entry, last); };
    start.assign(entries + 1, 0);
    for (std::size_t e = 0; e < records.size(); ++e) {
        if ((records[e].*member).value != 0)
            ++start[rowOf(e) + 1];
    }
    table.forEach([&](const Slot& pair) { ++start[rowOf(pair.entry - 1) + 1]; });
    for (const Slot& pair : merged)
        ++start[rowOf(pair.entry - 1) + 1];
    for (std::size_t e = 0; e < entries; ++e)
        start[e + 1] += start[e];
    const std::size_t pairs = entries == 0 ? 0 : start[entries];
    std::vector<std::uint32_t, HugePageAllocator<std::uint32_t>> next(start.begin(), start.end() - 1);
    counts.assign(pairs, 0);
    values.assign(pairs, 0);
    auto put = [&](std::size_t entry, std::uint32_t value, std::uint32_t clicks) {
        const std::uint32_t k = next[rowOf(entry)]++;
        values[k] = value;
        counts[k] = clicks;
    };
    if (entries > 0) {
        for (std::size_t e = 0; e < records.size(); ++e) {
            const First& mine = records[e].*member;
            if (mine.value != 0)
                put(e, mine.value - 1, mine.count);
        }
        table.forEach([&](const Slot& pair) { put(pair.entry - 1, pair.value, pair.count); });
        for (const Slot& pair : merged)
            put(pair.entry - 1, pair.value, pair.count);
    }
    table.clear();
    const bool mayRepeat = !merged.empty() && entries > 0;
    Release(merged);
    if (!mayRepeat)
        return;
    // A pair that came in several ways is there several times: each entry's
    // pairs are put in value order and equal ones summed, moving the entries
    // after it down over the room this frees.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> mine;
    std::uint32_t kept = 0;
    for (std::size_t e = 0; e < entries; ++e) {
        const std::uint32_t from = start[e];
        const std::uint32_t to = start[e + 1];
        start[e] = kept;
        if (to - from == 1) {
            values[kept] = values[from];
            counts[kept++] = counts[from];
            continue;
        }
        mine.clear();
        for (std::uint32_t k = from; k < to; ++k)
            mine.emplace_back(values[k], counts[k]);
        std::sort(mine.begin(), mine.end());
        for (const auto& [value, count] : mine) {
            if (kept > start[e] && values[kept - 1] == value) {
                counts[kept - 1] = saturatingAdd(counts[kept - 1], count);
            } else {
                values[kept] = value;
                counts[kept++] = count;
            }
        }
    }
    start[entries] = kept;
    values.resize(kept);
    counts.resize(kept);
}

void EntryDetails::PairCounts::sumMerged()
{
    std::sort(merged.begin(), merged.end(),
              [](const Slot& a, const Slot& b) { return a.entry != b.entry ? a.entry < b.entry : a.value < b.value; });
    std::size_t kept = 0;
    for (const Slot& pair : merged) {
        if (kept > 0 && merged[kept - 1].entry == pair.entry && merged[kept - 1].value == pair.value)
            merged[kept - 1].count = saturatingAdd(merged[kept - 1].count, pair.count);
        else
            merged[kept++] = pair;
    }
    merged.resize(kept);
    merged.shrink_to_fit();
    sumAt = std::max(sumAt, kept * 2);
}

void EntryDetails::PairCounts::renumber(FirstsList& records, const std::vector<std::uint32_t>& entryOf,
                                        std::uint32_t earlier)
{
    for (Slot& pair : merged)
        pair.entry = entryOf[pair.entry - 1] + 1;
    for (std::size_t e = 0; e < records.size() && e < entryOf.size(); ++e) {
        First& mine = records[e].*member;
        mine.recent = 0;
        if (mine.value != 0 && entryOf[e] < earlier) {
            merged.push_back({entryOf[e] + 1, mine.value - 1, mine.count});
            mine = First();
        }
    }
    table.forEach([&](const Slot& pair) { merged.push_back({entryOf[pair.entry - 1] + 1, pair.value, pair.count}); });
    table.clear();
    if (merged.size() >= sumAt)
        sumMerged();
}

void EntryDetails::PairCounts::prefetch(std::uint32_t entry, std::uint32_t value) const
{
    table.prefetch(hashOf(entry, value));
}

void EntryDetails::PairCounts::addAll(const PairCounts& later, const FirstsList& laterRecords,
                                      const std::vector<std::uint32_t>& entryOf,
                                      const std::vector<std::uint32_t>* valueOf)
{
    auto value = [valueOf](std::uint32_t v) { return valueOf ? (*valueOf)[v] : v; };
    const std::size_t needed = merged.size() + later.size(laterRecords);
    if (needed > merged.capacity())
        merged.reserve(std::max(needed, merged.capacity() * 2));
    for (std::size_t e = 0; e < laterRecords.size() && e < entryOf.size(); ++e) {
        const First& theirs = laterRecords[e].*member;
        if (theirs.value != 0)
            merged.push_back({entryOf[e] + 1, value(theirs.value - 1), theirs.count});
    }
    auto add = [&](const Slot& pair) {
        merged.push_back({entryOf[pair.entry - 1] + 1, value(pair.value), pair.count});
    };
    later.table.forEach(add);
    for (const Slot& pair : later.merged)
        add(pair);
    if (merged.size() >= sumAt)
        sumMerged();
}

std::uint32_t EntryDetails::landingNumber(std::string_view landing)
{
    const auto [slot, added] = nameTable.findOrAdd(
        TextHash(landing), [&](NameSlot held) { return names[held.name - 1] == landing; },
        [&] { return NameSlot {std::uint32_t(names.size() + 1)}; },
        [this](NameSlot held) { return TextHash(names[held.name - 1]); });
    if (added)
        names.append(landing);
    return slot->name - 1;
}

void EntryDetails::addLanding(std::uint32_t entry, std::string_view landing, std::uint32_t clicks)
{
    const std::uint32_t page = landingNumber(landing);
    firstsOf(entry);
    landings.add(firsts, entry, page, clicks);
}

void EntryDetails::addDay(std::uint32_t entry, std::int32_t day, std::uint32_t clicks)
{
    firstsOf(entry);
    days.add(firsts, entry, dayValue(day), clicks);
}

void EntryDetails::addLine(std::uint32_t entry, std::string_view landing, bool hasDay, std::int32_t day,
                           std::uint32_t clicks)
{
    const QueuedLine line {entry, landingNumber(landing), dayValue(day), clicks, hasDay};
    __builtin_prefetch(&firstsOf(entry));
    landings.prefetch(entry, line.page);
    if (hasDay)
        days.prefetch(entry, line.day);
    if (queued == kQueuedLines) {
        count(queue[oldest]);
        queue[oldest] = line;
        oldest = (oldest + 1) % kQueuedLines;
    } else {
        queue[(oldest + queued++) % kQueuedLines] = line;
    }
}

void EntryDetails::count(const QueuedLine& line)
{
    landings.add(firsts, line.entry, line.page, line.clicks);
    if (line.hasDay)
        days.add(firsts, line.entry, line.day, line.clicks);
}

void EntryDetails::flush()
{
    for (; queued > 0; --queued) {
        count(queue[oldest]);
        oldest = (oldest + 1) % kQueuedLines;
    }
    oldest = 0;
}

void EntryDetails::renumber(const std::vector<std::uint32_t>& entryOf, std::uint32_t earlier)
{
    flush();
    landings.renumber(firsts, entryOf, earlier);
    days.renumber(firsts, entryOf, earlier);
    // The records of the entries that keep their order move up, the last first
    // (an entry's new number is never below its old one).
    const std::size_t records = std::min(firsts.size(), entryOf.size());
    std::size_t needed = firsts.size();
    for (std::size_t e = 0; e < records; ++e) {
        if (entryOf[e] >= earlier)
            needed = std::max<std::size_t>(needed, entryOf[e] + 1);
    }
    firsts.resize(needed);
    for (std::size_t e = records; e-- > 0;) {
        if (entryOf[e] < earlier)
            continue; // emptied above; its number's record may still be to move
        const Firsts record = firsts[e];
        firsts[e] = Firsts();
        firsts[entryOf[e]] = record;
    }
}

void EntryDetails::merge(EntryDetails& later, const std::vector<std::uint32_t>& entryOf)
{
    flush();
    later.flush();
    // The later part's page numbers, as this part numbers the same pages.
    std::vector<std::uint32_t> numberOf(later.names.size());
    for (std::size_t n = 0; n < later.names.size(); ++n)
        numberOf[n] = landingNumber(later.names[n]);
    landings.addAll(later.landings, later.firsts, entryOf, &numberOf);
    days.addAll(later.days, later.firsts, entryOf, nullptr);
}

void EntryDetails::index(std::size_t entries)
{
    flush();
    nameTable.clear();
    landings.sortByEntry(entries, firsts);
    days.sortByEntry(entries, firsts);
    Release(firsts);
}

std::vector<LandingClicks> EntryDetails::landingsOf(std::span<const std::size_t> entries) const
{
    // The entries' pairs by page number, pages of several entries summed.
    std::vector<std::pair<std::uint32_t, std::uint64_t>> pairs;
    for (const std::size_t e : entries) {
        if (e + 1 >= landings.start.size())
            continue;
        for (std::uint32_t k = landings.start[e]; k < landings.start[e + 1]; ++k)
            pairs.emplace_back(landings.values[k], landings.counts[k]);
    }
    if (entries.size() > 1)
        std::sort(pairs.begin(), pairs.end());
    std::vector<LandingClicks> result;
    result.reserve(pairs.size());
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        if (k > 0 && pairs[k].first == pairs[k - 1].first && entries.size() > 1)
            result.back().clicks += pairs[k].second;
        else
            result.push_back({std::string(names[pairs[k].first]), pairs[k].second});
    }
    std::sort(result.begin(), result.end(), [](const LandingClicks& a, const LandingClicks& b) {
        return a.clicks != b.clicks ? a.clicks > b.clicks : a.path < b.path;
    });
    return result;
}

std::vector<DayClicks> EntryDetails::daysOf(std::span<const std::size_t> entries) const
{
    std::vector<DayClicks> result;
    for (const std::size_t e : entries) {
        if (e + 1 >= days.start.size())
            continue;
        for (std::uint32_t k = days.start[e]; k < days.start[e + 1]; ++k)
            result.push_back({dayOf(days.values[k]), days.counts[k]});
    }
    std::sort(result.begin(), result.end(), [](const DayClicks& a, const DayClicks& b) { return a.day < b.day; });
    // Days of several entries summed.
    std::size_t kept = 0;
    for (std::size_t k = 0; k < result.size(); ++k) {
        if (kept > 0 && result[kept - 1].day == result[k].day)
            result[kept - 1].clicks += result[k].clicks;
        else
            result[kept++] = result[k];
    }
    result.resize(kept);
    return result;
}

std::string DayText(std::int32_t day)
{
    std::string text;
    AppendDayText(text, day);
    return text;
}

void AppendDayText(std::string& out, std::int32_t day)
{
    const std::chrono::year_month_day date {std::chrono::sys_days {std::chrono::days {day}}};
    const int year = int(date.year());
    if (year < 0 || year > 9999) {
        char text[16];
        const int n
            = std::snprintf(text, sizeof text, "%04d-%02u-%02u", year, unsigned(date.month()), unsigned(date.day()));
        out.append(text, std::size_t(std::max(0, n)));
        return;
    }
    const unsigned month = unsigned(date.month());
    const unsigned dayOfMonth = unsigned(date.day());
    const char text[10] = {char('0' + year / 1000),
                           char('0' + year / 100 % 10),
                           char('0' + year / 10 % 10),
                           char('0' + year % 10),
                           '-',
                           char('0' + month / 10),
                           char('0' + month % 10),
                           '-',
                           char('0' + dayOfMonth / 10),
                           char('0' + dayOfMonth % 10)};
    out.append(text, sizeof text);
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
