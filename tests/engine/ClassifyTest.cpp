#include "TestSupport.h"

#include "engine/Classify.h"

#include <gtest/gtest.h>

using namespace backtrail::engine;
using backtrail::testing::Str;

namespace {

TEST(ExtensionTable, FirstTestInTableOrderWins)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"GET /a.zip?b.jpg HTTP/1.1", "JPG"}, // .jpg comes before .zip in the table, wherever it stands
        {"GET /photo.JPEG", "JPG"},
        {"GET /page.aspx", "ASP"},
        {"GET /src.tar.gz", "TAR"},
        {"GET /song.aiff", "AIF"},
        {"GET /x.mpeg", "MPG"},
        {"GET /clip.rm", "RM"},
        {"GET /a.pict", "PCT"},
        {"GET /index.html", "HTM"},
        {"GET / HTTP/1.1", "HTM"},
        {"GET /setup.exe and /b.xls", "XLS"},
        {"", "HTM"},
    };
    for (const auto& [remainder, code] : cases)
        EXPECT_EQ(Str(ExtensionTable(remainder)), code) << remainder;
}

TEST(SplitEntry, CountPrefixAndBareEntries)
{
    std::string clicks, referrer;
    SplitEntry("0000012|http://a.example/", clicks, referrer);
    EXPECT_EQ(clicks, "0000012");
    EXPECT_EQ(referrer, "http://a.example/");
    SplitEntry("http://a.example/", clicks, referrer);
    EXPECT_EQ(clicks, "");
    EXPECT_EQ(referrer, "http://a.example/");
    // Without duplicate removal an address holding "|" is split at it, and the
    // prefix is taken out wherever it occurs.
    SplitEntry("http://a|b/http://a|", clicks, referrer);
    EXPECT_EQ(clicks, "http://a");
    EXPECT_EQ(referrer, "b/");
}

TEST(FillResults, RowsInListOrderWithTypesAndBots)
{
    WorkingLists lists;
    const std::vector<std::tuple<std::string, std::string, std::uint8_t>> entries = {
        {"http://a.example/", "GET /x.gif", 0},
        {"http://www.google.com/bot.html", "GET /x.gif", 1},
        {"http://b.example/", "GET /index.html", 0},
    };
    for (const auto& [referrer, remainder, bot] : entries) {
        lists.List1.append(referrer);
        lists.List2.append(remainder);
        lists.landing.append("/x");
        lists.bot.push_back(bot);
    }
    ResultTable rows = FillResults(lists, true);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(Str(rows.row(0).type), "GIF");
    EXPECT_EQ(Str(rows.row(1).type), "BOT");
    EXPECT_EQ(Str(rows.row(2).type), "HTM");
    EXPECT_EQ(Str(rows.row(0).clicks), "");
    EXPECT_EQ(Str(rows.row(2).referrer), "http://b.example/");
    EXPECT_EQ(Str(rows.row(2).landing), "/x");

    rows = FillResults(lists, false);
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(Str(rows.row(i).type), "");
}

} // namespace

#include "engine/Grouping.h"

namespace {

TEST(GroupBySite, SitesInFirstOrderWithSummedClicksAndBotsApart)
{
    EXPECT_EQ(ReferringSite("http://WWW.Example.com:8080/a"), "example.com");
    EXPECT_EQ(ReferringSite("https://news.example.org?x"), "news.example.org");
    EXPECT_EQ(ReferringSite("http://a.example#frag"), "a.example");
    EXPECT_EQ(ReferringSite("http://a.example "), "a.example");

    ResultTable rows;
    rows.append("HTM", "0000003", "http://www.a.example/1", "/x");
    rows.append("BOT", "0000100", "http://a.example/bot.html", "/y");
    rows.append("JPG", "0000002", "http://b.example/", "/z");
    rows.append("HTM", "0000004", "http://A.example/2", "/w");
    ResultTable grouped = GroupBySite(rows);
    ASSERT_EQ(grouped.size(), 3u);
    EXPECT_EQ(Str(grouped.row(0).referrer), "a.example");
    EXPECT_EQ(Str(grouped.row(0).clicks), "0000007");
    EXPECT_EQ(Str(grouped.row(0).type), "");
    EXPECT_EQ(Str(grouped.row(1).referrer), "a.example"); // the crawler's visits stay apart
    EXPECT_EQ(Str(grouped.row(1).type), "BOT");
    EXPECT_EQ(Str(grouped.row(1).clicks), "0000100");
    EXPECT_EQ(Str(grouped.row(2).clicks), "0000002");

    // Without click counts each row counts once.
    ResultTable bare;
    bare.append("", "", "http://c.example/1", "");
    bare.append("", "", "http://c.example/2", "");
    EXPECT_EQ(Str(GroupBySite(bare).row(0).clicks), "0000002");
}

} // namespace
