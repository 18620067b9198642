#pragma once

#include "ScanState.h"

#include <cstdint>

namespace backtrail::engine {

class ScanFrontEnd;

/// Collapses equal List1 entries (exact byte comparison, and the same bot
/// flag: a crawler's entry stays apart from people's) into the first
/// occurrence, writes each survivor's click count, and keeps List2 and the
/// side lists in step. Survivors keep first-occurrence order. Returns the
/// number of entries removed. One pass over a hash table of positions.
/// Entries that already carry counts (collapsed while reading) add their
/// counts, and each stands for that many removed lines but one.
std::uint32_t RemoveDuplicates(WorkingLists& lists);

/// Duplicate removal as a scan runs it: writes "Removing Duplicates...  Please
/// Wait.", sets the progress value to 0 and yields, removes the duplicates
/// (adding them to DuplicatesRemoved), and writes the running total.
void ListKillDupes(ScanState& state, ScanFrontEnd& frontEnd);

} // namespace backtrail::engine
