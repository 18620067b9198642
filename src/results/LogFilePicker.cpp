#include "LogFilePicker.h"

#include "DirListBox.h"
#include "DriveListBox.h"
#include "DroppedFiles.h"
#include "FileListBox.h"
#include "PictureButton.h"
#include "TextEditor.h"

#include "engine/base/Settings.h"

#include <QDir>
#include <QMessageBox>
#include <QStorageInfo>
#include <QToolButton>

namespace backtrail::results {

LogFilePicker::LogFilePicker(engine::SettingsStore& store, const QString& title, QWidget* parent)
    : QGroupBox(QStringLiteral("Select Log Files"), parent)
    , settings(store)
    , boxTitle(title)
    , volumeReady([](const QString& root) {
        const QStorageInfo volume(root);
        return volume.isValid() && volume.isReady();
    })
{
    setObjectName(QStringLiteral("frmMain"));
    cmdSelAll = MakePictureButton(
        this, "cmdSelAll", QStringLiteral("Select All Files"),
        QStringLiteral("Select all files in the current directory"),
        QIcon::fromTheme(QStringLiteral("edit-select-all"), style()->standardIcon(QStyle::SP_DialogApplyButton)));
    Command1 = MakePictureButton(
        this, "Command1", QStringLiteral("Open Selected File"), QStringLiteral("open the currently selected file"),
        QIcon::fromTheme(QStringLiteral("document-open"), style()->standardIcon(QStyle::SP_FileIcon)));
    const QString listTip = QStringLiteral("Select the log files you wish to scan");
    Drive1 = new DriveListBox(this);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Drive1->setToolTip(listTip);
    Dir1 = new DirListBox(this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setToolTip(listTip);
    File1 = new FileListBox(this);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setToolTip(listTip);

    // Design places in pixels (15 twips to a pixel); the main window's layout fits the lists later.
    cmdSelAll->setGeometry(4, 16, 113, 53);
    Command1->setGeometry(120, 16, 117, 53);
    Drive1->setGeometry(4, 72, 237, 21);
    Dir1->setGeometry(4, 92, 237, 186);
    File1->setGeometry(4, 280, 237, 188);

    // Before any choice the lists show the current drive and the working folder;
    // nothing is remembered until the folder changes.
    Drive1->setDrives(MountedDrives());
    const QString start = QDir::currentPath();
    const QString startDrive = Drive1->driveOf(start);
    Drive1->showDrive(startDrive);
    Dir1->setDriveRoot(startDrive.isEmpty() ? QStringLiteral("/") : startDrive);
    if (Dir1->showPath(start))
        File1->setPath(Dir1->path());
    lastFolderOnDrive.insert(startDrive, Dir1->path());

    connect(Drive1, &DriveListBox::driveChanged, this, &LogFilePicker::Drive1_Change);
    connect(Dir1, &DirListBox::pathChanged, this, &LogFilePicker::Dir1_Change);
    connect(cmdSelAll, &QToolButton::clicked, this, &LogFilePicker::cmdSelAll_Click);
    connect(Command1, &QToolButton::clicked, this, &LogFilePicker::Command1_Click);
}

void LogFilePicker::setVolumeCheck(VolumeCheck check)
{
    volumeReady = std::move(check);
}

void LogFilePicker::showMessage(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, boxTitle, text, QMessageBox::Ok, this);
    box.exec();
}

QString LogFilePicker::currentFolderOn(const QString& driveRoot) const
{
    return lastFolderOnDrive.value(driveRoot, driveRoot);
}

void LogFilePicker::Drive1_Change()
{
    const QString root = Drive1->drive();
    const QString folder = currentFolderOn(root);
    // A drive whose medium is gone keeps the folder and file lists as they were;
    // the drive list still shows the drive that was chosen.
    if (!volumeReady(root)) {
        showMessage(QStringLiteral("Error: Device is not available"));
        return;
    }
    const QString previousRoot = Dir1->path().isEmpty() ? QStringLiteral("/") : Drive1->driveOf(Dir1->path());
    Dir1->setDriveRoot(root);
    if (Dir1->setPath(folder))
        return;
    // The drive's last folder may be gone: its root is the next best.
    if (folder != root && Dir1->setPath(root))
        return;
    Dir1->setDriveRoot(previousRoot);
    showMessage(QStringLiteral("Error: Device is not available"));
}

void LogFilePicker::Dir1_Change()
{
    const QString folder = Dir1->path();
    if (!File1->setPath(folder)) {
        showMessage(QStringLiteral("Error: Directory does not exist"));
        return;
    }
    lastFolderOnDrive.insert(Drive1->driveOf(folder), folder);
    rememberFolder(folder);
}

void LogFilePicker::rememberFolder(const QString& folder)
{
    if (settings.write(QString::fromLatin1(engine::keys::kData), QString::fromLatin1(engine::keys::kPath), folder))
        return;
    // A settings file that cannot be written fails on every folder change; say so once.
    if (storeFailureReported)
        return;
    storeFailureReported = true;
    showMessage(QStringLiteral("The folder could not be remembered for the next start: the settings file cannot be "
                               "written."));
}

void LogFilePicker::cmdSelAll_Click()
{
    File1->selectAllEntries();
}

void LogFilePicker::Command1_Click()
{
    const QString folder = File1->path();
    const QString path = (folder.endsWith(u'/') ? folder : folder + u'/') + File1->currentName();
    QString commandLine;
    if (!StartEditor(path, &commandLine))
        showMessage(QStringLiteral("The text editor could not be started:\n%1").arg(commandLine));
}

int LogFilePicker::ShowDroppedFiles(const DroppedFiles& dropped)
{
    if (dropped.folder.isEmpty())
        return -1;
    const QString root = Drive1->driveOf(dropped.folder);
    if (root.isEmpty())
        return -1;
    // The drive is shown without its change step, which would open the
    // drive's last folder first; the folder list's change step then fills the
    // file list and remembers the folder.
    const QString previousRoot = Drive1->drive();
    Drive1->showDrive(root);
    Dir1->setDriveRoot(root);
    if (!Dir1->setPath(dropped.folder) || File1->path() != QDir::cleanPath(dropped.folder)) {
        Drive1->showDrive(previousRoot);
        Dir1->setDriveRoot(previousRoot);
        return -1;
    }
    if (dropped.allFiles) {
        File1->selectAllEntries();
        return File1->entryCount();
    }
    return File1->selectEntries(dropped.names);
}

void LogFilePicker::RestoreRememberedFolder()
{
    const QString stored
        = settings.read(QString::fromLatin1(engine::keys::kData), QString::fromLatin1(engine::keys::kPath), {});
    if (stored.isEmpty())
        return;
    const QString root = Drive1->driveOf(stored);
    if (root.isEmpty() || !Drive1->setDrive(root))
        return;
    Dir1->setDriveRoot(root);
    if (!Dir1->setPath(stored))
        return;
    File1->setPath(stored);
}

} // namespace backtrail::results
