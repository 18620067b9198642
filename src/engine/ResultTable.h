#pragma once

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
};

/// The result rows of a scan, in working-list order, held as plain bytes.
class ResultTable
{
public:
    void clear()
    {
        fields.clear();
        bots.clear();
    }
    /// Adds a row; a row typed "BOT" is a crawler's whatever `bot` says.
    void append(std::string_view type, std::string_view clicks, std::string_view referrer, std::string_view landing,
                bool bot = false)
    {
        fields.append(type);
        fields.append(clicks);
        fields.append(referrer);
        fields.append(landing);
        bots.push_back(bot || type == "BOT" ? 1 : 0);
    }
    std::size_t size() const { return fields.size() / kFields; }
    bool empty() const { return fields.empty(); }
    ResultRow row(std::size_t i) const
    {
        const std::size_t f = i * kFields;
        return {fields[f], fields[f + 1], fields[f + 2], fields[f + 3], bots[i] != 0};
    }

private:
    static constexpr std::size_t kFields = 4;
    TextList fields;
    std::vector<std::uint8_t> bots;
};

} // namespace backtrail::engine
