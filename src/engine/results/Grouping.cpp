#include "Grouping.h"

#include "engine/aggregate/WorkingLists.h"
#include "engine/fields/AddressHost.h"

#include <charconv>
#include <unordered_map>
#include <vector>

namespace backtrail::engine {

std::string ReferringSite(std::string_view referrer)
{
    return NormalHost(ReferrerHost(referrer));
}

ResultTable GroupBySite(const ResultTable& rows, std::vector<std::vector<std::size_t>>* members)
{
    if (members)
        members->clear();
    struct Site
    {
        std::string name;
        bool bot;
        bool spam;
        std::uint64_t clicks;
        LineTime firstSeen;
        LineTime lastSeen;
    };
    std::vector<Site> sites;
    std::unordered_map<std::string, std::size_t> index; // site name, with a mark for crawler groups
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ResultRow row = rows.row(i);
        const bool bot = row.bot;
        std::string name = ReferringSite(row.referrer);
        std::string key = (bot ? "B" : "V") + name;
        std::uint64_t clicks = 1;
        if (!row.clicks.empty()) {
            std::uint64_t parsed = 0;
            const auto [end, error] = std::from_chars(row.clicks.data(), row.clicks.data() + row.clicks.size(), parsed);
            if (error == std::errc() && end == row.clicks.data() + row.clicks.size())
                clicks = parsed;
        }
        const auto [at, added] = index.try_emplace(std::move(key), sites.size());
        if (added)
            sites.push_back({std::move(name), bot, false, 0, {}, {}});
        Site& site = sites[at->second];
        site.clicks += clicks;
        site.spam = site.spam || row.type == "SPM";
        KeepEarlier(site.firstSeen, row.firstSeen);
        KeepLater(site.lastSeen, row.lastSeen);
        if (members) {
            if (members->size() < sites.size())
                members->resize(sites.size());
            (*members)[at->second].push_back(i);
        }
    }
    ResultTable grouped;
    for (const Site& site : sites) {
        const std::uint32_t clicks = std::uint32_t(std::min<std::uint64_t>(site.clicks, UINT32_MAX));
        grouped.append(site.bot        ? "BOT"
                           : site.spam ? "SPM"
                                       : "",
                       CountText(clicks), site.name, "", site.bot, site.firstSeen, site.lastSeen);
    }
    return grouped;
}

} // namespace backtrail::engine
