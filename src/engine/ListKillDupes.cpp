#include "ListKillDupes.h"

#include "ScanFrontEnd.h"

#include <bit>
#include <functional>

namespace backtrail::engine {

std::uint32_t RemoveDuplicates(WorkingLists& lists)
{
    const std::size_t n = lists.List1.size();
    // Open addressing over positions of survivors: a slot holds survivor
    // number + 1, 0 when empty. At most half full, so probes stay short.
    const std::size_t tableSize = std::bit_ceil(std::max<std::size_t>(16, n * 2));
    const std::size_t mask = tableSize - 1;
    std::vector<std::uint32_t> table(tableSize, 0);
    std::vector<std::size_t> survivors;
    std::vector<std::uint32_t> counts;
    const std::hash<std::string_view> hasher;
    for (std::size_t i = 0; i < n; ++i) {
        const std::string_view entry = lists.List1[i];
        std::size_t slot = hasher(entry) & mask;
        for (;;) {
            const std::uint32_t held = table[slot];
            if (held == 0) {
                table[slot] = std::uint32_t(survivors.size() + 1);
                survivors.push_back(i);
                counts.push_back(1);
                break;
            }
            if (lists.List1[survivors[held - 1]] == entry) {
                if (counts[held - 1] < UINT32_MAX)
                    ++counts[held - 1];
                break;
            }
            slot = (slot + 1) & mask;
        }
    }
    table.clear();
    table.shrink_to_fit();

    const std::size_t removed = n - survivors.size();
    lists.List1.keepOnly(survivors);
    lists.List2.keepOnly(survivors);
    if (lists.landing.size() == n)
        lists.landing.keepOnly(survivors);
    if (lists.bot.size() == n) {
        for (std::size_t k = 0; k < survivors.size(); ++k)
            lists.bot[k] = lists.bot[survivors[k]];
        lists.bot.resize(survivors.size());
    }
    lists.counts = std::move(counts);
    lists.countsWritten = true;
    return std::uint32_t(std::min<std::size_t>(removed, UINT32_MAX));
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
