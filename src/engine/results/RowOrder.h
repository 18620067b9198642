#pragma once

#include "ResultTable.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace backtrail::engine {

/// The order rows are written in: row order[k] comes k-th; empty: as they stand.
using RowOrder = std::vector<std::size_t>;

/// How rows may be sorted for writing.
enum class RowSort {
    Standing, ///< as the rows stand (the working list's order)
    Clicks, ///< most clicks first
    Referrer, ///< by referrer, ASCII letter case ignored
    FirstSeen, ///< earliest first; rows without a time last
};

/// The sort a name stands for ("clicks", "referrer", "first-seen"); false for none.
bool RowSortFromName(std::string_view name, RowSort& sort);

/// The rows' order by `sort`, rows that compare equal as they stand; empty
/// for RowSort::Standing.
RowOrder SortedRows(const ResultTable& rows, RowSort sort);

/// Row k of `order`: order[k], or k where the order is empty.
inline std::size_t RowAt(const RowOrder& order, std::size_t k)
{
    return order.empty() ? k : order[k];
}

} // namespace backtrail::engine
