// The text table at a terminal's width, and the orders rows are written in,
// on random rows against plain readings.
#include "engine/fields/LineTime.h"
#include "engine/results/RowOrder.h"
#include "engine/results/formats/Formats.h"
#include "engine/results/formats/TextOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace backtrail::engine;

namespace {

std::string randomText(std::mt19937& random, std::size_t most)
{
    static const char* const pieces[] = {"a", "B", "/", ".", "-", "?q=", "\xc3\xa9", "\xe2\x82\xac", "%20"};
    std::string text = random() % 2 ? "https://" : "http://";
    const std::size_t count = random() % most;
    for (std::size_t i = 0; i < count; ++i)
        text += pieces[random() % std::size(pieces)];
    return text;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// Every line fits the width; each row's referrer is whole, or its first and
// last characters with "…" between them; the table ends with the rows' number.
TEST(TableFormat, FitsRandomWidthsAndElidesReferrersInTheMiddle)
{
    std::mt19937 random(12);
    for (int round = 0; round < 300; ++round) {
        ResultTable rows;
        const std::size_t count = 1 + random() % 20;
        std::vector<std::string> referrers;
        for (std::size_t i = 0; i < count; ++i) {
            referrers.push_back(randomText(random, 200));
            const std::string clicks = std::string(7 - 1, '0') + char('1' + random() % 9);
            rows.append("HTM", clicks, referrers.back(), "/" + randomText(random, 80), kPersonMark, {}, {});
        }
        const std::size_t width = 40 + random() % 220;
        std::ostringstream stream;
        Output output(stream, QString());
        WriteTable(output, rows, RowSourcesOut(), width);
        const std::vector<std::string> written = lines(stream.str());
        ASSERT_EQ(written.size(), count + 2);
        EXPECT_EQ(written.back(), std::to_string(count) + (count == 1 ? " row" : " rows"));
        for (std::size_t k = 0; k + 1 < written.size(); ++k)
            EXPECT_LE(DisplayWidth(written[k]), width) << written[k];
        for (std::size_t i = 0; i < count; ++i) {
            const std::string& line = written[i + 1];
            const std::size_t start = line.find("http");
            ASSERT_NE(start, std::string::npos) << line;
            const std::string& whole = referrers[i];
            if (line.compare(start, whole.size(), whole) == 0)
                continue;
            const std::size_t dots = line.find("\u2026", start);
            ASSERT_NE(dots, std::string::npos) << line;
            const std::string head = line.substr(start, dots - start);
            const std::size_t tailStart = dots + 3;
            const std::size_t tailEnd = line.find("  ", tailStart);
            const std::string tail
                = line.substr(tailStart, tailEnd == std::string::npos ? std::string::npos : tailEnd - tailStart);
            EXPECT_EQ(whole.compare(0, head.size(), head), 0) << line;
            EXPECT_TRUE(whole.ends_with(tail)) << line << " / " << tail;
        }
    }
    // Without a width, no row count and nothing elided.
    ResultTable one;
    one.append("HTM", "0000001", "http://a.example/" + std::string(150, 'x'), "/", kPersonMark, {}, {});
    std::ostringstream stream;
    Output output(stream, QString());
    WriteTable(output, one, RowSourcesOut());
    EXPECT_EQ(lines(stream.str()).size(), 2u);
    EXPECT_NE(stream.str().find(std::string(150, 'x')), std::string::npos);
}

// Sorted rows against a plain sort of their texts, equal rows as they stand.
TEST(RowOrder, ClicksReferrerAndFirstSeenAgainstPlainSorts)
{
    std::mt19937 random(5);
    for (int round = 0; round < 100; ++round) {
        ResultTable rows;
        const std::size_t count = random() % 30;
        std::vector<std::tuple<std::uint64_t, std::string, std::string>> plain; // clicks, folded referrer, time
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t clicks = 1 + random() % 4;
            char text[8];
            std::snprintf(text, sizeof text, "%07llu", static_cast<unsigned long long>(clicks));
            std::string referrer = random() % 2 ? "HTTP://A.example/" : "http://a.example/";
            referrer += char('a' + random() % 3);
            LineTime seen;
            std::string when = "~"; // no time: last
            if (random() % 4) {
                const std::string iso = "2026-12-0" + std::to_string(1 + random() % 3) + "T10:00:00Z";
                seen = FindLineTime(iso, W3cFields());
                when = seen.iso();
            }
            rows.append("HTM", text, referrer, "/", kPersonMark, seen, seen);
            std::string folded = referrer;
            std::transform(folded.begin(), folded.end(), folded.begin(), [](char c) { return char(std::tolower(c)); });
            plain.emplace_back(clicks, folded, when);
        }
        auto expected = [&](auto less) {
            RowOrder order(count);
            for (std::size_t i = 0; i < count; ++i)
                order[i] = i;
            std::stable_sort(order.begin(), order.end(),
                             [&](std::size_t a, std::size_t b) { return less(plain[a], plain[b]); });
            return order;
        };
        EXPECT_EQ(SortedRows(rows, RowSort::Clicks),
                  expected([](const auto& a, const auto& b) { return std::get<0>(a) > std::get<0>(b); }));
        EXPECT_EQ(SortedRows(rows, RowSort::Referrer),
                  expected([](const auto& a, const auto& b) { return std::get<1>(a) < std::get<1>(b); }));
        EXPECT_EQ(SortedRows(rows, RowSort::FirstSeen),
                  expected([](const auto& a, const auto& b) { return std::get<2>(a) < std::get<2>(b); }));
        EXPECT_TRUE(SortedRows(rows, RowSort::Standing).empty());
    }
}

} // namespace
