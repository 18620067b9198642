#include "engine/EntryDetails.h"

#include <gtest/gtest.h>

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

// Lines counted through the queue and directly, in two tables merged with
// their entries renumbered, against plain maps: enough pairs that the tables
// grow several times while lines wait in the queue.
TEST(EntryDetails, QueuedLinesGrowthAndMergeAgainstAPlainCount)
{
    std::mt19937 random(4711);
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        const std::uint32_t entries = 1 + random() % 900;
        const std::uint32_t pages = 1 + random() % 200;
        const std::uint32_t dayCount = 1 + random() % 90;
        Reference want;
        EntryDetails first;
        EntryDetails second;
        // The second table's entry k is entry entryOf[k] of the first.
        std::vector<std::uint32_t> entryOf(entries);
        for (std::uint32_t k = 0; k < entries; ++k)
            entryOf[k] = (k * 7919 + std::uint32_t(round)) % entries;
        const int lines = 2000 + int(random() % 30000);
        for (int n = 0; n < lines; ++n) {
            // Runs of lines of one entry and page, as a log has them.
            const std::uint32_t entry = random() % 3 == 0 ? std::uint32_t(n / 7) % entries : random() % entries;
            const std::string page = random() % 11 == 0 ? std::string() : "/p" + std::to_string(random() % pages);
            const bool hasDay = random() % 13 != 0;
            // Days before 1970 too (day -1 is 1969-12-31).
            const std::int32_t day = std::int32_t((n / 500 + random() % 3) % dayCount) - 2;
            const std::uint32_t clicks = random() % 17 == 0 ? 1 + random() % 1000 : 1;
            const bool toSecond = random() % 2 == 0;
            EntryDetails& into = toSecond ? second : first;
            want.add(toSecond ? entryOf[entry] : entry, page, hasDay, day, clicks);
            if (random() % 10 == 0) {
                into.addLanding(entry, page, clicks);
                if (hasDay)
                    into.addDay(entry, day, clicks);
            } else {
                into.addLine(entry, page, hasDay, day, clicks);
            }
        }
        first.merge(second, entryOf);
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
