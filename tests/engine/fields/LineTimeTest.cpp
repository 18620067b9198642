#include "engine/fields/LineTime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>

using namespace backtrail::engine;

namespace {

// One W3C layout for the table: a line with five blank-separated fields is read as W3C.
W3cFields w3cLayout()
{
    W3cFields fields;
    fields.readDirective("#Fields: date time c-ip cs-uri-stem cs(Referer)");
    return fields;
}

struct Case
{
    const char* line;
    const char* iso; ///< "" when the line has no time
};

} // namespace

TEST(LineTime, FormatsAndBrokenTimes)
{
    const Case cases[] = {
        // Combined and common logs.
        {R"(1.2.3.4 - - [08/Dec/2026:17:13:23 +0200] "GET / HTTP/1.1" 200 5 "http://a.example/" "UA")",
         "2026-12-08T17:13:23+02:00"},
        {"1.2.3.4 - - [10/Oct/2000:13:55:36 -0700] \"GET /a HTTP/1.0\" 200 2326", "2000-10-10T13:55:36-07:00"},
        {"[01/Jan/1970:00:00:00 +0000]", "1970-01-01T00:00:00+00:00"},
        {"[31/Dec/2099:23:59:59 +0530]", "2099-12-31T23:59:59+05:30"},
        {"[15/Jul/2026:08:00:00 -0930]", "2026-07-15T08:00:00-09:30"},
        {"[01/Foo/2026:10:00:00 +0000]", ""},
        {"[01/dec/2026:10:00:00 +0000]", ""},
        {"[01/DEC/2026:10:00:00 +0000]", ""},
        {"[01/Dec/2026:25:00:00 +0000]", ""},
        {"[01/Dec/2026:24:00:00 +0000]", ""},
        {"[01/Dec/2026:10:60:00 +0000]", ""},
        {"[01/Dec/2026:10:00:60 +0000]", ""},
        {"[01/Dec/2026:10:00:00 +00x0]", ""},
        {"[01/Dec/2026:10:00:00 +00:00]", ""},
        {"[00/Dec/2026:10:00:00 +0000]", ""},
        {"[31/Apr/2026:10:00:00 +0000]", ""},
        {"[30/Apr/2026:10:00:00 +0000]", "2026-04-30T10:00:00+00:00"},
        {"[29/Feb/2024:10:00:00 +0000]", "2024-02-29T10:00:00+00:00"},
        {"[29/Feb/2000:10:00:00 +0000]", "2000-02-29T10:00:00+00:00"},
        {"[29/Feb/2023:10:00:00 +0000]", ""},
        {"[29/Feb/2100:10:00:00 +0000]", ""},
        {"[ 8/Dec/2026:17:13:23 +0200]", ""},
        {"1.2.3.4 - - [08/Dec/2026:17:13", ""},
        {"1.2.3.4 - - [08/Dec/2026:17:13:23 +0200", ""},
        {R"(1.2.3.4 - - [08/Dec/2026:17:13:23 +0200 "GET / HTTP/1.1" 200 5 "http://a.example/")", ""},
        {"[31/Apr/2026:10:00:00 +0000] [01/May/2026:10:00:00 +0000]", "2026-05-01T10:00:00+00:00"},
        {"[error] [client 1.2.3.4] [08/Dec/2026:17:13:23 +0100]", "2026-12-08T17:13:23+01:00"},
        {"[01/Dec/2026:10:00:00 +0000", ""},
        // A bracket comes before an ISO date-time anywhere in the line.
        {"2025-01-01T00:00:00Z [08/Dec/2026:17:13:23 +0200]", "2026-12-08T17:13:23+02:00"},
        // W3C lines of the layout above, in UTC.
        {"2026-12-08 17:13:23 10.0.0.1 /index.html http://a.example/", "2026-12-08T17:13:23+00:00"},
        {"2026-12-08 17:13:23.123 10.0.0.1 /index.html http://a.example/", "2026-12-08T17:13:23+00:00"},
        {"2026-12-08  17:13:23 10.0.0.1 /index.html   http://a.example/", "2026-12-08T17:13:23+00:00"},
        {"2026-12-08 17:13:23 10.0.0.1 /index.html http://a.example/ extra", ""},
        {"2026-12-08 17:13:23 /index.html http://a.example/", ""},
        {"2026-12-08 17:13:23. 10.0.0.1 /index.html http://a.example/", ""},
        {"2026-02-30 17:13:23 10.0.0.1 /index.html http://a.example/", ""},
        {"#Date: 2026-12-08 17:13:23 a b", ""},
        // ISO 8601 date-times as nginx and JSON logs write them.
        {R"({"time":"2026-12-08T17:13:23Z","referer":"http://a.example/"})", "2026-12-08T17:13:23+00:00"},
        {R"({"time":"2026-12-08T17:13:23+02:00"})", "2026-12-08T17:13:23+02:00"},
        {R"({"time":"2026-12-08T17:13:23-0345"})", "2026-12-08T17:13:23-03:45"},
        {R"({"time":"2026-12-08T17:13:23.123456+01:00"})", "2026-12-08T17:13:23+01:00"},
        {"2026-12-08T17:13:23,5Z GET /", "2026-12-08T17:13:23+00:00"},
        {"2026-12-08T17:13:23+00:00", "2026-12-08T17:13:23+00:00"},
        {"2026-12-08T17:13:23-00:00", "2026-12-08T17:13:23+00:00"},
        {"2026-12-08T17:13:23", ""},
        {"2026-12-08T17:13:23 GET /", ""},
        {"2026-12-08T17:13:23+02", ""},
        {"2026-12-08T17:13:23+02:001", ""},
        {"2026-12-08T17:13:23+02:60", ""},
        {"2026-12-08T17:13:23.Z", ""},
        {"12026-12-08T17:13:23Z", ""},
        {"2026-13-08T17:13:23Z", ""},
        {"GET /?from=2026-12-08T10:00:00 HTTP/1.1 at 2026-12-09T11:00:00+01:00", "2026-12-09T11:00:00+01:00"},
        {"T", ""},
        {"", ""},
    };
    const W3cFields fields = w3cLayout();
    for (const Case& c : cases) {
        const LineTime time = FindLineTime(c.line, fields);
        EXPECT_EQ(time.valid, *c.iso != '\0') << c.line;
        EXPECT_EQ(time.iso(), c.iso) << c.line;
    }
    // Without a W3C layout the same W3C line has no time.
    EXPECT_FALSE(FindLineTime("2026-12-08 17:13:23 10.0.0.1 /index.html http://a.example/", {}).valid);
}

TEST(LineTime, W3cDirectives)
{
    W3cFields fields;
    fields.readDirective("#Fields: c-ip date cs-uri-stem time");
    EXPECT_EQ(FindLineTime("10.0.0.1 2026-12-08 / 01:02:03", fields).iso(), "2026-12-08T01:02:03+00:00");
    fields.readDirective("#Software: Microsoft Internet Information Services");
    EXPECT_EQ(fields.count, 4);
    // The latest "#Fields:" line counts, and one without a time field gives no W3C time.
    fields.readDirective("#Fields: date c-ip cs-uri-stem cs(Referer)");
    EXPECT_EQ(fields.time, -1);
    EXPECT_FALSE(FindLineTime("2026-12-08 10.0.0.1 / 01:02:03", fields).valid);
}

TEST(LineTime, RangeBounds)
{
    const auto key = [](const char* line) { return FindLineTime(line, {}).localKey(); };
    EXPECT_EQ(ParseRangeBound("2026-12-08", false), key("2026-12-08T00:00:00Z"));
    EXPECT_EQ(ParseRangeBound("2026-12-08", true), key("2026-12-08T23:59:59Z"));
    EXPECT_EQ(ParseRangeBound("2026-12-08T10:00", true), key("2026-12-08T10:00:00Z"));
    EXPECT_EQ(ParseRangeBound("2026-12-08 10:00:30", false), key("2026-12-08T10:00:30Z"));
    EXPECT_EQ(ParseRangeBound("2024-02-29", false), key("2024-02-29T00:00:00Z"));
    for (const char* bad : {"", "2026-12-8", "2026-02-29", "2026-12-08T", "2026-12-08T10", "2026-12-08T10:00Z",
                            "2026-12-08T24:00", "2026-12-08T10:00:60", "2026-12-08x10:00", "2026/12/08", "yesterday",
                            "2026-12-08 ", " 2026-12-08", "2026-12-08T10:00:00+02:00"})
        EXPECT_EQ(ParseRangeBound(bad, false), std::nullopt) << bad;

    // --since and --until of the same day: its first and last second are inside
    // whatever the offset, the seconds around it outside.
    const DateRange day {*ParseRangeBound("2026-12-08", false), *ParseRangeBound("2026-12-08", true)};
    EXPECT_TRUE(day.active());
    const auto inside = [&](const char* line) { return day.contains(FindLineTime(line, {})); };
    EXPECT_TRUE(inside("[08/Dec/2026:00:00:00 +1400]"));
    EXPECT_TRUE(inside("[08/Dec/2026:23:59:59 -1200]"));
    EXPECT_TRUE(inside("2026-12-08T23:59:59.999Z"));
    EXPECT_FALSE(inside("[07/Dec/2026:23:59:59 -1200]"));
    EXPECT_FALSE(inside("[09/Dec/2026:00:00:00 +1400]"));
    EXPECT_FALSE(inside("no time here"));

    const DateRange open;
    EXPECT_FALSE(open.active());
    EXPECT_TRUE(open.contains(LineTime {}));
    const DateRange from {*ParseRangeBound("2026-12-08T10:00", false)};
    EXPECT_TRUE(from.active());
    EXPECT_FALSE(from.contains(FindLineTime("[08/Dec/2026:09:59:59 +0000]", {})));
    EXPECT_TRUE(from.contains(FindLineTime("[31/Dec/9999:23:59:59 +0000]", {})));
}

// Random date-times (days 1..31 of every month, so some do not exist) written
// in each of the three formats, against std::chrono's calendar, whole and cut.
TEST(LineTime, RandomTimesInEachFormat)
{
    using namespace std::chrono;
    static const char* const kMonths[]
        = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::mt19937 random(20261208);
    const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const W3cFields fields = w3cLayout();
    for (int round = 0; round < 30000; ++round) {
        const int y = pick(1970, 2100), mo = pick(1, 12), d = pick(1, 31);
        const int h = pick(0, 23), mi = pick(0, 59), s = pick(0, 59);
        const int offset = pick(0, 3) == 0 ? 0 : pick(-(23 * 60 + 59), 23 * 60 + 59);
        const year_month_day date {year {y}, month {unsigned(mo)}, day {unsigned(d)}};
        const char sign = offset < 0 ? '-' : '+';
        const int zone = offset < 0 ? -offset : offset;
        const std::string fraction = pick(0, 1) ? "." + std::to_string(pick(0, 999999)) : "";

        char line[160];
        const int format = round % 3;
        if (format == 0) {
            std::snprintf(line, sizeof line,
                          "10.1.2.3 - - [%02d/%s/%04d:%02d:%02d:%02d %c%02d%02d] \"GET /p HTTP/1.1\" 200 9 "
                          "\"http://r.example/\" \"UA\"",
                          d, kMonths[mo - 1], y, h, mi, s, sign, zone / 60, zone % 60);
        } else if (format == 1) {
            std::snprintf(line, sizeof line, "%04d-%02d-%02d %02d:%02d:%02d%s 10.1.2.3 /p http://r.example/", y, mo, d,
                          h, mi, s, fraction.c_str());
        } else if (offset == 0 && pick(0, 1)) {
            std::snprintf(line, sizeof line, "{\"time\":\"%04d-%02d-%02dT%02d:%02d:%02d%sZ\",\"r\":\"http://r/\"}", y,
                          mo, d, h, mi, s, fraction.c_str());
        } else {
            std::snprintf(line, sizeof line, "{\"time\":\"%04d-%02d-%02dT%02d:%02d:%02d%s%c%02d%s%02d\"}", y, mo, d, h,
                          mi, s, fraction.c_str(), sign, zone / 60, pick(0, 1) ? ":" : "", zone % 60);
        }
        const int expectedOffset = format == 1 ? 0 : offset;

        const LineTime time = FindLineTime(line, fields);
        ASSERT_EQ(time.valid, date.ok()) << line;
        if (!date.ok())
            continue;

        // The line cut before its time ends has none; the cut copy fills its
        // buffer exactly, so that a sanitized build sees any read past the end.
        const std::string_view text(line);
        const std::size_t timeEnd = format == 0 ? text.find(']') + 1
            : format == 1                       ? text.rfind(' ')
                                                : text.find('"', 9);
        const std::size_t cut = std::size_t(pick(0, int(timeEnd) - 1));
        const auto copy = std::make_unique<char[]>(cut);
        std::memcpy(copy.get(), line, cut);
        ASSERT_FALSE(FindLineTime(std::string_view(copy.get(), cut), fields).valid) << text.substr(0, cut);
        const std::int64_t days = sys_days {date}.time_since_epoch().count();
        const std::int64_t key = days * 86400 + h * 3600 + mi * 60 + s;
        ASSERT_EQ(time.localKey(), key) << line;
        ASSERT_EQ(time.instant(), key - expectedOffset * 60) << line;
        ASSERT_EQ(time.localDay(), days) << line;
        ASSERT_EQ(time.offsetMinutes, expectedOffset) << line;
        ASSERT_EQ(time.year * 10000 + time.month * 100 + time.day, y * 10000 + mo * 100 + d) << line;
        // What iso() writes is read back as the same time.
        ASSERT_EQ(FindLineTime(time.iso(), {}), time) << line << " " << time.iso();
        // Instants order alike however they are compared, against the time
        // before, in its own offset or another.
        static LineTime before;
        if (before.valid) {
            ASSERT_EQ(time.earlierThan(before), time.instant() < before.instant()) << line;
            ASSERT_EQ(before.earlierThan(time), before.instant() < time.instant()) << line;
            LineTime sameOffset = before;
            sameOffset.offsetMinutes = time.offsetMinutes;
            ASSERT_EQ(time.earlierThan(sameOffset), time.instant() < sameOffset.instant()) << line;
        }
        before = time;
    }
}
