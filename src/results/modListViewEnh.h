#pragma once

#include <QString>

class QWidget;

namespace backtrail::results {

/// Sort order of a list view: ascending (0) or descending (1).
enum class SortOrder { Ascending = 0, Descending = 1 };

/// What the sort routine needs of a list view: its rows and columns and the
/// sort state that the list view holds itself. The list view re-orders its rows
/// whenever the flag, key or order changes.
class SortableListView
{
public:
    virtual ~SortableListView() = default;
    virtual int listRowCount() const = 0;
    virtual int listColumnCount() const = 0;
    virtual bool sorted() const = 0;
    virtual void setSorted(bool on) = 0;
    virtual int sortKey() const = 0;
    virtual void setSortKey(int key) = 0;
    virtual SortOrder sortOrder() const = 0;
    virtual void setSortOrder(SortOrder order) = 0;

    /// Between these two calls the list view may put off re-ordering its rows;
    /// it re-orders once at the end. The sort routine brackets its changes.
    virtual void beginSortChange() { }
    virtual void endSortChange() { }
};

/// Sorts a list view by a clicked column: turns its sorted flag on, makes the
/// column (1-based position) the sort key and flips the sort order, so that the
/// first click sorts descending and the order alternates from click to click,
/// whichever column is clicked. An empty list view is left as it is. Returns
/// false when the column names no column; with `showErrors` it then first says
/// so in a message box over `parent`. Changes made before the failure stay.
bool EnhListView_SortColumns(SortableListView& listView, int column, bool showErrors, QWidget* parent = nullptr);

/// The message box text of a failed sort: "Error", the error number, a tab and the description.
QString SortErrorText(int number, const QString& description);

} // namespace backtrail::results
