#include "ScanPart.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace backtrail::engine {

namespace {

// A slot: the upper half of the entry's hash, the bot flag, and the entry's
// number + 1 (0: an empty slot), so that a probe settles most mismatches, the
// bot flag included, without reading the entry.
constexpr std::uint64_t kTagMask = 0xffffffff00000000ULL;
constexpr std::uint64_t kBotBit = 0x80000000ULL;
constexpr std::uint64_t kIndexMask = kBotBit - 1;

std::uint64_t keyOf(std::uint64_t hash, bool bot)
{
    return (hash & kTagMask) | (bot ? kBotBit : 0);
}

} // namespace

std::uint64_t ScanPart::hashOf(std::string_view text, bool bot)
{
    const std::uint64_t hash = TextHash(text);
    return bot ? hash ^ kBotHash : hash;
}

std::size_t ScanPart::find(std::string_view referrer, bool bot, std::uint64_t hash) const
{
    const std::uint64_t key = keyOf(hash, bot);
    const EntrySlot* slot = entryTable.find(hash, [&](EntrySlot held) {
        return (held.bits & ~kIndexMask) == key && lists.List1[std::size_t(held.bits & kIndexMask) - 1] == referrer;
    });
    return slot ? std::size_t(slot->bits & kIndexMask) - 1 : kNone;
}

void ScanPart::prefetch(std::uint64_t hash, bool bot, bool text) const
{
    const EntrySlot* held = entryTable.home(hash);
    if (held && !held->empty() && (held->bits & ~kIndexMask) == keyOf(hash, bot)) {
        const std::size_t k = std::size_t(held->bits & kIndexMask) - 1;
        if (text) {
            // And what a found entry's merge writes.
            __builtin_prefetch(lists.List1[k].data());
            __builtin_prefetch(&lists.counts[k]);
            __builtin_prefetch(&lists.firstSeen[k]);
            __builtin_prefetch(&lists.lastSeen[k]);
        } else
            lists.List1.prefetch(k);
    }
}

void ScanPart::insert(std::uint64_t hash, bool bot)
{
    // The entry about to be appended gets number size().
    if (entryTable.full())
        rehash(entryTable.capacity() * 2);
    entryTable.place(hash, {keyOf(hash, bot) | std::uint64_t(size() + 1)});
    hashes.push_back(hash);
}

void ScanPart::reserve(std::size_t entries)
{
    // Not past what a part may number (and a wrong hint costs memory only).
    entries = std::min<std::size_t>(entries, std::size_t(1) << 28);
    if (entries <= size())
        return;
    if (collapsing) {
        if (EntryTable::capacityFor(entries) > entryTable.capacity())
            rehash(std::max(entryTable.capacity() * 2, EntryTable::capacityFor(entries)));
        hashes.reserve(entries);
        lists.counts.reserve(entries);
    }
    lists.List1.reserve(entries);
    lists.landing.reserve(entries);
    lists.bot.reserve(entries);
    lists.List2.reserve(entries);
    lists.firstSeen.reserve(entries);
    if (collapsing)
        lists.lastSeen.reserve(entries);
}

void ScanPart::rehash(std::size_t tableSize)
{
    // From the kept hashes, in entry order: the slots' own bits do not tell where they go.
    entryTable.reset(tableSize);
    for (std::size_t k = 0; k < size(); ++k)
        entryTable.place(hashes[k], {keyOf(hashes[k], lists.bot[k] != 0) | std::uint64_t(k + 1)});
}

void ScanPart::bump(std::size_t entry, std::uint32_t by)
{
    std::uint32_t& count = lists.counts[entry];
    count = std::uint32_t(std::min<std::uint64_t>(std::uint64_t(count) + by, UINT32_MAX));
}

void ScanPart::append(std::string_view referrer, std::string_view landing, std::uint8_t bot, std::uint8_t type,
                      std::uint32_t count, const LineTime& firstSeen, const LineTime& lastSeen)
{
    lists.List1.append(referrer);
    appendLanding(landing);
    lists.bot.push_back(bot);
    lists.List2.push_back(type);
    lists.firstSeen.push_back(firstSeen);
    if (collapsing || !lists.lastSeen.empty())
        lists.lastSeen.push_back(lastSeen);
    else if (!(lastSeen == firstSeen)) {
        // The first entry whose lines were not one line: its times part.
        lists.lastSeen = lists.firstSeen;
        lists.lastSeen[size() - 1] = lastSeen;
    }
    if (collapsing)
        lists.counts.push_back(count);
}

std::size_t ScanPart::landingSlot(std::string_view landing)
{
    // Length and the first and last eight bytes tell most pages of a site apart.
    std::uint64_t h = landing.size();
    if (landing.size() >= 8) {
        std::uint64_t first;
        std::uint64_t last;
        std::memcpy(&first, landing.data(), 8);
        std::memcpy(&last, landing.data() + landing.size() - 8, 8);
        h ^= first * 0x9e3779b97f4a7c15ULL ^ last * 0xc2b2ae3d27d4eb4fULL;
    } else {
        for (const char c : landing)
            h = h * 0x100000001b3ULL ^ std::uint8_t(c);
    }
    h ^= h >> 29;
    return std::size_t((h * 0xbf58476d1ce4e5b9ULL) >> 56) % kRecentLandings;
}

void ScanPart::appendLanding(std::string_view landing)
{
    std::string_view& recent = recentLandings[landingSlot(landing)];
    if (!landing.empty() && recent == landing) {
        lists.landing.appendShared(recent);
        return;
    }
    lists.landing.append(landing);
    recent = lists.landing[lists.landing.size() - 1];
}

void ScanPart::fillLastSeen(WorkingLists& entries)
{
    if (entries.lastSeen.size() < entries.firstSeen.size())
        entries.lastSeen = entries.firstSeen;
}

std::size_t ScanPart::addEntry(std::string_view referrer, std::string_view landing, std::uint8_t bot, std::uint8_t type,
                               std::uint32_t count, const LineTime& firstSeen, const LineTime& lastSeen)
{
    links += count;
    if (collapsing) {
        const std::uint64_t hash = hashOf(referrer, bot);
        const std::size_t found = find(referrer, bot, hash);
        if (found != kNone) {
            bump(found, count);
            KeepEarlier(lists.firstSeen[found], firstSeen);
            KeepLater(lists.lastSeen[found], lastSeen);
            return found;
        }
        insert(hash, bot);
    }
    append(referrer, landing, bot, type, count, firstSeen, lastSeen);
    return size() - 1;
}

void ScanPart::merge(ScanPart&& later)
{
    // Nothing here yet: the later part is taken over whole rather than copied.
    if (lines == 0 && links == 0 && hiddenCrawlerLines == 0 && hiddenSpamLines == 0 && outsideRangeLines == 0
        && size() == 0 && later.collapsing == collapsing && later.detailed == detailed) {
        *this = std::move(later);
        later = ScanPart(collapsing, detailed);
        return;
    }
    lines += later.lines;
    links += later.links;
    hiddenCrawlerLines += later.hiddenCrawlerLines;
    hiddenSpamLines += later.hiddenSpamLines;
    outsideRangeLines += later.outsideRangeLines;
    if (!collapsing) {
        // Every entry stays: the later part's bytes are taken over, not copied.
        auto appendAll = [](auto& to, const auto& from) { to.insert(to.end(), from.begin(), from.end()); };
        lists.List1.append(std::move(later.lists.List1));
        lists.landing.append(std::move(later.lists.landing));
        appendAll(lists.bot, later.lists.bot);
        appendAll(lists.List2, later.lists.List2);
        if (!lists.lastSeen.empty() || !later.lists.lastSeen.empty()) {
            fillLastSeen(lists);
            fillLastSeen(later.lists);
            lists.lastSeen.append(later.lists.lastSeen);
        }
        lists.firstSeen.append(later.lists.firstSeen);
        later = ScanPart(false);
        return;
    }
    if (later.size() > 2 * size()) {
        // Far more entries come than are here: this part's few are put
        // before the later part's many, which stay where they are.
        later.takeEarlier(std::move(*this));
        *this = std::move(later);
        later = ScanPart(true, detailed);
        return;
    }
    const WorkingLists& more = later.lists;
    // Where each of the later part's entries lands here, for its details.
    std::vector<std::uint32_t> entryOf(detailed ? more.size() : 0);
    // The later part's hashes are known, so each probe's slot, and the entry
    // it holds, are fetched into the cache a few entries ahead.
    constexpr std::size_t kAhead = 16;
    constexpr std::size_t kNear = 8;
    constexpr std::size_t kNearest = 4;
    const std::vector<std::uint64_t>& hashOfLater = later.hashes;
    const bool hashed = hashOfLater.size() == more.size();
    for (std::size_t j = 0; j < more.size(); ++j) {
        const std::string_view referrer = more.List1[j];
        const bool bot = more.isBot(j);
        const std::uint64_t hash = hashed ? hashOfLater[j] : hashOf(referrer, bot);
        if (hashed && entryTable.capacity() != 0) {
            if (j + kAhead < more.size())
                entryTable.prefetch(hashOfLater[j + kAhead]);
            if (j + kNear < more.size())
                prefetch(hashOfLater[j + kNear], more.isBot(j + kNear), false);
            if (j + kNearest < more.size())
                prefetch(hashOfLater[j + kNearest], more.isBot(j + kNearest), true);
        }
        std::size_t found = find(referrer, bot, hash);
        if (found != kNone) {
            bump(found, more.counts[j]);
            KeepEarlier(lists.firstSeen[found], more.firstSeen[j]);
            KeepLater(lists.lastSeen[found], more.lastSeen[j]);
        } else {
            insert(hash, bot);
            append(referrer, more.landing[j], more.bot[j], more.List2[j], more.counts[j], more.firstSeen[j],
                   more.lastSeen[j]);
            found = size() - 1;
        }
        if (detailed)
            entryOf[j] = std::uint32_t(found);
    }
    if (detailed)
        detailTables.merge(later.detailTables, entryOf);
    later = ScanPart(true, detailed);
}

namespace {

// Keeps the values at the given ascending positions, in that order, after all of `earlier`'s.
template<class Vector> void keepAfter(Vector& values, const Vector& earlier, const std::vector<std::size_t>& positions)
{
    std::size_t out = 0;
    for (const std::size_t p : positions)
        values[out++] = values[p];
    values.resize(out);
    values.insert(values.begin(), earlier.begin(), earlier.end());
}

} // namespace

void ScanPart::takeEarlier(ScanPart&& earlier)
{
    // Counters were added to `earlier` by the caller; they are taken over here.
    lines = earlier.lines;
    links = earlier.links;
    hiddenCrawlerLines = earlier.hiddenCrawlerLines;
    hiddenSpamLines = earlier.hiddenSpamLines;
    outsideRangeLines = earlier.outsideRangeLines;
    WorkingLists& first = earlier.lists;
    const std::size_t before = earlier.size();
    if (earlier.hashes.size() != before) {
        earlier.hashes.clear();
        for (std::size_t i = 0; i < before; ++i)
            earlier.hashes.push_back(hashOf(first.List1[i], first.isBot(i)));
    }
    // An entry here that the earlier part has too is counted into the
    // earlier one's, which keeps its landing page, bot flag and type; the
    // others keep their order after the earlier part's.
    constexpr std::uint32_t kNotShared = UINT32_MAX;
    std::vector<std::uint32_t> entryOf(size(), kNotShared);
    constexpr std::size_t kAhead = 8;
    for (std::size_t i = 0; i < before; ++i) {
        if (i + kAhead < before)
            entryTable.prefetch(earlier.hashes[i + kAhead]);
        const bool bot = first.isBot(i);
        const std::size_t found = find(first.List1[i], bot, earlier.hashes[i]);
        if (found == kNone)
            continue;
        entryOf[found] = std::uint32_t(i);
        earlier.bump(i, lists.counts[found]);
        KeepEarlier(first.firstSeen[i], lists.firstSeen[found]);
        KeepLater(first.lastSeen[i], lists.lastSeen[found]);
    }
    std::vector<std::size_t> kept;
    kept.reserve(size());
    for (std::size_t j = 0; j < entryOf.size(); ++j) {
        if (entryOf[j] == kNotShared) {
            entryOf[j] = std::uint32_t(before + kept.size());
            kept.push_back(j);
        }
    }
    // Column by column, so that at most one column is ever doubled.
    lists.List1.keepOnly(kept);
    lists.List1.prepend(std::move(first.List1));
    lists.landing.keepOnly(kept);
    lists.landing.prepend(std::move(first.landing));
    keepAfter(lists.bot, first.bot, kept);
    Release(first.bot);
    keepAfter(lists.List2, first.List2, kept);
    Release(first.List2);
    keepAfter(lists.counts, first.counts, kept);
    Release(first.counts);
    keepAfter(hashes, earlier.hashes, kept);
    Release(earlier.hashes);
    lists.firstSeen.keepOnly(kept);
    lists.firstSeen.prepend(first.firstSeen);
    first.firstSeen.clear();
    lists.lastSeen.keepOnly(kept);
    lists.lastSeen.prepend(first.lastSeen);
    first.lastSeen.clear();
    // Every entry's number has changed.
    earlier.entryTable.clear();
    rehash(std::max(entryTable.capacity(), EntryTable::capacityFor(size() + 1)));
    if (detailed) {
        // This part's pairs stay where they are, numbered anew; the earlier
        // part's few are added to them.
        detailTables.renumber(entryOf, std::uint32_t(before));
        std::vector<std::uint32_t> same(before);
        for (std::size_t i = 0; i < before; ++i)
            same[i] = std::uint32_t(i);
        detailTables.merge(earlier.detailTables, same);
    }
}

WorkingLists ScanPart::takeEntries()
{
    WorkingLists taken = std::move(lists);
    recentLandings = {}; // they point at bytes the taken lists hold
    fillLastSeen(taken);
    taken.distinct = collapsing;
    lists = WorkingLists();
    entryTable.clear();
    Release(hashes);
    return taken;
}

} // namespace backtrail::engine
