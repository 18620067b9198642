#include "ResultsModel.h"

#include "engine/results/Classify.h"
#include "engine/results/Grouping.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>

namespace backtrail::results {

namespace {

inline unsigned char foldAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

} // namespace

int CompareTextNoCase(std::string_view a, std::string_view b)
{
    // Byte-wise on the UTF-8 text: letters outside ASCII compare by their code,
    // which keeps a million-row sort free of locale look-ups.
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char ca = foldAscii(static_cast<unsigned char>(a[i]));
        const unsigned char cb = foldAscii(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

ResultsModel::ResultsModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

int ResultsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(order.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

std::string_view ResultsModel::cell(std::uint32_t tableRow, int column) const
{
    const engine::ResultRow row = shown().row(tableRow);
    switch (column) {
    case TypeColumn:
        return row.type;
    case ClicksColumn:
        return row.clicks;
    case ReferrerColumn:
        return row.referrer;
    case LandingColumn:
        return row.landing;
    case SourceColumn:
        return tableRow < sourceCells.size() ? std::string_view(sourceCells[tableRow]) : std::string_view();
    default:
        return {};
    }
}

engine::LineTime ResultsModel::time(std::uint32_t tableRow, int column) const
{
    if (!IsTimeColumn(column))
        return {};
    const engine::ResultRow row = shown().row(tableRow);
    return column == FirstSeenColumn ? row.firstSeen : row.lastSeen;
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    if (role == Qt::ToolTipRole && index.column() != ReferrerColumn && index.column() != LandingColumn)
        return {};
    if (IsTimeColumn(index.column()))
        return QString::fromStdString(time(order[std::size_t(index.row())], index.column()).iso());
    const std::string_view text = cell(order[std::size_t(index.row())], index.column());
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case TypeColumn:
        return QStringLiteral("Type");
    case ClicksColumn:
        return QStringLiteral("Clicks");
    case ReferrerColumn:
        return QStringLiteral("Referrer");
    case LandingColumn:
        return QStringLiteral("Landing Page");
    case FirstSeenColumn:
        return QStringLiteral("First Seen");
    case LastSeenColumn:
        return QStringLiteral("Last Seen");
    case SourceColumn:
        return QStringLiteral("Source");
    default:
        return {};
    }
}

QString ResultsModel::cellText(int row, int column) const
{
    if (IsTimeColumn(column))
        return QString::fromStdString(cellTime(row, column).iso());
    const std::string_view text = cellBytes(row, column);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string_view ResultsModel::cellBytes(int row, int column) const
{
    if (row < 0 || row >= int(order.size()))
        return {};
    return cell(order[std::size_t(row)], column);
}

engine::LineTime ResultsModel::cellTime(int row, int column) const
{
    if (row < 0 || row >= int(order.size()))
        return {};
    return time(order[std::size_t(row)], column);
}

std::vector<std::size_t> ResultsModel::entriesOf(int row) const
{
    if (row < 0 || row >= int(order.size()))
        return {};
    const std::uint32_t shownRow = order[std::size_t(row)];
    if (grouping == Grouping::None)
        return {std::size_t(shownRow)};
    return shownRow < siteMembers.size() ? siteMembers[shownRow] : std::vector<std::size_t>();
}

int ResultsModel::findReferrer(const QString& text, int afterRow) const
{
    const QByteArray needle = text.toUtf8();
    const int rows = int(order.size());
    if (needle.isEmpty() || rows == 0)
        return -1;
    const std::string_view wanted(needle.constData(), std::size_t(needle.size()));
    const int start = (afterRow < -1 || afterRow >= rows) ? 0 : afterRow + 1;
    for (int step = 0; step < rows; ++step) {
        const int row = (start + step) % rows;
        const std::string_view referrer = cellBytes(row, ReferrerColumn);
        for (std::size_t at = 0; at + wanted.size() <= referrer.size(); ++at)
            if (CompareTextNoCase(referrer.substr(at, wanted.size()), wanted) == 0)
                return row;
    }
    return -1;
}

void ResultsModel::clearRows()
{
    if (order.empty() && table.empty())
        return;
    beginResetModel();
    order.clear();
    order.shrink_to_fit();
    table.clear();
    sites.clear();
    siteMembers.clear();
    sources.clear();
    sourceCells.clear();
    groupSources.clear();
    endResetModel();
}

void ResultsModel::setRows(engine::ResultTable rows)
{
    beginResetModel();
    table = std::move(rows);
    if (!sourceLists)
        sourceLists = std::make_shared<engine::SourceLists>(engine::SourceLists::Shipped());
    sources = engine::RowSources(table, *sourceLists, spamList.get());
    showTable();
    endResetModel();
}

void ResultsModel::setGroupedBySite(bool on)
{
    setGrouping(on ? Grouping::BySite : grouping == Grouping::BySite ? Grouping::None : grouping);
}

void ResultsModel::setGroupedBySource(bool on)
{
    setGrouping(on ? Grouping::BySource : grouping == Grouping::BySource ? Grouping::None : grouping);
}

void ResultsModel::setGrouping(Grouping to)
{
    if (grouping == to)
        return;
    beginResetModel();
    grouping = to;
    showTable();
    endResetModel();
}

void ResultsModel::retypeSpam(const engine::SpamList& spam)
{
    if (table.empty())
        return;
    table = engine::RetypeSpam(table, spam);
    if (sourceLists)
        sources = engine::RowSources(table, *sourceLists, spamList.get());
    // Spam rows change their source: grouped by source or filtered, the rows
    // in view are made again.
    if (grouping == Grouping::BySource || filter != KindFilter::All) {
        beginResetModel();
        showTable();
        endResetModel();
        return;
    }
    // Site rows group by name and crawler flag alone: made again, they come in the same order.
    if (grouping == Grouping::BySite)
        sites = engine::GroupBySite(table, &siteMembers);
    for (std::uint32_t i = 0; i < std::uint32_t(sourceCells.size()); ++i)
        sourceCells[i] = SourceCellText(shownSource(i));
    emit dataChanged(index(0, TypeColumn), index(rowCount() - 1, SourceColumn));
    if (sortedFlag && key == TypeColumn)
        resort();
}

void ResultsModel::showTable()
{
    // The site rows are made afresh from the scan's rows whenever they are shown,
    // and dropped when they are not, so they never outlive the rows they sum.
    siteMembers.clear();
    groupSources.clear();
    bool types = false;
    for (std::size_t i = 0; i < table.size() && !types; ++i)
        types = !table.row(i).type.empty();
    sites = grouping == Grouping::BySite ? engine::GroupBySite(table, &siteMembers)
        : grouping == Grouping::BySource ? engine::GroupBySource(table, sources, types, groupSources, &siteMembers)
                                         : engine::ResultTable();
    sourceCells.resize(shown().size());
    order.clear();
    for (std::uint32_t i = 0; i < std::uint32_t(shown().size()); ++i) {
        const engine::Source& source = shownSource(i);
        sourceCells[i] = SourceCellText(source);
        if (Passes(filter, source.kind))
            order.push_back(i);
    }
    if (sortedFlag)
        sortPositions(order);
}

void ResultsModel::setSorted(bool on)
{
    if (sortedFlag == on)
        return;
    sortedFlag = on;
    sortRequested();
}

void ResultsModel::setSortKey(int column)
{
    if (key == column)
        return;
    key = column;
    sortRequested();
}

void ResultsModel::setSortOrder(SortOrder newOrder)
{
    if (direction == newOrder)
        return;
    direction = newOrder;
    sortRequested();
}

void ResultsModel::endSortChange()
{
    if (--deferred == 0 && resortPending) {
        resortPending = false;
        resort();
    }
}

void ResultsModel::sortRequested()
{
    if (!sortedFlag)
        return;
    if (deferred > 0)
        resortPending = true;
    else
        resort();
}

namespace {

// One row's place in a sort: 16 bytes of its key (letter case folded, packed
// big-endian so that comparing the integers compares the bytes), how many of
// those bytes the key has, and the row.
struct SortSlot
{
    std::uint64_t high;
    std::uint64_t low;
    std::uint32_t row;
    std::uint32_t length; // bytes of the key in this slot, 0 to 16
};

constexpr std::size_t kSlotBytes = 16;
constexpr std::size_t kShortRun = 32;

// Eight bytes with the ASCII capitals made small, all at once: a byte gets
// 0x20 added when its low seven bits lie in 'A'..'Z' and its high bit is clear.
std::uint64_t foldAscii8(std::uint64_t x)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    const std::uint64_t heptets = x & ~kHigh;
    const std::uint64_t atLeastA = heptets + (0x80 - 'A') * kOnes;
    const std::uint64_t pastZ = heptets + (0x80 - 'Z' - 1) * kOnes;
    const std::uint64_t capitals = (atLeastA ^ pastZ) & ~x & kHigh;
    return x | (capitals >> 2);
}

void fillSlot(SortSlot& slot, std::string_view key, std::size_t offset)
{
    const std::size_t available = key.size() > offset ? std::min(key.size() - offset, kSlotBytes) : 0;
    unsigned char bytes[kSlotBytes] = {};
    if (available > 0)
        std::memcpy(bytes, key.data() + offset, available);
    std::uint64_t part[2];
    std::memcpy(part, bytes, sizeof part);
    // Big-endian order makes the integers compare as the bytes do.
    slot.high = __builtin_bswap64(foldAscii8(part[0]));
    slot.low = __builtin_bswap64(foldAscii8(part[1]));
    slot.length = std::uint32_t(available);
}

std::string_view tail(std::string_view text, std::size_t offset)
{
    return offset < text.size() ? text.substr(offset) : std::string_view();
}

bool sameKeyPart(const SortSlot& a, const SortSlot& b)
{
    return a.high == b.high && a.low == b.low && a.length == b.length;
}

} // namespace

void ResultsModel::sortByTime(std::vector<std::uint32_t>& positions) const
{
    // The instant as the key, no time after every instant; equal keys by row
    // in both directions, as the text columns keep them.
    struct TimeSlot
    {
        std::int64_t key;
        std::uint32_t row;
    };
    const bool descending = direction == SortOrder::Descending;
    std::vector<TimeSlot> places(positions.size());
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const engine::LineTime seen = time(positions[i], key);
        places[i] = {seen.valid ? seen.instant() : std::numeric_limits<std::int64_t>::max(), positions[i]};
    }
    std::sort(places.begin(), places.end(), [descending](const TimeSlot& a, const TimeSlot& b) {
        if (a.key != b.key)
            return descending ? a.key > b.key : a.key < b.key;
        return a.row < b.row;
    });
    for (std::size_t i = 0; i < places.size(); ++i)
        positions[i] = places[i].row;
}

void ResultsModel::sortPositions(std::vector<std::uint32_t>& positions) const
{
    if (IsTimeColumn(key)) {
        sortByTime(positions);
        return;
    }
    // A string sort by 16-byte slices (most significant first): the rows are
    // sorted by the first 16 bytes of their keys held side by side, and only
    // the runs that still tie are refilled with their next 16 bytes and sorted
    // again. Each key's bytes are read once per slice instead of once per
    // comparison, which keeps a million-row sort well under a second. Equal
    // keys are ordered by row, so the sort is stable in both directions.
    const int column = key;
    const bool descending = direction == SortOrder::Descending;
    std::vector<SortSlot> places(positions.size());
    for (std::size_t i = 0; i < positions.size(); ++i) {
        places[i].row = positions[i];
        fillSlot(places[i], cell(positions[i], column), 0);
    }
    auto before = [descending](const SortSlot& a, const SortSlot& b) {
        if (a.high != b.high)
            return descending ? a.high > b.high : a.high < b.high;
        if (a.low != b.low)
            return descending ? a.low > b.low : a.low < b.low;
        if (a.length != b.length)
            return descending ? a.length > b.length : a.length < b.length;
        return a.row < b.row;
    };

    struct Run
    {
        std::size_t begin;
        std::size_t end;
        std::size_t offset;
    };
    std::vector<Run> pending {{0, places.size(), 0}};
    while (!pending.empty()) {
        const Run run = pending.back();
        pending.pop_back();
        // A short run is finished with whole comparisons: its few keys stay in
        // the cache while they are compared, so slicing them further gains nothing.
        if (run.end - run.begin <= kShortRun) {
            struct Tail
            {
                std::string_view text;
                std::uint32_t row;
            };
            Tail tails[kShortRun];
            const std::size_t count = run.end - run.begin;
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint32_t row = places[run.begin + i].row;
                tails[i] = {tail(cell(row, column), run.offset), row};
            }
            std::sort(tails, tails + count, [descending](const Tail& a, const Tail& b) {
                const int compared = CompareTextNoCase(a.text, b.text);
                if (compared != 0)
                    return descending ? compared > 0 : compared < 0;
                return a.row < b.row;
            });
            for (std::size_t i = 0; i < count; ++i)
                places[run.begin + i].row = tails[i].row;
            continue;
        }
        if (run.offset > 0)
            for (std::size_t i = run.begin; i < run.end; ++i)
                fillSlot(places[i], cell(places[i].row, column), run.offset);
        std::sort(places.begin() + std::ptrdiff_t(run.begin), places.begin() + std::ptrdiff_t(run.end), before);
        // Runs whose 16 bytes tie and go on need the next slice.
        for (std::size_t i = run.begin; i < run.end;) {
            std::size_t j = i + 1;
            while (j < run.end && sameKeyPart(places[i], places[j]))
                ++j;
            if (j - i > 1 && places[i].length == kSlotBytes)
                pending.push_back({i, j, run.offset + kSlotBytes});
            i = j;
        }
    }
    for (std::size_t i = 0; i < places.size(); ++i)
        positions[i] = places[i].row;
}

void ResultsModel::resort()
{
    if (order.empty())
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList persistent = persistentIndexList();
    std::vector<std::uint32_t> tableRows;
    tableRows.reserve(std::size_t(persistent.size()));
    for (const QModelIndex& index : persistent)
        tableRows.push_back(order[std::size_t(index.row())]);

    // Sort in creation order so that equal keys keep the scan's order, not the previous sort's.
    std::iota(order.begin(), order.end(), std::uint32_t(0));
    sortPositions(order);

    if (!persistent.isEmpty()) {
        std::vector<std::uint32_t> viewRowOf(order.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            viewRowOf[order[i]] = std::uint32_t(i);
        QModelIndexList moved;
        moved.reserve(persistent.size());
        for (qsizetype i = 0; i < persistent.size(); ++i)
            moved.append(index(int(viewRowOf[tableRows[std::size_t(i)]]), persistent[i].column()));
        changePersistentIndexList(persistent, moved);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    emit rowsSorted();
}

} // namespace backtrail::results
