#pragma once

#include "engine/scan/ScanState.h"

#include <cstddef>
#include <memory>

namespace backtrail::fuzz {

/// Hands out the same scan state run after run, emptied but keeping the memory
/// chunks of its text lists, and a fresh one once a few MiB have gone into it.
/// A text list takes an 8 MiB chunk at its first entry, and under the address
/// sanitizer mapping such a chunk costs more than the rest of a short run.
class ReusedState
{
public:
    /// An empty state; `bytes` bounds what the run will append to any one list.
    engine::ScanState& take(std::size_t bytes)
    {
        if (!state || used + bytes > kBudget) {
            state = std::make_unique<engine::ScanState>();
            used = 0;
        }
        used += bytes;
        engine::ScanState& s = *state;
        s.counters = engine::ScanCounters();
        s.DuplicatesRemoved = 0;
        s.progress = engine::Progress();
        engine::WorkingLists& lists = s.lists;
        lists.List1.keepOnly({});
        lists.landing.keepOnly({});
        lists.bot.clear();
        lists.List2.clear();
        lists.counts.clear();
        lists.countsWritten = false;
        return s;
    }

private:
    static constexpr std::size_t kBudget = std::size_t(6) << 20;
    std::unique_ptr<engine::ScanState> state;
    std::size_t used = 0;
};

} // namespace backtrail::fuzz
