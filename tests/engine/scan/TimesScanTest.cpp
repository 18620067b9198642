// When and where to, through whole scans: first and last seen, the date range,
// and each row's landing pages and days, on any number of threads, against a
// plain line-by-line reference.
#include "DriverFixture.h"

#include "engine/aggregate/EntryDetails.h"
#include "engine/fields/LineTime.h"
#include "engine/fields/LogReader.h"
#include "engine/results/Grouping.h"

#include <map>
#include <random>

using namespace backtrail::engine;
using namespace backtrail::testing;

namespace {

const char* const kMonths[] = {"Nov", "Dec"};
const char* const kOffsets[] = {"+0000", "+0100", "-0500"};
const char* const kReferrers[]
    = {"http://a.example/x", "http://www.a.example/y", "https://b.example/", "-", "http://mysite.example/own"};
const char* const kPaths[] = {"/", "/a.html", "/b.jpg", "/c?d=e"};

std::string randomLog(std::mt19937& random, int lines)
{
    std::string log;
    auto pick = [&](std::size_t n) { return std::size_t(random() % n); };
    for (int i = 0; i < lines; ++i) {
        const std::string referrer = kReferrers[pick(std::size(kReferrers))];
        const std::string path = kPaths[pick(std::size(kPaths))];
        // Few days, hours and offsets, so that times tie and ranges cut through them.
        const int day = 29 + int(pick(4)); // 29 Nov to 2 Dec
        const int hours[] = {0, 1, 5, 6, 11}; // with the offsets, different texts of one instant
        char bracket[64];
        std::snprintf(bracket, sizeof bracket, "[%02d/%s/2026:%02d:00:00 %s]", day > 30 ? day - 30 : day,
                      kMonths[day > 30 ? 1 : 0], hours[pick(5)], kOffsets[pick(3)]);
        switch (pick(8)) {
        case 0: // an ISO time, as JSON logs write it
            log += "{\"time\": \"2026-12-0" + std::to_string(1 + pick(2)) + "T2" + std::to_string(pick(4))
                + ":00:00+01:00\", \"referrer\": \"" + referrer + "\", \"request\": \"GET " + path
                + " HTTP/1.1\", \"agent\": \"Mozilla/5.0\"}";
            break;
        case 1: // no time at all, or a broken one
            log += std::string(pick(2) ? "[31/Nov/2026:10:00:00 +0000]" : "[x]") + " \"GET " + path
                + " HTTP/1.1\" 200 1 \"" + referrer + "\" \"Mozilla/5.0\"";
            break;
        case 2:
            log += "#Fields: date time cs-uri-stem cs(Referer)";
            break;
        case 3:
            log += "2026-12-0" + std::to_string(1 + pick(2)) + " 0" + std::to_string(pick(3)) + ":00:00.5 " + path + " "
                + referrer;
            break;
        default:
            log += "10.0.0.1 - - " + std::string(bracket) + " \"GET " + path + " HTTP/1.1\" 200 1 \"" + referrer
                + "\" \"Mozilla/5.0\"";
        }
        log += '\n';
    }
    return log;
}

struct Row
{
    std::string referrer;
    std::uint32_t clicks = 0;
    LineTime first, last;
    std::map<std::string, std::uint64_t> landings;
    std::map<std::int32_t, std::uint64_t> days;
};

// The plain scan: each referrer line found, its time, and the rows it adds to.
std::vector<Row> reference(const std::vector<std::string>& logs, const ScanSettings& settings, std::int64_t& outside)
{
    const QByteArray domain = settings.strYourWebsite.toUtf8();
    const ReferrerMatcher matcher(domain.toStdString(), settings.bHttps);
    const DateRange range = RangeOf(settings);
    std::vector<Row> rows;
    std::map<std::string, std::size_t> seen;
    outside = 0;
    for (const std::string& log : logs) {
        W3cFields fields;
        for (std::size_t p = 0; p < log.size();) {
            const std::size_t end = log.find('\n', p);
            const std::string line = log.substr(p, end - p);
            p = end + 1;
            if (!line.empty() && line[0] == '#')
                fields.readDirective(line);
            if (!matcher.IsReferrerLine(line))
                continue;
            const LineTime time = FindLineTime(line, fields);
            if (range.active() && (!time.valid || time.localKey() < range.since || time.localKey() > range.until)) {
                ++outside;
                continue;
            }
            std::string remainder, scratch;
            const std::string referrer(matcher.ExtractReferrer(line, remainder).text);
            std::size_t at = rows.size();
            if (settings.bRemoveDupes && seen.count(referrer))
                at = seen[referrer];
            if (at == rows.size()) {
                seen[referrer] = at;
                rows.push_back({referrer, 0, time, time, {}, {}});
            }
            Row& row = rows[at];
            ++row.clicks;
            if (time.valid && (!row.first.valid || time.instant() < row.first.instant()))
                row.first = time;
            if (time.valid && (!row.last.valid || time.instant() > row.last.instant()))
                row.last = time;
            ++row.landings[std::string(LandingPath(line, fields, scratch))];
            if (time.valid)
                ++row.days[time.localDay()];
        }
    }
    return rows;
}

void expectDetails(const RowDetails& got, const Row& want)
{
    std::map<std::string, std::uint64_t> landings;
    for (const LandingClicks& l : got.landings)
        landings[l.path] += l.clicks;
    EXPECT_EQ(landings, want.landings);
    // Most clicks first, equal clicks by path.
    for (std::size_t k = 1; k < got.landings.size(); ++k) {
        const LandingClicks& a = got.landings[k - 1];
        const LandingClicks& b = got.landings[k];
        EXPECT_TRUE(a.clicks > b.clicks || (a.clicks == b.clicks && a.path < b.path));
    }
    std::map<std::int32_t, std::uint64_t> days;
    for (const DayClicks& d : got.days)
        days[d.day] += d.clicks;
    EXPECT_EQ(days, want.days);
    for (std::size_t k = 1; k < got.days.size(); ++k)
        EXPECT_LT(got.days[k - 1].day, got.days[k].day);
}

} // namespace

TEST_F(Driver, FirstAndLastSeenRangesAndDetailsAsALineByLineReferenceSays)
{
    const char* const bounds[] = {"", "2026-11-29", "2026-11-30", "2026-12-01", "2026-12-01T11:00", "2026-12-02"};
    std::mt19937 random(812);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        frontEnd.files.clear();
        std::vector<std::string> logs;
        for (int f = 0; f < 1 + int(random() % 3); ++f) {
            logs.push_back(randomLog(random, int(random() % 250)));
            addFile(QStringLiteral("t%1-%2.log").arg(round).arg(f), logs.back());
        }
        settings.bRemoveDupes = random() % 4 != 0;
        settings.strDateSince = QString::fromLatin1(bounds[random() % std::size(bounds)]);
        settings.strDateUntil = QString::fromLatin1(bounds[random() % std::size(bounds)]);
        std::int64_t outside = 0;
        const std::vector<Row> expected = reference(logs, settings, outside);

        Scanner scanner(frontEnd, settings);
        scanner.setCollectDetails(random() % 4 != 0);
        scanner.setThreads(1 + int(random() % 3));
        scanner.setPieceBytes(64 + std::int64_t(random() % 2000));
        scanner.StartScan();
        EXPECT_EQ(scanner.state().OutsideRangeLines, outside);
        const ResultTable& rows = frontEnd.rows;
        ASSERT_EQ(rows.size(), expected.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE(expected[i].referrer);
            EXPECT_EQ(Str(rows.row(i).referrer), expected[i].referrer);
            EXPECT_EQ(rows.row(i).firstSeen.iso(), expected[i].first.iso());
            EXPECT_EQ(rows.row(i).lastSeen.iso(), expected[i].last.iso());
            const std::size_t entry[] = {i};
            const RowDetails details = scanner.details(entry);
            if (settings.bRemoveDupes && !scanner.state().detailsCollected) {
                EXPECT_TRUE(details.landings.empty() && details.days.empty());
                continue;
            }
            expectDetails(details, expected[i]);
            if (scanner.state().detailsCollected) {
                // Read in place, one entry's details come in the same order.
                RowDetails visited;
                const EntryDetails& kept = scanner.state().details;
                kept.visitLandingNumbers(i, [&](std::uint32_t page, std::uint64_t clicks) {
                    visited.landings.push_back({std::string(kept.landingName(page)), clicks});
                });
                scanner.state().details.visitDays(i, [&](std::int32_t day, std::uint64_t clicks) {
                    visited.days.push_back({day, clicks});
                });
                EXPECT_EQ(visited.landings, details.landings);
                EXPECT_EQ(visited.days, details.days);
            }
        }

        // Site rows: the earliest and latest of their referrers, and their details summed.
        std::vector<std::vector<std::size_t>> members;
        const ResultTable sites = GroupBySite(rows, &members);
        ASSERT_EQ(members.size(), sites.size());
        for (std::size_t s = 0; s < sites.size(); ++s) {
            Row sum;
            for (const std::size_t i : members[s]) {
                const Row& r = expected[i];
                if (r.first.valid && (!sum.first.valid || r.first.instant() < sum.first.instant()))
                    sum.first = r.first;
                if (r.last.valid && (!sum.last.valid || r.last.instant() > sum.last.instant()))
                    sum.last = r.last;
                for (const auto& [path, clicks] : r.landings)
                    sum.landings[path] += clicks;
                for (const auto& [day, clicks] : r.days)
                    sum.days[day] += clicks;
            }
            EXPECT_EQ(sites.row(s).firstSeen.iso(), sum.first.iso());
            EXPECT_EQ(sites.row(s).lastSeen.iso(), sum.last.iso());
            if (!settings.bRemoveDupes || scanner.state().detailsCollected)
                expectDetails(scanner.details(members[s]), sum);
        }
    }
}

// A day's text, from year 0 to 9999, is what the C library prints for the
// calendar date and reads back as the same day.
TEST(DayText, EveryFewDaysOfTenThousandYearsAsPrintfWritesAndReadsBack)
{
    using namespace std::chrono;
    for (std::int32_t day = sys_days(year(0) / 1 / 1).time_since_epoch().count();
         day <= sys_days(year(9999) / 12 / 31).time_since_epoch().count(); day += 7) {
        const year_month_day date {sys_days {days {day}}};
        char text[16];
        std::snprintf(text, sizeof text, "%04d-%02u-%02u", int(date.year()), unsigned(date.month()),
                      unsigned(date.day()));
        ASSERT_EQ(DayText(day), text);
        std::int32_t back = 0;
        ASSERT_TRUE(ReadDayText(text, back)) << text;
        ASSERT_EQ(back, day) << text;
    }
}
