// The fields of lines cut from random blocks, taken from the block's marks,
// against plain readings of each line that search it byte by byte.
#include "PlainReferrerRule.h"

#include "engine/fields/LineTime.h"
#include "engine/fields/LogReader.h"
#include "engine/fields/UserAgent.h"
#include "engine/input/LineScanner.h"
#include "engine/input/LogSource.h"

#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <memory>
#include <random>
#include <string>

using namespace backtrail::engine;
using backtrail::testing::PlainReferrerStart;

namespace {

constexpr std::size_t npos = std::string_view::npos;

// The quoted request's opening quote: the first quote followed by capital
// letters and one blank.
std::size_t plainRequestQuote(std::string_view line)
{
    for (std::size_t q = line.find('"'); q != npos; q = line.find('"', q + 1)) {
        std::size_t j = q + 1;
        while (j < line.size() && line[j] >= 'A' && line[j] <= 'Z')
            ++j;
        if (j > q + 1 && j < line.size() && line[j] == ' ')
            return q;
    }
    return npos;
}

std::string plainLanding(std::string_view line, const W3cFields& fields)
{
    if (const std::size_t q = plainRequestQuote(line); q != npos) {
        const std::size_t start = line.find(' ', q) + 1;
        return std::string(line.substr(start, line.find_first_of(" \"", start) - start));
    }
    std::string scratch;
    return std::string(LandingPath(line, fields, scratch)); // a W3C line's fields: no quote to find
}

// The closing quote of the field opened at `opening`: the next quote after an
// even run of backslashes.
std::size_t plainClosing(std::string_view line, std::size_t opening)
{
    for (std::size_t q = line.find('"', opening + 1); q != npos; q = line.find('"', q + 1)) {
        std::size_t backslashes = 0;
        while (q - backslashes > opening + 1 && line[q - backslashes - 1] == '\\')
            ++backslashes;
        if (backslashes % 2 == 0)
            return q;
    }
    return npos;
}

std::pair<std::size_t, std::size_t> plainUserAgent(std::string_view line, const W3cFields& fields)
{
    const std::size_t request = plainRequestQuote(line);
    if (request == npos) {
        const UserAgentSpan span = FindUserAgent(line, fields); // a W3C line's fields
        return {span.begin, span.end};
    }
    std::pair<std::size_t, std::size_t> span {npos, npos};
    for (std::size_t closing = plainClosing(line, request); closing != npos;) {
        const std::size_t opening = line.find('"', closing + 1);
        if (opening == npos)
            break;
        closing = plainClosing(line, opening);
        if (closing != npos)
            span = {opening + 1, closing};
        else if (span.first != npos)
            span = {opening + 1, line.size()};
    }
    return span;
}

std::string randomLog(std::mt19937& random)
{
    static const char* const pieces[] = {
        "1.2.3.4 - - ",
        "[10/Dec/2026:10:00:00 +0000] ",
        "[31/Feb/2026:10:00:00 +0000]",
        "\"GET /a/b.html?q=1 HTTP/1.1\" 200 12 ",
        "\"POST /form\" ",
        "\"http://other.example/page\" ",
        "\"https://www.own.example/x\" ",
        "\"HTTP://Other.Example/\" ",
        "\"-\" ",
        "\"Mozilla/5.0 (compatible; bot; +http://bot.example/about)\"",
        "\"a \\\"quoted\\\" agent\"",
        "\\\\\"",
        "2026-12-10T10:00:00Z ",
        "2026-12-10\t10:00:00\t/p.asp\tid=3\tMozilla/5.0+(X11)\thttp://w3c.example/\t",
        "#Fields: date time cs-uri-stem cs-uri-query cs(User-Agent) cs(Referer)",
        "://",
        "\"",
        "[",
        " ",
        "(",
        ")",
        "\t",
        "\n",
        "\r\n",
        "\r",
        "\n\r",
    };
    std::string log;
    const int count = int(random() % 120);
    for (int i = 0; i < count; ++i) {
        if (random() % 10 == 0)
            log += char(random() % 256);
        else
            log += pieces[random() % std::size(pieces)];
    }
    return log;
}

TEST(FieldsFromMarks, EqualPlainReadingsOfRandomLinesInRandomBlocks)
{
    for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        SCOPED_TRACE(StructureTarget());
        std::mt19937 random(3);
        for (int round = 0; round < 400; ++round) {
            const std::string log = randomLog(random);
            const bool https = round % 2 == 0;
            const ReferrerMatcher matcher("own.example", https, LogFormat::Text);
            const std::unique_ptr<LogSource> source = LogSource::fromBytes(log);
            LineScanner scanner(1 << 20, 1 + random() % 200);
            W3cFields fields;
            std::string scratch;
            scanner.run(*source, [&](std::string_view line, const LineMarks& marks) {
                if (!line.empty() && line.front() == '#')
                    fields.readDirective(line);
                ReferrerMatcher::Referrer referrer;
                std::size_t start = npos;
                LineFields text; // read by the text rule
                const bool found = matcher.findReferrer(line, marks, text, referrer, start);
                const std::size_t plainStart = PlainReferrerStart(line, "own.example", https);
                EXPECT_EQ(found, plainStart != npos) << line;
                if (found) {
                    EXPECT_EQ(start, plainStart) << line;
                    std::string remainder;
                    EXPECT_EQ(referrer.text, matcher.ExtractReferrer(line, remainder).text) << line;
                }
                EXPECT_EQ(std::string(LandingPath(line, marks, fields, scratch)), plainLanding(line, fields)) << line;
                const UserAgentSpan agent = FindUserAgent(line, marks, fields);
                EXPECT_EQ(std::make_pair(agent.begin, agent.end), plainUserAgent(line, fields)) << line;
                EXPECT_EQ(FindLineTime(line, marks, fields), FindLineTime(line, fields)) << line;
                return true;
            });
        }
    }
    hwy::SetSupportedTargetsForTest(0);
}

} // namespace
