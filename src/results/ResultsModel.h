#pragma once

#include "modListViewEnh.h"

#include "engine/results/ResultTable.h"
#include "engine/results/RowSources.h"
#include "engine/visitors/SourceLists.h"

#include <memory>

#include <QAbstractTableModel>

#include <cstdint>
#include <vector>

namespace backtrail::engine {
class SpamList;
}

namespace backtrail::results {

/// The rows of the results table: the scan's result rows held as plain bytes,
/// shown through a vector of row positions. The model carries the list view's
/// own sort state (sorted flag, sort key, sort order); while the flag is on,
/// every change of key or order and every new set of rows is re-ordered at once.
///
/// The text columns sort by their bytes with ASCII letter case ignored; First
/// Seen and Last Seen sort by the instant, whatever the offset the log wrote,
/// and a row without a time comes after every time in ascending order (before
/// them in descending order). Equal keys keep the scan's order either way.
class ResultsModel final : public QAbstractTableModel, public SortableListView
{
    Q_OBJECT
public:
    enum Column {
        TypeColumn = 0,
        ClicksColumn,
        ReferrerColumn,
        LandingColumn,
        FirstSeenColumn,
        LastSeenColumn,
        SourceColumn,
        ColumnCount
    };
    /// Which rows are in view, by their source's kind ("People": every kind
    /// but crawlers and spam).
    enum class KindFilter { All, People, Search, Social, Ai, Websites, Crawlers, Spam };
    /// Whether a source of this kind passes the filter.
    static bool Passes(KindFilter filter, engine::SourceKind kind);
    /// The Source column's text: the name and, in brackets, the kind ("Google
    /// (Search)", "Crawler" for a crawler of no known kind).
    static std::string SourceCellText(const engine::Source& source);
    /// First Seen and Last Seen: their cells are times, not bytes of the log.
    static bool IsTimeColumn(int column) { return column == FirstSeenColumn || column == LastSeenColumn; }

    explicit ResultsModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    /// Removes every row; the sort state stays.
    void clearRows();
    /// Replaces the rows by a scan's rows, ordered by the sort state when it is on.
    void setRows(engine::ResultTable rows);
    /// The text of a cell in view order; a time is "2026-12-08T17:13:23+02:00",
    /// and empty when the row has none.
    QString cellText(int row, int column) const;
    /// The bytes of a cell in view order, as the log held them; empty past the
    /// end and for the time columns (see cellTime).
    std::string_view cellBytes(int row, int column) const;
    /// The time of a First Seen or Last Seen cell in view order; no time
    /// (`valid` false) for the other columns, past the end, or when the row has none.
    engine::LineTime cellTime(int row, int column) const;

    /// The rows of the scan (their positions in the table setRows took, which
    /// are the scan's entries) that a row in view order stands for: the row
    /// itself, or a site row's referrers while grouped. Empty past the end.
    std::vector<std::size_t> entriesOf(int row) const;
    /// The scan's rows in its order, whether or not they are shown grouped.
    const engine::ResultTable& scanRows() const { return table; }

    /// Shows one row per referring site instead of the scan's rows, or the
    /// scan's rows again. The scan's rows are kept either way, so switching
    /// back restores them; rows set while grouped are shown grouped.
    void setGroupedBySite(bool on);
    bool groupedBySite() const { return grouping == Grouping::BySite; }
    /// The same with one row per source (search engine, social network, AI
    /// assistant, website, kind of crawler, spam site); grouping by source
    /// ends grouping by site and the other way round.
    void setGroupedBySource(bool on);
    bool groupedBySource() const { return grouping == Grouping::BySource; }

    /// The lists that tell the sources of the rows set next (and of rows
    /// retyped by retypeSpam); the shipped ones until set. With `spam`, a
    /// people's row whose referrer's host it holds is spam whether it is typed
    /// "SPM" or has no type; without, by its type alone.
    void setSourceLists(std::shared_ptr<const engine::SourceLists> lists,
                        std::shared_ptr<const engine::SpamList> spam = nullptr);
    /// The source of a row in view order (a site row: its first referrer's,
    /// without search words); a website of no name past the end.
    engine::Source sourceOf(int row) const;
    /// The source of a scan row (a position entriesOf gives).
    const engine::Source& entrySource(std::size_t entry) const;
    /// The search words of a row in view order (or of the referrers it
    /// groups) with their clicks, most first.
    std::vector<engine::KeywordClicks> keywordsOf(int row) const;

    /// Hides the rows whose source's kind does not pass the filter, without
    /// a new scan; sorting and grouping keep it.
    void setKindFilter(KindFilter filter);
    KindFilter kindFilter() const { return filter; }
    /// Rows there are (scan rows, or grouped rows while grouped), whether or not in view.
    int allRowCount() const { return int(shown().size()); }

    /// Types the rows again with a spam list that has grown: people's rows
    /// whose referrer's host it lists become "SPM" (rows without a type stay
    /// without). The rows keep their places unless they are sorted by type.
    void retypeSpam(const engine::SpamList& spam);

    /// The next row after `afterRow` (in view order, wrapping round to the top)
    /// whose referrer contains `text`, ASCII letter case ignored; -1 when no
    /// row does. `afterRow` -1 searches from the first row.
    int findReferrer(const QString& text, int afterRow) const;

    int listRowCount() const override { return int(order.size()); }
    int listColumnCount() const override { return ColumnCount; }
    bool sorted() const override { return sortedFlag; }
    void setSorted(bool on) override;
    int sortKey() const override { return key; }
    void setSortKey(int column) override;
    SortOrder sortOrder() const override { return direction; }
    void setSortOrder(SortOrder order) override;
    void beginSortChange() override { ++deferred; }
    void endSortChange() override;

signals:
    /// The rows were re-ordered by the sort state.
    void rowsSorted();

private:
    std::string_view cell(std::uint32_t tableRow, int column) const;
    engine::LineTime time(std::uint32_t tableRow, int column) const;
    void sortByTime(std::vector<std::uint32_t>& positions) const;
    const engine::ResultTable& shown() const { return grouping != Grouping::None ? sites : table; }
    enum class Grouping { None, BySite, BySource };
    void setGrouping(Grouping to);
    // The source of a row of shown().
    const engine::Source& shownSource(std::uint32_t shownRow) const;
    void showTable();
    void sortRequested();
    void sortPositions(std::vector<std::uint32_t>& positions) const;
    void resort();

    engine::ResultTable table; // the scan's rows
    engine::ResultTable sites; // one row per referring site or source, while grouped
    std::vector<std::vector<std::size_t>> siteMembers; // the rows of `table` each site row sums
    Grouping grouping = Grouping::None;
    std::shared_ptr<const engine::SourceLists> sourceLists;
    std::shared_ptr<const engine::SpamList> spamList; // tells spam rows without a type
    std::vector<engine::Source> sources; // of each row of `table`
    std::vector<std::string> sourceCells; // of each row of shown()
    std::vector<engine::Source> groupSources; // of each source row, while grouped by source
    KindFilter filter = KindFilter::All;
    std::vector<std::uint32_t> order; // view row -> row of `table`
    bool sortedFlag = false;
    int key = 0;
    SortOrder direction = SortOrder::Ascending;
    int deferred = 0;
    bool resortPending = false;
};

/// Compares two cells as text with ASCII letter case ignored: negative, zero or positive.
int CompareTextNoCase(std::string_view a, std::string_view b);

} // namespace backtrail::results
