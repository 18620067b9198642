#pragma once

#include <QTreeWidget>

namespace backtrail::results {

/// The folder list in its classic form: the current folder's ancestors from
/// its drive's root down, each opened one step further in, then the current
/// folder's sub-folders. A folder opens with a double-click or Enter.
class DirListBox final : public QTreeWidget
{
    Q_OBJECT
public:
    explicit DirListBox(QWidget* parent = nullptr);

    /// The current folder, a full path without a trailing "/" (except the root).
    QString path() const { return current; }
    /// Opens a folder and reports it through pathChanged(). Returns false and
    /// changes nothing when the folder does not exist or cannot be read.
    bool setPath(const QString& folder);
    /// Opens a folder without reporting it: the folder the list shows before any choice.
    bool showPath(const QString& folder);
    /// The root the list starts from: the drive that holds the current folder.
    void setDriveRoot(const QString& root) { driveRoot = root; }

signals:
    void pathChanged(const QString& folder);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool open(const QString& folder);
    void openItem(QTreeWidgetItem* item);

    QString current;
    QString driveRoot = QStringLiteral("/");
};

} // namespace backtrail::results
