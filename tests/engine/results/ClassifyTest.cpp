#include "TestSupport.h"

#include "engine/results/Classify.h"
#include "engine/visitors/SpamList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <random>
#include <string>
#include <vector>

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

// The extension tests in the order they are tried, each with its spellings.
struct ExtensionTest
{
    std::vector<std::string> texts;
    std::string code;
};
const std::vector<ExtensionTest> kExtensionTests = {
    {{".jpeg", ".jpg"}, "JPG"}, {{".zip"}, "ZIP"}, {{".msi"}, "MSI"},          {{".gif"}, "GIF"},
    {{".asp"}, "ASP"},          {{".php"}, "PHP"}, {{".png"}, "PNG"},          {{".pdf"}, "PDF"},
    {{".tar"}, "TAR"},          {{".txt"}, "TXT"}, {{".aiff", ".aif"}, "AIF"}, {{".avi"}, "AVI"},
    {{".mov"}, "MOV"},          {{".mp3"}, "MP3"}, {{".mpeg", ".mpg"}, "MPG"}, {{".rm"}, "RM"},
    {{".swf"}, "SWF"},          {{".wav"}, "WAV"}, {{".wmf"}, "WMF"},          {{".eps"}, "EPS"},
    {{".ppt"}, "PPT"},          {{".psd"}, "PSD"}, {{".pict", ".pct"}, "PCT"}, {{".tiff", ".tif"}, "TIF"},
    {{".rtf"}, "RTF"},          {{".sea"}, "SEA"}, {{".sit"}, "SIT"},          {{".smil", ".sml"}, "SML"},
    {{".svg"}, "SVG"},          {{".xls"}, "XLS"}, {{".exe"}, "EXE"},
};

std::string upper(std::string text)
{
    for (char& c : text)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

TEST(ExtensionTable, EveryTestEverySpellingAndTheOrderTheyAreTriedIn)
{
    ASSERT_EQ(kExtensionTests.size(), 31u);
    for (std::size_t i = 0; i < kExtensionTests.size(); ++i) {
        const ExtensionTest& test = kExtensionTests[i];
        for (const std::string& text : test.texts) {
            // Alone, in either letter case, anywhere in the remainder.
            EXPECT_EQ(Str(ExtensionTable("GET /file" + text + " HTTP/1.1")), test.code) << text;
            EXPECT_EQ(Str(ExtensionTable("GET /FILE" + upper(text) + "?q=1 HTTP/1.1")), test.code) << text;
            // Beside a text of every later test, before or after it, the earlier test wins.
            for (std::size_t j = i + 1; j < kExtensionTests.size(); ++j)
                for (const std::string& later : kExtensionTests[j].texts) {
                    EXPECT_EQ(Str(ExtensionTable("GET /a" + later + "?b" + text)), test.code) << text << later;
                    EXPECT_EQ(Str(ExtensionTable("GET /a" + text + "?b" + later)), test.code) << text << later;
                }
        }
    }
    // None of them: HTM.
    for (const std::string remainder : {"GET /index.html HTTP/1.1", "GET /", "GET /jpg/zip.", ""})
        EXPECT_EQ(Str(ExtensionTable(remainder)), "HTM") << remainder;
}

// Random remainders against the rule itself: the first test any of whose
// texts occurs, in any letter case, decides.
TEST(ExtensionTable, RandomRemaindersAgainstTheRule)
{
    std::mt19937 random(3);
    const std::string alphabet = ".jpegzimsifaphntxrvocwlduPGJEZMSIFATX 0/";
    for (int round = 0; round < 20000; ++round) {
        std::string remainder;
        for (int i = int(random() % 24); i > 0; --i)
            remainder += alphabet[random() % alphabet.size()];
        std::string lower = remainder;
        for (char& c : lower)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        std::string expected = "HTM";
        for (const ExtensionTest& test : kExtensionTests) {
            if (std::any_of(test.texts.begin(), test.texts.end(),
                            [&](const std::string& text) { return lower.find(text) != std::string::npos; })) {
                expected = test.code;
                break;
            }
        }
        ASSERT_EQ(Str(ExtensionTable(remainder)), expected) << remainder;
    }
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
        lists.List2.push_back(ExtensionIndex(remainder));
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

// Rows point at the lists' bytes instead of copying them: they must read the
// same after the lists are gone, and a referrer that its own count's text
// runs through (which the row shows without it) is the row's own copy.
// A large table made on two cores: the same rows as on one.
TEST(FillResults, TwoCoresMakeTheRowsOfOne)
{
    std::mt19937 random(11);
    SpamList spam;
    spam.addHost("s3.example");
    spam.addHost("s7.example");
    for (const bool counted : {false, true}) {
        WorkingLists lists;
        const std::size_t n = 70000 + random() % 5000;
        for (std::size_t i = 0; i < n; ++i) {
            std::string referrer = "http://s" + std::to_string(random() % 10) + ".example/" + std::to_string(i);
            if (random() % 500 == 0)
                referrer += "0000002|tail";
            lists.List1.append(referrer);
            lists.landing.append("/p" + std::to_string(random() % 9));
            lists.bot.push_back(std::uint8_t(random() % 4 == 0));
            lists.List2.push_back(std::uint8_t(random() % 6));
            lists.counts.push_back(std::uint32_t(1 + random() % 40));
        }
        lists.countsWritten = counted;
        const ResultTable one = FillResults(lists, true, &spam, 1);
        const ResultTable two = FillResults(lists, true, &spam, 2);
        ASSERT_EQ(one.size(), n);
        ASSERT_EQ(two.size(), n);
        for (std::size_t i = 0; i < n; ++i) {
            const ResultRow a = one.row(i);
            const ResultRow b = two.row(i);
            ASSERT_EQ((std::array<std::string, 4> {Str(a.type), Str(a.clicks), Str(a.referrer), Str(a.landing)}),
                      (std::array<std::string, 4> {Str(b.type), Str(b.clicks), Str(b.referrer), Str(b.landing)}))
                << i;
            ASSERT_EQ(a.bot, b.bot) << i;
        }
    }
}

TEST(FillResults, RowsOutliveTheListsTheyWereMadeFrom)
{
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        auto lists = std::make_unique<WorkingLists>();
        const bool counted = round % 2 == 1;
        const std::size_t n = 1 + random() % 3000;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t count = 1 + random() % 3;
            std::string referrer = "http://r" + std::to_string(random() % 500) + ".example/";
            if (random() % 50 == 0)
                referrer += CountText(count) + "|tail";
            lists->List1.append(referrer);
            lists->List2.push_back(ExtensionIndex(random() % 2 ? "GET /x.gif" : "GET /y.html"));
            lists->landing.append("/page/" + std::to_string(random() % 40));
            lists->bot.push_back(std::uint8_t(random() % 2));
            lists->counts.push_back(count);
            LineTime time;
            time.valid = true;
            time.second = std::uint8_t(random() % 60);
            lists->firstSeen.push_back(time);
            time.minute = std::uint8_t(random() % 60);
            lists->lastSeen.push_back(time);
        }
        lists->countsWritten = counted;
        ResultTable rows = FillResults(*lists, true);
        std::vector<std::array<std::string, 4>> expected;
        std::vector<std::pair<LineTime, LineTime>> times;
        for (std::size_t i = 0; i < n; ++i) {
            std::string clicks;
            std::string referrer;
            SplitEntry(lists->entryText(i), clicks, referrer);
            expected.push_back({Str(rows.row(i).type), clicks, referrer, Str(lists->landing[i])});
            times.emplace_back(lists->firstSeen[i], lists->lastSeen[i]);
        }
        // The lists change after the rows were made (as duplicate removal or a
        // new scan changes them), then go.
        std::vector<std::size_t> kept;
        for (std::size_t i = 0; i < n; i += 2)
            kept.push_back(n - 1 - i);
        std::reverse(kept.begin(), kept.end());
        lists->List1.keepOnly(kept);
        lists->landing.set(0, "/changed");
        lists->landing.append("/more");
        lists->firstSeen[0].year = 1999;
        lists->lastSeen.push_back(LineTime());
        lists->firstSeen = SharedColumn<LineTime>::Vector(3);
        lists.reset();
        // Fresh allocations that would take the freed bytes' place.
        std::vector<std::string> filler(n, std::string(64, '#'));
        ResultTable moved = std::move(rows);
        ASSERT_EQ(moved.size(), n);
        for (std::size_t i = 0; i < n; ++i) {
            const ResultRow row = moved.row(i);
            ASSERT_EQ(
                (std::array<std::string, 4> {Str(row.type), Str(row.clicks), Str(row.referrer), Str(row.landing)}),
                expected[i])
                << round << " row " << i;
            ASSERT_EQ(row.firstSeen, times[i].first);
            ASSERT_EQ(row.lastSeen, times[i].second);
        }
    }
}

} // namespace

#include "engine/results/Grouping.h"

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
