#include "modListViewEnh.h"

#include <QMessageBox>

namespace backtrail::results {

namespace {

// The number and text a list view gives for a column position it does not have.
constexpr int kIndexOutOfBounds = 35600;

// Brackets the routine's changes so the list view re-orders once, also when a step fails.
class SortChange
{
public:
    explicit SortChange(SortableListView& view)
        : listView(view)
    {
        listView.beginSortChange();
    }
    ~SortChange() { listView.endSortChange(); }
    SortChange(const SortChange&) = delete;
    SortChange& operator=(const SortChange&) = delete;

private:
    SortableListView& listView;
};

} // namespace

QString SortErrorText(int number, const QString& description)
{
    return QStringLiteral("Error") + QString::number(number) + u'\t' + description;
}

bool EnhListView_SortColumns(SortableListView& listView, int column, bool showErrors, QWidget* parent)
{
    if (listView.listRowCount() == 0)
        return true;

    SortChange change(listView);
    if (!listView.sorted())
        listView.setSorted(true);
    if (column < 1 || column > listView.listColumnCount()) {
        if (showErrors) {
            QMessageBox box(QMessageBox::Information, QStringLiteral("Error in Function : EnhListView_SortColumns"),
                            SortErrorText(kIndexOutOfBounds, QStringLiteral("Index out of bounds")), QMessageBox::Ok,
                            parent);
            box.exec();
        }
        return false;
    }
    listView.setSortKey(column - 1);
    listView.setSortOrder(listView.sortOrder() == SortOrder::Ascending ? SortOrder::Descending : SortOrder::Ascending);
    return true;
}

} // namespace backtrail::results
