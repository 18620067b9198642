#include "SourceLists.h"
#include "ReferrerText.h"
#include "engine/base/AsciiCase.h"

#include "ShippedLists.h"
#include "SpamList.h"
#include "engine/base/TextHash.h"

#include <QDir>
#include <QFile>

#include <re2/re2.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <array>
#include <unordered_map>

namespace backtrail::engine {

namespace {

constexpr std::array<std::string_view, 6> kKindNames {"website", "search", "social", "ai", "crawler", "spam"};

// On a tie of entry lengths an AI assistant wins, then a search engine, then a social network.
int tieRank(SourceKind kind)
{
    return kind == SourceKind::Ai ? 0 : kind == SourceKind::Search ? 1 : 2;
}

std::string_view withoutWww(std::string_view host)
{
    return host.starts_with("www.") ? host.substr(4) : host;
}

// A pattern of the lists: "/regex/", else a text matched as it is.
struct Pattern
{
    std::string text;
    std::shared_ptr<const RE2> regex;
};

bool isRegex(std::string_view text)
{
    return text.size() >= 2 && text.front() == '/' && text.back() == '/';
}

} // namespace

struct SourceLists::Data
{
    struct Group
    {
        std::vector<Pattern> params;
        std::vector<Pattern> hidden;
        std::vector<std::string> charsets;
    };
    struct Entry
    {
        SourceKind kind;
        std::uint32_t nameIndex;
        std::uint32_t group; // search engines' blocks; 0 for the others
        std::uint32_t order; // place in the lists
        std::string text; // as written
        std::string host; // lower case, without a leading "www."
        std::string path; // "/P", or empty
        // A search-engine host with "{}": its labels, and whether the last is one.
        std::vector<std::string> labels;
        bool suffixWildcard = false;
    };
    std::vector<std::string> names;
    std::vector<Group> groups;
    std::vector<Entry> entries;
    // Entries by host: AI assistants and social networks match the host and
    // its subdomains, search engines without "{}" the host alone.
    struct HostHash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept { return std::size_t(TextHash(text)); }
    };
    std::unordered_map<std::string, std::vector<std::uint32_t>, HostHash, std::equal_to<>> byHost;
    std::vector<std::uint32_t> wildcards; // search engines with "{}"

    /// Whether a search-engine entry with "{}" matches the host, cut into its labels.
    bool hostMatchesWildcard(const Entry& entry, const std::string& host,
                             const std::vector<std::string_view>& labels) const;
    bool searchCounts(const Entry& entry, std::string_view referrer, const ReferrerParts& parts,
                      std::string& words) const;
};

namespace {

// Splits "H/P" into a host (lower case, one leading "www." dropped) and "/P".
void splitEntry(std::string_view text, std::string& host, std::string& path)
{
    const std::size_t slash = text.find('/');
    host = AsciiLowered(withoutWww(text.substr(0, slash)));
    path = slash == std::string_view::npos ? std::string() : std::string(text.substr(slash));
}

std::vector<std::string_view> labelsOf(std::string_view host)
{
    std::vector<std::string_view> labels;
    std::size_t from = 0;
    for (;;) {
        const std::size_t dot = host.find('.', from);
        labels.push_back(host.substr(from, dot - from));
        if (dot == std::string_view::npos)
            return labels;
        from = dot + 1;
    }
}

bool compilePattern(const std::string& text, Pattern& pattern, std::string& reason)
{
    pattern.text = text;
    if (!isRegex(text))
        return true;
    RE2::Options options;
    options.set_log_errors(false);
    auto regex = std::make_shared<RE2>(text.substr(1, text.size() - 2), options);
    if (!regex->ok()) {
        reason = "pattern '" + text + "' does not compile: " + regex->error();
        return false;
    }
    pattern.regex = std::move(regex);
    return true;
}

std::vector<std::string> stringsOf(const YAML::Node& node, const char* what)
{
    std::vector<std::string> texts;
    if (!node)
        return texts;
    if (!node.IsSequence())
        throw std::runtime_error(std::string(what) + " is no list");
    for (const YAML::Node& item : node) {
        if (!item.IsScalar())
            throw std::runtime_error(std::string(what) + " holds an item that is no text");
        texts.push_back(item.as<std::string>());
    }
    return texts;
}

// Adds one file's entries; throws with what is wrong.
void readList(std::string_view yaml, SourceKind kind, SourceLists::Data& data)
{
    const YAML::Node top = YAML::Load(std::string(yaml));
    if (!top.IsMap())
        throw std::runtime_error("the file is no map of names to entries");
    for (const auto& named : top) {
        const std::string name = named.first.as<std::string>();
        if (!named.second.IsSequence())
            throw std::runtime_error("'" + name + "' has no list of entries");
        const auto nameIndex = std::uint32_t(data.names.size());
        data.names.push_back(name);
        auto addEntry = [&](const std::string& text, std::uint32_t group) {
            SourceLists::Data::Entry entry {kind, nameIndex, group, std::uint32_t(data.entries.size()), text, {},
                                            {},   {},        false};
            splitEntry(text, entry.host, entry.path);
            if (entry.host.empty())
                throw std::runtime_error("'" + name + "' has an entry without a host: '" + text + "'");
            const auto at = std::uint32_t(data.entries.size());
            if (kind == SourceKind::Search && entry.host.find("{}") != std::string::npos) {
                for (const std::string_view label : labelsOf(entry.host))
                    entry.labels.emplace_back(label);
                entry.suffixWildcard = entry.labels.back() == "{}";
                data.wildcards.push_back(at);
            } else {
                data.byHost[entry.host].push_back(at);
            }
            data.entries.push_back(std::move(entry));
        };
        for (const YAML::Node& item : named.second) {
            if (kind != SourceKind::Search) {
                if (!item.IsScalar())
                    throw std::runtime_error("'" + name + "' has an entry that is no text");
                addEntry(item.as<std::string>(), 0);
                continue;
            }
            if (!item.IsMap())
                throw std::runtime_error("'" + name + "' has a block that is no map");
            SourceLists::Data::Group group;
            std::string reason;
            for (const std::string& text : stringsOf(item["params"], "params")) {
                Pattern& pattern = group.params.emplace_back();
                if (!compilePattern(text, pattern, reason))
                    throw std::runtime_error("'" + name + "': " + reason);
            }
            for (const std::string& text : stringsOf(item["hiddenkeyword"], "hiddenkeyword")) {
                Pattern& pattern = group.hidden.emplace_back();
                if (!compilePattern(text, pattern, reason))
                    throw std::runtime_error("'" + name + "': " + reason);
            }
            for (const std::string& charset : stringsOf(item["charsets"], "charsets"))
                group.charsets.push_back(AsciiLowered(charset));
            const std::vector<std::string> urls = stringsOf(item["urls"], "urls");
            if (urls.empty())
                throw std::runtime_error("'" + name + "' has a block without urls");
            const auto groupIndex = std::uint32_t(data.groups.size());
            data.groups.push_back(std::move(group));
            for (const std::string& url : urls)
                addEntry(url, groupIndex);
        }
    }
}

bool patternMatches(const Pattern& pattern, std::string_view text)
{
    if (!pattern.regex)
        return text == pattern.text;
    return RE2::PartialMatch(re2::StringPiece(text.data(), text.size()), *pattern.regex);
}

} // namespace

bool SourceLists::Data::hostMatchesWildcard(const Entry& entry, const std::string& host,
                                            const std::vector<std::string_view>& labels) const
{
    const std::size_t fixed = entry.suffixWildcard ? entry.labels.size() - 1 : entry.labels.size();
    if (entry.suffixWildcard ? labels.size() <= fixed : labels.size() != fixed)
        return false;
    for (std::size_t i = 0; i < fixed; ++i) {
        const bool any = entry.labels[i] == "{}";
        if (any ? labels[i].empty() : labels[i] != entry.labels[i])
            return false;
    }
    if (!entry.suffixWildcard)
        return true;
    return IsPublicSuffix(std::string_view(host).substr(std::size_t(labels[fixed].data() - host.data())));
}

bool SourceLists::Data::searchCounts(const Entry& entry, std::string_view referrer, const ReferrerParts& parts,
                                     std::string& words) const
{
    const Group& group = groups[entry.group];
    for (const Pattern& param : group.params) {
        std::string found;
        if (param.regex) {
            std::string first;
            if (param.regex->NumberOfCapturingGroups() >= 1
                && RE2::PartialMatch(re2::StringPiece(referrer.data(), referrer.size()), *param.regex, &first))
                found = PercentDecoded(first, false);
        } else {
            std::string_view query = parts.query;
            while (found.empty() && !query.empty()) {
                const std::size_t amp = query.find('&');
                const std::string_view pair = query.substr(0, amp);
                query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
                const std::size_t equals = pair.find('=');
                if (equals != std::string_view::npos && pair.substr(0, equals) == param.text
                    && equals + 1 < pair.size())
                    found = PercentDecoded(pair.substr(equals + 1), true);
            }
        }
        if (!found.empty()) {
            words = WordsAsUtf8(found, group.charsets);
            return true;
        }
    }
    words.clear();
    return std::any_of(group.hidden.begin(), group.hidden.end(),
                       [&](const Pattern& page) { return patternMatches(page, parts.pathOnward); });
}

SourceLists::SourceLists()
    : data(std::make_shared<const Data>())
{
}
SourceLists::~SourceLists() = default;
SourceLists::SourceLists(const SourceLists&) = default;
SourceLists& SourceLists::operator=(const SourceLists&) = default;

bool SourceLists::FromYaml(std::string_view searchEngines, std::string_view socials, std::string_view aiAssistants,
                           SourceLists& lists, QString* error)
{
    auto data = std::make_shared<Data>();
    data->groups.emplace_back(); // block 0: the entries of the other lists
    const std::array<std::pair<std::string_view, SourceKind>, 3> files {
        {{aiAssistants, SourceKind::Ai}, {searchEngines, SourceKind::Search}, {socials, SourceKind::Social}}};
    const char* const fileNames[] = {"AIAssistants.yml", "SearchEngines.yml", "Socials.yml"};
    for (std::size_t f = 0; f < files.size(); ++f) {
        try {
            readList(files[f].first, files[f].second, *data);
        } catch (const std::exception& fault) {
            if (error)
                *error = QStringLiteral("%1: %2").arg(QLatin1String(fileNames[f]), QString::fromUtf8(fault.what()));
            return false;
        }
    }
    lists.data = std::move(data);
    return true;
}

bool SourceLists::FromFolder(const QString& folder, SourceLists& lists, QString* error)
{
    QByteArray texts[3];
    const char* const fileNames[] = {"SearchEngines.yml", "Socials.yml", "AIAssistants.yml"};
    for (int f = 0; f < 3; ++f) {
        const QString path = QDir(folder).filePath(QLatin1String(fileNames[f]));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            if (error)
                *error = QStringLiteral("%1: %2").arg(path, file.errorString());
            return false;
        }
        texts[f] = file.readAll();
    }
    auto view = [](const QByteArray& bytes) { return std::string_view(bytes.constData(), std::size_t(bytes.size())); };
    QString fault;
    if (!FromYaml(view(texts[0]), view(texts[1]), view(texts[2]), lists, &fault)) {
        if (error)
            *error = QDir(folder).filePath(fault);
        return false;
    }
    return true;
}

const SourceLists& SourceLists::Shipped()
{
    static const SourceLists shipped = [] {
        SourceLists lists;
        FromYaml(ShippedSearchEnginesYml(), ShippedSocialsYml(), ShippedAIAssistantsYml(), lists, nullptr);
        return lists;
    }();
    return shipped;
}

std::size_t SourceLists::size() const
{
    return data->entries.size();
}

SourceLists::HostMatches SourceLists::hostMatches(std::string_view host) const
{
    const Data& d = *data;
    HostMatches found;
    if (d.entries.empty())
        return found;
    // The host itself, then each domain it lies in (for AI assistants and social networks).
    for (std::size_t from = 0; from != std::string_view::npos;) {
        if (const auto hit = d.byHost.find(host.substr(from)); hit != d.byHost.end()) {
            for (const std::uint32_t at : hit->second) {
                if (from == 0 || d.entries[at].kind != SourceKind::Search)
                    found.push_back(at);
            }
        }
        const std::size_t dot = host.find('.', from);
        from = dot == std::string_view::npos ? dot : dot + 1;
    }
    if (!d.wildcards.empty()) {
        const std::string text(host); // NUL-terminated for libpsl
        const std::vector<std::string_view> labels = labelsOf(text);
        for (const std::uint32_t at : d.wildcards) {
            if (d.hostMatchesWildcard(d.entries[at], text, labels))
                found.push_back(at);
        }
    }
    // Best first: longest text, then kind, then list order.
    std::sort(found.begin(), found.end(), [&](std::uint32_t a, std::uint32_t b) {
        const Data::Entry& x = d.entries[a];
        const Data::Entry& y = d.entries[b];
        if (x.text.size() != y.text.size())
            return x.text.size() > y.text.size();
        if (tieRank(x.kind) != tieRank(y.kind))
            return tieRank(x.kind) < tieRank(y.kind);
        return x.order < y.order;
    });
    return found;
}

Source SourceLists::classify(std::string_view referrer) const
{
    const ReferrerParts parts = SplitReferrer(referrer);
    return classify(referrer, parts, hostMatches(parts.host));
}

Source SourceLists::classify(std::string_view referrer, const ReferrerParts& parts, const HostMatches& matches) const
{
    const Data& d = *data;
    Source source;
    std::string words;
    for (const std::uint32_t at : matches) {
        const Data::Entry& entry = d.entries[at];
        if (!entry.path.empty() && !parts.path.starts_with(entry.path))
            continue;
        if (entry.kind == SourceKind::Search && !d.searchCounts(entry, referrer, parts, words))
            continue;
        source.kind = entry.kind;
        source.name = d.names[entry.nameIndex];
        source.keyword = entry.kind == SourceKind::Search ? std::move(words) : std::string();
        return source;
    }
    // The site, as Group by Site writes it; an app the lists do not know by its package.
    source.name = parts.app ? "app:" + parts.host : parts.host;
    return source;
}

std::size_t SourceClassifier::HostHash::operator()(std::string_view text) const noexcept
{
    return std::size_t(TextHash(text));
}

Source SourceClassifier::operator()(std::string_view referrer)
{
    const ReferrerParts parts = SplitReferrer(referrer);
    auto found = cache.find(parts.host);
    if (found == cache.end()) {
        if (cache.size() >= kMostHosts)
            cache.clear();
        found = cache.emplace(parts.host, lists.hostMatches(parts.host)).first;
    }
    return lists.classify(referrer, parts, found->second);
}

std::string_view SourceKindName(SourceKind kind)
{
    return kKindNames[std::size_t(kind)];
}

bool SourceKindFromName(std::string_view name, SourceKind& kind)
{
    for (std::size_t i = 0; i < kKindNames.size(); ++i) {
        if (kKindNames[i] == name) {
            kind = SourceKind(i);
            return true;
        }
    }
    return false;
}

} // namespace backtrail::engine
