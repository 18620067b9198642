#pragma once

#include "LineTime.h"
#include "TextList.h"

#include <cstdint>
#include <string_view>
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
class ResultTable
{
public:
    void clear()
    {
        fields.clear();
        bots.clear();
        seen.clear();
    }
    /// Makes room for `count` rows in all.
    void reserve(std::size_t count)
    {
        fields.reserve(count * kFields);
        bots.reserve(count);
        seen.reserve(count * 2);
    }
    /// Adds a row; a row typed "BOT" is a crawler's whatever `bot` says.
    void append(std::string_view type, std::string_view clicks, std::string_view referrer, std::string_view landing,
                bool bot = false, const LineTime& firstSeen = {}, const LineTime& lastSeen = {})
    {
        fields.append(type);
        fields.append(clicks);
        fields.append(referrer);
        fields.append(landing);
        appendFlagsAndTimes(type, bot, firstSeen, lastSeen);
    }
    void append(const ResultRow& row)
    {
        append(row.type, row.clicks, row.referrer, row.landing, row.bot, row.firstSeen, row.lastSeen);
    }
    /// Makes the table an owner of a list's bytes as they are now, so that
    /// rows may point at them (appendSharing) and outlive the list.
    void shareBytesOf(const TextList& list) { fields.shareBytesOf(list); }
    /// Adds a row as append does, but points at its type (text that lives for
    /// ever), its landing page and, when `referrerShared`, its referrer (bytes
    /// of lists the table shares) instead of copying them.
    void appendSharing(const ResultRow& row, bool referrerShared)
    {
        fields.appendShared(row.type);
        fields.append(row.clicks);
        if (referrerShared)
            fields.appendShared(row.referrer);
        else
            fields.append(row.referrer);
        fields.appendShared(row.landing);
        appendFlagsAndTimes(row.type, row.bot, row.firstSeen, row.lastSeen);
    }
    std::size_t size() const { return fields.size() / kFields; }
    bool empty() const { return fields.empty(); }
    ResultRow row(std::size_t i) const
    {
        const std::size_t f = i * kFields;
        return {fields[f], fields[f + 1], fields[f + 2], fields[f + 3], bots[i] != 0, seen[2 * i], seen[2 * i + 1]};
    }

private:
    void appendFlagsAndTimes(std::string_view type, bool bot, const LineTime& firstSeen, const LineTime& lastSeen)
    {
        bots.push_back(bot || type == "BOT" ? 1 : 0);
        seen.push_back(firstSeen);
        seen.push_back(lastSeen);
    }

    static constexpr std::size_t kFields = 4;
    TextList fields;
    std::vector<std::uint8_t> bots;
    std::vector<LineTime> seen; // first and last seen of each row
};

} // namespace backtrail::engine
