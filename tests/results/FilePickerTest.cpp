// The log file picker: its three linked lists, the remembered folder and its buttons.
#include "ModalBoxes.h"

#include "results/DirListBox.h"
#include "results/DriveListBox.h"
#include "results/FileListBox.h"
#include "results/LogFilePicker.h"

#include "engine/base/Settings.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>

using namespace backtrail;
using results::LogFilePicker;

namespace {

void touch(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

QStringList names(const results::FileListBox& list)
{
    QStringList all;
    for (int i = 0; i < list.entryCount(); ++i)
        all << list.entryName(i);
    return all;
}

QStringList treeTexts(const QTreeWidget& tree)
{
    QStringList texts;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(&tree)); *it; ++it)
        texts << (*it)->text(0);
    return texts;
}

QString storedPath(const engine::SettingsStore& store)
{
    return store.read(u"data", u"path", QStringLiteral("<none>"));
}

} // namespace

class FilePickerTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void fileListShowsVisibleFilesByNameAndClearsSelection();
    void fileListKeepsItsFolderWhenTheNewOneCannotBeRead();
    void extendedSelectionWithShiftAndCtrl();
    void folderListShowsAncestorsAndSubFolders();
    void openingAFolderPointsTheFileListThereAndRemembersIt();
    void unreadableFolderIsReportedAndNotRemembered();
    void driveThatIsNotReadyChangesNothing();
    void choosingADriveOpensItsLastFolder();
    void rememberedFolderIsShownAgain();
    void goneRememberedFolderEndsTheRestoreSilently();
    void settingsThatCannotBeWrittenAreReportedOnce();
    void selectAllOnAnEmptyFolderChangesNothing();
    void selectAllOnTenThousandFiles();
    void damagedSettingsFileIsRewrittenWithoutAMessage();
    void editorThatCannotStartIsReported();

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<engine::IniSettingsStore> store;
    std::unique_ptr<LogFilePicker> picker;
    QString root;
};

void FilePickerTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    root = dir->path();
    QDir(root).mkpath("logs/Sub B");
    QDir(root).mkpath("logs/sub a");
    QDir(root).mkpath("logs/.hidden");
    QDir(root).mkpath("other");
    touch(root + "/logs/b.log");
    touch(root + "/logs/A.log");
    touch(root + "/logs/c.log");
    touch(root + "/logs/.secret.log");
    touch(root + "/other/x.log");
    store = std::make_unique<engine::IniSettingsStore>(root + "/settings.ini");
    picker = std::make_unique<LogFilePicker>(*store, QStringLiteral("Backtrail"));
    // The tests' volumes are folders of their own: one is ready while its folder is there.
    picker->setVolumeCheck([](const QString& driveRoot) { return QFileInfo(driveRoot).isDir(); });
    picker->resize(300, 600);
}

void FilePickerTest::fileListShowsVisibleFilesByNameAndClearsSelection()
{
    results::FileListBox& files = *picker->File1;
    QVERIFY(files.setPath(root + "/logs/"));
    QCOMPARE(files.path(), root + "/logs");
    QCOMPARE(names(files), (QStringList {"A.log", "b.log", "c.log"}));
    picker->cmdSelAll->click();
    QVERIFY(files.entrySelected(0) && files.entrySelected(1) && files.entrySelected(2));
    QVERIFY(files.setPath(root + "/other"));
    QCOMPARE(names(files), QStringList {"x.log"});
    QVERIFY(!files.entrySelected(0));
}

void FilePickerTest::fileListKeepsItsFolderWhenTheNewOneCannotBeRead()
{
    results::FileListBox& files = *picker->File1;
    QVERIFY(files.setPath(root + "/other"));
    QVERIFY(!files.setPath(root + "/missing"));
    QVERIFY(!files.setPath(root + "/other/x.log"));
    QCOMPARE(files.path(), root + "/other");
    QCOMPARE(names(files), QStringList {"x.log"});
}

void FilePickerTest::extendedSelectionWithShiftAndCtrl()
{
    picker->show();
    QVERIFY(QTest::qWaitForWindowExposed(picker.get()));
    results::FileListBox& files = *picker->File1;
    QVERIFY(files.setPath(root + "/logs"));
    auto click = [&](int row, Qt::KeyboardModifiers modifiers) {
        QTest::mouseClick(files.viewport(), Qt::LeftButton, modifiers, files.visualItemRect(files.item(row)).center());
    };
    click(0, Qt::NoModifier);
    click(2, Qt::ShiftModifier);
    QVERIFY(files.entrySelected(0) && files.entrySelected(1) && files.entrySelected(2));
    click(1, Qt::ControlModifier);
    QVERIFY(files.entrySelected(0) && !files.entrySelected(1) && files.entrySelected(2));
    QCOMPARE(files.currentName(), QStringLiteral("b.log"));
    click(1, Qt::NoModifier);
    QVERIFY(!files.entrySelected(0) && files.entrySelected(1) && !files.entrySelected(2));
}

void FilePickerTest::folderListShowsAncestorsAndSubFolders()
{
    results::DirListBox& folders = *picker->Dir1;
    folders.setDriveRoot(QStringLiteral("/"));
    QVERIFY(folders.setPath(root + "/logs"));
    const QStringList texts = treeTexts(folders);
    QCOMPARE(texts.first(), QStringLiteral("/"));
    // The chain down to the folder, then its visible sub-folders by name.
    QCOMPARE(texts.mid(texts.size() - 3), (QStringList {"logs", "sub a", "Sub B"}));
    QCOMPARE(folders.currentItem()->text(0), QStringLiteral("logs"));
    QVERIFY(!folders.setPath(root + "/nothing-here"));
    QCOMPARE(folders.path(), root + "/logs");
}

void FilePickerTest::openingAFolderPointsTheFileListThereAndRemembersIt()
{
    picker->show();
    QVERIFY(QTest::qWaitForWindowExposed(picker.get()));
    results::DirListBox& folders = *picker->Dir1;
    QVERIFY(folders.setPath(root + "/logs"));
    QCOMPARE(picker->File1->path(), root + "/logs");
    QCOMPARE(storedPath(*store), root + "/logs");

    // A double-click on a sub-folder opens it.
    QTreeWidgetItem* sub = folders.findItems("sub a", Qt::MatchExactly | Qt::MatchRecursive).value(0);
    QVERIFY(sub);
    folders.scrollToItem(sub);
    const QPoint at = folders.visualItemRect(sub).center();
    QTest::mouseClick(folders.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(folders.viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(folders.path(), root + "/logs/sub a");
    QCOMPARE(picker->File1->path(), root + "/logs/sub a");
    QCOMPARE(storedPath(*store), root + "/logs/sub a");

    // Enter on an ancestor goes back up.
    QTreeWidgetItem* up = folders.findItems("logs", Qt::MatchExactly | Qt::MatchRecursive).value(0);
    folders.setCurrentItem(up);
    QTest::keyClick(&folders, Qt::Key_Return);
    QCOMPARE(folders.path(), root + "/logs");
    QCOMPARE(storedPath(*store), root + "/logs");
}

void FilePickerTest::unreadableFolderIsReportedAndNotRemembered()
{
    QVERIFY(picker->Dir1->setPath(root + "/other"));
    // The folder list opens a folder that is then taken away before the file list reads it.
    QDir(root).mkpath("vanishing");
    picker->Dir1->showPath(root + "/vanishing");
    QDir(root).rmdir("vanishing");
    ModalBoxWatcher watcher;
    picker->Dir1_Change();
    QCOMPARE(watcher.boxes.size(), std::size_t(1));
    QCOMPARE(watcher.boxes[0].title, QStringLiteral("Backtrail"));
    QCOMPARE(watcher.boxes[0].text, QStringLiteral("Error: Directory does not exist"));
    QCOMPARE(picker->File1->path(), root + "/other");
    QCOMPARE(names(*picker->File1), QStringList {"x.log"});
    QCOMPARE(storedPath(*store), root + "/other");
}

void FilePickerTest::driveThatIsNotReadyChangesNothing()
{
    QVERIFY(picker->Dir1->setPath(root + "/other"));
    picker->Drive1->setDrives({{root + "/other", "first"}, {root + "/no-medium", "no medium"}});
    picker->Drive1->showDrive(root + "/other");
    ModalBoxWatcher watcher;
    QVERIFY(picker->Drive1->setDrive(root + "/no-medium"));
    QCOMPARE(watcher.boxes.size(), std::size_t(1));
    QCOMPARE(watcher.boxes[0].text, QStringLiteral("Error: Device is not available"));
    QCOMPARE(picker->Drive1->drive(), root + "/no-medium");
    QCOMPARE(picker->Dir1->path(), root + "/other");
    QCOMPARE(picker->File1->path(), root + "/other");
    QCOMPARE(storedPath(*store), root + "/other");
}

void FilePickerTest::choosingADriveOpensItsLastFolder()
{
    // Two temporary folders stand in for two volumes.
    QTemporaryDir first;
    const QString firstRoot = first.path();
    picker->Drive1->setDrives({{firstRoot, "first"}, {root, "second"}});
    picker->Drive1->showDrive(firstRoot);
    QVERIFY(picker->Drive1->setDrive(root));
    QCOMPARE(picker->Dir1->path(), root); // first visit: its root
    QCOMPARE(storedPath(*store), root);
    QVERIFY(picker->Dir1->setPath(root + "/logs"));
    QVERIFY(picker->Drive1->setDrive(firstRoot));
    QCOMPARE(picker->Drive1->driveOf(picker->Dir1->path()), firstRoot);
    QVERIFY(picker->Drive1->setDrive(root));
    QCOMPARE(picker->Dir1->path(), root + "/logs");
    QCOMPARE(treeTexts(*picker->Dir1).first(), root); // the folder list starts at the drive's root
}

void FilePickerTest::rememberedFolderIsShownAgain()
{
    QVERIFY(store->write(u"data", u"path", root + "/logs"));
    picker = std::make_unique<LogFilePicker>(*store, QStringLiteral("Backtrail"));
    picker->RestoreRememberedFolder();
    QCOMPARE(picker->Dir1->path(), root + "/logs");
    QCOMPARE(picker->File1->path(), root + "/logs");
    QCOMPARE(names(*picker->File1), (QStringList {"A.log", "b.log", "c.log"}));
    QCOMPARE(picker->Drive1->drive(), picker->Drive1->driveOf(root));
}

void FilePickerTest::goneRememberedFolderEndsTheRestoreSilently()
{
    QVERIFY(store->write(u"data", u"path", root + "/deleted/logs"));
    picker = std::make_unique<LogFilePicker>(*store, QStringLiteral("Backtrail"));
    const QString before = picker->Dir1->path();
    ModalBoxWatcher watcher;
    picker->RestoreRememberedFolder();
    QCOMPARE(watcher.boxes.size(), std::size_t(0));
    QCOMPARE(picker->Dir1->path(), before);
    QCOMPARE(storedPath(*store), root + "/deleted/logs");
}

void FilePickerTest::settingsThatCannotBeWrittenAreReportedOnce()
{
    // A folder where the settings file should be: every write fails.
    QDir(root).mkpath("blocked.ini");
    engine::IniSettingsStore blocked(root + "/blocked.ini");
    picker = std::make_unique<LogFilePicker>(blocked, QStringLiteral("Backtrail"));
    ModalBoxWatcher watcher;
    QVERIFY(picker->Dir1->setPath(root + "/logs"));
    QVERIFY(picker->Dir1->setPath(root + "/other"));
    QCOMPARE(watcher.boxes.size(), std::size_t(1));
    QVERIFY(watcher.boxes[0].text.contains("settings file cannot be written"));
    // The folder still opened.
    QCOMPARE(picker->File1->path(), root + "/other");
}

void FilePickerTest::selectAllOnAnEmptyFolderChangesNothing()
{
    QVERIFY(picker->Dir1->setPath(root + "/logs/sub a"));
    picker->cmdSelAll->click();
    QCOMPARE(picker->File1->entryCount(), 0);
    QCOMPARE(picker->File1->selectedItems().size(), 0);
}

void FilePickerTest::selectAllOnTenThousandFiles()
{
    constexpr int kFiles = 10000;
    QDir(root).mkpath("many");
    for (int i = 0; i < kFiles; ++i)
        touch(root + QStringLiteral("/many/%1.log").arg(i, 5, 10, QLatin1Char('0')));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(picker->Dir1->setPath(root + "/many"));
    const qint64 listed = clock.restart();
    results::FileListBox& files = *picker->File1;
    QCOMPARE(files.entryCount(), kFiles);
    picker->cmdSelAll->click();
    const qint64 selected = clock.restart();
    QCOMPARE(files.selectedItems().size(), kFiles);
    int marked = 0;
    for (int i = 0; i < kFiles; ++i)
        marked += files.entrySelected(i) ? 1 : 0;
    QCOMPARE(marked, kFiles);
    QCOMPARE(files.entryName(kFiles - 1), QStringLiteral("09999.log"));
    qInfo("10000 files: listed in %lld ms, all selected in %lld ms, every selection read in %lld ms", listed, selected,
          clock.elapsed());
}

void FilePickerTest::damagedSettingsFileIsRewrittenWithoutAMessage()
{
    // Garbage among the lines: the readable values still count, and the next
    // folder change writes a clean file instead of reporting a failure.
    QFile damaged(root + "/damaged.ini");
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray("[data]\npath=") + root.toUtf8() + "/other\n\x01\x02 no value\n[[[\n");
    damaged.close();
    engine::IniSettingsStore damagedStore(root + "/damaged.ini");
    picker = std::make_unique<LogFilePicker>(damagedStore, QStringLiteral("Backtrail"));
    ModalBoxWatcher watcher;
    picker->RestoreRememberedFolder();
    QCOMPARE(picker->File1->path(), root + "/other");
    QVERIFY(picker->Dir1->setPath(root + "/logs"));
    QCOMPARE(watcher.boxes.size(), std::size_t(0));
    picker.reset();
    QCOMPARE(engine::IniSettingsStore(root + "/damaged.ini").read(u"data", u"path", {}), root + "/logs");
}

void FilePickerTest::editorThatCannotStartIsReported()
{
    QVERIFY(picker->Dir1->setPath(root + "/logs"));
    picker->File1->setCurrentRow(1);
    qputenv("BACKTRAIL_EDITOR", "/nonexistent/editor");
    ModalBoxWatcher watcher;
    picker->Command1->click();
    qunsetenv("BACKTRAIL_EDITOR");
    QCOMPARE(watcher.boxes.size(), std::size_t(1));
    QCOMPARE(watcher.boxes[0].text,
             "The text editor could not be started:\n/nonexistent/editor \"" + root + "/logs/b.log\"");
}

QTEST_MAIN(FilePickerTest)
#include "FilePickerTest.moc"
