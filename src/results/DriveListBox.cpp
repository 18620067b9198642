#include "DriveListBox.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QStorageInfo>

#include <algorithm>

namespace backtrail::results {

namespace {

// File systems that hold no user files: kernel interfaces, memory-backed
// scratch space and packaged read-only images.
bool isPseudoFileSystem(const QByteArray& type)
{
    static const char* const kPseudo[] = {
        "proc",       "sysfs",     "devtmpfs", "devpts",          "tmpfs",       "cgroup",   "cgroup2",
        "securityfs", "pstore",    "bpf",      "debugfs",         "tracefs",     "configfs", "fusectl",
        "mqueue",     "hugetlbfs", "autofs",   "binfmt_misc",     "nsfs",        "ramfs",    "efivarfs",
        "rpc_pipefs", "selinuxfs", "squashfs", "fuse.gvfsd-fuse", "fuse.portal", "overlay",  "shm",
    };
    return std::any_of(std::begin(kPseudo), std::end(kPseudo), [&](const char* name) { return type == name; });
}

} // namespace

QList<Drive> MountedDrives()
{
    QList<Drive> drives;
    const QStorageInfo rootVolume = QStorageInfo::root();
    drives.append(
        {QStringLiteral("/"),
         rootVolume.name().isEmpty() ? QStringLiteral("/") : QStringLiteral("/ [%1]").arg(rootVolume.name())});
    QList<Drive> others;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (root == u"/" || !volume.isValid() || isPseudoFileSystem(volume.fileSystemType()))
            continue;
        // Single files bound into place (as containers do with /etc/hosts) are no drives.
        if (!QFileInfo(root).isDir())
            continue;
        if (std::any_of(others.begin(), others.end(), [&](const Drive& d) { return d.root == root; }))
            continue;
        others.append({root, volume.name().isEmpty() ? root : QStringLiteral("%1 [%2]").arg(root, volume.name())});
    }
    std::sort(others.begin(), others.end(), [](const Drive& a, const Drive& b) { return a.root < b.root; });
    drives.append(others);
    return drives;
}

DriveListBox::DriveListBox(QWidget* parent)
    : QComboBox(parent)
{
    // Only a choice that changes the drive counts; choosing the drive shown again does nothing.
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0 && index < entries.size())
            emit driveChanged(entries[index].root);
    });
}

void DriveListBox::setDrives(const QList<Drive>& drives)
{
    const QSignalBlocker blocker(this);
    entries = drives;
    clear();
    for (const Drive& d : entries)
        addItem(style()->standardIcon(QStyle::SP_DriveHDIcon), d.label);
}

QString DriveListBox::drive() const
{
    const int index = currentIndex();
    return index >= 0 && index < entries.size() ? entries[index].root : QString();
}

int DriveListBox::indexOf(const QString& root) const
{
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (entries[i].root == root)
            return int(i);
    return -1;
}

bool DriveListBox::setDrive(const QString& root)
{
    const int index = indexOf(root);
    if (index < 0)
        return false;
    if (index == currentIndex())
        return true;
    showDrive(root);
    emit driveChanged(root);
    return true;
}

void DriveListBox::showDrive(const QString& root)
{
    const QSignalBlocker blocker(this);
    setCurrentIndex(indexOf(root));
}

QString DriveListBox::driveOf(const QString& path) const
{
    const QString clean = QDir::cleanPath(path);
    QString best;
    for (const Drive& d : entries) {
        const bool holds
            = d.root == u"/" ? clean.startsWith(u'/') : (clean == d.root || clean.startsWith(d.root + u'/'));
        if (holds && d.root.size() > best.size())
            best = d.root;
    }
    return best;
}

} // namespace backtrail::results
