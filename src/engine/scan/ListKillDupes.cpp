#include "ListKillDupes.h"

#include "ScanFrontEnd.h"

#include <algorithm>
#include <cassert>

namespace backtrail::engine {

std::uint32_t RemoveDuplicates(WorkingLists& lists)
{
    // The scan collapsed equal referrers as it read them: every entry survives
    // as it is, standing for as many referrer lines as its count says.
    // (An empty list is distinct whoever made it.)
    assert(lists.List1.empty() || (lists.distinct && lists.counts.size() == lists.List1.size()));
    const std::size_t n = lists.List1.size();
    std::uint64_t lines = 0;
    for (const std::uint32_t count : lists.counts)
        lines += count;
    const std::uint64_t removed = lists.countsWritten || lines < n ? 0 : lines - n;
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
