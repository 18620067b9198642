#pragma once

#include <QListWidget>

namespace backtrail::results {

/// The file list: the files of one folder by name, hidden files left out,
/// with extended selection (click, Shift+click, Ctrl+click) and a current entry.
class FileListBox final : public QListWidget
{
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);

    /// The folder shown: a full path without a trailing "/" (except the root).
    QString path() const { return folder; }
    /// Shows the files of `newFolder` with nothing selected. Returns false and
    /// keeps the previous folder when the folder cannot be read.
    bool setPath(const QString& newFolder);

    int entryCount() const { return count(); }
    QString entryName(int index) const;
    bool entrySelected(int index) const;
    /// The name of the current entry (the one with the focus), empty when there is none.
    QString currentName() const;
    /// Marks every entry selected.
    void selectAllEntries();
    /// Selects exactly the entries with the given names, the first of them
    /// current; returns how many were found.
    int selectEntries(const QStringList& names);

private:
    QString folder;
};

} // namespace backtrail::results
