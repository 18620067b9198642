// Writes a deterministic, realistic Apache combined-format access log of about
// the requested size, with the traffic of a small site today:
//   - people: direct visits, internal navigation from the own domain, and
//     visitors from outside pages (http and https, skewed popularity); their
//     browsers are some 1,400 distinct user agents (Chrome, Edge,
//     Firefox, Safari, Samsung Internet, Opera and in-app browsers over many
//     versions and platforms), the newest versions and commonest platforms
//     most often, as real traffic has them;
//   - crawlers: search engines whose user agents carry their address closed
//     by ")" (Googlebot, bingbot, ...), AI crawlers (GPTBot, ClaudeBot,
//     PerplexityBot, CCBot, Bytespider, Amazonbot, Applebot, ...), some of
//     them with no address at all, and a few crawler lines with a real
//     referrer, which only the crawler list tells from people;
//   - feed readers whose addresses stand in their user agents, not closed by ")";
//   - referrer spam from hosts of the shipped spam list (about 2% of the lines
//     with an outside referrer), some of it from subdomains of a listed host;
//   - times running in order through 672 days of two years, with the offsets
//     of several zones; an outside link leads mostly to one page.
// About 64% of the lines hold "http://" (65% in the log this generator wrote
// before it knew crawlers apart), so the scan figures stay comparable.
//
// With --site-pages N each outside site links from N pages instead of
// 200,000: a few thousand give a typical site's log, in which a referrer
// comes back again and again (about 1.5% of the referrer lines distinct).
//
//   generate-log [--site-pages N] BYTES OWN_DOMAIN > access.log

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A small, fast, fixed-seed generator: the same log on every machine.
struct SplitMix
{
    std::uint64_t state = 0x5eed;
    std::uint64_t next()
    {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    std::uint32_t below(std::uint32_t n) { return std::uint32_t(next() % n); }
    // Skewed towards small numbers, as referrer popularity is.
    std::uint32_t skewed(std::uint32_t n)
    {
        const double u = double(next() >> 11) / double(1ULL << 53);
        return std::uint32_t(double(n) * u * u * u) % n;
    }
};

const char* const kPages[] = {"/",
                              "/index.html",
                              "/blog/2015/05/logging.html",
                              "/about.php",
                              "/images/logo.png",
                              "/images/photo.jpg",
                              "/downloads/tool.zip",
                              "/feed.xml",
                              "/docs/manual.pdf",
                              "/style.css",
                              "/scripts/app.js",
                              "/search.aspx?q=logs",
                              "/files/src.tar.gz"};
constexpr std::uint32_t kPageCount = sizeof kPages / sizeof kPages[0];
const char* const kSites[] = {"www.google.com",    "news.ycombinator.com", "www.reddit.com",    "en.wikipedia.org",
                              "stackoverflow.com", "blog.example.net",     "forum.example.org", "duckduckgo.com"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Hosts taken from the shipped referrer spam list; darodar.com sent its spam
// from numbered subdomains ("forum.topic39398713.darodar.com").
const char* const kSpamHosts[]
    = {"semalt.com",         "buttons-for-website.com", "best-seo-offer.com",       "ilovevitaly.com",    "priceg.com",
       "hulfingtonpost.com", "free-social-buttons.com", "get-free-traffic-now.com", "trafficmonetize.org"};
constexpr std::uint32_t kSpamHostCount = sizeof kSpamHosts / sizeof kSpamHosts[0];

struct WeightedAgent
{
    std::uint32_t weight;
    const char* agent;
};

// Crawlers by their share of crawler traffic. Each is matched by a pattern of
// the shipped crawler list; most carry their address ("+http://...)"), the
// OpenAI and Perplexity crawlers carry an https one (GPTBot's is not closed by
// ")"), ClaudeBot, Bytespider and Googlebot-Image none.
const WeightedAgent kCrawlers[] = {
    {14, "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)"},
    {0, nullptr}, // Googlebot for smartphones, over Chrome versions: filled in by Crawlers()
    {3, "Googlebot-Image/1.0"},
    {5, "Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)"},
    {5,
     "Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm) "
     "Chrome/116.0.1938.76 Safari/537.36"},
    {3, "Mozilla/5.0 (compatible; YandexBot/3.0; +http://yandex.com/bots)"},
    {2, "Mozilla/5.0 (compatible; Baiduspider/2.0; +http://www.baidu.com/search/spider.html)"},
    {1, "DuckDuckBot/1.1; (+http://duckduckgo.com/duckduckbot.html)"},
    {6, "Mozilla/5.0 (compatible; AhrefsBot/7.0; +http://ahrefs.com/robot/)"},
    {5, "Mozilla/5.0 (compatible; SemrushBot/7~bl; +http://www.semrush.com/bot.html)"},
    {2, "Mozilla/5.0 (compatible; MJ12bot/v1.4.8; http://mj12bot.com/)"},
    {2,
     "Mozilla/5.0 (Linux; Android 7.0;) AppleWebKit/537.36 (KHTML, like Gecko) Mobile Safari/537.36 (compatible; "
     "PetalBot;+https://webmaster.petalsearch.com/site/petalbot)"},
    {4,
     "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_5) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/13.1.1 "
     "Safari/605.1.15 (Applebot/0.1; +http://www.apple.com/go/applebot)"},
    {7, "Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko); compatible; GPTBot/1.2; +https://openai.com/gptbot"},
    {2,
     "Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko); compatible; OAI-SearchBot/1.0; "
     "+https://openai.com/searchbot"},
    {2, "Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko); compatible; ChatGPT-User/1.0; +https://openai.com/bot"},
    {8, "Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; ClaudeBot/1.0; +claudebot@anthropic.com)"},
    {3,
     "Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; PerplexityBot/1.0; "
     "+https://perplexity.ai/perplexitybot)"},
    {2, "CCBot/2.0 (https://commoncrawl.org/faq/)"},
    {6,
     "Mozilla/5.0 (Linux; Android 5.0) AppleWebKit/537.36 (KHTML, like Gecko) Mobile Safari/537.36 (compatible; "
     "Bytespider; spider-feedback@bytedance.com)"},
    {4,
     "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/119.0.0.0 "
     "Safari/537.36 (Amazonbot/0.1; +https://developer.amazon.com/support/amazonbot)"},
    {4, "meta-externalagent/1.1 (+https://developers.facebook.com/docs/sharing/webmasters/crawler)"},
};
constexpr std::uint32_t kSmartphoneGooglebotWeight = 16;

// The newest Chrome major version in the log, and the build number of a major
// version (close to the real ones: about 55 builds a version).
constexpr int kNewestChrome = 131;
int chromeBuild(int major)
{
    return 6778 - (kNewestChrome - major) * 55;
}
int chromePatch(int major, int variant)
{
    return 30 + (major * 37 + variant * 61) % 180;
}
std::string chromeFull(int major, int variant = 0)
{
    return std::to_string(major) + ".0." + std::to_string(chromeBuild(major)) + "."
        + std::to_string(chromePatch(major, variant));
}

// One browser family's user agents, agents[version][platform], both in order
// of popularity (newest version, commonest platform first).
struct Family
{
    std::uint32_t weight = 0;
    std::vector<std::vector<std::string>> agents;
};

std::vector<Family> BrowserFamilies()
{
    std::vector<Family> families;
    const auto add = [&families](std::uint32_t weight) -> Family& {
        families.push_back(Family {weight, {}});
        return families.back();
    };

    // Chrome on desktops: since Chrome 110 the minor numbers read "0.0.0".
    {
        Family& chrome = add(30);
        const char* const platforms[] = {"Windows NT 10.0; Win64; x64", "Macintosh; Intel Mac OS X 10_15_7",
                                         "X11; Linux x86_64", "X11; CrOS x86_64 14541.0.0"};
        for (int major = kNewestChrome; major >= 100; --major) {
            const std::string version = major >= 110 ? std::to_string(major) + ".0.0.0" : chromeFull(major);
            auto& row = chrome.agents.emplace_back();
            for (const char* platform : platforms)
                row.push_back(std::string("Mozilla/5.0 (") + platform
                              + ") AppleWebKit/537.36 (KHTML, like Gecko) Chrome/" + version + " Safari/537.36");
        }
    }
    // Chrome on Android: reduced to "Android 10; K" since Chrome 110.
    {
        Family& android = add(16);
        for (int major = kNewestChrome; major >= 100; --major) {
            const bool reduced = major >= 110;
            const std::string device = reduced ? "Android 10; K" : "Android 12; SM-A525F";
            const std::string version = reduced ? std::to_string(major) + ".0.0.0" : chromeFull(major);
            android.agents.push_back({"Mozilla/5.0 (Linux; " + device
                                      + ") AppleWebKit/537.36 (KHTML, like Gecko) Chrome/" + version
                                      + " Mobile Safari/537.36"});
        }
    }
    // In-app browsers on Android (web views): the device's full name and the
    // app's own version make the longest tail of distinct user agents.
    {
        Family& inApp = add(8);
        const char* const devices[]
            = {"Android 14; SM-S918B Build/UP1A.231005.007",  "Android 13; SM-A536B Build/TP1A.220624.014",
               "Android 14; Pixel 8 Build/AP2A.240805.005",   "Android 13; Pixel 7 Build/TQ3A.230901.001",
               "Android 12; SM-G991B Build/SP1A.210812.016",  "Android 11; Redmi Note 8 Pro Build/RP1A.200720.011",
               "Android 13; 2201117TG Build/TKQ1.221114.001", "Android 12; moto g(30) Build/S0RCS32.41-10-19-14",
               "Android 14; SM-A546B Build/UP1A.231005.007",  "Android 11; CPH2239 Build/RP1A.200720.011",
               "Android 13; M2101K6G Build/TKQ1.221013.002",  "Android 10; SM-A505F Build/QP1A.190711.020"};
        const char* const apps[] = {"", " [FB_IAB/FB4A;FBAV/489.0.0.55.79;]", " [FB_IAB/FB4A;FBAV/488.0.0.61.76;]",
                                    " Instagram 357.0.0.25.101 Android"};
        for (int major = kNewestChrome; major > kNewestChrome - 12; --major) {
            auto& row = inApp.agents.emplace_back();
            for (const char* app : apps) {
                for (const char* device : devices)
                    row.push_back(std::string("Mozilla/5.0 (Linux; ") + device
                                  + "; wv) AppleWebKit/537.36 (KHTML, like Gecko) Version/4.0 Chrome/"
                                  + chromeFull(major) + " Mobile Safari/537.36" + app);
            }
        }
    }
    // Safari on iPhone and iPad; its version follows the system's.
    const char* const ios[][2] = {
        {"18_2", "18.2"},     {"18_1_1", "18.1.1"}, {"18_1", "18.1"},       {"18_0_1", "18.0.1"}, {"18_0", "18.0"},
        {"17_7_2", "17.7.2"}, {"17_7", "17.7"},     {"17_6_1", "17.6.1"},   {"17_6", "17.6"},     {"17_5_1", "17.5.1"},
        {"17_5", "17.5"},     {"17_4_1", "17.4.1"}, {"17_4", "17.4"},       {"17_3_1", "17.3.1"}, {"17_2_1", "17.2.1"},
        {"17_1_2", "17.1.2"}, {"17_0_3", "17.0.3"}, {"16_7_10", "16.7.10"}, {"16_7_8", "16.7.8"}, {"16_6_1", "16.6.1"},
        {"16_5", "16.5"},     {"16_3_1", "16.3.1"}, {"15_8_3", "15.8.3"},   {"15_7", "15.7"},     {"15_6_1", "15.6.1"}};
    {
        Family& safari = add(17);
        for (const auto& system : ios) {
            safari.agents.push_back({std::string("Mozilla/5.0 (iPhone; CPU iPhone OS ") + system[0]
                                         + " like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/"
                                         + system[1] + " Mobile/15E148 Safari/604.1",
                                     std::string("Mozilla/5.0 (iPad; CPU OS ") + system[0]
                                         + " like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/"
                                         + system[1] + " Mobile/15E148 Safari/604.1"});
        }
    }
    // Chrome on iPhone: its own version over the system's.
    {
        Family& crios = add(3);
        for (int major = kNewestChrome; major > kNewestChrome - 12; --major) {
            auto& row = crios.agents.emplace_back();
            for (const auto& system : ios)
                row.push_back(std::string("Mozilla/5.0 (iPhone; CPU iPhone OS ") + system[0]
                              + " like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) CriOS/" + chromeFull(major, 1)
                              + " Mobile/15E148 Safari/604.1");
        }
    }
    // Safari on the Mac, whose system version stays frozen at 10_15_7.
    {
        Family& mac = add(5);
        for (const char* version : {"18.2", "18.1.1", "18.1", "18.0.1", "17.6", "17.5", "17.4.1", "17.3.1", "17.2.1",
                                    "17.1.2", "16.6.1", "16.6", "16.5.2", "16.1", "15.6.1"})
            mac.agents.push_back({std::string("Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 "
                                              "(KHTML, like Gecko) Version/")
                                  + version + " Safari/605.1.15"});
    }
    // Edge: Chrome's engine with its own full version.
    {
        Family& edge = add(7);
        for (int major = kNewestChrome; major >= 110; --major) {
            const std::string edgeVersion = std::to_string(major) + ".0."
                + std::to_string(2903 - (kNewestChrome - major) * 55) + "." + std::to_string(20 + major * 13 % 100);
            auto& row = edge.agents.emplace_back();
            for (const char* platform : {"Windows NT 10.0; Win64; x64", "Macintosh; Intel Mac OS X 10_15_7"})
                row.push_back(std::string("Mozilla/5.0 (") + platform
                              + ") AppleWebKit/537.36 (KHTML, like Gecko) Chrome/" + std::to_string(major)
                              + ".0.0.0 Safari/537.36 Edg/" + edgeVersion);
        }
    }
    // Firefox, down to the 115 ESR.
    {
        Family& firefox = add(6);
        for (int major = 133; major >= 115; --major) {
            const std::string rv = std::to_string(major) + ".0";
            auto& row = firefox.agents.emplace_back();
            for (const char* platform : {"Windows NT 10.0; Win64; x64", "X11; Linux x86_64",
                                         "Macintosh; Intel Mac OS X 10.15", "X11; Ubuntu; Linux x86_64"})
                row.push_back(std::string("Mozilla/5.0 (") + platform + "; rv:" + rv + ") Gecko/20100101 Firefox/"
                              + rv);
            row.push_back("Mozilla/5.0 (Android 14; Mobile; rv:" + rv + ") Gecko/" + rv + " Firefox/" + rv);
        }
    }
    // Samsung Internet on Galaxy phones.
    {
        Family& samsung = add(4);
        const char* const versions[][2]
            = {{"27.0", "125"}, {"26.0", "122"}, {"25.0", "121"}, {"24.0", "117"}, {"23.0", "115"}, {"22.0", "111"}};
        const char* const devices[]
            = {"Android 14; SAMSUNG SM-S918B", "Android 14; SAMSUNG SM-A546B", "Android 13; SAMSUNG SM-A536B",
               "Android 14; SAMSUNG SM-S928B", "Android 13; SAMSUNG SM-G991B", "Android 14; SAMSUNG SM-A156B",
               "Android 14; SAMSUNG SM-S911B", "Android 13; SAMSUNG SM-A135F"};
        for (const auto& version : versions) {
            auto& row = samsung.agents.emplace_back();
            for (const char* device : devices)
                row.push_back(std::string("Mozilla/5.0 (Linux; ") + device
                              + ") AppleWebKit/537.36 (KHTML, like Gecko) SamsungBrowser/" + version[0] + " Chrome/"
                              + version[1] + ".0.0.0 Mobile Safari/537.36");
        }
    }
    // Opera, sixteen versions behind Chrome's.
    {
        Family& opera = add(2);
        for (int major = 115; major >= 100; --major) {
            auto& row = opera.agents.emplace_back();
            for (const char* platform : {"Windows NT 10.0; Win64; x64", "Macintosh; Intel Mac OS X 10_15_7"})
                row.push_back(std::string("Mozilla/5.0 (") + platform
                              + ") AppleWebKit/537.36 (KHTML, like Gecko) Chrome/" + std::to_string(major + 16)
                              + ".0.0.0 Safari/537.36 OPR/" + std::to_string(major) + ".0.0.0");
        }
    }
    return families;
}

// Feed readers fetch the feed with their address in the user agent, ended by
// ";" or a blank rather than ")".
const char* const kFeedReaders[] = {
    "Feedly/1.0 (+http://www.feedly.com/fetcher.html; 42 subscribers; like FeedFetcher-Google)",
    "Feedly/1.0 (+http://www.feedly.com/fetcher.html; 41 subscribers; like FeedFetcher-Google)",
    "Inoreader/1.0 (+http://www.inoreader.com/feed-fetcher; 8 subscribers; )",
    "NewsBlur Feed Fetcher - 12 subscribers - http://www.newsblur.com/site/6865370/own-site (Mozilla/5.0 (Macintosh; "
    "Intel Mac OS X 10_7_1) AppleWebKit/534.48.3 (KHTML, like Gecko) Version/5.1 Safari/534.48.3)"};
constexpr std::uint32_t kFeedReaderCount = sizeof kFeedReaders / sizeof kFeedReaders[0];

// Picks by weight from a table of cumulative weights.
std::uint32_t Pick(SplitMix& random, const std::vector<std::uint32_t>& cumulative)
{
    const std::uint32_t roll = random.below(cumulative.back());
    std::uint32_t i = 0;
    while (cumulative[i] <= roll)
        ++i;
    return i;
}

struct Agents
{
    std::vector<Family> browsers = BrowserFamilies();
    std::vector<std::uint32_t> browserWeights;
    std::vector<std::string> crawlers;
    std::vector<std::uint32_t> crawlerWeights;
    std::vector<std::string> feedReaders {kFeedReaders, kFeedReaders + kFeedReaderCount};

    Agents()
    {
        std::uint32_t sum = 0;
        for (const Family& family : browsers)
            browserWeights.push_back(sum += family.weight);
        sum = 0;
        for (const WeightedAgent& crawler : kCrawlers) {
            if (crawler.agent) {
                crawlers.emplace_back(crawler.agent);
                crawlerWeights.push_back(sum += crawler.weight);
                continue;
            }
            // Googlebot for smartphones follows the newest Chrome.
            for (int major = kNewestChrome; major > kNewestChrome - 4; --major) {
                crawlers.push_back("Mozilla/5.0 (Linux; Android 6.0.1; Nexus 5X Build/MMB29P) AppleWebKit/537.36 "
                                   "(KHTML, like Gecko) Chrome/"
                                   + chromeFull(major, 2)
                                   + " Mobile Safari/537.36 (compatible; Googlebot/2.1; "
                                     "+http://www.google.com/bot.html)");
                crawlerWeights.push_back(sum += kSmartphoneGooglebotWeight / 4);
            }
        }
    }

    const std::string& browser(SplitMix& random) const
    {
        const Family& family = browsers[Pick(random, browserWeights)];
        const auto& row = family.agents[random.skewed(std::uint32_t(family.agents.size()))];
        return row[random.skewed(std::uint32_t(row.size()))];
    }
    const std::string& crawler(SplitMix& random) const { return crawlers[Pick(random, crawlerWeights)]; }
};

} // namespace

int main(int argc, char** argv)
{
    std::uint32_t sitePages = 200000;
    if (argc == 5 && std::string(argv[1]) == "--site-pages") {
        sitePages = std::uint32_t(std::strtoul(argv[2], nullptr, 10));
        argv += 2;
        argc -= 2;
    }
    if (argc != 3 || sitePages == 0) {
        std::fprintf(stderr, "usage: generate-log [--site-pages N] BYTES OWN_DOMAIN\n");
        return 2;
    }
    const std::uint64_t target = std::strtoull(argv[1], nullptr, 10);
    const std::string own = argv[2];
    const Agents agents;
    SplitMix random;
    std::string line;
    std::string out;
    out.reserve(1 << 20);
    std::uint64_t written = 0;
    while (written < target) {
        // Per thousand lines: 215 direct visits, 250 internal, 100 crawlers
        // without and 15 with a referrer, 10 feed fetches, 10 spam and 400
        // visitors from outside pages.
        const std::uint32_t kind = random.below(1000);
        std::string referrer;
        const std::string* agent = nullptr;
        const char* page = kPages[random.below(kPageCount)];
        if (kind < 215) {
            referrer = "-";
        } else if (kind < 465) {
            referrer = "http://" + own + kPages[random.below(kPageCount)];
        } else if (kind < 565) {
            referrer = "-";
            agent = &agents.crawler(random);
        } else if (kind < 580) {
            // A crawler following a link it found: the referrer is real, only
            // the user agent says who clicked.
            agent = &agents.crawler(random);
            if (random.below(3) != 0)
                referrer = "http://" + own + kPages[random.below(kPageCount)];
            else
                referrer = std::string("https://") + kSites[random.skewed(8)] + "/page/"
                    + std::to_string(random.skewed(sitePages));
        } else if (kind < 590) {
            referrer = "-";
            page = "/feed.xml";
            agent = &agents.feedReaders[random.skewed(kFeedReaderCount)];
        } else if (kind < 600) {
            const std::uint32_t spammer = random.skewed(kSpamHostCount + 1);
            referrer = spammer == kSpamHostCount
                ? "http://forum.topic" + std::to_string(39398000 + random.below(50)) + ".darodar.com/"
                : std::string("http://") + kSpamHosts[spammer] + (random.below(2) ? "/" : "");
            page = "/";
        } else {
            const std::uint32_t site = random.skewed(8);
            const bool https = random.below(4) == 0;
            const std::uint32_t number = random.skewed(sitePages);
            referrer = std::string(https ? "https://" : "http://") + kSites[site] + "/page/" + std::to_string(number)
                + (random.below(3) == 0 ? "?q=web+logs" : "");
            // A link leads to one page of the site, now and then to another.
            if (random.below(5) != 0)
                page = kPages[(number * 7 + site) % kPageCount];
        }
        if (!agent)
            agent = &agents.browser(random);
        // Times run through two years of days, as a log's lines come in time
        // order, written with the offsets of servers in several zones (and of
        // both halves of a summer-time year).
        static const char* const kOffsets[] = {"+0000", "+0100", "+0200", "-0500", "+0530"};
        const std::uint64_t dayOfLog = written * 672 / (target + 1);
        const std::uint64_t secondOfDay = (written * 672 % (target + 1)) * 86400 / (target + 1);
        char head[176];
        std::snprintf(head, sizeof head, "%u.%u.%u.%u - - [%02u/%s/%u:%02u:%02u:%02u %s] \"GET %s HTTP/1.1\" %u %u",
                      10 + random.below(200), random.below(256), random.below(256), 1 + random.below(254),
                      unsigned(1 + dayOfLog % 28), kMonths[dayOfLog / 28 % 12], unsigned(2025 + dayOfLog / 336),
                      unsigned(secondOfDay / 3600), unsigned(secondOfDay / 60 % 60), unsigned(secondOfDay % 60),
                      kOffsets[random.skewed(5)], page, random.below(10) ? 200u : 404u, 100 + random.below(90000));
        line = head;
        line += " \"";
        line += referrer;
        line += "\" \"";
        line += *agent;
        line += "\"\n";
        out += line;
        written += line.size();
        if (out.size() >= (1u << 20)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
