#include "ListKillDupes.h"

#include "ScanFrontEnd.h"

#include <bit>
#include <functional>

namespace backtrail::engine {

std::uint32_t RemoveDuplicates(WorkingLists& lists)
{
    const std::size_t n = lists.List1.size();
    // Open addressing: a slot holds the survivor's number + 1 in its low half
    // (0 when empty) and the upper half of the entry's hash, so that most
    // mismatches are settled without touching the entry's bytes. At most half
    // full, so probes stay short.
    const std::size_t tableSize = std::bit_ceil(std::max<std::size_t>(16, n * 2));
    const std::size_t mask = tableSize - 1;
    std::vector<std::uint64_t> table(tableSize, 0);
    std::vector<std::size_t> survivors;
    std::vector<std::string_view> survivorText;
    std::vector<std::uint32_t> counts;
    // First and last seen of each survivor, over all its duplicates.
    const bool timed = lists.firstSeen.size() == n && lists.lastSeen.size() == n;
    std::vector<LineTime> firstSeen;
    std::vector<LineTime> lastSeen;
    // The bot flag is part of an entry: a crawler's entry hashes apart from
    // the people's entry of the same referrer.
    const std::hash<std::string_view> textHasher;
    auto hasher = [&](std::size_t i) {
        const std::uint64_t hash = textHasher(lists.List1[i]);
        return lists.isBot(i) ? hash ^ 0x9e3779b97f4a7c15ULL : hash;
    };
    // Entries collapsed while reading already carry their counts.
    const bool weighted = lists.counts.size() == n;
    std::uint64_t lines = 0;
    // Hashes run a few entries ahead, and the slot each will probe is fetched
    // into the cache meanwhile: a probe is a cache miss, and this hides most of it.
    constexpr std::size_t kAhead = 8;
    std::uint64_t ahead[kAhead];
    for (std::size_t i = 0; i < std::min(n, kAhead); ++i) {
        ahead[i] = hasher(i);
        __builtin_prefetch(&table[ahead[i] & mask]);
    }
    for (std::size_t i = 0; i < n; ++i) {
        const std::string_view entry = lists.List1[i];
        const std::uint32_t weight = weighted ? lists.counts[i] : 1;
        lines += weight;
        const std::uint64_t hash = ahead[i % kAhead];
        if (i + kAhead < n) {
            const std::uint64_t later = hasher(i + kAhead);
            ahead[i % kAhead] = later;
            __builtin_prefetch(&table[later & mask]);
        }
        const std::uint64_t tag = hash & 0xffffffff00000000ULL;
        std::size_t slot = hash & mask;
        for (;;) {
            const std::uint64_t held = table[slot];
            if (held == 0) {
                table[slot] = tag | std::uint64_t(survivors.size() + 1);
                survivors.push_back(i);
                survivorText.push_back(entry);
                counts.push_back(weight);
                if (timed) {
                    firstSeen.push_back(lists.firstSeen[i]);
                    lastSeen.push_back(lists.lastSeen[i]);
                }
                break;
            }
            const std::size_t k = std::size_t(held & 0xffffffffULL) - 1;
            if ((held & 0xffffffff00000000ULL) == tag && survivorText[k] == entry
                && lists.isBot(survivors[k]) == lists.isBot(i)) {
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
    table = {};
    survivorText = {};

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
