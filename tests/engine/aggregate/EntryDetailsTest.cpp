#include "engine/aggregate/EntryDetails.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <random>
#include <string>
#include <vector>

using namespace backtrail::engine;

namespace {

// What each entry's lines add up to, counted plainly.
struct Reference
{
    std::vector<std::map<std::string, std::uint64_t>> landings;
    std::vector<std::map<std::int32_t, std::uint64_t>> days;
    void add(std::uint32_t entry, const std::string& page, bool hasDay, std::int32_t day, std::uint32_t clicks)
    {
        if (entry >= landings.size()) {
            landings.resize(entry + 1);
            days.resize(entry + 1);
        }
        landings[entry][page] += clicks;
        if (hasDay)
            days[entry][day] += clicks;
    }
};

} // namespace

// Lines counted through the queue and directly, in three tables: the third
// merged into the second, the second into the first, each with its entries
// renumbered, against plain maps. Enough pairs that the tables grow several
// times while lines wait in the queue; in some rounds the merged pairs are
// summed many times before indexing, and in some the second table has no
// lines of its own.
TEST(EntryDetails, QueuedLinesGrowthAndMergeAgainstAPlainCount)
{
    std::mt19937 random(4711);
    for (int round = 0; round < 9; ++round) {
        SCOPED_TRACE(round);
        const std::uint32_t entries = 1 + random() % 900;
        const std::uint32_t pages = 1 + random() % 200;
        const std::uint32_t dayCount = 1 + random() % 90;
        Reference want;
        std::array<EntryDetails, 3> tables;
        if (round % 2 == 1) {
            for (EntryDetails& table : tables)
                table.setMergedPairsBound(1 + random() % 64);
        }
        // Table t's entry k is entry entryOf[t][k] of table t - 1.
        std::array<std::vector<std::uint32_t>, 3> entryOf;
        for (std::size_t t = 1; t < 3; ++t) {
            entryOf[t].resize(entries);
            for (std::uint32_t k = 0; k < entries; ++k)
                entryOf[t][k] = (k * (t == 1 ? 7919 : 104729) + std::uint32_t(round)) % entries;
        }
        const bool secondHasLines = round % 3 != 2;
        const int lines = 2000 + int(random() % 30000);
        for (int n = 0; n < lines; ++n) {
            // Runs of lines of one entry and page, as a log has them.
            const std::uint32_t entry = random() % 3 == 0 ? std::uint32_t(n / 7) % entries : random() % entries;
            const std::string page = random() % 11 == 0 ? std::string() : "/p" + std::to_string(random() % pages);
            const bool hasDay = random() % 13 != 0;
            // Days before 1970 too (day -1 is 1969-12-31).
            const std::int32_t day = std::int32_t((n / 500 + random() % 3) % dayCount) - 2;
            const std::uint32_t clicks = random() % 17 == 0 ? 1 + random() % 1000 : 1;
            std::size_t t = random() % 3;
            if (t == 1 && !secondHasLines)
                t = 2;
            std::uint32_t inFirst = entry;
            for (std::size_t u = t; u > 0; --u)
                inFirst = entryOf[u][inFirst];
            want.add(inFirst, page, hasDay, day, clicks);
            if (random() % 10 == 0) {
                tables[t].addLanding(entry, page, clicks);
                if (hasDay)
                    tables[t].addDay(entry, day, clicks);
            } else {
                tables[t].addLine(entry, page, hasDay, day, clicks);
            }
        }
        tables[1].merge(tables[2], entryOf[2]);
        tables[0].merge(tables[1], entryOf[1]);
        EntryDetails& first = tables[0];
        first.index(entries);
        std::size_t landingPairs = 0;
        std::size_t dayPairs = 0;
        for (std::uint32_t e = 0; e < entries; ++e) {
            SCOPED_TRACE(e);
            std::map<std::string, std::uint64_t> landings;
            for (const LandingClicks& l : first.landingsOf(std::vector<std::size_t> {e}))
                landings[l.path] += l.clicks;
            std::map<std::int32_t, std::uint64_t> days;
            for (const DayClicks& d : first.daysOf(std::vector<std::size_t> {e}))
                days[d.day] += d.clicks;
            EXPECT_EQ(landings, e < want.landings.size() ? want.landings[e] : decltype(landings)());
            EXPECT_EQ(days, e < want.days.size() ? want.days[e] : decltype(days)());
            landingPairs += landings.size();
            dayPairs += days.size();
        }
        EXPECT_EQ(first.landingPairs(), landingPairs);
        EXPECT_EQ(first.dayPairs(), dayPairs);
    }
}
