#pragma once

#include <QGroupBox>
#include <QHash>

#include <functional>

class QToolButton;

namespace backtrail::engine {
class SettingsStore;
}

namespace backtrail::results {

struct DroppedFiles;
class DirListBox;
class DriveListBox;
class FileListBox;

/// The frame in which the user chooses the log files of a scan: a drive list,
/// a folder list and a file list linked by their change steps, "Select All
/// Files" and "Open Selected File". The folder shown is remembered in the
/// settings store on every change and shown again at the next start.
class LogFilePicker final : public QGroupBox
{
    Q_OBJECT
public:
    /// `title` is the caption of the picker's message boxes (the program's name).
    LogFilePicker(engine::SettingsStore& store, const QString& title, QWidget* parent = nullptr);

    QToolButton* cmdSelAll;
    QToolButton* Command1;
    DriveListBox* Drive1;
    DirListBox* Dir1;
    FileListBox* File1;

    /// Shows the remembered folder again (start-up); a drive or folder that is
    /// gone ends the restore without a message.
    void RestoreRememberedFolder();

    /// Shows the folder of dropped files (or a dropped folder) in the drive,
    /// folder and file lists and selects the dropped files, or all files for a
    /// folder. The folder is remembered like any other. Returns how many files
    /// are selected, or -1 when the folder cannot be shown.
    int ShowDroppedFiles(const DroppedFiles& dropped);

    /// Whether a drive's medium can be read, asked each time a drive is
    /// chosen. The default asks the system whether the volume is mounted and
    /// ready; tests bring volumes of their own.
    using VolumeCheck = std::function<bool(const QString& driveRoot)>;
    void setVolumeCheck(VolumeCheck check);

    void Drive1_Change();
    void Dir1_Change();
    void cmdSelAll_Click();
    void Command1_Click();

private:
    void showMessage(const QString& text);
    void rememberFolder(const QString& folder);
    QString currentFolderOn(const QString& driveRoot) const;

    engine::SettingsStore& settings;
    QString boxTitle;
    VolumeCheck volumeReady;
    // The last folder shown on each drive in this run: a drive's "current folder".
    QHash<QString, QString> lastFolderOnDrive;
    bool storeFailureReported = false;
};

} // namespace backtrail::results
