#pragma once

#include "ResultTable.h"
#include "ScanState.h"

#include <cstdint>
#include <string_view>

namespace backtrail::engine {

/// The type code of a log line's remainder: the first test of the extension
/// table (".jpeg"/".jpg" JPG, ".zip" ZIP, ... ".exe" EXE) that finds one of its
/// texts anywhere in it, letter case ignored; "HTM" when none does.
std::string_view ExtensionTable(std::string_view remainder);

/// The same test as a number: the position of the deciding test in the table,
/// or the table's length for "HTM". A scan keeps this byte per entry instead of
/// the remainder it came from.
std::uint8_t ExtensionIndex(std::string_view remainder);
/// The type code of a number that ExtensionIndex gave.
std::string_view ExtensionCode(std::uint8_t index);
/// The number of a type code ("HTM", and any text that is no code, give the table's length).
std::uint8_t ExtensionIndexOfCode(std::string_view code);

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
