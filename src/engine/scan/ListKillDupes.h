#pragma once

#include "ScanState.h"

#include <cstdint>

namespace backtrail::engine {

class ScanFrontEnd;

/// Duplicate removal of lists that a scan collapsed as it read them (equal
/// referrers, and the same bot flag: a crawler's entry stays apart from
/// people's, in first-occurrence order, each with its count): every entry
/// survives, and its count is now the click count its row shows. Returns the
/// number of referrer lines the entries stand for beyond one each; a second
/// call returns 0.
std::uint32_t RemoveDuplicates(WorkingLists& lists);

/// Duplicate removal as a scan runs it: writes "Removing Duplicates...  Please
/// Wait.", sets the progress value to 0 and yields, removes the duplicates
/// (adding them to DuplicatesRemoved), and writes the running total.
void ListKillDupes(ScanState& state, ScanFrontEnd& frontEnd);

} // namespace backtrail::engine
