// Writes a deterministic, realistic Apache combined-format access log of about
// the requested size: visitors from outside pages (http and https), internal
// navigation from the own domain, direct visits, and crawlers whose addresses
// stand inside their parenthesised user agents.
//
//   generate-log BYTES OWN_DOMAIN > access.log

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
const char* const kAgents[]
    = {"Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0 Safari/537.36",
       "Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:121.0) Gecko/20100101 Firefox/121.0",
       "Mozilla/5.0 (iPhone; CPU iPhone OS 17_1 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) Mobile/15E148"};
const char* const kBots[] = {"Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)",
                             "Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)",
                             "Mozilla/5.0 (compatible; Baiduspider/2.0; +http://www.baidu.com/search/spider.html)"};
const char* const kSites[] = {"www.google.com",    "news.ycombinator.com", "www.reddit.com",    "en.wikipedia.org",
                              "stackoverflow.com", "blog.example.net",     "forum.example.org", "duckduckgo.com"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: generate-log BYTES OWN_DOMAIN\n");
        return 2;
    }
    const std::uint64_t target = std::strtoull(argv[1], nullptr, 10);
    const std::string own = argv[2];
    SplitMix random;
    std::string line;
    std::string out;
    out.reserve(1 << 20);
    std::uint64_t written = 0;
    std::uint64_t n = 0;
    while (written < target) {
        ++n;
        const std::uint32_t kind = random.below(100);
        std::string referrer;
        const char* agent = kAgents[random.below(3)];
        if (kind < 25) {
            referrer = "-";
        } else if (kind < 50) {
            referrer = "http://" + own + kPages[random.below(13)];
        } else if (kind < 60) {
            referrer = "-";
            agent = kBots[random.below(3)];
        } else {
            const std::uint32_t site = random.skewed(8);
            const bool https = random.below(4) == 0;
            referrer = std::string(https ? "https://" : "http://") + kSites[site] + "/page/"
                + std::to_string(random.skewed(200000)) + (random.below(3) == 0 ? "?q=web+logs" : "");
        }
        char head[160];
        std::snprintf(
            head, sizeof head, "%u.%u.%u.%u - - [%02u/%s/2024:%02u:%02u:%02u +0000] \"GET %s HTTP/1.1\" %u %u",
            10 + random.below(200), random.below(256), random.below(256), 1 + random.below(254), 1 + random.below(28),
            kMonths[random.below(12)], random.below(24), random.below(60), random.below(60), kPages[random.below(13)],
            random.below(10) ? 200u : 404u, 100 + random.below(90000));
        line = head;
        line += " \"";
        line += referrer;
        line += "\" \"";
        line += agent;
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
