// The referrer of random lines of every shape, read from the structural marks
// of random blocks, against a plain reading of each line's fields.
#include "../PlainLineFields.h"

#include "engine/fields/LineShape.h"
#include "engine/fields/LogReader.h"
#include "engine/fields/UserAgent.h"
#include "engine/input/LineScanner.h"
#include "engine/input/LogSource.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

using namespace backtrail::engine;
namespace plain = backtrail::testing;

namespace {

constexpr std::string_view kOwn = "own.example";

template<class T, std::size_t N> const T& pick(std::mt19937& random, const T (&items)[N])
{
    return items[random() % N];
}

std::string randomAddress(std::mt19937& random)
{
    static const char* const schemes[] = {"http://", "https://", "HTTP://", "android-app://", "ftp://"};
    static const char* const hosts[]
        = {"own.example",  "www.own.example",   "Blog.Own.Example", "other.example",
           "www.bing.com", "evil.example:8080", "u@own.example",    "com.google.android.googlequicksearchbox"};
    static const char* const paths[] = {"", "/", "/search?q=backtrail", "/a b", "/p)q", "/s;t", "/x\\\"y"};
    return std::string(pick(random, schemes)) + pick(random, hosts) + pick(random, paths);
}

std::string percentEncoded(std::string_view text)
{
    std::string out;
    for (const char c : text)
        out += c == ':' ? "%3A" : c == '/' ? "%2F" : std::string(1, c);
    return out;
}

std::string randomAgent(std::mt19937& random)
{
    static const char* const agents[] = {
        "Mozilla/5.0 (X11; Linux x86_64)",
        "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)",
        "Feedfetcher-Google; (+http://www.google.com/feedfetcher.html; 3 subscribers; feed-id=12)",
        "a \\\"quoted\\\" agent https://agent.example/x",
        "curl/8.0",
        "MySiteMonitor (+https://own.example/bot)",
    };
    return pick(random, agents);
}

// A piece that may spoil a line's shape, or not.
std::string noise(std::mt19937& random)
{
    static const char* const pieces[] = {"\"", "\\", " ", "[", "]", "://", "\t", "{", "}", "-", "200", "\r"};
    return random() % 4 == 0 ? std::string(1, char(random() % 256)) : pick(random, pieces);
}

std::string accessLine(std::mt19937& random)
{
    static const char* const vhosts[] = {"", "www.own.example ", "own.example:443 "};
    static const char* const targets[] = {"/index.html", "/go?u=", "/out?url=", "", "/login?next="};
    std::string target = pick(random, targets);
    if (target.empty())
        target = randomAddress(random); // an absolute request
    else if (target.back() == '=')
        target += random() % 2 ? randomAddress(random) : percentEncoded(randomAddress(random));
    std::string line = std::string(pick(random, vhosts)) + "192.0.2.1 - - [10/Dec/2026:10:00:00 +0000] \"GET " + target
        + " HTTP/1.1\" " + (random() % 2 ? "200" : "404") + " " + (random() % 2 ? "512" : "-");
    const int fields = int(random() % 4);
    if (fields >= 1)
        line += " \"" + (random() % 3 == 0 ? std::string("-") : randomAddress(random)) + "\"";
    if (fields >= 2)
        line += " \"" + randomAgent(random) + "\"";
    if (fields >= 3)
        line += " \"203.0.113.9, " + randomAddress(random) + "\" 0.004";
    return line;
}

std::string w3cBlock(std::mt19937& random)
{
    std::vector<std::string> names
        = {"date", "time", "cs-uri-stem", "cs-uri-query", "cs(User-Agent)", "cs(Referer)", "cs-host"};
    std::shuffle(names.begin(), names.end(), random);
    if (random() % 5 == 0)
        names.erase(std::find(names.begin(), names.end(), "cs(Referer)"));
    std::string block = "#Fields:";
    for (const std::string& name : names)
        block += " " + name;
    const int lines = 1 + int(random() % 4);
    for (int i = 0; i < lines; ++i) {
        block += "\n";
        for (std::size_t k = 0; k < names.size(); ++k) {
            const std::string& name = names[k];
            std::string value = name == "date" ? "2026-12-10"
                : name == "time"               ? "10:00:00"
                : name == "cs-uri-stem"        ? "/p.asp"
                : name == "cs-uri-query"       ? "u=" + randomAddress(random)
                : name == "cs-host"            ? "www.own.example"
                : name == "cs(User-Agent)" ? "Mozilla/5.0+(compatible;+bingbot/2.0;++http://www.bing.com/bingbot.htm)"
                : random() % 3 == 0        ? "-"
                                           : randomAddress(random);
            for (char& c : value) {
                if (c == ' ')
                    c = '+';
            }
            block += (k ? (random() % 2 ? " " : "\t") : "") + value;
        }
    }
    return block;
}

std::string jsonEscaped(std::string_view text, bool slashes)
{
    std::string out;
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '/' && slashes)
            out += '\\';
        out += c;
    }
    return out;
}

std::string jsonLine(std::mt19937& random)
{
    static const char* const referrerKeys[] = {"referer", "Referrer", "HTTP_REFERER", "request_Referer"};
    static const char* const agentKeys[] = {"user_agent", "http_user_agent", "UA", "agent", "request_User-Agent"};
    const bool slashes = random() % 2;
    const std::string referrer = random() % 4 == 0 ? "-" : randomAddress(random);
    const std::string agent = randomAgent(random);
    std::string line = "{\"remote\":\"192.0.2.1\",\"uri\":\"/go?u=" + jsonEscaped(randomAddress(random), slashes)
        + "\",\"status\":200";
    if (random() % 3 == 0) {
        line += ",\"request\":{\"method\":\"GET\",\"headers\":{\"User-Agent\":[\"" + jsonEscaped(agent, slashes)
            + "\"],\"Referer\":[\"" + jsonEscaped(referrer, slashes) + "\"]}}";
    } else {
        line += std::string(",\"") + pick(random, referrerKeys) + "\":\"" + jsonEscaped(referrer, slashes) + "\"";
        line += std::string(",\"") + pick(random, agentKeys) + "\":\"" + jsonEscaped(agent, slashes) + "\"";
    }
    return line + "}";
}

std::string randomLog(std::mt19937& random)
{
    std::string log;
    const int lines = int(random() % 12);
    for (int i = 0; i < lines; ++i) {
        const int shape = int(random() % 5);
        switch (shape) {
        case 0:
        case 1:
            log += accessLine(random);
            break;
        case 2:
            log += w3cBlock(random);
            break;
        case 3:
            log += jsonLine(random);
            break;
        default:
            log += "text " + randomAddress(random) + " then " + randomAddress(random);
        }
        // Spoil a few lines somewhere (not JSON, whose damage readers may take apart differently).
        if (shape != 3 && random() % 6 == 0) {
            const std::size_t line = log.rfind('\n') + 1;
            log.insert(line + random() % (log.size() - line + 1), noise(random));
        }
        log += random() % 5 == 0 ? "\r\n" : "\n";
    }
    return log;
}

TEST(LineShape, ReferrerAndAgentEqualPlainFieldReadingsOfRandomLines)
{
    std::mt19937 random(33);
    static const char* const formats[] = {"auto", "auto", "auto", "access", "w3c", "json", "text"};
    for (int round = 0; round < 1500; ++round) {
        const std::string log = randomLog(random);
        const bool https = round % 3 != 0;
        const std::string format = pick(random, formats);
        LogFormat chosen = LogFormat::Auto;
        ASSERT_TRUE(LogFormatFromName(format, chosen));
        const ReferrerMatcher matcher(kOwn, https, chosen);
        LineShapeReader shapes(chosen);
        const std::unique_ptr<LogSource> source = LogSource::fromBytes(log);
        LineScanner scanner(1 << 20, 1 + random() % 200);
        W3cFields fields;
        plain::PlainW3cNames names;
        std::string scratch;
        std::string remainder;
        scanner.run(*source, [&](std::string_view line, const LineMarks& marks) {
            if (line.starts_with("#Fields:")) {
                fields.readDirective(line);
                names = plain::PlainW3cSplit(line.substr(8));
            }
            // The scan leaves an access line's user agent for later, as here every other round.
            LineFields read = shapes.read(line, marks, fields, round % 2 == 1);
            const plain::PlainFields expectedFields = plain::PlainShape(line, names, format);
            EXPECT_EQ(int(read.shape), int(expectedFields.shape)) << line;

            ReferrerMatcher::Referrer referrer;
            std::size_t start = 0;
            const bool found = matcher.findReferrer(line, marks, read, referrer, start);
            ReadAgentField(line, marks, read);
            if (read.known() && expectedFields.agent) {
                EXPECT_EQ(std::string(read.agent), *expectedFields.agent) << line;
            }
            const plain::PlainReferrer expected = plain::PlainFieldReferrer(line, names, kOwn, https, format);
            EXPECT_EQ(found, expected.found) << line;
            if (!found || !expected.found)
                return true;
            EXPECT_EQ(std::string(referrer.text), expected.text) << line;
            EXPECT_EQ(referrer.inAgent, expected.inAgent) << line;
            if (!read.known()) {
                EXPECT_EQ(referrer.closedByParen, expected.closedByParen) << line;
            }
            if (read.inLine()) {
                EXPECT_EQ(line.substr(start, referrer.text.size()), referrer.text) << line;
            }
            // The type code reads the line without every occurrence of its referrer.
            ReferrerMatcher::Remainder(line, marks, referrer.text, remainder);
            std::string expectedRemainder;
            std::size_t from = 0;
            for (std::size_t at = line.find(referrer.text); at != std::string_view::npos;
                 at = line.find(referrer.text, from)) {
                expectedRemainder.append(line.substr(from, at - from));
                from = at + referrer.text.size();
            }
            expectedRemainder.append(line.substr(from));
            EXPECT_EQ(remainder, expectedRemainder) << line;
            return true;
        });
    }
}

// What the examples come to, each by the rule of its field.
TEST(LineShape, RequestAddressesAreNeverReferrers)
{
    const ReferrerMatcher matcher("www.mysite.example", true);
    std::string remainder;
    auto referrerOf = [&](std::string_view line) { return std::string(matcher.ExtractReferrer(line, remainder).text); };
    EXPECT_EQ(referrerOf("1.2.3.4 - - [10/Dec/2026:10:00:00 +0000] \"GET /go?u=http://evil.example/x HTTP/1.1\" 200 5 "
                         "\"https://www.bing.com/search?q=backtrail\" \"Mozilla/5.0\""),
              "https://www.bing.com/search?q=backtrail");
    EXPECT_FALSE(matcher.IsReferrerLine("1.2.3.4 - - [10/Dec/2026:10:00:00 +0000] \"GET http://proxy-probe.example/ "
                                        "HTTP/1.1\" 404 5 \"-\" \"Mozilla/5.0\""));
    EXPECT_EQ(referrerOf("1.2.3.4 - - [10/Dec/2026:10:00:00 +0000] \"GET http://www.mysite.example/a HTTP/1.1\" 200 5 "
                         "\"https://news.example/story\" \"Mozilla/5.0\""),
              "https://news.example/story");
    EXPECT_EQ(referrerOf("1.2.3.4 - - [10/Dec/2026:10:00:00 +0000] \"GET / HTTP/1.1\" 200 5 "
                         "\"android-app://com.google.android.googlequicksearchbox/\" \"Mozilla/5.0\""),
              "android-app://com.google.android.googlequicksearchbox/");
    EXPECT_EQ(referrerOf("1.2.3.4 - - [10/Dec/2026:10:00:00 +0000] \"GET / HTTP/1.1\" 200 5 "
                         "\"https://www.google.com/url?sa=t&url=https://www.mysite.example/page\" \"Mozilla/5.0\""),
              "https://www.google.com/url?sa=t&url=https://www.mysite.example/page");
    // A crawler told by its user agent, not by a forwarded-for field after it.
    const std::string forwarded = "1.2.3.4 - - [10/Dec/2026:10:00:00 +0000] \"GET / HTTP/1.1\" 200 5 \"-\" "
                                  "\"Feedfetcher-Google; (+http://www.google.com/feedfetcher.html; 3 subscribers)\" "
                                  "\"http://proxy.example/\"";
    const ReferrerMatcher::Referrer feed = matcher.ExtractReferrer(forwarded, remainder);
    EXPECT_EQ(feed.text, "http://www.google.com/feedfetcher.html");
    EXPECT_TRUE(feed.inAgent);
}

TEST(LineShape, BadInputFallsBackOrHasNoReferrer)
{
    const ReferrerMatcher matcher("own.example", true);
    LineShapeReader shapes;
    const std::string longRequest = "1.2.3.4 - - [10/Dec/2026:10:00:00 +0000] \"GET /" + std::string(50 << 20, 'a')
        + " HTTP/1.1\" 200 5 \"http://ref.example/\" \"ua\"";
    for (const std::string& line : {
             std::string("1.2.3.4 - - [t] \"GET / HTTP/1.1\" 200 5 \"http://open.example/ \"ua"),
             std::string("1.2.3.4 - - [t] \"GET /http://x.example/ HTTP/1.1\\"),
             std::string("{\"referer\": \"http://a.example/\", "),
             std::string("{\"referer\": \"http://a.example/\"} trailing http://b.example/ }"),
             longRequest,
         }) {
        const OwnLineMarks marks(line);
        LineFields fields = shapes.read(line, marks, W3cFields());
        ReferrerMatcher::Referrer referrer;
        std::size_t start = 0;
        const bool found = matcher.findReferrer(line, marks, fields, referrer, start);
        const plain::PlainReferrer expected = plain::PlainFieldReferrer(line, {}, "own.example", true);
        EXPECT_EQ(found, expected.found) << line.substr(0, 100);
        if (found) {
            EXPECT_EQ(std::string(referrer.text), expected.text) << line.substr(0, 100);
        }
    }
    W3cFields noReferrer;
    noReferrer.readDirective("#Fields: date time cs-uri-query");
    EXPECT_EQ(W3cLineFields("2026-12-10 10:00:00 u=http://x.example/", noReferrer).shape, LineShape::Text);
}

} // namespace
