#pragma once

#include "LineTime.h"
#include "TextList.h"

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
};

/// The result rows of a scan, in working-list order, held as plain bytes.
/// A row's referrer and landing page are texts of its own (or shared with the
/// lists it was made from); its type and click count are numbers into a table
/// of the distinct texts, which stays small: n rows have at most about
/// sqrt(2n) distinct click counts summing to no more than the clicks.
class ResultTable
{
public:
    void clear()
    {
        texts.clear();
        labels.clear();
        labelIds.clear();
        lastType = lastClicks = UINT32_MAX;
        rowLabels.clear();
        bots.clear();
        seen.clear();
    }
    /// Makes room for `count` rows in all.
    void reserve(std::size_t count)
    {
        texts.reserve(count * 2);
        rowLabels.reserve(count);
        bots.reserve(count);
        seen.reserve(count * 2);
    }
    /// Adds a row; a row typed "BOT" is a crawler's whatever `bot` says.
    void append(std::string_view type, std::string_view clicks, std::string_view referrer, std::string_view landing,
                bool bot = false, const LineTime& firstSeen = {}, const LineTime& lastSeen = {})
    {
        texts.append(referrer);
        texts.append(landing);
        appendRest(type, clicks, bot, firstSeen, lastSeen);
    }
    void append(const ResultRow& row)
    {
        append(row.type, row.clicks, row.referrer, row.landing, row.bot, row.firstSeen, row.lastSeen);
    }
    /// Makes the table an owner of a list's bytes as they are now, so that
    /// rows may point at them (appendSharing) and outlive the list.
    void shareBytesOf(const TextList& list) { texts.shareBytesOf(list); }
    /// Adds a row as append does, but points at its landing page and, when
    /// `referrerShared`, its referrer (bytes of lists the table shares)
    /// instead of copying them.
    void appendSharing(const ResultRow& row, bool referrerShared)
    {
        if (referrerShared)
            texts.appendShared(row.referrer);
        else
            texts.append(row.referrer);
        texts.appendShared(row.landing);
        appendRest(row.type, row.clicks, row.bot, row.firstSeen, row.lastSeen);
    }
    std::size_t size() const { return rowLabels.size(); }
    bool empty() const { return rowLabels.empty(); }
    ResultRow row(std::size_t i) const
    {
        const Labels& l = rowLabels[i];
        return {labels[l.type], labels[l.clicks], texts[2 * i],   texts[2 * i + 1],
                bots[i] != 0,   seen[2 * i],      seen[2 * i + 1]};
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
    void appendRest(std::string_view type, std::string_view clicks, bool bot, const LineTime& firstSeen,
                    const LineTime& lastSeen)
    {
        rowLabels.push_back({labelId(type, lastType), labelId(clicks, lastClicks)});
        bots.push_back(bot || type == "BOT" ? 1 : 0);
        seen.push_back(firstSeen);
        seen.push_back(lastSeen);
    }

    TextList texts; // the referrer and landing page of each row
    TextList labels; // each distinct type and click text once
    std::unordered_map<std::string_view, std::uint32_t> labelIds; // views into labels
    std::uint32_t lastType = UINT32_MAX;
    std::uint32_t lastClicks = UINT32_MAX;
    std::vector<Labels> rowLabels;
    std::vector<std::uint8_t> bots;
    std::vector<LineTime> seen; // first and last seen of each row
};

} // namespace backtrail::engine
