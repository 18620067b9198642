#include "TestSupport.h"

#include "engine/ListKillDupes.h"

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
        const std::size_t n = random() % 60;
        const unsigned distinct = 1 + random() % 12;
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
