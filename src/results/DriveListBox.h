#pragma once

#include <QComboBox>
#include <QList>

namespace backtrail::results {

/// One entry of the drive list: a mounted volume.
struct Drive
{
    QString root; ///< its mount point, such as "/" or "/media/usb"
    QString label; ///< what the list shows: the mount point and the volume name
};

/// The mounted volumes that hold files a user may scan: the root file system
/// first, then the other real volumes by mount point; no pseudo file systems.
QList<Drive> MountedDrives();

/// The drive list: one entry per volume. Choosing an entry, or setting one from
/// code, reports the drive's root through driveChanged().
class DriveListBox final : public QComboBox
{
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent = nullptr);

    /// Replaces the listed volumes (the start-up list comes from MountedDrives).
    void setDrives(const QList<Drive>& drives);
    const QList<Drive>& drives() const { return entries; }

    /// The root of the drive now chosen.
    QString drive() const;
    /// Chooses the drive with the given root; false when the list has none.
    /// Reports driveChanged() only when the drive differs from the one shown.
    bool setDrive(const QString& root);
    /// Shows the given drive without reporting a change.
    void showDrive(const QString& root);

    /// The root of the listed drive that holds `path`: the longest mount point
    /// that is the path or one of its ancestors; empty when none is.
    QString driveOf(const QString& path) const;

signals:
    void driveChanged(const QString& root);

private:
    int indexOf(const QString& root) const;

    QList<Drive> entries;
};

} // namespace backtrail::results
