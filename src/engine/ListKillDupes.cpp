#include "ListKillDupes.h"

#include "HugePages.h"
#include "ScanFrontEnd.h"

#include <bit>
#include <functional>

namespace backtrail::engine {

std::uint32_t RemoveDuplicates(WorkingLists& lists)
{
    const std::size_t n = lists.List1.size();
    if (lists.distinct && lists.counts.size() == n) {
        // Every entry survives as it is, with the count it carries.
        std::uint64_t lines = 0;
        for (const std::uint32_t count : lists.counts)
            lines += count;
        const std::uint64_t removed = lists.countsWritten || lines < n ? 0 : lines - n;
        lists.countsWritten = true;
        return std::uint32_t(std::min<std::uint64_t>(removed, UINT32_MAX));
    }
    // Open addressing: a slot holds the upper half of the entry's hash, the
    // bot flag and the survivor's number + 1 (0 when empty), so that most
    // mismatches are settled without touching the entry's bytes. At most half
    // full, so probes stay short. The table starts small and doubles as
    // survivors come, so that a list of many duplicates probes a table that
    // stays in the cache.
    constexpr std::uint64_t kBotBit = 0x80000000ULL;
    constexpr std::uint64_t kNumberMask = kBotBit - 1;
    std::size_t tableSize = 1024;
    std::size_t mask = tableSize - 1;
    std::vector<std::uint64_t> table(tableSize, 0);
    std::vector<std::size_t> survivors;
    std::vector<std::string_view> survivorText;
    std::vector<std::uint64_t> survivorKey; // hash and bot flag, for growing the table
    std::vector<std::uint32_t> counts;
    // First and last seen of each survivor, over all its duplicates.
    const bool timed = lists.firstSeen.size() == n && lists.lastSeen.size() == n;
    std::vector<LineTime> firstSeen;
    std::vector<LineTime> lastSeen;
    // The bot flag is part of an entry: a crawler's entry hashes apart from
    // the people's entry of the same referrer, and its slot says so.
    const std::hash<std::string_view> textHasher;
    auto keyOf = [&](std::size_t i) {
        const std::uint64_t hash = textHasher(lists.List1[i]);
        return lists.isBot(i) ? ((hash ^ 0x9e3779b97f4a7c15ULL) & ~kNumberMask) | kBotBit : hash & ~kNumberMask;
    };
    auto grow = [&] {
        tableSize *= 2;
        mask = tableSize - 1;
        table.assign(tableSize, 0);
        for (std::size_t k = 0; k < survivorKey.size(); ++k) {
            std::size_t slot = (survivorKey[k] >> 32) & mask;
            while (table[slot] != 0)
                slot = (slot + 1) & mask;
            table[slot] = survivorKey[k] | std::uint64_t(k + 1);
        }
    };
    // Entries collapsed while reading already carry their counts.
    const bool weighted = lists.counts.size() == n;
    std::uint64_t lines = 0;
    // Each probe is a chain of cache misses (slot, survivor, survivor's bytes),
    // fetched ahead in stages: keys run kAhead entries ahead and fetch their
    // slots; kNear entries ahead the slot is read and its survivor fetched; a
    // few entries ahead the survivor's bytes are.
    constexpr std::size_t kAhead = 16;
    constexpr std::size_t kNear = 8;
    constexpr std::size_t kNearest = 4;
    std::uint64_t ahead[kAhead];
    auto slotOf = [&](std::uint64_t key) { return std::size_t(key >> 32) & mask; };
    auto survivorIn = [&](std::uint64_t key) -> std::size_t {
        const std::uint64_t held = table[slotOf(key)];
        return held != 0 && (held & ~kNumberMask) == key ? std::size_t(held & kNumberMask) - 1 : ~std::size_t(0);
    };
    for (std::size_t i = 0; i < std::min(n, kAhead); ++i) {
        ahead[i] = keyOf(i);
        __builtin_prefetch(&table[slotOf(ahead[i])]);
    }
    for (std::size_t i = 0; i < n; ++i) {
        const std::string_view entry = lists.List1[i];
        const std::uint32_t weight = weighted ? lists.counts[i] : 1;
        lines += weight;
        const std::uint64_t key = ahead[i % kAhead];
        if (i + kAhead < n) {
            const std::uint64_t later = keyOf(i + kAhead);
            ahead[i % kAhead] = later;
            __builtin_prefetch(&table[slotOf(later)]);
        }
        if (i + kNear < n) {
            if (const std::size_t k = survivorIn(ahead[(i + kNear) % kAhead]); k < survivorText.size())
                __builtin_prefetch(&survivorText[k]);
        }
        if (i + kNearest < n) {
            if (const std::size_t k = survivorIn(ahead[(i + kNearest) % kAhead]); k < survivorText.size())
                __builtin_prefetch(survivorText[k].data());
        }
        std::size_t slot = slotOf(key);
        for (;;) {
            const std::uint64_t held = table[slot];
            if (held == 0) {
                table[slot] = key | std::uint64_t(survivors.size() + 1);
                survivors.push_back(i);
                survivorText.push_back(entry);
                survivorKey.push_back(key);
                counts.push_back(weight);
                if (timed) {
                    firstSeen.push_back(lists.firstSeen[i]);
                    lastSeen.push_back(lists.lastSeen[i]);
                }
                if (survivors.size() * 2 > tableSize)
                    grow();
                break;
            }
            const std::size_t k = std::size_t(held & kNumberMask) - 1;
            if ((held & ~kNumberMask) == key && survivorText[k] == entry) {
                counts[k] = std::uint32_t(std::min<std::uint64_t>(std::uint64_t(counts[k]) + weight, UINT32_MAX));
                if (timed) {
                    KeepEarlier(firstSeen[k], lists.firstSeen[i]);
                    KeepLater(lastSeen[k], lists.lastSeen[i]);
                }
                break;
            }
            slot = (slot + 1) & mask;
        }
    }
    Release(table);
    Release(survivorText);
    Release(survivorKey);

    // Entries collapsed while reading stand for their counts of lines; a
    // second pass over counted entries removes entries only.
    const std::uint64_t removed = (lists.countsWritten ? n : lines) - survivors.size();
    lists.List1.keepOnly(survivors);
    if (lists.List2.size() == n)
        lists.List2.keepOnly(survivors);
    if (lists.landing.size() == n)
        lists.landing.keepOnly(survivors);
    for (std::vector<std::uint8_t>* side : {&lists.bot, &lists.types}) {
        if (side->size() != n)
            continue;
        for (std::size_t k = 0; k < survivors.size(); ++k)
            (*side)[k] = (*side)[survivors[k]];
        side->resize(survivors.size());
    }
    lists.counts = std::move(counts);
    if (timed) {
        lists.firstSeen = std::move(firstSeen);
        lists.lastSeen = std::move(lastSeen);
    }
    lists.countsWritten = true;
    return std::uint32_t(std::min<std::uint64_t>(removed, UINT32_MAX));
}

void ListKillDupes(ScanState& state, ScanFrontEnd& frontEnd)
{
    static const QString kWait = QStringLiteral("Removing Duplicates...  Please Wait.");
    frontEnd.setStatus(kWait);
    state.progress.value = 0;
    frontEnd.setProgress(state.progress.value, state.progress.maximum);
    frontEnd.yieldToEvents();
    const bool hadEntries = !state.lists.List1.empty();
    const std::uint32_t removed = RemoveDuplicates(state.lists);
    const std::int64_t total = std::int64_t(state.DuplicatesRemoved) + removed;
    state.DuplicatesRemoved = std::int32_t(std::min<std::int64_t>(total, INT32_MAX));
    // The running total is written after each entry the pass starts with; an
    // empty list gets none, so its status stays at the first text.
    if (hadEntries) {
        frontEnd.setStatus(kWait + QStringLiteral("  (") + QString::number(state.DuplicatesRemoved)
                           + QStringLiteral(" removed)"));
        frontEnd.yieldToEvents();
    }
}

} // namespace backtrail::engine
