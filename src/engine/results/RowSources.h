#pragma once

#include "ResultTable.h"
#include "engine/visitors/SourceLists.h"
#include "engine/visitors/SpamList.h"

#include <cstdint>
#include <string>
#include <vector>

namespace backtrail::engine {

/// A row's source: a crawler's row is kind crawler, named by the kind of
/// crawler its first line's user agent told (empty when only the address in
/// it did); a row typed "SPM", or whose referrer's host `spam` holds (so
/// with type codes on or off), is kind spam, named by its site as Group by
/// Site writes it; any other row's source is what the lists say of its
/// referrer.
Source RowSource(const ResultRow& row, const SourceLists& lists, const SpamList* spam = nullptr);

/// Finds rows' sources one row at a time, each distinct host looked up once:
/// for writing the rows of a large table, whose sources all held at once
/// would cost more memory than the rows themselves.
class RowSourceFinder
{
public:
    /// The lists, and the spam list when there is one, must outlive the finder.
    explicit RowSourceFinder(const SourceLists& sourceLists, const SpamList* spamList = nullptr)
        : lists(sourceLists)
        , spam(spamList)
        , classify(sourceLists)
    {
    }
    Source operator()(const ResultRow& row);

private:
    const SourceLists& lists;
    const SpamList* spam;
    SourceClassifier classify;
};

/// The source of every row, in row order.
std::vector<Source> RowSources(const ResultTable& rows, const SourceLists& lists, const SpamList* spam = nullptr);

/// A row's clicks as a number: its click count, or 1 for a row without one.
std::uint64_t RowClicks(const ResultRow& row);

/// One row per source (kind and name), in the order in which each first
/// appears: the source's name as the referrer, the summed clicks zero-filled
/// to seven digits, first and last seen over its rows, and with `types` the
/// type "BOT" for crawler sources and "SPM" for spam (no type otherwise).
/// `grouped` receives each group's source (without search words) and
/// `members`, when given, the positions of each group's rows.
ResultTable GroupBySource(const ResultTable& rows, const std::vector<Source>& sources, bool types,
                          std::vector<Source>& grouped, std::vector<std::vector<std::size_t>>* members = nullptr);

/// Search words and the clicks of the rows that brought them.
struct KeywordClicks
{
    std::string keyword;
    std::uint64_t clicks = 0;
    bool operator==(const KeywordClicks&) const = default;
};
/// The search words of the given rows (non-empty ones), clicks summed, most
/// clicks first, equal clicks by words in byte order.
std::vector<KeywordClicks> KeywordsOf(const ResultTable& rows, const std::vector<Source>& sources,
                                      const std::vector<std::size_t>& members);

} // namespace backtrail::engine
