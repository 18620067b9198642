#pragma once

#include "engine/aggregate/WorkingLists.h"
#include "engine/base/SharedColumn.h"
#include "engine/base/TextList.h"
#include "engine/fields/LineTime.h"
#include "engine/visitors/CrawlerKinds.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace backtrail::engine {

/// One result row: what the results table shows for one working-list entry.
struct ResultRow
{
    std::string_view type; ///< three-letter type code, "BOT", or empty
    std::string_view clicks; ///< seven-digit click count, empty without duplicate removal
    std::string_view referrer; ///< the referring address
    std::string_view landing; ///< the page of this site that the line requested
    bool bot = false; ///< a crawler's row, whether or not type codes show it
    LineTime firstSeen; ///< the earliest time of the row's lines (none when no line had one)
    LineTime lastSeen; ///< the latest
    /// The row's bot mark (CrawlerKinds.h): which kind of crawler its first
    /// line's user agent tells; kPersonMark for people's rows.
    std::uint8_t botMark = kPersonMark;
};

/// The result rows of a scan, in working-list order, held as plain bytes.
/// A row's referrer and landing page are texts of its own, or those of the
/// working-list entry it was made from, shared rather than copied (as are its
/// times); its type and click count are a number into a table of the distinct
/// pairs of them, which stays small: n rows have at most about sqrt(2n)
/// distinct click counts summing to no more than the clicks.
class ResultTable
{
public:
    void clear() { *this = ResultTable(); }
    /// Makes room for `count` rows in all.
    void reserve(std::size_t count)
    {
        if (!entriesShared) {
            referrers.reserve(count);
            landings.reserve(count);
            firstSeen.reserve(count);
            lastSeen.reserve(count);
        }
        rowLabels.reserve(count);
        bots.reserve(count);
    }
    /// Adds a row; `bot` is its bot mark (true: a crawler of no known kind),
    /// and a row typed "BOT" is a crawler's whatever `bot` says. (Not for a
    /// table that shares entries: see shareEntriesOf.)
    void append(std::string_view type, std::string_view clicks, std::string_view referrer, std::string_view landing,
                std::uint8_t bot = kPersonMark, const LineTime& first = {}, const LineTime& last = {})
    {
        referrers.append(referrer);
        landings.append(landing);
        firstSeen.push_back(first);
        lastSeen.push_back(last);
        appendLabels(type, clicks, bot);
    }
    void append(const ResultRow& row)
    {
        append(row.type, row.clicks, row.referrer, row.landing,
               row.bot ? std::max(row.botMark, kCrawlerMark) : kPersonMark, row.firstSeen, row.lastSeen);
    }
    /// Makes an empty table whose row i will show entry i of `lists`: its
    /// referrer, landing page and times are the entry's, shared with the lists
    /// (which may change or go afterwards without the rows seeing it). Rows are
    /// then added with appendLabels(), in entry order, and a row whose
    /// referrer differs from the entry's gets it with setReferrer().
    void shareEntriesOf(const WorkingLists& lists)
    {
        clear();
        entriesShared = true;
        referrers = lists.List1.share();
        landings = lists.landing.share();
        firstSeen = lists.firstSeen;
        lastSeen = lists.lastSeen;
    }
    /// Adds the next row's type, click count and bot mark (a row typed "BOT"
    /// is a crawler's whatever `bot` says).
    void appendLabels(std::string_view type, std::string_view clicks, std::uint8_t bot)
    {
        rowLabels.push_back(labelPairId(labelId(type, lastType), labelId(clicks, lastClicks)));
        bots.push_back(bot != kPersonMark ? bot : type == "BOT" ? kCrawlerMark : kPersonMark);
    }
    /// A table of the same rows that shares this one's texts and times
    /// instead of copying them.
    ResultTable share() const
    {
        ResultTable copy;
        copy.entriesShared = entriesShared;
        copy.referrers = referrers.share();
        copy.landings = landings.share();
        copy.firstSeen = firstSeen;
        copy.lastSeen = lastSeen;
        copy.labels = labels.share();
        copy.labelIds = labelIds; // views into bytes both tables hold
        copy.labelPairs = labelPairs;
        copy.labelPairIds = labelPairIds;
        copy.rowLabels = rowLabels;
        copy.bots = bots;
        return copy;
    }
    /// Appends the rows of `later`, a table of labels alone (made with
    /// appendLabels and no entries), as the labels of the next rows.
    void appendLabelsOf(const ResultTable& later)
    {
        std::vector<std::uint32_t> pairOf(later.labelPairs.size());
        for (std::size_t k = 0; k < pairOf.size(); ++k)
            pairOf[k] = labelPairId(labelId(later.labels[later.labelPairs[k].type], lastType),
                                    labelId(later.labels[later.labelPairs[k].clicks], lastClicks));
        rowLabels.reserve(rowLabels.size() + later.rowLabels.size());
        for (const std::uint32_t pair : later.rowLabels)
            rowLabels.push_back(pairOf[pair]);
        bots.insert(bots.end(), later.bots.begin(), later.bots.end());
    }
    /// Gives row i another type (its bot flag stays).
    void setType(std::size_t i, std::string_view type)
    {
        rowLabels[i] = labelPairId(labelId(type, lastType), labelPairs[rowLabels[i]].clicks);
    }
    /// Gives row i (whose referrer is shared) a referrer of its own.
    void setReferrer(std::size_t i, std::string_view referrer) { referrers.set(i, referrer); }
    std::size_t size() const { return rowLabels.size(); }
    bool empty() const { return rowLabels.empty(); }
    ResultRow row(std::size_t i) const
    {
        const Labels& l = labelPairs[rowLabels[i]];
        return {labels[l.type],
                labels[l.clicks],
                referrers[i],
                landings[i],
                bots[i] != kPersonMark,
                i < firstSeen.size() ? firstSeen[i] : LineTime(),
                i < lastSeen.size() ? lastSeen[i] : LineTime(),
                bots[i]};
    }

private:
    struct Labels
    {
        std::uint32_t type;
        std::uint32_t clicks;
    };
    // Rows in a row mostly repeat a type or a click count: the last label
    // asked for is looked at first.
    std::uint32_t labelId(std::string_view text, std::uint32_t& last)
    {
        if (last < labels.size() && labels[last] == text)
            return last;
        if (const auto found = labelIds.find(text); found != labelIds.end())
            return last = found->second;
        const auto id = std::uint32_t(labels.size());
        labels.append(text);
        labelIds.emplace(labels[id], id);
        return last = id;
    }
    std::uint32_t labelPairId(std::uint32_t type, std::uint32_t clicks)
    {
        const std::uint64_t key = std::uint64_t(type) << 32 | clicks;
        if (lastPair < labelPairs.size() && key == lastPairKey)
            return lastPair;
        lastPairKey = key;
        if (const auto found = labelPairIds.find(key); found != labelPairIds.end())
            return lastPair = found->second;
        lastPair = std::uint32_t(labelPairs.size());
        labelPairs.push_back({type, clicks});
        labelPairIds.emplace(key, lastPair);
        return lastPair;
    }

    bool entriesShared = false;
    TextList referrers;
    TextList landings;
    SharedColumn<LineTime> firstSeen;
    SharedColumn<LineTime> lastSeen;
    TextList labels; // each distinct type and click text once
    std::unordered_map<std::string_view, std::uint32_t> labelIds; // views into labels
    std::uint32_t lastType = UINT32_MAX;
    std::uint32_t lastClicks = UINT32_MAX;
    std::vector<Labels> labelPairs; // each distinct (type, clicks) pair once
    std::unordered_map<std::uint64_t, std::uint32_t> labelPairIds;
    std::uint64_t lastPairKey = 0;
    std::uint32_t lastPair = UINT32_MAX;
    std::vector<std::uint32_t> rowLabels; // a row's (type, clicks) pair
    std::vector<std::uint8_t> bots; // each row's bot mark
};

} // namespace backtrail::engine
