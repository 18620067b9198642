#include "engine/visitors/SourceLists.h"
#include "PlainAddressHost.h"
#include "engine/results/RowSources.h"
#include "engine/visitors/CrawlerList.h"
#include "engine/visitors/ShippedLists.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <re2/re2.h>
#include <yaml-cpp/yaml.h>

#include <map>
#include <optional>
#include <random>
#include <sstream>

using namespace backtrail::engine;

namespace {

// The rule of the source lists read the plain way: every entry of the three
// files is tried on its own, and the best match is picked at the end.
struct PlainEntry
{
    SourceKind kind;
    std::string name;
    std::string text;
    std::vector<std::string> params;
    std::vector<std::string> hidden;
    std::vector<std::string> charsets;
};

std::string lowerAscii(std::string text)
{
    for (char& c : text)
        c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    return text;
}

std::vector<std::string> texts(const YAML::Node& node)
{
    std::vector<std::string> out;
    if (node)
        for (const YAML::Node& item : node)
            out.push_back(item.as<std::string>());
    return out;
}

std::vector<PlainEntry> plainEntries()
{
    std::vector<PlainEntry> entries;
    const std::pair<std::string_view, SourceKind> files[] = {{ShippedAIAssistantsYml(), SourceKind::Ai},
                                                             {ShippedSearchEnginesYml(), SourceKind::Search},
                                                             {ShippedSocialsYml(), SourceKind::Social}};
    for (const auto& [yaml, kind] : files) {
        for (const auto& named : YAML::Load(std::string(yaml))) {
            for (const YAML::Node& item : named.second) {
                if (kind != SourceKind::Search) {
                    entries.push_back({kind, named.first.as<std::string>(), item.as<std::string>(), {}, {}, {}});
                    continue;
                }
                for (const std::string& url : texts(item["urls"]))
                    entries.push_back({kind, named.first.as<std::string>(), url, texts(item["params"]),
                                       texts(item["hiddenkeyword"]), texts(item["charsets"])});
            }
        }
    }
    return entries;
}

std::string decode(const std::string& text, bool plus)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1]))
            && std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += plus && text[i] == '+' ? ' ' : text[i];
        }
    }
    return out;
}

bool plainHostMatch(const PlainEntry& e, const std::string& entryHost, const std::string& host)
{
    if (e.kind != SourceKind::Search)
        return host == entryHost || (host.size() > entryHost.size() && host.ends_with("." + entryHost));
    // "{}" at the end: any split of the host whose tail is a public suffix.
    auto labels = [](const std::string& from) {
        std::vector<std::string> list;
        std::size_t start = 0;
        for (std::size_t dot; (dot = from.find('.', start)) != std::string::npos; start = dot + 1)
            list.push_back(from.substr(start, dot - start));
        list.push_back(from.substr(start));
        return list;
    };
    const std::vector<std::string> want = labels(entryHost), have = labels(host);
    const bool suffix = want.back() == "{}";
    const std::size_t fixed = suffix ? want.size() - 1 : want.size();
    if (suffix ? have.size() <= fixed : have.size() != fixed)
        return false;
    for (std::size_t i = 0; i < fixed; ++i)
        if (have[i] != want[i] && !(want[i] == "{}" && !have[i].empty()))
            return false;
    if (!suffix)
        return true;
    std::string tail;
    for (std::size_t i = fixed; i < have.size(); ++i)
        tail += (i > fixed ? "." : "") + have[i];
    return IsPublicSuffix(tail);
}

Source plainSource(const std::vector<PlainEntry>& entries, const std::string& referrer)
{
    const std::string afterScheme = backtrail::testing::PlainAfterScheme(referrer);
    const std::string host = backtrail::testing::PlainNormalHost(referrer);
    std::size_t at
        = referrer.size() - afterScheme.size() + backtrail::testing::PlainAddressHost(afterScheme).authorityEnd;
    while (at < referrer.size() && std::string("/?#").find(referrer[at]) == std::string::npos)
        ++at; // whatever follows the host
    const std::string onward = referrer.substr(at);
    const std::string path = onward.substr(0, std::min(onward.find_first_of("?#"), onward.size()));
    const std::string pathOnly = path.rfind("/", 0) == 0 ? path : std::string();
    std::string query;
    if (onward.size() > path.size() && onward[path.size()] == '?')
        query = onward.substr(path.size() + 1, onward.find('#') - path.size() - 1);

    const PlainEntry* best = nullptr;
    std::string bestWords;
    auto rank = [](SourceKind k) { return k == SourceKind::Ai ? 0 : k == SourceKind::Search ? 1 : 2; };
    for (const PlainEntry& e : entries) {
        const std::size_t slash = e.text.find('/');
        std::string entryHost = lowerAscii(e.text.substr(0, slash));
        if (entryHost.rfind("www.", 0) == 0)
            entryHost.erase(0, 4);
        const std::string entryPath = slash == std::string::npos ? "" : e.text.substr(slash);
        if (!plainHostMatch(e, entryHost, host) || pathOnly.rfind(entryPath, 0) != 0)
            continue;
        std::string words;
        if (e.kind == SourceKind::Search) {
            for (const std::string& param : e.params) {
                if (param.size() >= 2 && param.front() == '/' && param.back() == '/') {
                    std::string group;
                    if (RE2::PartialMatch(referrer, RE2(param.substr(1, param.size() - 2)), &group))
                        words = decode(group, false);
                } else {
                    std::stringstream pairs(query);
                    for (std::string pair; words.empty() && std::getline(pairs, pair, '&');)
                        if (pair.rfind(param + "=", 0) == 0)
                            words = decode(pair.substr(param.size() + 1), true);
                }
                if (!words.empty())
                    break;
            }
            bool hidden = false;
            for (const std::string& page : e.hidden)
                hidden = hidden
                    || (page.size() >= 2 && page.front() == '/' && page.back() == '/'
                            ? RE2::PartialMatch(onward, RE2(page.substr(1, page.size() - 2)))
                            : page == onward);
            if (words.empty() && !hidden)
                continue;
        }
        if (!best || e.text.size() > best->text.size()
            || (e.text.size() == best->text.size() && rank(e.kind) < rank(best->kind))) {
            best = &e;
            bestWords = words.empty() ? "" : WordsAsUtf8(words, [&] {
                std::vector<std::string> lower;
                for (const std::string& c : e.charsets)
                    lower.push_back(lowerAscii(c));
                return lower;
            }());
        }
    }
    if (!best)
        return {SourceKind::Website, (lowerAscii(referrer).starts_with("android-app://") ? "app:" : "") + host, {}};
    return {best->kind, best->name, best->kind == SourceKind::Search ? bestWords : std::string()};
}

// A host an entry names, made concrete: "{}" at the end a public suffix, elsewhere a label.
std::string concreteHost(std::string host, std::mt19937& random)
{
    static const char* const suffixes[] = {"com", "co.uk", "de", "com.tr", "ee", "com.hk", "fr", "com.br"};
    if (host.ends_with("{}"))
        host.replace(host.size() - 2, 2, suffixes[random() % std::size(suffixes)]);
    for (std::size_t at; (at = host.find("{}")) != std::string::npos;)
        host.replace(at, 2, random() % 2 ? "de" : "images");
    return host;
}

} // namespace

// Random referrers built from every entry of the lists, with and without
// "www.", with subdomains, ports, paths, public suffixes, look-alike hosts,
// letter case, and search words plain, percent-encoded or in another
// character set, are given the source the plain reading gives them.
TEST(SourceLists, EveryEntryOnRandomReferrersAsThePlainReadingSays)
{
    const std::vector<PlainEntry> entries = plainEntries();
    const SourceLists& lists = SourceLists::Shipped();
    ASSERT_EQ(lists.size(), entries.size());
    SourceClassifier classifier(lists);
    std::mt19937 random(26);
    const char* const words[] = {"hello", "hello+world", "caf%C3%A9", "%C4%E3%BA%C3", "a%20b", "%FF%FE", "", "x%2"};
    const char* const paths[] = {"", "/", "/search", "/url", "/s/foo%20bar", "/web/q", "/i/grok", "/2026/article"};
    std::map<SourceKind, int> kinds;
    for (int round = 0; round < 4; ++round) {
        for (const PlainEntry& e : entries) {
            std::string host = concreteHost(e.text.substr(0, e.text.find('/')), random);
            switch (random() % 8) {
            case 0:
                host = "www." + host;
                break;
            case 1:
                host = "m." + host;
                break;
            case 2:
                host = "not" + host;
                break;
            case 3:
                host += ".evil.example";
                break;
            case 4:
                host = host.substr(0, host.rfind('.') + 1) + "evil.example";
                break;
            case 5:
                host[0] = char(std::toupper(static_cast<unsigned char>(host[0])));
                break;
            default:
                break;
            }
            std::string referrer = (random() % 2 ? "https://" : "http://") + host;
            if (random() % 5 == 0)
                referrer += ":8080";
            if (e.text.find('/') != std::string::npos && random() % 2)
                referrer += e.text.substr(e.text.find('/'));
            referrer += paths[random() % std::size(paths)];
            if (random() % 4) {
                referrer += "?ie=UTF-8";
                std::vector<std::string> names = e.params;
                names.push_back("q");
                const std::string& name = names[random() % names.size()];
                if (!(name.size() > 1 && name.front() == '/'))
                    referrer += "&" + name + "=" + words[random() % std::size(words)];
            }
            if (random() % 6 == 0)
                referrer += "#top";
            const Source got = lists.classify(referrer);
            EXPECT_EQ(got, plainSource(entries, referrer)) << referrer;
            EXPECT_EQ(classifier(referrer), got) << referrer; // each host looked up once
            ++kinds[got.kind];
        }
    }
    // Every kind came out often enough for the comparison to mean something.
    for (const SourceKind kind : {SourceKind::Ai, SourceKind::Search, SourceKind::Social, SourceKind::Website})
        EXPECT_GT(kinds[kind], 50) << SourceKindName(kind) << ": " << kinds[kind];
}

// Whatever bytes a log's referrer holds, the source is the plain reading's.
TEST(SourceLists, RandomBytesAsThePlainReadingSays)
{
    const std::vector<PlainEntry> entries = plainEntries();
    const SourceLists& lists = SourceLists::Shipped();
    std::mt19937 random(2026);
    const std::string pieces[]
        = {"://", ".",     "/",     "?",  "#",    ":",        "&",  "=", "%",  "%C4",     "www.", "google",
           "com", "co.uk", "x.com", "q=", "\xFF", "\xC3\xA9", "\0", " ", "{}", "chatgpt", "@",    ")"};
    for (int round = 0; round < 3000; ++round) {
        std::string referrer = random() % 3 == 0 ? "android-app://" : random() % 2 ? "https://" : "";
        for (std::uint32_t n = random() % 12; n > 0; --n)
            referrer += random() % 4 ? pieces[random() % std::size(pieces)] : std::string(1, char(random()));
        EXPECT_EQ(lists.classify(referrer), plainSource(entries, referrer)) << referrer;
    }
}

// The cases the rule is known by, and each kind of look-alike.
TEST(SourceLists, TiesHiddenWordsCharsetsAndLookAlikes)
{
    const SourceLists& lists = SourceLists::Shipped();
    const struct
    {
        const char* referrer;
        Source source;
    } cases[] = {
        {"https://gemini.google.com/app", {SourceKind::Ai, "Gemini", ""}},
        {"https://x.com/i/grok?conversation=1", {SourceKind::Ai, "Grok", ""}},
        {"https://x.com/someone", {SourceKind::Social, "Twitter", ""}},
        {"https://www.google.co.uk/search?q=referrer+logs", {SourceKind::Search, "Google", "referrer logs"}},
        {"http://de.search.yahoo.com/search?p=logs", {SourceKind::Search, "Yahoo!", "logs"}},
        {"https://www.google.com/", {SourceKind::Search, "Google", ""}},
        {"https://www.cnn.com/2026/article", {SourceKind::Website, "cnn.com", ""}},
        {"http://www.baidu.com/s?wd=%C4%E3%BA%C3", {SourceKind::Search, "Baidu", "\xE4\xBD\xA0\xE5\xA5\xBD"}},
        {"http://www.baidu.com/s?wd=%FF", {SourceKind::Search, "Baidu", "\xEF\xBF\xBD"}},
        {"https://google.evil.example/search?q=x", {SourceKind::Website, "google.evil.example", ""}},
        {"https://chatgpt.com.evil.example/", {SourceKind::Website, "chatgpt.com.evil.example", ""}},
        {"https://notfacebook.com/", {SourceKind::Website, "notfacebook.com", ""}},
        {"HTTPS://WWW.ChatGPT.com:443/c/1", {SourceKind::Ai, "ChatGPT", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lists.classify(c.referrer), c.source) << c.referrer;
}

// A folder's lists replace the shipped ones; a missing or malformed file is
// named, and the lists stay as they were.
TEST(SourceLists, FolderListsAndTheirFaults)
{
    QTemporaryDir dir;
    auto write = [&](const char* name, const char* text) {
        QFile file(dir.filePath(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    write("SearchEngines.yml", "Find:\n  - urls: [find.example]\n    params: [q]\n");
    write("Socials.yml", "Friends:\n  - friends.example\n");
    SourceLists lists;
    QString error;
    EXPECT_FALSE(SourceLists::FromFolder(dir.path(), lists, &error));
    EXPECT_TRUE(error.endsWith(QStringLiteral("AIAssistants.yml: No such file or directory"))) << error.toStdString();
    write("AIAssistants.yml", "Helper:\n  - helper.example/chat\n");
    ASSERT_TRUE(SourceLists::FromFolder(dir.path(), lists, &error)) << error.toStdString();
    EXPECT_EQ(lists.classify("http://find.example/?q=a"), (Source {SourceKind::Search, "Find", "a"}));
    EXPECT_EQ(lists.classify("http://a.helper.example/chat/1").name, "Helper");
    EXPECT_EQ(lists.classify("http://helper.example/other").kind, SourceKind::Website);
    EXPECT_EQ(lists.classify("https://www.google.com/").kind, SourceKind::Website);
    for (const char* bad : {"- just a list\n", "Find:\n  - urls: [find.example]\n    params: ['/(unclosed/']\n",
                            "Find:\n  - params: [q]\n", "Find: [\n"}) {
        write("SearchEngines.yml", bad);
        EXPECT_FALSE(SourceLists::FromFolder(dir.path(), lists, &error)) << bad;
        EXPECT_TRUE(error.contains(QStringLiteral("SearchEngines.yml: "))) << error.toStdString();
        EXPECT_EQ(lists.classify("http://find.example/?q=a").name, "Find"); // unchanged
    }
}

// The kind of crawler a user agent tells is the first tag of the first
// pattern, in list order, that matches it: every example user agent of the
// shipped list, cached and not, against a plain loop over the patterns.
TEST(CrawlerKind, FirstTagOfTheFirstMatchingPatternAsAPlainLoopFindsIt)
{
    const QJsonArray entries
        = QJsonDocument::fromJson(QByteArray::fromStdString(std::string(ShippedCrawlerUserAgentsJson()))).array();
    std::vector<std::pair<std::unique_ptr<RE2>, std::string>> patterns;
    std::vector<std::string> agents = {"Mozilla/5.0 (X11; Linux x86_64; rv:128.0) Gecko/20100101 Firefox/128.0"};
    for (const QJsonValue& value : entries) {
        const QJsonObject entry = value.toObject();
        const QJsonArray tags = entry[QStringLiteral("tags")].toArray();
        patterns.emplace_back(std::make_unique<RE2>(entry[QStringLiteral("pattern")].toString().toStdString()),
                              tags.isEmpty() ? std::string() : tags.first().toString().toStdString());
        for (const QJsonValue& instance : entry[QStringLiteral("instances")].toArray())
            agents.push_back(instance.toString().toStdString());
    }
    CrawlerList crawlers = CrawlerList::Shipped();
    std::size_t tagged = 0;
    for (const std::string& agent : agents) {
        std::optional<std::string> plain;
        for (const auto& [pattern, tag] : patterns) {
            if (RE2::PartialMatch(agent, *pattern)) {
                plain = tag;
                break;
            }
        }
        const std::uint8_t mark = crawlers.crawlerMark(agent);
        EXPECT_EQ(mark != kPersonMark, plain.has_value()) << agent;
        const std::string kind = !plain ? "" : plain->empty() ? std::string(kUnknownCrawlerKind) : *plain;
        EXPECT_EQ(std::string(CrawlerKindOfMark(mark)), kind) << agent;
        EXPECT_EQ(crawlers.crawlerMark(agent), mark) << agent; // from the cache
        EXPECT_EQ(crawlers.markOf(agent), mark) << agent;
        tagged += mark > kCrawlerMark;
    }
    EXPECT_GT(tagged, agents.size() / 2);
}

// Rows grouped by source: one a source in order of first appearance, clicks
// summed, crawler and spam groups typed; search words of a group, most first.
TEST(RowSources, GroupBySourceSumsClicksAndKeepsWords)
{
    ResultTable rows;
    const std::uint8_t seo = CrawlerKindMark("seo");
    rows.append("HTM", "0000003", "https://www.google.com/search?q=logs", "/a");
    rows.append("BOT", "0000005", "http://crawler.example/", "/b", seo);
    rows.append("SPM", "0000002", "http://www.Spam.example/x", "/c");
    rows.append("HTM", "0000004", "https://www.google.de/search?q=logs", "/d");
    rows.append("HTM", "0000001", "https://google.com/search?q=tail", "/e");
    rows.append("", "", "http://blog.example/post", "/f");
    const std::vector<Source> sources = RowSources(rows, SourceLists::Shipped());
    EXPECT_EQ(sources[1], (Source {SourceKind::Crawler, "seo", ""}));
    EXPECT_EQ(sources[2], (Source {SourceKind::Spam, "spam.example", ""}));
    std::vector<Source> grouped;
    std::vector<std::vector<std::size_t>> members;
    const ResultTable table = GroupBySource(rows, sources, true, grouped, &members);
    ASSERT_EQ(table.size(), 4u);
    EXPECT_EQ(table.row(0).referrer, "Google");
    EXPECT_EQ(table.row(0).clicks, "0000008");
    EXPECT_EQ(table.row(1).type, "BOT");
    EXPECT_EQ(CrawlerKindOfMark(table.row(1).botMark), "seo");
    EXPECT_EQ(table.row(2).type, "SPM");
    EXPECT_EQ(table.row(3).clicks, "0000001");
    EXPECT_EQ(KeywordsOf(rows, sources, members[0]), (std::vector<KeywordClicks> {{"logs", 7}, {"tail", 1}}));
    EXPECT_EQ(GroupBySource(rows, sources, false, grouped).row(1).type, "");
}
