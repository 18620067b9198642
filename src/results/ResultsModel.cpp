#include "ResultsModel.h"

#include <algorithm>
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
    const engine::ResultRow row = table.row(tableRow);
    switch (column) {
    case TypeColumn:
        return row.type;
    case ClicksColumn:
        return row.clicks;
    case ReferrerColumn:
        return row.referrer;
    case LandingColumn:
        return row.landing;
    default:
        return {};
    }
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    if (role == Qt::ToolTipRole && index.column() != ReferrerColumn && index.column() != LandingColumn)
        return {};
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
    default:
        return {};
    }
}

QString ResultsModel::cellText(int row, int column) const
{
    if (row < 0 || row >= int(order.size()))
        return {};
    const std::string_view text = cell(order[std::size_t(row)], column);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

void ResultsModel::clearRows()
{
    if (order.empty() && table.empty())
        return;
    beginResetModel();
    order.clear();
    order.shrink_to_fit();
    table.clear();
    endResetModel();
}

void ResultsModel::setRows(engine::ResultTable rows)
{
    beginResetModel();
    table = std::move(rows);
    order.resize(table.size());
    std::iota(order.begin(), order.end(), std::uint32_t(0));
    if (sortedFlag)
        sortPositions(order);
    endResetModel();
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

void ResultsModel::sortPositions(std::vector<std::uint32_t>& positions) const
{
    // A stable sort keeps rows with equal keys in the order the scan added them,
    // in both directions.
    const int column = key;
    if (direction == SortOrder::Ascending)
        std::stable_sort(positions.begin(), positions.end(), [&](std::uint32_t a, std::uint32_t b) {
            return CompareTextNoCase(cell(a, column), cell(b, column)) < 0;
        });
    else
        std::stable_sort(positions.begin(), positions.end(), [&](std::uint32_t a, std::uint32_t b) {
            return CompareTextNoCase(cell(a, column), cell(b, column)) > 0;
        });
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
