#include "ResultsModel.h"

// The rows' sources: the Source column, the kind filter, a row's search words.

namespace backtrail::results {

void ResultsModel::setSourceLists(std::shared_ptr<const engine::SourceLists> lists,
                                  std::shared_ptr<const engine::SpamList> spam)
{
    if (lists)
        sourceLists = std::move(lists);
    spamList = std::move(spam);
}

void ResultsModel::setKindFilter(KindFilter to)
{
    if (filter == to)
        return;
    beginResetModel();
    filter = to;
    showTable();
    endResetModel();
}

bool ResultsModel::Passes(KindFilter filter, engine::SourceKind kind)
{
    using engine::SourceKind;
    switch (filter) {
    case KindFilter::All:
        return true;
    case KindFilter::People:
        return kind != SourceKind::Crawler && kind != SourceKind::Spam;
    case KindFilter::Search:
        return kind == SourceKind::Search;
    case KindFilter::Social:
        return kind == SourceKind::Social;
    case KindFilter::Ai:
        return kind == SourceKind::Ai;
    case KindFilter::Websites:
        return kind == SourceKind::Website;
    case KindFilter::Crawlers:
        return kind == SourceKind::Crawler;
    case KindFilter::Spam:
        return kind == SourceKind::Spam;
    }
    return true;
}

std::string ResultsModel::SourceCellText(const engine::Source& source)
{
    using engine::SourceKind;
    const char* kind = source.kind == SourceKind::Search ? "Search"
        : source.kind == SourceKind::Social              ? "Social"
        : source.kind == SourceKind::Ai                  ? "AI assistant"
        : source.kind == SourceKind::Crawler             ? "Crawler"
        : source.kind == SourceKind::Spam                ? "Spam"
                                                         : "Website";
    return source.name.empty() ? std::string(kind) : source.name + " (" + kind + ")";
}

const engine::Source& ResultsModel::shownSource(std::uint32_t shownRow) const
{
    static const engine::Source none;
    if (grouping == Grouping::BySource)
        return shownRow < groupSources.size() ? groupSources[shownRow] : none;
    if (grouping == Grouping::BySite) {
        if (shownRow >= siteMembers.size() || siteMembers[shownRow].empty())
            return none;
        const std::size_t first = siteMembers[shownRow].front();
        return first < sources.size() ? sources[first] : none;
    }
    return shownRow < sources.size() ? sources[shownRow] : none;
}

engine::Source ResultsModel::sourceOf(int row) const
{
    if (row < 0 || row >= int(order.size()))
        return {};
    engine::Source source = shownSource(order[std::size_t(row)]);
    if (grouping != Grouping::None)
        source.keyword.clear();
    return source;
}

std::vector<engine::KeywordClicks> ResultsModel::keywordsOf(int row) const
{
    const std::vector<std::size_t> members = entriesOf(row);
    return engine::KeywordsOf(table, sources, members);
}

const engine::Source& ResultsModel::entrySource(std::size_t entry) const
{
    static const engine::Source none;
    return entry < sources.size() ? sources[entry] : none;
}

} // namespace backtrail::results
