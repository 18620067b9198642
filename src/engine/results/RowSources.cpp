#include "RowSources.h"

#include "Grouping.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>

namespace backtrail::engine {

namespace {

// A typed row is spam by its type (the types were told by the same list); an
// untyped one by the list.
bool isSpam(const ResultRow& row, const SpamList* spam)
{
    return row.type == "SPM" || (row.type.empty() && spam && spam->isSpam(ReferrerHost(row.referrer)));
}

} // namespace

Source RowSource(const ResultRow& row, const SourceLists& lists, const SpamList* spam)
{
    if (row.bot)
        return {SourceKind::Crawler, std::string(CrawlerKindOfMark(row.botMark)), {}};
    if (isSpam(row, spam))
        return {SourceKind::Spam, ReferringSite(row.referrer), {}};
    return lists.classify(row.referrer);
}

Source RowSourceFinder::operator()(const ResultRow& row)
{
    return row.bot || isSpam(row, spam) ? RowSource(row, lists, spam) : classify(row.referrer);
}

std::vector<Source> RowSources(const ResultTable& rows, const SourceLists& lists, const SpamList* spam)
{
    std::vector<Source> sources;
    sources.reserve(rows.size());
    RowSourceFinder find(lists, spam);
    for (std::size_t i = 0; i < rows.size(); ++i)
        sources.push_back(find(rows.row(i)));
    return sources;
}

std::uint64_t RowClicks(const ResultRow& row)
{
    if (row.clicks.empty())
        return 1;
    std::uint64_t parsed = 0;
    const auto [end, error] = std::from_chars(row.clicks.data(), row.clicks.data() + row.clicks.size(), parsed);
    return error == std::errc() && end == row.clicks.data() + row.clicks.size() ? parsed : 1;
}

ResultTable GroupBySource(const ResultTable& rows, const std::vector<Source>& sources, bool types,
                          std::vector<Source>& grouped, std::vector<std::vector<std::size_t>>* members)
{
    grouped.clear();
    if (members)
        members->clear();
    struct Group
    {
        std::uint64_t clicks = 0;
        LineTime firstSeen;
        LineTime lastSeen;
    };
    std::vector<Group> groups;
    std::unordered_map<std::string, std::size_t> index; // kind and name
    for (std::size_t i = 0; i < rows.size() && i < sources.size(); ++i) {
        const ResultRow row = rows.row(i);
        const Source& source = sources[i];
        std::string key(SourceKindName(source.kind));
        key += '\n';
        key += source.name;
        const auto [at, added] = index.try_emplace(std::move(key), groups.size());
        if (added) {
            groups.emplace_back();
            grouped.push_back({source.kind, source.name, {}});
            if (members)
                members->emplace_back();
        }
        Group& group = groups[at->second];
        group.clicks += RowClicks(row);
        KeepEarlier(group.firstSeen, row.firstSeen);
        KeepLater(group.lastSeen, row.lastSeen);
        if (members)
            (*members)[at->second].push_back(i);
    }
    ResultTable table;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const SourceKind kind = grouped[g].kind;
        const std::string_view type = !types ? ""
            : kind == SourceKind::Crawler    ? "BOT"
            : kind == SourceKind::Spam       ? "SPM"
                                             : "";
        const auto clicks = std::uint32_t(std::min<std::uint64_t>(groups[g].clicks, UINT32_MAX));
        table.append(type, CountText(clicks), grouped[g].name, "",
                     kind == SourceKind::Crawler ? CrawlerKindMark(grouped[g].name) : kPersonMark, groups[g].firstSeen,
                     groups[g].lastSeen);
    }
    return table;
}

std::vector<KeywordClicks> KeywordsOf(const ResultTable& rows, const std::vector<Source>& sources,
                                      const std::vector<std::size_t>& members)
{
    std::vector<KeywordClicks> keywords;
    std::unordered_map<std::string_view, std::size_t> index;
    for (const std::size_t i : members) {
        if (i >= sources.size() || sources[i].keyword.empty())
            continue;
        const auto [at, added] = index.try_emplace(sources[i].keyword, keywords.size());
        if (added)
            keywords.push_back({sources[i].keyword, 0});
        keywords[at->second].clicks += RowClicks(rows.row(i));
    }
    std::sort(keywords.begin(), keywords.end(), [](const KeywordClicks& a, const KeywordClicks& b) {
        return a.clicks != b.clicks ? a.clicks > b.clicks : a.keyword < b.keyword;
    });
    return keywords;
}

} // namespace backtrail::engine
