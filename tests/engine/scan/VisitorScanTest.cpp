// Who clicked, through whole scans: crawlers by the address in their user
// agent or by the crawler list, referrer spam by its host, each kept apart
// from people's clicks or hidden, against a plain line-by-line reference.
#include "DriverFixture.h"

#include "engine/fields/LogReader.h"
#include "engine/fields/UserAgent.h"
#include "engine/results/Classify.h"
#include "engine/results/Grouping.h"
#include "engine/visitors/CrawlerList.h"
#include "engine/visitors/SpamList.h"

#include <map>
#include <random>

using namespace backtrail::engine;
using namespace backtrail::testing;

namespace {

const char* const kReferrers[] = {
    "http://people.example/page", "https://people.example/page", "http://a.spam-example.com/",
    "http://spam-example.com",    "http://notspam-example.com/", "-",
    "http://w.example/x.jpg",     "http://mysite.example/own",
};
const char* const kAgents[] = {
    "Mozilla/5.0 (X11; Linux x86_64; rv:120.0) Gecko/20100101 Firefox/120.0",
    "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)",
    "UniversalFeedParser/4.2-pre-314-svn +http://feedparser.org/",
    "Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; GPTBot/1.2; +https://openai.com/gptbot)",
    "Mozilla/5.0 (compatible; ClaudeBot/1.0)",
    "curl-like fetcher see http://people.example/page",
};
const char* const kPaths[] = {"/", "/a.gif", "/doc.pdf", "/index.html", "/x.zip?y"};

std::string randomLog(std::mt19937& random, int lines)
{
    std::string log;
    for (int i = 0; i < lines; ++i) {
        const std::string agent = kAgents[random() % std::size(kAgents)];
        const std::string path = kPaths[random() % std::size(kPaths)];
        switch (random() % 10) {
        case 0:
            log += "#Fields: date time cs-uri-stem cs(User-Agent) cs(Referer)";
            break;
        case 1: {
            // W3C writes the user agent's blanks as "+".
            std::string field = agent;
            for (char& c : field)
                c = c == ' ' ? '+' : c;
            log += "2015-05-17 10:05:03 " + path + " " + field + " " + kReferrers[random() % std::size(kReferrers)];
            break;
        }
        case 2:
            // The common format: no user agent at all.
            log += "10.0.0.1 - - [17/May/2015:10:05:03 +0000] \"GET " + path + " HTTP/1.1\" 200 1 "
                + kReferrers[random() % std::size(kReferrers)];
            break;
        default:
            log += "10.0.0.1 - - [17/May/2015:10:05:03 +0000] \"GET " + path + " HTTP/1.1\" 200 1 \""
                + kReferrers[random() % std::size(kReferrers)] + "\" \"" + agent + "\"";
        }
        log += '\n';
    }
    return log;
}

struct Expected
{
    std::vector<std::string> rows;
    std::int64_t lines = 0;
    std::int64_t links = 0;
    std::int64_t hiddenCrawlers = 0;
    std::int64_t hiddenSpam = 0;
};

// The scan of the logs one after another, written the plain way: every
// crawler pattern tried on every user agent, entries kept in a map.
Expected reference(const std::vector<std::string>& logs, const ScanSettings& settings, const CrawlerList& crawlers,
                   const SpamList& spam)
{
    const QByteArray domain = settings.strYourWebsite.toUtf8();
    const ReferrerMatcher matcher(domain.toStdString(), settings.bHttps);
    LineShapeReader shapes;
    struct Entry
    {
        std::string referrer, landing, type;
        bool bot;
        std::uint32_t clicks;
    };
    std::vector<Entry> entries;
    std::map<std::pair<std::string, bool>, std::size_t> seen;
    Expected e;
    for (const std::string& log : logs) {
        W3cFields fields;
        std::size_t p = 0;
        while (p < log.size()) {
            const std::size_t end = log.find('\n', p);
            const std::string line = log.substr(p, end - p);
            p = end + 1;
            ++e.lines;
            if (!line.empty() && line[0] == '#')
                fields.readDirective(line);
            const OwnLineMarks marks(line);
            LineFields lineFields = shapes.read(line, marks, fields);
            ReferrerMatcher::Referrer referrer;
            std::size_t start = 0;
            if (!matcher.findReferrer(line, marks, lineFields, referrer, start))
                continue;
            std::string remainder;
            ReferrerMatcher::Remainder(line, marks, referrer.text, remainder);
            std::string scratch;
            // A line of a known shape is a crawler's by its user-agent field or
            // the address in it; any other by its last quoted field.
            bool bot = false;
            if (lineFields.known()) {
                bot = referrer.inAgent || crawlers.matches(UserAgentText(lineFields, scratch));
            } else {
                const UserAgentSpan agent = FindUserAgent(line, fields);
                bot = referrer.closedByParen || agent.contains(start)
                    || (agent.found() && crawlers.matches(UserAgentText(line, agent, scratch)));
            }
            const bool isSpam = spam.isSpam(ReferrerHost(referrer.text));
            if (bot && settings.bHideCrawlers) {
                ++e.hiddenCrawlers;
                continue;
            }
            if (isSpam && settings.bHideSpam) {
                ++e.hiddenSpam;
                continue;
            }
            ++e.links;
            const std::string text(referrer.text);
            const std::string type = bot ? "BOT" : isSpam ? "SPM" : std::string(ExtensionTable(remainder));
            if (settings.bRemoveDupes) {
                const auto [at, added] = seen.try_emplace({text, bot}, entries.size());
                if (!added) {
                    ++entries[at->second].clicks;
                    continue;
                }
            }
            entries.push_back({text, std::string(LandingPath(line, fields, scratch)), type, bot, 1});
        }
    }
    for (const Entry& entry : entries) {
        e.rows.push_back((settings.bGetFileTypes ? entry.type : std::string()) + "|"
                         + (settings.bRemoveDupes ? CountText(entry.clicks) : std::string()) + "|" + entry.referrer
                         + "|" + entry.landing + (entry.bot ? "|bot" : "|"));
    }
    return e;
}

std::vector<std::string> rowsOf(const ResultTable& rows)
{
    std::vector<std::string> all;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ResultRow r = rows.row(i);
        all.push_back(std::string(r.type) + "|" + std::string(r.clicks) + "|" + std::string(r.referrer) + "|"
                      + std::string(r.landing) + (r.bot ? "|bot" : "|"));
    }
    return all;
}

} // namespace

TEST_F(Driver, CrawlersSpamAndPeopleApartOrHiddenAsALineByLineReferenceSays)
{
    const CrawlerList crawlers = CrawlerList::Shipped();
    const auto spam = std::make_shared<const SpamList>(SpamList::Shipped({QStringLiteral("spam-example.com")}));
    std::mt19937 random(1312);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        frontEnd.files.clear();
        std::vector<std::string> logs;
        for (int f = 0; f < 1 + int(random() % 3); ++f) {
            logs.push_back(randomLog(random, int(random() % 300)));
            addFile(QStringLiteral("v%1-%2.log").arg(round).arg(f), logs.back());
        }
        settings.bRemoveDupes = random() % 4 != 0;
        settings.bGetFileTypes = random() % 4 != 0;
        settings.bHttps = random() % 2 == 0;
        settings.bHideCrawlers = random() % 2 == 0;
        settings.bHideSpam = random() % 2 == 0;
        const Expected expected = reference(logs, settings, crawlers, *spam);

        Scanner scanner(frontEnd, settings);
        scanner.setVisitorLists(crawlers, spam);
        scanner.setThreads(1 + int(random() % 3));
        scanner.setPieceBytes(64 + std::int64_t(random() % 2000));
        scanner.StartScan();
        const ScanState& state = scanner.state();
        EXPECT_EQ(rowsOf(frontEnd.rows), expected.rows);
        EXPECT_EQ(state.counters.LinesScanned, expected.lines);
        EXPECT_EQ(state.counters.LinksFound, expected.links);
        EXPECT_EQ(state.HiddenCrawlerLines, expected.hiddenCrawlers);
        EXPECT_EQ(state.HiddenSpamLines, expected.hiddenSpam);
        // Every referrer line is shown or hidden, once.
        std::uint64_t clicks = 0;
        for (std::size_t i = 0; i < frontEnd.rows.size(); ++i)
            clicks += settings.bRemoveDupes ? std::stoul(std::string(frontEnd.rows.row(i).clicks)) : 1;
        EXPECT_EQ(std::int64_t(clicks), expected.links);

        // Sites: crawlers' and people's rows of one site stay apart, types on or off.
        const ResultTable sites = GroupBySite(frontEnd.rows);
        std::map<std::pair<std::string, bool>, int> perSite;
        for (std::size_t i = 0; i < sites.size(); ++i) {
            const std::pair<std::string, bool> key(std::string(sites.row(i).referrer), sites.row(i).bot);
            EXPECT_EQ(++perSite[key], 1);
        }
    }
}

TEST(RetypeSpam, MarksPeoplesRowsOfAListedSiteAndLeavesTheRest)
{
    ResultTable rows;
    rows.append("HTM", "0000002", "http://www.Fresh-Spam.test/a", "/");
    rows.append("BOT", "0000001", "http://fresh-spam.test/bot", "/");
    rows.append("JPG", "0000003", "http://notfresh-spam.test/", "/x.jpg");
    rows.append("", "0000004", "http://fresh-spam.test/", "/", false);
    SpamList spam;
    spam.addHost("fresh-spam.test");
    const ResultTable retyped = RetypeSpam(rows, spam);
    ASSERT_EQ(retyped.size(), rows.size());
    EXPECT_EQ(Str(retyped.row(0).type), "SPM");
    EXPECT_EQ(Str(retyped.row(1).type), "BOT");
    EXPECT_TRUE(retyped.row(1).bot);
    EXPECT_EQ(Str(retyped.row(2).type), "JPG");
    EXPECT_EQ(Str(retyped.row(3).type), "");
    EXPECT_EQ(Str(retyped.row(0).clicks), "0000002");
    EXPECT_EQ(Str(retyped.row(0).referrer), "http://www.Fresh-Spam.test/a");
    EXPECT_EQ(Str(rows.row(0).type), "HTM"); // the rows retyped stay as they were
}
