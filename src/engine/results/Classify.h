#pragma once

#include "engine/fields/FileType.h"
#include "ResultTable.h"
#include "engine/aggregate/WorkingLists.h"

#include <cstdint>
#include <string_view>

namespace backtrail::engine {

/// Splits an entry as the results table shows it: an entry holding "|" gives
/// the text before its first "|" as the clicks, and the entry with every
/// occurrence of that prefix (including the "|") taken out as the referrer.
void SplitEntry(std::string_view entry, std::string& clicks, std::string& referrer);

class SpamList;

/// Turns every working-list entry into a result row, in working-list order.
/// With type codes on, a crawler's row (its bot flag) is typed "BOT", and
/// otherwise a row whose referrer's host `spam` lists is typed "SPM".
/// `threads` above 1 lets a large table's rows be made on two cores.
ResultTable FillResults(const WorkingLists& lists, bool bGetFileTypes, const SpamList* spam = nullptr, int threads = 1);

/// The rows again with the type codes that `spam` now gives: people's rows
/// whose referrer's host is listed become "SPM". Rows without a type (type
/// codes off) stay without.
ResultTable RetypeSpam(const ResultTable& rows, const SpamList& spam);

} // namespace backtrail::engine
