#include "TestSupport.h"

#include "engine/scan/ListKillDupes.h"
#include "engine/aggregate/ScanPart.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

using namespace backtrail::engine;

namespace {

// Referrer lines collapsed as a scan reads them (some entries arriving with
// counts already, as merged results bring them), against a plain count: one
// entry per referrer and bot flag in first-occurrence order, its clicks, its
// first and last times, and the lines beyond one each as the duplicates removed.
TEST(ListKillDupes, CollapsedListsCountAsAPlainTallySays)
{
    std::mt19937 random(11);
    for (int round = 0; round < 40; ++round) {
        struct Tally
        {
            std::string referrer;
            bool bot;
            std::uint32_t count = 0;
            LineTime first, last;
        };
        std::vector<Tally> expected;
        std::map<std::pair<std::string, bool>, std::size_t> at;
        std::uint64_t lines = 0;
        ScanPart part(true);
        const std::size_t n = random() % 3000;
        const unsigned distinct = 1 + random() % 2000;
        for (std::size_t i = 0; i < n; ++i) {
            // Letter case and a trailing blank make different referrers.
            const unsigned k = random() % distinct;
            const std::string referrer = "http://r" + std::to_string(k)
                + (k % 3 == 0       ? "/A"
                       : k % 3 == 1 ? "/a"
                                    : "/a ");
            const bool bot = random() % 4 == 0;
            const auto type = std::uint8_t(random() % 5);
            LineTime time;
            if (random() % 2 == 0) {
                time.valid = true;
                time.day = std::uint8_t(1 + random() % 28);
            }
            std::uint32_t count = 1;
            if (random() % 3 == 0) {
                count = 1 + random() % 9;
                part.addEntry(referrer, "/p", bot, type, count, time, time);
            } else {
                part.add(referrer, "/p", bot, time, [&] { return type; });
            }
            lines += count;
            const auto [place, fresh] = at.emplace(std::make_pair(referrer, bot), expected.size());
            if (fresh)
                expected.push_back({referrer, bot, 0, LineTime(), LineTime()});
            Tally& tally = expected[place->second];
            tally.count += count;
            KeepEarlier(tally.first, time);
            KeepLater(tally.last, time);
        }
        ScanState state;
        state.DuplicatesRemoved = 5;
        state.lists = part.takeEntries();
        backtrail::testing::FakeFrontEnd frontEnd;
        ListKillDupes(state, frontEnd);
        ASSERT_EQ(state.lists.size(), expected.size());
        EXPECT_EQ(std::uint64_t(state.DuplicatesRemoved), 5 + lines - expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(state.lists.entryText(i), CountText(expected[i].count) + "|" + expected[i].referrer);
            EXPECT_EQ(state.lists.isBot(i), expected[i].bot);
            EXPECT_EQ(state.lists.firstSeen[i], expected[i].first);
            EXPECT_EQ(state.lists.lastSeen[i], expected[i].last);
        }
        // The counts are written: a second pass removes nothing.
        EXPECT_EQ(RemoveDuplicates(state.lists), 0u);
    }
}

TEST(ListKillDupes, StatusTextsAndCounter)
{
    backtrail::testing::FakeFrontEnd frontEnd;
    ScanState state;
    state.progress.setRange(10);
    state.progress.value = 5;
    state.DuplicatesRemoved = 0;
    ListKillDupes(state, frontEnd);
    // An empty list: the first text only, the bar at 0.
    ASSERT_EQ(frontEnd.statuses.size(), 1u);
    EXPECT_EQ(frontEnd.statuses[0], QStringLiteral("Removing Duplicates...  Please Wait."));
    EXPECT_EQ(frontEnd.progress.back().first, 0.0);
    EXPECT_EQ(state.DuplicatesRemoved, 0);

    ScanPart part(true);
    for (const char* entry : {"A", "B", "A", "C", "A", "B"})
        part.add(entry, "", false, LineTime(), [] { return std::uint8_t(0); });
    state.lists = part.takeEntries();
    ListKillDupes(state, frontEnd);
    EXPECT_EQ(frontEnd.lastStatus(), QStringLiteral("Removing Duplicates...  Please Wait.  (3 removed)"));
    EXPECT_EQ(state.DuplicatesRemoved, 3);
    EXPECT_EQ(state.lists.entryText(0), "0000003|A");
    EXPECT_EQ(state.lists.entryText(1), "0000002|B");
    EXPECT_EQ(state.lists.entryText(2), "0000001|C");
}

TEST(CountText, ZeroFilledToSevenDigits)
{
    EXPECT_EQ(CountText(1), "0000001");
    EXPECT_EQ(CountText(12), "0000012");
    EXPECT_EQ(CountText(9999999), "9999999");
    EXPECT_EQ(CountText(10000000), "10000000");
}

} // namespace
