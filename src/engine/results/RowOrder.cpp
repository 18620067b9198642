#include "RowOrder.h"

#include "RowSources.h"
#include "engine/base/AsciiCase.h"

#include <algorithm>
#include <numeric>

namespace backtrail::engine {

bool RowSortFromName(std::string_view name, RowSort& sort)
{
    if (name == "clicks")
        sort = RowSort::Clicks;
    else if (name == "referrer")
        sort = RowSort::Referrer;
    else if (name == "first-seen")
        sort = RowSort::FirstSeen;
    else
        return false;
    return true;
}

namespace {

bool lessFolded(std::string_view a, std::string_view b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(AsciiLower(x)) < static_cast<unsigned char>(AsciiLower(y));
    });
}

} // namespace

RowOrder SortedRows(const ResultTable& rows, RowSort sort)
{
    if (sort == RowSort::Standing)
        return {};
    RowOrder order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    switch (sort) {
    case RowSort::Clicks: {
        std::vector<std::uint64_t> clicks(rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i)
            clicks[i] = RowClicks(rows.row(i));
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return clicks[a] > clicks[b]; });
        break;
    }
    case RowSort::Referrer:
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return lessFolded(rows.row(a).referrer, rows.row(b).referrer);
        });
        break;
    case RowSort::FirstSeen:
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            const LineTime x = rows.row(a).firstSeen;
            const LineTime y = rows.row(b).firstSeen;
            if (x.valid != y.valid)
                return x.valid;
            return x.valid && x.earlierThan(y);
        });
        break;
    case RowSort::Standing:
        break;
    }
    return order;
}

} // namespace backtrail::engine
