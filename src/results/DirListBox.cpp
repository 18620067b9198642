#include "DirListBox.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>

namespace backtrail::results {

namespace {

constexpr int kPathRole = Qt::UserRole + 1;

QString normalFolder(const QString& folder)
{
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

} // namespace

DirListBox::DirListBox(QWidget* parent)
    : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(12);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setExpandsOnDoubleClick(false);
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) { openItem(item); });
}

bool DirListBox::setPath(const QString& folder)
{
    if (!open(folder))
        return false;
    emit pathChanged(current);
    return true;
}

bool DirListBox::showPath(const QString& folder)
{
    return open(folder);
}

void DirListBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openItem(currentItem());
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void DirListBox::openItem(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const QString folder = item->data(0, kPathRole).toString();
    if (folder != current)
        setPath(folder);
}

bool DirListBox::open(const QString& folder)
{
    if (folder.isEmpty())
        return false;
    const QString target = normalFolder(folder);
    const QFileInfo info(target);
    if (!info.isDir() || !info.isReadable() || !QDir(target).isReadable())
        return false;
    QString root = driveRoot;
    if (!(root == u"/" || target == root || target.startsWith(root + u'/')))
        root = QStringLiteral("/");

    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);

    // The ancestors: the root, then every folder on the way down to the target.
    QStringList chain {root};
    const QString below = target.mid(root.size());
    QString walked = root;
    for (const QString& part : below.split(u'/', Qt::SkipEmptyParts)) {
        walked = walked.endsWith(u'/') ? walked + part : walked + u'/' + part;
        chain.append(walked);
    }
    QTreeWidgetItem* parentItem = nullptr;
    QTreeWidgetItem* currentItemOfList = nullptr;
    for (const QString& step : chain) {
        const QString name = step == root ? root : QFileInfo(step).fileName();
        auto* item = parentItem ? new QTreeWidgetItem(parentItem, {name}) : new QTreeWidgetItem(this, {name});
        item->setIcon(0, openIcon);
        item->setData(0, kPathRole, step);
        item->setToolTip(0, step);
        parentItem = item;
        currentItemOfList = item;
    }
    const QStringList subFolders
        = QDir(target).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : subFolders) {
        const QString full = target.endsWith(u'/') ? target + name : target + u'/' + name;
        auto* item = new QTreeWidgetItem(parentItem, {name});
        item->setIcon(0, closedIcon);
        item->setData(0, kPathRole, full);
        item->setToolTip(0, full);
    }
    expandAll();
    setCurrentItem(currentItemOfList);
    current = target;
    return true;
}

} // namespace backtrail::results
