#include "TestSupport.h"

#include "engine/fields/UserAgent.h"
#include "engine/results/Grouping.h"
#include "engine/visitors/CrawlerList.h"
#include "engine/visitors/ShippedLists.h"
#include "engine/visitors/SpamList.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>
#include <re2/re2.h>

#include <cctype>
#include <random>
#include <set>

using namespace backtrail::engine;
using backtrail::testing::WriteBytes;

namespace {

std::string readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

std::string thirdParty(const char* file)
{
    return readFile(QStringLiteral(BACKTRAIL_THIRD_PARTY "/") + QLatin1String(file));
}

std::string lower(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

// Current desktop and mobile browsers: Firefox, Chrome, Safari, Edge, Samsung Internet.
const std::vector<std::string> kBrowsers = {
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:133.0) Gecko/20100101 Firefox/133.0",
    "Mozilla/5.0 (X11; Linux x86_64; rv:128.0) Gecko/20100101 Firefox/128.0",
    "Mozilla/5.0 (Android 14; Mobile; rv:133.0) Gecko/133.0 Firefox/133.0",
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/131.0.0.0 Safari/537.36",
    "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/131.0.0.0 Safari/537.36",
    "Mozilla/5.0 (Linux; Android 10; K) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/131.0.0.0 Mobile Safari/537.36",
    "Mozilla/5.0 (iPhone; CPU iPhone OS 18_1 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) "
    "CriOS/131.0.6778.73 Mobile/15E148 Safari/604.1",
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/18.1 "
    "Safari/605.1.15",
    "Mozilla/5.0 (iPhone; CPU iPhone OS 18_1 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/18.1 "
    "Mobile/15E148 Safari/604.1",
    "Mozilla/5.0 (iPad; CPU OS 17_6 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/17.6 "
    "Mobile/15E148 Safari/604.1",
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/131.0.0.0 Safari/537.36 "
    "Edg/131.0.0.0",
    "Mozilla/5.0 (Linux; Android 14; SM-S918B) AppleWebKit/537.36 (KHTML, like Gecko) SamsungBrowser/26.0 "
    "Chrome/122.0.0.0 Mobile Safari/537.36",
};

// The shipped list read the plain way: each entry's pattern compiled on its
// own, and a user agent a crawler's when any of them matches it.
struct PlainCrawlers
{
    std::vector<std::unique_ptr<RE2>> patterns;
    std::vector<std::vector<std::string>> instances; // per pattern
    std::vector<std::string> seeds; // all instances and the browsers

    PlainCrawlers()
    {
        const QJsonArray entries
            = QJsonDocument::fromJson(QByteArray::fromStdString(std::string(ShippedCrawlerUserAgentsJson()))).array();
        for (const QJsonValue& entry : entries) {
            patterns.push_back(
                std::make_unique<RE2>(entry.toObject().value(QLatin1String("pattern")).toString().toStdString()));
            instances.emplace_back();
            for (const QJsonValue& instance : entry.toObject().value(QLatin1String("instances")).toArray())
                instances.back().push_back(instance.toString().toStdString());
            seeds.insert(seeds.end(), instances.back().begin(), instances.back().end());
        }
        seeds.insert(seeds.end(), kBrowsers.begin(), kBrowsers.end());
    }
    bool matches(const std::string& userAgent) const
    {
        for (const auto& pattern : patterns) {
            if (RE2::PartialMatch(userAgent, *pattern))
                return true;
        }
        return false;
    }
    // User agents near the list's: examples and browsers cut, joined, with
    // bytes changed, dropped or put in, and letters in the other case.
    std::vector<std::string> nearby(std::size_t count, unsigned seed) const
    {
        std::mt19937 random(seed);
        auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
        std::vector<std::string> result;
        while (result.size() < count) {
            std::string text = seeds[pick(seeds.size())];
            for (std::size_t e = 1 + pick(4); e > 0 && !text.empty(); --e) {
                const std::size_t at = pick(text.size());
                switch (pick(5)) {
                case 0:
                    text.erase(at, 1 + pick(8));
                    break;
                case 1:
                    text.insert(at, 1, char(' ' + pick(95)));
                    break;
                case 2:
                    text = text.substr(at);
                    break;
                case 3:
                    text += ' ' + seeds[pick(seeds.size())].substr(0, 1 + pick(20));
                    break;
                default:
                    for (std::size_t i = at; i < text.size() && i < at + 6; ++i)
                        text[i] = char(std::isupper(static_cast<unsigned char>(text[i]))
                                           ? std::tolower(static_cast<unsigned char>(text[i]))
                                           : std::toupper(static_cast<unsigned char>(text[i])));
                }
            }
            result.push_back(std::move(text));
        }
        return result;
    }
};

const PlainCrawlers& plain()
{
    static const PlainCrawlers crawlers;
    return crawlers;
}

} // namespace

TEST(ShippedLists, CarryTheThirdPartyFilesByteForByte)
{
    EXPECT_TRUE(ShippedCrawlerUserAgentsJson() == thirdParty("crawler-user-agents/crawler-user-agents.json"));
    EXPECT_TRUE(ShippedSpammersTxt() == thirdParty("referrer-spam-list/spammers.txt"));
    EXPECT_GT(ShippedSpammersTxt().size(), 1000u);
}

TEST(CrawlerList, EveryShippedPatternCompilesAndEveryExampleIsACrawler)
{
    CrawlerList list = CrawlerList::Shipped();
    EXPECT_TRUE(list.error().isEmpty()) << list.error().toStdString();
    for (const auto& rejected : list.rejected())
        ADD_FAILURE() << "entry " << rejected.entry << " /" << rejected.pattern << "/: " << rejected.reason;
    EXPECT_EQ(list.patternCount(), plain().patterns.size());
    EXPECT_GT(list.patternCount(), 1000u);
    EXPECT_TRUE(list.matchesAllAtOnce());
    for (std::size_t i = 0; i < plain().patterns.size(); ++i) {
        for (const std::string& instance : plain().instances[i]) {
            EXPECT_TRUE(RE2::PartialMatch(instance, *plain().patterns[i])) << instance;
            EXPECT_TRUE(list.isCrawler(instance)) << instance;
        }
    }
    for (const std::string& browser : kBrowsers) {
        EXPECT_FALSE(plain().matches(browser)) << browser;
        EXPECT_FALSE(list.isCrawler(browser)) << browser;
    }
}

TEST(CrawlerList, AnswersAsThePatternsOneByOneOnRandomUserAgents)
{
    CrawlerList list = CrawlerList::Shipped();
    list.setCacheLimit(64);
    // Patterns that do not fit a small budget together are matched one by one.
    const CrawlerList small = CrawlerList::FromJson(ShippedCrawlerUserAgentsJson(), 200 << 10);
    ASSERT_FALSE(small.matchesAllAtOnce());
    const std::vector<std::string> agents = plain().nearby(2000, 20240611);
    std::size_t crawlers = 0;
    for (std::size_t i = 0; i < agents.size(); ++i) {
        const bool expected = plain().matches(agents[i]);
        crawlers += expected;
        ASSERT_EQ(list.matches(agents[i]), expected) << agents[i];
        ASSERT_EQ(list.isCrawler(agents[i]), expected) << agents[i];
        // Again, and an earlier one, from the cache or after it dropped them.
        ASSERT_EQ(list.isCrawler(agents[i]), expected) << agents[i];
        ASSERT_EQ(list.isCrawler(agents[i / 2]), plain().matches(agents[i / 2])) << agents[i / 2];
        ASSERT_LE(list.cacheSize(), 128u);
        if (i % 8 == 0) {
            ASSERT_EQ(small.matches(agents[i]), expected) << agents[i];
        }
    }
    EXPECT_GT(crawlers, agents.size() / 10);
    EXPECT_LT(crawlers, agents.size() * 9 / 10);

    // A copy shares the patterns with an empty cache; too long an agent is never cached.
    CrawlerList copy = list;
    EXPECT_EQ(copy.cacheSize(), 0u);
    EXPECT_TRUE(copy.isCrawler(std::string(CrawlerList::kLongestCachedUserAgent, 'x') + " Googlebot/2.1"));
    EXPECT_EQ(copy.cacheSize(), 0u);
}

TEST(CrawlerList, RefusedPatternsAreListedAndTheRestStillWork)
{
    CrawlerList list = CrawlerList::FromJson(
        R"([{"pattern": "GoodBot\\/"}, {"pattern": "Broken(Bot"}, {"url": "x"}, {"pattern": "^Fetcher "}])");
    EXPECT_TRUE(list.error().isEmpty());
    EXPECT_EQ(list.patternCount(), 2u);
    ASSERT_EQ(list.rejected().size(), 2u);
    EXPECT_EQ(list.rejected()[0].entry, 1u);
    EXPECT_EQ(list.rejected()[0].pattern, "Broken(Bot");
    EXPECT_EQ(list.rejected()[1].entry, 2u);
    EXPECT_TRUE(list.isCrawler("Mozilla/5.0 (compatible; GoodBot/1.0)"));
    EXPECT_FALSE(list.isCrawler("Mozilla/5.0 (compatible; goodbot/1.0)"));
    EXPECT_TRUE(list.isCrawler("Fetcher 2"));
    EXPECT_FALSE(list.isCrawler("A Fetcher 2"));
    for (const std::string_view garbage : {"", "{\"pattern\": \"x\"}", "[{\"pattern\": "}) {
        CrawlerList none = CrawlerList::FromJson(garbage);
        EXPECT_FALSE(none.error().isEmpty()) << garbage;
        EXPECT_FALSE(none.isCrawler("Googlebot/2.1"));
    }
}

namespace {

W3cFields w3cFields(std::string_view directive)
{
    W3cFields fields;
    fields.readDirective(directive);
    return fields;
}

// The user agent's text of a line, as the scan reads it.
std::string_view agentText(std::string_view line, const W3cFields& fields, std::string& scratch)
{
    return UserAgentText(line, FindUserAgent(line, fields), scratch);
}

constexpr std::string_view kW3cDirective
    = "#Fields: date time c-ip cs-method cs-uri-stem cs-uri-query sc-status cs(User-Agent) cs(Referer)";

} // namespace

TEST(UserAgent, LinesOfNoKnownShapeAndEdgeCases)
{
    std::string scratch;
    const W3cFields fields = w3cFields(kW3cDirective);
    ASSERT_EQ(fields.userAgent, 7);
    // A quoted request decides the reading whatever W3C fields were seen; an
    // escaped quote stays inside its field; a line cut in its user agent
    // keeps what is left of it, one cut in its referrer has none.
    EXPECT_EQ(agentText("h - - [t] \"GET / HTTP/1.0\" 200 1 \"-\" \"A \\\"b\\\" c\"", fields, scratch),
              "A \\\"b\\\" c");
    EXPECT_EQ(agentText("h - - [t] \"GET / HTTP/1.0\" 200 1 \"-\" \"cut off", fields, scratch), "cut off");
    EXPECT_FALSE(FindUserAgent("h - - [t] \"GET / HTTP/1.0\" 200 1 \"http://cut.example/", fields).found());
    // Two backslashes escape each other, not the quote after them.
    EXPECT_EQ(agentText("h - - [t] \"GET / HTTP/1.0\" 200 1 \"x\\\\\" \"agent\"", fields, scratch), "agent");
    EXPECT_EQ(agentText("h - - [t] \"GET / HTTP/1.0\" 200 1 \"x\\\\\\\" y\" \"agent\"", fields, scratch), "agent");
    EXPECT_TRUE(FindUserAgent("h - - [t] \"GET / HTTP/1.0\" 200 1 \"-\" \"\"", fields).found());
    // W3C lines with another number of fields, and directives, have none.
    EXPECT_EQ(agentText("2024-10-10 13:55:36 1.2.3.4 GET /a.html - 200 Agent", fields, scratch), "");
    EXPECT_EQ(agentText(kW3cDirective, fields, scratch), "");
    EXPECT_EQ(agentText("no quotes http://x.example/ a b c d e f g", W3cFields(), scratch), "");
    EXPECT_EQ(agentText("\"lower case\" \"is no request\" \"agent\"", W3cFields(), scratch), "");
    EXPECT_FALSE(FindUserAgent("h \"GET / HTTP/1.0\" 1 \"-\" \"x\"", fields).contains(std::string_view::npos));
}

TEST(UserAgent, CombinedCommonAndW3cLinesAtRandom)
{
    std::mt19937 random(4242);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    auto text = [&](std::string_view alphabet) {
        std::string result;
        for (std::size_t n = pick(25); n > 0; --n)
            result += alphabet[pick(alphabet.size())];
        return result;
    };
    // Quoted text may hold blanks, "+", addresses and backslashes, but no
    // backslash at its end, which would escape the closing quote.
    auto quoted = [&] {
        std::string field = text("abXY09 ;:/.()+-_GET\\http://");
        while (!field.empty() && field.back() == '\\')
            field.pop_back();
        return field;
    };
    const W3cFields fields = w3cFields(kW3cDirective);
    std::string scratch;
    for (int round = 0; round < 2000; ++round) {
        std::string line;
        std::string expected;
        std::size_t begin = std::string::npos;
        std::size_t end = std::string::npos;
        const std::size_t format = pick(3);
        if (format == 0) { // combined, at times with one more quoted field before the user agent
            line = "10.0.0.1 - - [t] \"GET /" + quoted() + " HTTP/1.1\" 200 " + std::to_string(pick(9999)) + " \""
                + quoted() + "\"" + (pick(2) ? " \"" + quoted() + "\"" : "") + " \"";
            expected = quoted();
            begin = line.size();
            line += expected;
            end = line.size();
            line += '"';
        } else if (format == 1) { // common: the request is the last quoted field
            line = "10.0.0.1 - - [t] \"POST /" + quoted() + " HTTP/1.0\" 404 " + std::to_string(pick(99));
        } else { // W3C: the user agent's blanks written as "+"
            expected = text("abXY09;:/.()-_") + " " + text("abXY09;:/.()-_");
            line = "2024-10-10 13:55:36 1.2.3.4 GET /" + text("abc/") + " - 200 ";
            begin = line.size();
            for (const char c : expected)
                line += c == ' ' ? '+' : c;
            end = line.size();
            line += " http://x" + text("abc/.");
        }
        EXPECT_EQ(agentText(line, fields, scratch), expected) << line;
        for (std::size_t at = 0; at <= line.size(); ++at) {
            ASSERT_EQ(FindUserAgent(line, fields).contains(at), begin != std::string::npos && at >= begin && at < end)
                << line << " at " << at;
        }
    }
}

namespace {

// The plain way: split the host into labels and look up each tail of them.
bool plainIsSpam(const std::set<std::string>& listed, std::string_view host)
{
    std::string normal = lower(host);
    if (!normal.empty() && normal.back() == '.')
        normal.pop_back();
    std::vector<std::string> labels;
    for (std::size_t from = 0, dot = 0; dot != std::string::npos; from = dot + 1) {
        dot = normal.find('.', from);
        labels.push_back(normal.substr(from, dot - from));
    }
    for (std::size_t first = 0; first < labels.size(); ++first) {
        std::string tail = labels[first];
        for (std::size_t i = first + 1; i < labels.size(); ++i)
            tail += "." + labels[i];
        if (!tail.empty() && listed.count(tail))
            return true;
    }
    return false;
}

} // namespace

TEST(SpamList, HostsSubdomainsLookAlikesLetterCaseAndTheUsersHosts)
{
    const SpamList list("spam-example.com\n\n  Shouting.EXAMPLE  \r\nhttps://www.pasted.example:8443/page\n");
    EXPECT_EQ(list.size(), 3u);
    for (const std::string_view spam :
         {"spam-example.com", "a.b.spam-example.com", "A.Spam-Example.COM", "spam-example.com.", "shouting.example",
          "www.pasted.example", "pasted.example"})
        EXPECT_TRUE(list.isSpam(spam)) << spam;
    for (const std::string_view host :
         {"notspam-example.com", "spam-example.com.other.org", "example.com", "notpasted.example", ""})
        EXPECT_FALSE(list.isSpam(host)) << host;

    // The shipped list holds every line of spammers.txt, and the user's hosts join it.
    std::set<std::string> shippedHosts;
    const std::string text = thirdParty("referrer-spam-list/spammers.txt");
    for (std::size_t from = 0, end = 0; from < text.size(); from = end + 1) {
        end = std::min(text.find('\n', from), text.size());
        if (end > from)
            shippedHosts.insert(lower(text.substr(from, end - from)));
    }
    const SpamList shipped = SpamList::Shipped({QStringLiteral("  My-Spam.TEST "), QString()});
    EXPECT_EQ(shipped.size(), shippedHosts.size() + 1);
    for (const std::string& host : shippedHosts) {
        EXPECT_TRUE(shipped.isSpam("www." + host)) << host;
        EXPECT_EQ(shipped.isSpam("not" + host), plainIsSpam(shippedHosts, "not" + host)) << host;
    }
    EXPECT_TRUE(shipped.isSpam("deep.my-spam.test"));
    EXPECT_FALSE(SpamList::Shipped().isSpam("deep.my-spam.test"));
}

TEST(SpamList, AgreesWithALabelByLabelLookupOnRandomHosts)
{
    std::mt19937 random(1234);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    const std::vector<std::string> labels = {"a", "spam", "spam-example", "notspam-example", "com", "co", "www", ""};
    auto randomHost = [&] {
        std::string host = labels[pick(labels.size())];
        for (std::size_t n = pick(4); n > 0; --n)
            host += "." + labels[pick(labels.size())];
        for (char& c : host)
            c = pick(4) == 0 ? char(std::toupper(static_cast<unsigned char>(c))) : c;
        return pick(8) == 0 ? host + "." : host;
    };
    for (int round = 0; round < 200; ++round) {
        std::set<std::string> listed;
        std::string lines;
        for (std::size_t n = pick(6); n > 0; --n) {
            const std::string host = randomHost();
            const std::string normal = SpamList::NormalHost(host);
            if (!normal.empty())
                listed.insert(normal);
            lines += (pick(2) ? "  " : "") + host + (pick(2) ? "\r\n" : "\n") + (pick(3) == 0 ? "\n" : "");
        }
        const SpamList list(lines);
        for (int probe = 0; probe < 50; ++probe) {
            const std::string host = randomHost();
            ASSERT_EQ(list.isSpam(host), plainIsSpam(listed, host)) << host << " against:\n" << lines;
        }
    }
}

TEST(SpamList, ReferrerHostIsWhatGroupBySiteTakesTheSiteFrom)
{
    EXPECT_EQ(ReferrerHost("http://WWW.Example.com:8080/path?q=1"), "WWW.Example.com");
    EXPECT_EQ(ReferrerHost("https://a.example?x"), "a.example");
    EXPECT_EQ(ReferrerHost("http://a.example#top more"), "a.example");
    EXPECT_EQ(ReferrerHost("a.example/path"), "a.example");
    EXPECT_EQ(ReferringSite("http://WWW.Example.com:8080/path"), "example.com");
    EXPECT_TRUE(SpamList("example.com").isSpam(ReferrerHost("http://WWW.Example.com:8080/path")));
}

TEST(SpamList, MarkingASiteAppendsToTheUsersList)
{
    QTemporaryDir dir;
    const QString path = UserSpamListPath(dir.filePath(QStringLiteral("Backtrail.ini")));
    EXPECT_EQ(path, dir.filePath(QStringLiteral("spam.txt")));
    QString error;
    EXPECT_TRUE(ReadUserSpamList(path, &error).isEmpty());
    EXPECT_TRUE(AppendUserSpamHost(path, "Spam.Example", &error)) << error.toStdString();
    EXPECT_TRUE(AppendUserSpamHost(path, " spam.example ", &error));
    EXPECT_TRUE(AppendUserSpamHost(path, "http://www.other.example/page", &error));
    EXPECT_FALSE(AppendUserSpamHost(path, "   ", &error));
    EXPECT_EQ(readFile(path), "spam.example\nother.example\n");

    // A list the user wrote, without a last line end.
    WriteBytes(path, "\n  mine.example\r\n\nlast.example");
    EXPECT_TRUE(AppendUserSpamHost(path, "new.example", &error));
    EXPECT_TRUE(AppendUserSpamHost(path, "LAST.example", &error));
    EXPECT_EQ(readFile(path), "\n  mine.example\r\n\nlast.example\nnew.example\n");
    const SpamList list = SpamList::Shipped(ReadUserSpamList(path));
    EXPECT_TRUE(list.isSpam("a.mine.example") && list.isSpam("last.example") && list.isSpam("new.example"));

    const QString nested = dir.filePath(QStringLiteral("config/Backtrail/spam.txt"));
    EXPECT_TRUE(AppendUserSpamHost(nested, "far.example", &error)) << error.toStdString();
    EXPECT_EQ(readFile(nested), "far.example\n");
}
