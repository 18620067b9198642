#include "TestSupport.h"

#include "engine/ListKillDupes.h"
#include "engine/ScanPart.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

using namespace backtrail::engine;

namespace {

// Duplicate removal written the plain, quadratic way: compare every entry with
// every later one (a crawler's entry equals only a crawler's), remove equal
// ones from both lists, prefix the counts.
struct NaiveResult
{
    std::vector<std::string> list1;
    std::vector<std::string> list2;
    std::vector<std::uint8_t> bot;
    std::uint32_t removed = 0;
};

NaiveResult naiveKillDupes(std::vector<std::string> list1, std::vector<std::string> list2,
                           std::vector<std::uint8_t> bot)
{
    NaiveResult r;
    for (std::size_t x = 0; x < list1.size(); ++x) {
        std::uint32_t count = 1;
        for (std::size_t y = x + 1; y < list1.size();) {
            if (list1[y] == list1[x] && (bot[y] != 0) == (bot[x] != 0)) {
                list1.erase(list1.begin() + std::ptrdiff_t(y));
                list2.erase(list2.begin() + std::ptrdiff_t(y));
                bot.erase(bot.begin() + std::ptrdiff_t(y));
                ++count;
                ++r.removed;
            } else {
                ++y;
            }
        }
        list1[x] = CountText(count) + "|" + list1[x];
    }
    r.list1 = list1;
    r.list2 = list2;
    r.bot = bot;
    return r;
}

void fill(WorkingLists& lists, const std::vector<std::string>& list1, const std::vector<std::string>& list2,
          const std::vector<std::uint8_t>& bot)
{
    lists.clear();
    for (std::size_t i = 0; i < list1.size(); ++i) {
        lists.List1.append(list1[i]);
        lists.List2.append(list2[i]);
        lists.landing.append("/" + list2[i]);
        lists.bot.push_back(bot[i]);
    }
}

TEST(ListKillDupes, AgreesWithThePlainPassOnRandomLists)
{
    std::mt19937 random(3);
    for (int round = 0; round < 200; ++round) {
        // Now and then a list long enough for the table to grow several times.
        const bool longList = round % 25 == 0;
        const std::size_t n = longList ? 2000 + random() % 3000 : random() % 60;
        const unsigned distinct = 1 + random() % (longList ? 4000 : 12);
        std::vector<std::string> list1, list2;
        std::vector<std::uint8_t> bot;
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned k = random() % distinct;
            // Letter case and a trailing blank make different referrers.
            list1.push_back("http://r" + std::to_string(k) + (k % 3 == 0 ? "/A" : k % 3 == 1 ? "/a" : "/a "));
            list2.push_back("line " + std::to_string(i));
            bot.push_back(std::uint8_t(random() % 2));
        }
        WorkingLists lists;
        fill(lists, list1, list2, bot);
        const std::uint32_t removed = RemoveDuplicates(lists);
        const NaiveResult expected = naiveKillDupes(list1, list2, bot);
        ASSERT_EQ(removed, expected.removed);
        ASSERT_EQ(lists.size(), expected.list1.size());
        for (std::size_t i = 0; i < lists.size(); ++i) {
            EXPECT_EQ(lists.entryText(i), expected.list1[i]);
            EXPECT_EQ(backtrail::testing::Str(lists.List2[i]), expected.list2[i]);
            EXPECT_EQ(backtrail::testing::Str(lists.landing[i]), "/" + expected.list2[i]);
            EXPECT_EQ(lists.bot[i], expected.bot[i]);
        }
    }
}

// Lists from a scan that collapsed equal referrers as it read skip the pass:
// the outcome must be the pass's own.
TEST(ListKillDupes, CollapsedListsComeOutAsThePassWouldMakeThem)
{
    std::mt19937 random(11);
    for (int round = 0; round < 40; ++round) {
        ScanPart part(true);
        const std::size_t n = random() % 3000;
        const unsigned distinct = 1 + random() % 2000;
        for (std::size_t i = 0; i < n; ++i) {
            const std::string referrer = "http://r" + std::to_string(random() % distinct);
            const std::string landing = "/p" + std::to_string(i);
            const bool bot = random() % 4 == 0;
            const auto type = std::uint8_t(random() % 5);
            if (random() % 3 == 0) {
                part.addEntry(referrer, landing, bot, type, 1 + random() % 9);
            } else {
                LineTime time;
                time.valid = random() % 2 == 0;
                time.day = std::uint8_t(1 + random() % 28);
                part.add(referrer, landing, bot, time, [&] { return type; });
            }
        }
        WorkingLists collapsed = part.takeEntries();
        ASSERT_TRUE(collapsed.distinct);
        WorkingLists passed;
        for (std::size_t i = 0; i < collapsed.size(); ++i) {
            passed.List1.append(collapsed.List1[i]);
            passed.landing.append(collapsed.landing[i]);
        }
        passed.bot = collapsed.bot;
        passed.types = collapsed.types;
        passed.counts = collapsed.counts;
        passed.firstSeen = collapsed.firstSeen;
        passed.lastSeen = collapsed.lastSeen;
        const bool countsWritten = round % 2 == 0;
        collapsed.countsWritten = passed.countsWritten = countsWritten;
        ASSERT_EQ(RemoveDuplicates(collapsed), RemoveDuplicates(passed));
        ASSERT_EQ(collapsed.size(), passed.size());
        for (std::size_t i = 0; i < passed.size(); ++i) {
            EXPECT_EQ(collapsed.entryText(i), passed.entryText(i));
            EXPECT_EQ(collapsed.landing[i], passed.landing[i]);
        }
        EXPECT_EQ(collapsed.bot, passed.bot);
        EXPECT_EQ(collapsed.types, passed.types);
        EXPECT_EQ(collapsed.counts, passed.counts);
        EXPECT_EQ(collapsed.firstSeen, passed.firstSeen);
        EXPECT_EQ(collapsed.lastSeen, passed.lastSeen);
        EXPECT_TRUE(collapsed.hasCounts());
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

    for (const char* entry : {"A", "B", "A", "C", "A", "B"}) {
        state.lists.List1.append(entry);
        state.lists.List2.append("");
        state.lists.landing.append("");
        state.lists.bot.push_back(0);
    }
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
