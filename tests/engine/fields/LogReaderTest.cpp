#include "TestSupport.h"

#include "PlainReferrerRule.h"

#include "engine/fields/LineTime.h"
#include "engine/fields/LogReader.h"
#include "engine/fields/UserAgent.h"
#include "engine/input/LineScanner.h"
#include "engine/input/LogSource.h"

#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <algorithm>
#include <memory>
#include <random>

using namespace backtrail::engine;
using backtrail::testing::PlainReferrerStart;
using backtrail::testing::Str;
using backtrail::testing::WriteBytes;

namespace {

// The line rule written the plain way: CR LF, lone CR, lone LF end a line.
std::vector<std::string> naiveLines(std::string_view bytes)
{
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

// Where each kind of structural byte stands in a line, marked or searched.
using MarkPlaces = std::vector<std::size_t>;
MarkPlaces markedPlaces(const LineMarks& marks, std::size_t length)
{
    MarkPlaces places;
    for (const Mark kind : {Mark::Quote, Mark::Bracket, Mark::Scheme}) {
        for (std::size_t at = marks.next(kind, 0); at != std::string_view::npos; at = marks.next(kind, at + 1))
            places.push_back(at);
        places.push_back(length); // ends this kind's places
    }
    return places;
}
MarkPlaces plainPlaces(std::string_view line)
{
    MarkPlaces places;
    for (const std::string_view needle : {"\"", "[", "://"}) {
        for (std::size_t at = line.find(needle); at != std::string_view::npos; at = line.find(needle, at + 1))
            places.push_back(at);
        places.push_back(line.size());
    }
    return places;
}

// The lines of a source, each line's marks checked against a plain search.
std::vector<std::string> scanSource(LogSource& source, std::size_t blockSize, std::size_t window = 64 << 10)
{
    std::vector<std::string> lines;
    // The lines handed out are views that must hold their bytes until the
    // scanner says it reuses them.
    std::vector<std::pair<std::string_view, std::size_t>> views;
    auto checkViews = [&] {
        for (const auto& [view, index] : views)
            EXPECT_EQ(view, lines[index]) << "line " << index << " changed before the scanner said so";
        views.clear();
    };
    LineScanner scanner(blockSize, window);
    EXPECT_TRUE(scanner.run(
        source,
        [&](std::string_view line, const LineMarks& marks) {
            lines.emplace_back(line);
            views.emplace_back(line, lines.size() - 1);
            EXPECT_EQ(markedPlaces(marks, line.size()), plainPlaces(line)) << line;
            return true;
        },
        checkViews));
    checkViews();
    return lines;
}

std::vector<std::string> scanLines(const QString& path, std::size_t blockSize, std::size_t window = 64 << 10)
{
    QString error;
    auto source = LogSource::open(path, &error);
    EXPECT_TRUE(source) << error.toStdString();
    if (!source)
        return {};
    return scanSource(*source, blockSize, window);
}

// The same bytes held in memory, cut where they lie.
std::vector<std::string> scanBytes(std::string_view bytes, std::size_t window = 64 << 10)
{
    const std::unique_ptr<LogSource> source = LogSource::fromBytes(bytes);
    EXPECT_TRUE(source->inMemory().has_value());
    return scanSource(*source, 16, window);
}

class LineRule : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("log")); }
};

TEST_F(LineRule, TerminatorsAndEdges)
{
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"a\n\rb", {"a", "", "b"}}, // LF then CR is two line ends
        {"\n\n", {"", ""}},
        {"\r\n", {""}},
        {std::string("x\0y\n", 4), {std::string("x\0y", 3)}},
    };
    for (const auto& [bytes, expected] : cases) {
        WriteBytes(path(), bytes);
        for (const std::size_t block : {std::size_t(1), std::size_t(2), std::size_t(3), std::size_t(1) << 20})
            EXPECT_EQ(scanLines(path(), block), expected) << "block " << block;
        EXPECT_EQ(scanBytes(bytes), expected) << "in memory";
    }
}

TEST_F(LineRule, MatchesPlainSplitterOnRandomBytesAndBlockSizes)
{
    // Every instruction set the structural pass has here; random windows, so
    // that lines and "://" straddle the marks' words and the windows alike.
    for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        SCOPED_TRACE(StructureTarget());
        std::mt19937 random(7);
        const std::string alphabet = "ab:/\r\n http\"[";
        for (int round = 0; round < 300; ++round) {
            std::string bytes(random() % (round % 3 ? 200 : 2000), ' ');
            for (char& c : bytes)
                c = alphabet[random() % alphabet.size()];
            WriteBytes(path(), bytes);
            const std::size_t block = 1 + random() % 64;
            const std::size_t window = 1 + random() % 300;
            const auto lines = scanLines(path(), block, window);
            ASSERT_EQ(lines, naiveLines(bytes)) << "round " << round;
            EXPECT_EQ(scanBytes(bytes, window), lines) << "round " << round << ", in memory";
        }
    }
    hwy::SetSupportedTargetsForTest(0);
}

TEST_F(LineRule, LineLongerThanTheCapIsCutAndCountsOnce)
{
    std::string bytes = "first\n";
    bytes += "http://long/";
    bytes.append(kMaxLineBytes + 1000, 'x');
    bytes += "\r\nlast";
    WriteBytes(path(), bytes);
    const auto lines = scanLines(path(), std::size_t(1) << 20);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "first");
    EXPECT_EQ(lines[1].size(), kMaxLineBytes);
    EXPECT_EQ(lines[1].substr(0, 12), "http://long/");
    EXPECT_EQ(lines[2], "last");
}

TEST(CaseInsensitiveFinder, AgreesWithPlainSearch)
{
    std::mt19937 random(11);
    const std::string alphabet = "aAbB.:/-zZ\r@`";
    auto lower = [](std::string s) {
        for (char& c : s)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    for (int round = 0; round < 4000; ++round) {
        std::string text(random() % (round % 2 ? 40 : 200), ' ');
        for (char& c : text)
            c = alphabet[random() % alphabet.size()];
        std::string needle(random() % 4, ' ');
        for (char& c : needle)
            c = alphabet[random() % alphabet.size()];
        if (round % 3 == 0 && !text.empty()) {
            // A longer needle taken from the text, its letters' case flipped at random.
            const std::size_t at = random() % text.size();
            needle = text.substr(at, 2 + random() % 30);
            for (char& c : needle) {
                if (std::isalpha(static_cast<unsigned char>(c)) && random() % 2)
                    c = char(c ^ 0x20);
            }
        }
        const std::size_t from = random() % (text.size() + 2);
        const std::size_t expected = from > text.size() ? std::string::npos : lower(text).find(lower(needle), from);
        EXPECT_EQ(CaseInsensitiveFinder(needle).find(text, from), expected) << text << " / " << needle;
    }
    // Only ASCII letters fold: other bytes compare exactly.
    EXPECT_EQ(CaseInsensitiveFinder("\xc3\xa9").find("\xc3\x89"), std::string::npos);
}

struct ExtractCase
{
    const char* name;
    std::string line;
    std::string referrer;
    std::string remainder;
    bool bot;
};

TEST(ExtractReferrer, CutsTheAddressAsTheLogLineCarriesIt)
{
    const ReferrerMatcher matcher("mysite.example", false);
    const std::vector<ExtractCase> cases = {
        {"combined format: the quote ends it",
         R"~(1.2.3.4 - - [x] "GET /a.png HTTP/1.1" 200 5 "http://ref.example/page" "Mozilla/5.0 (X11; Linux)")~",
         "http://ref.example/page", R"~(1.2.3.4 - - [x] "GET /a.png HTTP/1.1" 200 5 "" "Mozilla/5.0 (X11; Linux)")~",
         false},
        {"capitals kept", "GET HTTP://Ref.Example/X end", "HTTP://Ref.Example/X ", "GET end", false},
        {"inside parentheses: a crawler",
         R"~("-" "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)")~",
         "http://www.google.com/bot.html", R"~("-" "Mozilla/5.0 (compatible; Googlebot/2.1; +)")~", true},
        {"blank kept, no later paren", "x http://a.example/p y", "http://a.example/p ", "x y", false},
        {"end of line", "x http://a.example/p", "http://a.example/p", "x ", false},
        {"two addresses: the first", "http://one.example/ http://two.example/", "http://one.example/ ",
         "http://two.example/", false},
        {"every occurrence leaves the remainder", "http://a.example) http://a.example)", "http://a.example", ") )",
         true},
        {"a later paren runs the referrer to it", "x http://a.example/ b c)", "http://a.example/ b c", "x )", true},
    };
    for (const ExtractCase& c : cases) {
        ASSERT_TRUE(matcher.IsReferrerLine(c.line)) << c.name;
        std::string remainder;
        const auto referrer = matcher.ExtractReferrer(c.line, remainder);
        EXPECT_EQ(std::string(referrer.text), c.referrer) << c.name;
        EXPECT_EQ(remainder, c.remainder) << c.name;
        EXPECT_EQ(referrer.closedByParen, c.bot) << c.name;
    }
}

// Random tails after an address against the rule read plainly: the referrer
// runs to the first ")" (a crawler's), else to the first blank (kept), else to
// the end; a double quote or a control byte (a tab) after its first byte that
// comes no later ends it there.
TEST(ExtractReferrer, RandomTailsAgainstTheRule)
{
    std::mt19937 random(17);
    const std::string alphabet = std::string("ab/\" ) (x\t", 10) + '\x01';
    const ReferrerMatcher matcher("mysite.example", false);
    auto quoteLike = [](char c) { return c == '"' || static_cast<unsigned char>(c) < 0x20; };
    for (int round = 0; round < 20000; ++round) {
        std::string line = round % 2 ? "http://" : "x http://";
        for (int i = int(random() % (round % 3 ? 12 : 60)); i > 0; --i)
            line += alphabet[random() % alphabet.size()];
        const std::string_view rest = std::string_view(line).substr(line.find("http"));
        const std::size_t paren = rest.find(')');
        std::size_t last = paren;
        if (last == std::string_view::npos)
            last = rest.find(' ') == std::string_view::npos ? rest.size() - 1 : rest.find(' ');
        const auto quoteAt = std::find_if(rest.begin() + 1, rest.end(), quoteLike);
        const std::size_t quote = quoteAt == rest.end() ? std::string_view::npos : std::size_t(quoteAt - rest.begin());
        std::string_view expected = rest.substr(0, last + 1);
        bool bot = false;
        if (quote != std::string_view::npos && quote <= last) {
            expected = rest.substr(0, quote);
        } else if (paren != std::string_view::npos) {
            expected = rest.substr(0, paren);
            bot = true;
        }
        std::string remainder;
        const auto referrer = matcher.ExtractReferrer(line, remainder);
        ASSERT_EQ(referrer.text, expected) << line;
        ASSERT_EQ(referrer.closedByParen, bot) << line;
    }
}

TEST(IsReferrerLine, OwnSiteByTheHostOfEachAddress)
{
    const ReferrerMatcher plain("MySite.example", false);
    EXPECT_TRUE(plain.IsReferrerLine("GET / \"http://other.example/\""));
    EXPECT_FALSE(plain.IsReferrerLine("\"https://other.example/\"")); // https off
    EXPECT_FALSE(plain.IsReferrerLine("ftp://other.example/"));
    EXPECT_FALSE(ReferrerMatcher("", false).IsReferrerLine("http://other.example/")); // empty own domain
    struct Case
    {
        const char* line;
        bool referrer;
    };
    const Case cases[] = {
        // The site's name where no address of it stands: a path, a host field, a search engine's redirect.
        {R"(1.2.3.4 - - [x] "GET /mysite.EXAMPLE/ HTTP/1.1" 200 1 "http://other.example/" "UA")", true},
        {"2026-12-08 10:00:00 GET /a - mysite.example http://other.example/ Mozilla", true},
        {R"("GET /p HTTP/1.1" "http://www.google.com/url?sa=t&url=http%3A%2F%2Fwww.mysite.example%2Fp%2F" "UA")", true},
        {R"("GET /p HTTP/1.1" "http://l.facebook.com/l.php?u=http%3A%2F%2Fmysite.example%2F" "UA")", true},
        // Its addresses: whatever comes before, a subdomain, www on either side, a port.
        {R"("GET http://other.example/ HTTP/1.1" 200 1 "http://mysite.example/" "UA")", false},
        {R"("http://blog.MYSITE.example/")", false},
        {R"("http://www.mysite.example:8080/")", false},
        {R"("http://www.google.com/search?q=http://mysite.example/a")", false},
        // Look-alikes are other sites.
        {R"("http://mysite.example.evil.com/")", true},
        {R"("http://notmysite.example/")", true},
        {R"("http://mysite.example@evil.com/")", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plain.IsReferrerLine(c.line), c.referrer) << c.line;

    const ReferrerMatcher https("mysite.example", true);
    EXPECT_TRUE(https.IsReferrerLine("\"HTTPS://other.example/\""));
    EXPECT_FALSE(https.IsReferrerLine("\"HTTPS://www.mysite.example/\" \"http://other.example/\""));
    std::string remainder;
    EXPECT_EQ(Str(https.ExtractReferrer("a https://s.example/ http://p.example/", remainder).text),
              "https://s.example/ ");
    EXPECT_EQ(Str(https.ExtractReferrer("a http://p.example/ https://s.example/", remainder).text),
              "http://p.example/ ");
    // A CloudFront line: the tab after the referrer ends it.
    EXPECT_EQ(Str(https.ExtractReferrer("GET\thttps://example.com/\tMozilla/5.0%2520(Windows)", remainder).text),
              "https://example.com/");

    const ReferrerMatcher blog("https://Example.org/blog", false);
    EXPECT_FALSE(blog.IsReferrerLine("\"http://www.example.org/blog/post\""));
    EXPECT_TRUE(blog.IsReferrerLine("\"http://www.example.org/shop\""));
}

// Random lines, with the own site's name in addresses, queries, requests,
// user agents and host fields, against the rule written plainly.
TEST(IsReferrerLine, RandomLinesAgainstThePlainRule)
{
    std::mt19937 random(24);
    const std::vector<std::string> settings = {"mysite.example",
                                               "www.mysite.example",
                                               "http://MySite.Example/",
                                               "mysite.example:8080",
                                               "mysite.example/blog",
                                               "blog.mysite.example",
                                               " www.mysite.example ",
                                               "[::1]:80",
                                               "",
                                               "https://mysite.example/Blog/"};
    const std::vector<std::string> schemes
        = {"http://", "HTTP://", "https://", "ftp://", "http%3A%2F%2F", "", "xhttp://"};
    const std::vector<std::string> hosts = {"mysite.example",
                                            "MySite.Example",
                                            "www.mysite.example",
                                            "blog.mysite.example",
                                            "mysite.example.evil.com",
                                            "notmysite.example",
                                            "other.example",
                                            "user@mysite.example",
                                            "mysite.example@evil.com",
                                            "[::1]",
                                            "mysite.example.",
                                            "WWW.blog.mysite.example",
                                            "www.",
                                            "mysite.example:8080",
                                            "[::1]:80"};
    const std::vector<std::string> tails = {"", "/", "/blog", "/blog/x", "/BLOG", "?q=1", "#f", ":80/blog", "/a b"};
    const std::vector<std::string> fillers = {
        " ", "\"", "\t", ")", "(", "\x01", "GET ", "/mysite.example/", "=", "&u=", ":", "mysite.example", "\\", "\x7f"};
    for (int round = 0; round < 20000; ++round) {
        std::string line;
        for (int part = int(random() % 6); part >= 0; --part) {
            if (random() % 2) {
                line += schemes[random() % schemes.size()] + hosts[random() % hosts.size()]
                    + tails[random() % tails.size()];
            } else {
                line += fillers[random() % fillers.size()];
            }
        }
        const std::string& setting = settings[random() % settings.size()];
        for (const bool https : {false, true}) {
            const ReferrerMatcher matcher(setting, https);
            const std::size_t start = PlainReferrerStart(line, setting, https);
            ASSERT_EQ(matcher.IsReferrerLine(line), start != std::string::npos)
                << line << " / " << setting << " / https " << https;
            if (start == std::string::npos)
                continue;
            std::string remainder;
            EXPECT_EQ(matcher.ExtractReferrer(line, remainder).text.data(), line.data() + start) << line;
        }
    }
}

// W3C lines with their fields in random order, separated by random runs of
// blanks and tabs: each field the scan reads comes from its own field.
TEST(W3cFields, FieldsInAnyOrderSeparatedByBlanksOrTabs)
{
    std::mt19937 random(25);
    const ReferrerMatcher matcher("mysite.example", true);
    for (int round = 0; round < 2000; ++round) {
        const bool withQuery = random() % 2;
        const bool withReferrer = random() % 4 != 0;
        std::vector<std::pair<std::string, std::string>> fields = {
            {"date", "2026-12-08"},
            {"time", "17:13:" + std::to_string(10 + round % 50)},
            {"cs-uri-stem", "/a/b" + std::to_string(round) + ".html"},
            {"cs-uri-query", withQuery ? "x=1" : "-"},
            {"cs(User-Agent)", "Mozilla/5.0+(Windows+NT+10.0)"},
            {"cs(Referer)", withReferrer ? "https://ref.example/p" + std::to_string(round) : "-"},
            {"cs-host", "www.mysite.example"},
            {"c-ip", "10.0.0.1"},
        };
        std::shuffle(fields.begin(), fields.end(), random);
        auto separator = [&] {
            std::string run;
            for (int n = 1 + int(random() % 3); n > 0; --n)
                run += random() % 2 ? '\t' : ' ';
            return run;
        };
        std::string directive = "#Fields:";
        std::string line = random() % 2 ? "" : separator();
        std::vector<std::string> afterField;
        for (const auto& [name, value] : fields) {
            directive += separator() + name;
            afterField.push_back(separator());
            line += value + afterField.back();
        }
        W3cFields names;
        names.readDirective(directive);
        std::string scratch;
        const std::string landing = "/a/b" + std::to_string(round) + ".html" + (withQuery ? "?x=1" : "");
        EXPECT_EQ(Str(LandingPath(line, names, scratch)), landing) << line;
        EXPECT_EQ(Str(UserAgentText(line, FindUserAgent(line, names), scratch)), "Mozilla/5.0 (Windows NT 10.0)");
        const LineTime time = FindLineTime(line, names);
        EXPECT_TRUE(time.valid) << line;
        EXPECT_EQ(time.second, 10 + round % 50);
        ASSERT_EQ(matcher.IsReferrerLine(line), withReferrer) << line; // the host field is no address
        if (!withReferrer)
            continue;
        const std::size_t at = std::size_t(
            std::find_if(fields.begin(), fields.end(), [](const auto& f) { return f.first == "cs(Referer)"; })
            - fields.begin());
        std::string remainder;
        const std::string_view referrer = matcher.ExtractReferrer(line, remainder).text;
        EXPECT_EQ(referrer.substr(0, fields[at].second.size()), fields[at].second) << line;
        // A tab ends it; a blank is kept, and ends it only where no ")" follows.
        const bool tab = afterField[at].front() == '\t';
        if (tab || at + 1 == fields.size()) {
            EXPECT_EQ(Str(referrer), fields[at].second + (tab ? "" : " ")) << line;
        }
    }
}

TEST(LandingPath, QuotedRequestsAndW3cFields)
{
    std::string scratch;
    W3cFields none;
    EXPECT_EQ(Str(LandingPath(R"(1.2.3.4 - - [x] "GET /a/b.html?q=1 HTTP/1.1" 200)", none, scratch)), "/a/b.html?q=1");
    EXPECT_EQ(Str(LandingPath(R"("-" "POST /form")", none, scratch)), "/form");
    EXPECT_EQ(Str(LandingPath(R"("get /lower HTTP/1.1")", none, scratch)), "");
    EXPECT_EQ(Str(LandingPath("no request here", none, scratch)), "");

    W3cFields fields;
    fields.readDirective("#Fields: date time cs-uri-stem cs-uri-query cs(Referer)");
    EXPECT_EQ(fields.count, 5);
    EXPECT_EQ(Str(LandingPath("2024-01-01 10:00 /p.asp id=3 http://r.example/", fields, scratch)), "/p.asp?id=3");
    EXPECT_EQ(Str(LandingPath("2024-01-01 10:00 /p.asp - http://r.example/", fields, scratch)), "/p.asp");
    EXPECT_EQ(Str(LandingPath("2024-01-01 10:00 /p.asp - http://r.example/ extra", fields, scratch)), "");
}

TEST_F(LineRule, GzipMembersAreOneStreamAndDamageIsReported)
{
    // Two gzip members, one after the other, as log rotation writes them:
    // "one\ntwo\n" and "three\n".
    const unsigned char twoMembers[]
        = {0x1f, 0x8b, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0xcb, 0xcf, 0x4b, 0xe5, 0x2a, 0x29, 0xcf, 0xe7,
           0x02, 0x00, 0xe6, 0x0b, 0xba, 0x12, 0x08, 0x00, 0x00, 0x00, 0x1f, 0x8b, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00,
           0x00, 0x03, 0x2b, 0xc9, 0x28, 0x4a, 0x4d, 0xe5, 0x02, 0x00, 0xd8, 0xc5, 0x46, 0xff, 0x06, 0x00, 0x00, 0x00};
    const std::string bytes(reinterpret_cast<const char*>(twoMembers), sizeof twoMembers);
    WriteBytes(path(), bytes);
    EXPECT_EQ(scanLines(path(), 4), (std::vector<std::string> {"one", "two", "three"}));

    // Cut inside the second member: the first member's lines survive, the read fails.
    WriteBytes(path(), bytes.substr(0, bytes.size() - 10));
    QString error;
    auto source = LogSource::open(path(), &error);
    ASSERT_TRUE(source);
    std::vector<std::string> lines;
    LineScanner scanner;
    EXPECT_FALSE(scanner.run(*source, [&](std::string_view line, const LineMarks&) {
        lines.emplace_back(line);
        return true;
    }));
    EXPECT_EQ(lines, (std::vector<std::string> {"one", "two"}));
    EXPECT_FALSE(source->errorText().isEmpty());
}

} // namespace
