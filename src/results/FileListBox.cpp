#include "FileListBox.h"

#include "engine/input/FileRoutines.h"

#include <QDir>
#include <QFileInfo>

namespace backtrail::results {

FileListBox::FileListBox(QWidget* parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
}

bool FileListBox::setPath(const QString& newFolder)
{
    if (newFolder.isEmpty())
        return false;
    const QString target = QDir::cleanPath(QFileInfo(newFolder).absoluteFilePath());
    const QFileInfo info(target);
    if (!info.isDir() || !QDir(target).isReadable())
        return false;
    const QStringList names = engine::ListLogFiles(target);
    clear();
    addItems(names);
    clearSelection();
    folder = target;
    return true;
}

QString FileListBox::entryName(int index) const
{
    const QListWidgetItem* entry = item(index);
    return entry ? entry->text() : QString();
}

bool FileListBox::entrySelected(int index) const
{
    const QListWidgetItem* entry = item(index);
    return entry && entry->isSelected();
}

QString FileListBox::currentName() const
{
    const QListWidgetItem* entry = currentItem();
    return entry ? entry->text() : QString();
}

int FileListBox::selectEntries(const QStringList& names)
{
    clearSelection();
    int found = 0;
    for (int i = 0; i < count(); ++i) {
        QListWidgetItem* entry = item(i);
        if (!names.contains(entry->text()))
            continue;
        if (found++ == 0)
            setCurrentItem(entry, QItemSelectionModel::NoUpdate);
        entry->setSelected(true);
    }
    return found;
}

void FileListBox::selectAllEntries()
{
    if (count() > 0)
        selectAll();
}

} // namespace backtrail::results
