// Whole scans through the main window, as a user makes them.
#include "../results/ModalBoxes.h"
#include "MainWindowTestSupport.h"

#include "LayoutControls.h"
#include "MainWindow.h"
#include "ScanProgress.h"
#include "StatusBar.h"

#include "browser/BrowserPane.h"
#include "browser/WebBrowser.h"
#include "engine/base/Settings.h"
#include "engine/results/Export.h"
#include "engine/scan/ScanDriver.h"
#include "results/DirListBox.h"
#include "results/FileListBox.h"
#include "results/LogFilePicker.h"
#include "results/ResultsModel.h"

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace backtrail;
using shell::MainWindow;

class MainWindowTest : public QObject
{
    Q_OBJECT
public:
    static void initMain() { PrepareGuiTestEnvironment(); }

private slots:
    void init();
    void cleanup();
    void startUpShowsCaptionsAndTheRememberedFolder();
    void scanOfFilesSelectedInTheFileList();
    void stopDuringTheFirstOfThreeFiles();
    void stopAtRandomMomentsKeepsWhatWasReadUpToALine();
    void noStatisticsBoxWhenSwitchedOffAndNoToggleWhenResultsShown();
    void headerClicksSortAndASecondScanArrivesSorted();
    void rowClickDoubleClickAndOpen();
    void exportWritesTheWorkingListEscaped();
    void exportFailureSaysSoAndChangesNothing();
    void exportIntoAFolderThatDisappearedSaysSo();
    void selectAllAndScanTenThousandFiles();
    void unreadableFileIsReportedAfterTheStatistics();
    void toggleViewAndExpandContract();
    void layoutIsAppliedToTheWidgets();
    void scanWithNothingSelectedCompletesWithZeros();
    void closingDuringAScanClosesOnceItHasStopped();
    void progressIsScaledToTheBar();

private:
    void makeWindow();
    void selectRows(std::initializer_list<int> rows);
    QString panel(int n) const { return window->StatusBar1->panelText(n); }
    /// A log far longer than a scan reads before a click made as it starts
    /// lands: kLongLogLines lines from seven referrers.
    static constexpr int kLongLogLines = 300000;
    static void writeLongLog(const QString& path);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<engine::IniSettingsStore> store;
    std::unique_ptr<MainWindow> window;
    QString logs;
};

void MainWindowTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    logs = dir->path() + "/logs";
    QDir().mkpath(logs);
    // a.log: three visitors from alpha, one from Beta, one from the own site.
    writeFile(logs + "/a.log",
              logLine("/index.html", "http://127.0.0.1:9/alpha") + logLine("/pic.jpg", "http://127.0.0.1:9/alpha")
                  + logLine("/index.html", "http://127.0.0.1:9/alpha") + logLine("/tool.zip", "http://127.0.0.1:9/Beta")
                  + logLine("/index.html", "http://www.your-site.example/inner"));
    // b.log: gamma twice, and a line without a referrer.
    writeFile(logs + "/b.log",
              logLine("/x.pdf", "http://127.0.0.1:9/gamma") + logLine("/x.pdf", "http://127.0.0.1:9/gamma")
                  + logLine("/robots.txt", "-"));
    writeFile(logs + "/.hidden.log", logLine("/x", "http://127.0.0.1:9/hidden"));
    store = std::make_unique<engine::IniSettingsStore>(dir->path() + "/settings.ini");
    QVERIFY(store->write(u"data", u"path", logs));
    QVERIFY(store->write(u"data", u"strYourWebsite", "www.your-site.example"));
}

void MainWindowTest::cleanup()
{
    window.reset();
    store.reset();
    dir.reset();
}

void MainWindowTest::makeWindow()
{
    shell::MainWindowSetup setup;
    setup.store = store.get();
    setup.startPage = QStringLiteral("about:blank");
    window = std::make_unique<MainWindow>(setup);
    // The start page's status texts share the status line with the scan: let them settle first.
    QSignalSpy loaded(window->frmBrowser->WebBrowser1, &browser::WebBrowser::DownloadComplete);
    window->Form_Load();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTRY_VERIFY_WITH_TIMEOUT(loaded.count() > 0, 30000);
    QCOMPARE(window->StatusBar1->panelText(2), QStringLiteral("Done"));
}

void MainWindowTest::writeLongLog(const QString& path)
{
    QByteArray log;
    for (int i = 0; i < kLongLogLines; ++i)
        log += logLine("/page" + QByteArray::number(i % 50), "http://127.0.0.1:9/from" + QByteArray::number(i % 7));
    writeFile(path, log);
}

void MainWindowTest::selectRows(std::initializer_list<int> rows)
{
    results::FileListBox* files = window->findChild<results::FileListBox*>("File1");
    QVERIFY(files);
    bool first = true;
    for (int row : rows) {
        QTest::mouseClick(files->viewport(), Qt::LeftButton, first ? Qt::NoModifier : Qt::ControlModifier,
                          files->visualItemRect(files->item(row)).center());
        first = false;
    }
}

void MainWindowTest::startUpShowsCaptionsAndTheRememberedFolder()
{
    makeWindow();
    QCOMPARE(window->objectName(), QStringLiteral("Form1"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Backtrail by Backtrail Developers"));
    QCOMPARE(window->findChild<QToolButton*>("Command8")->text(), QStringLiteral("Visit www.example.org"));
    QCOMPARE(window->findChild<QToolButton*>("cmdGo")->toolTip(), QStringLiteral("Scan the selected log files"));
    QCOMPARE(window->findChild<QToolButton*>("Command10")->toolTip(),
             QStringLiteral("Switch between the log files and the referrer list"));
    QCOMPARE(window->findChild<QToolButton*>("Command9")->toolTip(),
             QStringLiteral("Open the selected referrer in the browser"));
    QCOMPARE(window->StatusBar1->panelCount(), 5);
    QVERIFY(window->findChild<QGroupBox*>("frmMain")->isVisible());
    QVERIFY(window->findChild<QGroupBox*>("Frame1")->isHidden());
    auto* files = window->findChild<results::FileListBox*>("File1");
    QCOMPARE(files->path(), logs);
    QCOMPARE(files->entryCount(), 2); // the hidden log is not listed
    QCOMPARE(files->entryName(0), QStringLiteral("a.log"));

    const QStringList menus {"File", "Action", "Options", "Help", "About"};
    QStringList shown;
    for (QAction* menu : window->menuBar()->actions())
        shown << menu->text().remove(u'&');
    QCOMPARE(shown, menus);
    QCOMPARE(window->findChild<QAction*>("mnuActionStart")->text().remove(u'&'), QStringLiteral("Start Scan"));
    QCOMPARE(window->findChild<QAction*>("mnuAboutItem")->text().remove(u'&'), QStringLiteral("About this software"));

    // Every folder change is remembered.
    auto* folders = window->findChild<results::DirListBox*>("Dir1");
    QDir().mkpath(logs + "/old");
    QVERIFY(folders->setPath(logs + "/old"));
    QCOMPARE(store->read(u"data", u"path", {}), logs + "/old");
}

void MainWindowTest::scanOfFilesSelectedInTheFileList()
{
    makeWindow();
    QAbstractItemModelTester tester(window->resultsModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    selectRows({0, 1});
    ModalBoxWatcher boxes;
    window->findChild<QToolButton*>("cmdGo")->click();
    QVERIFY(scanEnds(*window));

    QCOMPARE(panel(2),
             QStringLiteral("COMPLETE: 2 files done : 8 lines scanned : 6 links found : 3 duplicates removed "
                            ": 3 unique links"));
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    QCOMPARE(boxes.boxes[0].title, QStringLiteral("Scan Finished"));
    QCOMPARE(boxes.boxes[0].text,
             QStringLiteral("2 files done\n8 lines scanned\n6 links found\n3 duplicates "
                            "removed\n3 unique links"));
    // The results came into view.
    QVERIFY(window->findChild<QGroupBox*>("frmMain")->isHidden());
    QVERIFY(window->findChild<QGroupBox*>("Frame1")->isVisible());
    const results::ResultsModel& rows = *window->resultsModel();
    QCOMPARE(rows.rowCount(), 3);
    QCOMPARE(columnTexts(rows, 2),
             (QStringList {"http://127.0.0.1:9/alpha", "http://127.0.0.1:9/Beta", "http://127.0.0.1:9/gamma"}));
    QCOMPARE(columnTexts(rows, 1), (QStringList {"0000003", "0000001", "0000002"}));
    QCOMPARE(columnTexts(rows, 0), (QStringList {"HTM", "ZIP", "PDF"}));

    // Only b.log this time, through the menu: the second scan starts from nothing.
    window->Command10_Click();
    selectRows({1});
    window->findChild<QAction*>("mnuActionStart")->trigger();
    QVERIFY(scanEnds(*window));
    QCOMPARE(rows.rowCount(), 1);
    QCOMPARE(rows.cellText(0, 1), QStringLiteral("0000002"));
    QVERIFY(panel(2).startsWith("COMPLETE: 1 files done : 3 lines scanned : 2 links found"));
}

void MainWindowTest::stopDuringTheFirstOfThreeFiles()
{
    // A first file far longer than the scan can read before the Stop click lands.
    writeLongLog(logs + "/a.log");
    writeFile(logs + "/c-empty.log", {});
    // Without duplicate removal the reader's texts are the last ones written.
    QVERIFY(store->write(u"data", u"bRemoveDupes", "0"));
    makeWindow();
    window->findChild<QToolButton*>("cmdSelAll")->click();
    QCOMPARE(window->findChild<results::FileListBox*>("File1")->selectedItems().size(), 3);
    ModalBoxWatcher boxes;
    // Stop is clicked as soon as the scan has started on its thread.
    window->findChild<QToolButton*>("cmdGo")->click();
    window->findChild<QToolButton*>("cmdStop")->click();
    QVERIFY(scanEnds(*window));

    const engine::ScanCounters& counters = window->scanner().state().counters;
    QVERIFY(counters.StopRequested);
    QVERIFY(counters.LinesScanned < kLongLogLines);
    // What was read is kept; the other two files were still visited, and the
    // empty third one counts as done.
    QCOMPARE(counters.FilesDone, 1);
    QCOMPARE(panel(2), engine::FinishedText(counters));
    QCOMPARE(boxes.boxes.size(), std::size_t(0));
    QCOMPARE(window->resultsModel()->rowCount(), counters.LinksFound);
    QVERIFY(window->findChild<QGroupBox*>("Frame1")->isHidden());
}

// However late the Stop click lands on the scan's thread, the window keeps
// what a scan of the same lines up to some line finds: the first rows of the
// whole scan, in order, with the status text of where it stopped.
void MainWindowTest::stopAtRandomMomentsKeepsWhatWasReadUpToALine()
{
    QByteArray log;
    for (int i = 0; i < 20000; ++i)
        log += logLine("/index.html", "http://127.0.0.1:9/from" + QByteArray::number(i));
    writeFile(logs + "/a.log", log);
    QVERIFY(store->write(u"data", u"bRemoveDupes", "0"));
    QVERIFY(store->write(u"data", u"bDisplayStats", "0"));
    makeWindow();
    selectRows({0, 1});
    window->cmdGo_Click();
    QVERIFY(scanEnds(*window));
    const QStringList whole = columnTexts(*window->resultsModel(), results::ResultsModel::ReferrerColumn);
    QCOMPARE(whole.size(), 20002);

    const unsigned seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    int stopped = 0;
    for (int trial = 0; trial < 8; ++trial) {
        const QString where = QStringLiteral("seed %1, trial %2").arg(seed).arg(trial);
        window->cmdGo_Click();
        QTest::qWait(random.bounded(30));
        window->cmdStop_Click();
        QVERIFY2(scanEnds(*window), qPrintable(where));
        const engine::ScanCounters& counters = window->scanner().state().counters;
        const QStringList kept = columnTexts(*window->resultsModel(), results::ResultsModel::ReferrerColumn);
        QCOMPARE(kept, whole.mid(0, kept.size()));
        QCOMPARE(kept.size(), counters.LinksFound);
        stopped += counters.StopRequested ? 1 : 0;
        if (!counters.StopRequested)
            QVERIFY2(panel(2).startsWith("COMPLETE: 2 files done"), qPrintable(where));
        else if (panel(2) != QStringLiteral("Cancelled"))
            QCOMPARE(panel(2), engine::FinishedText(counters));
    }
    qInfo("seed %u: %d of 8 scans stopped", seed, stopped);
}

void MainWindowTest::noStatisticsBoxWhenSwitchedOffAndNoToggleWhenResultsShown()
{
    QVERIFY(store->write(u"data", u"bDisplayStats", "0"));
    makeWindow();
    selectRows({0});
    window->findChild<QToolButton*>("Command10")->click(); // results already in view
    ModalBoxWatcher boxes;
    window->findChild<QToolButton*>("cmdGo")->click();
    QVERIFY(scanEnds(*window));
    QCOMPARE(boxes.boxes.size(), std::size_t(0));
    QVERIFY(panel(2).startsWith("COMPLETE: 1 files done"));
    QVERIFY(window->findChild<QGroupBox*>("Frame1")->isVisible());
    QVERIFY(window->findChild<QGroupBox*>("frmMain")->isHidden());
}

void MainWindowTest::headerClicksSortAndASecondScanArrivesSorted()
{
    QVERIFY(store->write(u"data", u"bDisplayStats", "0"));
    makeWindow();
    auto* list = window->findChild<QTreeView*>("lstResults");
    QHeaderView* header = list->header();
    auto clickHeader = [&](int section) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
    };
    // No rows yet: a click changes nothing.
    window->Command10_Click();
    clickHeader(1);
    QVERIFY(!window->resultsModel()->sorted());

    window->Command10_Click();
    selectRows({0, 1});
    window->cmdGo_Click();
    QVERIFY(scanEnds(*window));
    clickHeader(1); // Clicks, descending
    QCOMPARE(columnTexts(*window->resultsModel(), 1), (QStringList {"0000003", "0000002", "0000001"}));
    QCOMPARE(header->sortIndicatorSection(), 1);
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    clickHeader(0); // Type, ascending
    QCOMPARE(columnTexts(*window->resultsModel(), 0), (QStringList {"HTM", "PDF", "ZIP"}));
    clickHeader(2); // Referrer, descending; letter case ignored
    QCOMPARE(columnTexts(*window->resultsModel(), 2),
             (QStringList {"http://127.0.0.1:9/gamma", "http://127.0.0.1:9/Beta", "http://127.0.0.1:9/alpha"}));

    window->Command10_Click();
    selectRows({0});
    window->cmdGo_Click();
    QVERIFY(scanEnds(*window));
    QCOMPARE(columnTexts(*window->resultsModel(), 2),
             (QStringList {"http://127.0.0.1:9/Beta", "http://127.0.0.1:9/alpha"}));
    QCOMPARE(columnTexts(*window->resultsModel(), 1), (QStringList {"0000001", "0000003"}));
}

void MainWindowTest::rowClickDoubleClickAndOpen()
{
    QVERIFY(store->write(u"data", u"bDisplayStats", "0"));
    makeWindow();
    auto* address = window->findChild<QLineEdit*>("Text1");
    // Open with nothing to open says so and changes nothing.
    window->Command10_Click();
    address->setText("http://127.0.0.1:9/typed");
    {
        ModalBoxWatcher boxes;
        window->findChild<QToolButton*>("Command9")->click();
        QCOMPARE(boxes.boxes.size(), std::size_t(1));
        QCOMPARE(boxes.boxes[0].text, QStringLiteral("You must select at least one referrer"));
        QCOMPARE(boxes.boxes[0].title, QStringLiteral("Backtrail"));
    }
    QCOMPARE(address->text(), QStringLiteral("http://127.0.0.1:9/typed"));
    QCOMPARE(panel(3), QString());

    // A double-click with no row selected opens the address box's text again.
    window->lstResults_DblClick();
    QCOMPARE(panel(3), QStringLiteral("connecting http://127.0.0.1:9/typed"));

    window->Command10_Click();
    selectRows({0});
    window->cmdGo_Click();
    QVERIFY(scanEnds(*window));
    auto* list = window->findChild<QTreeView*>("lstResults");
    // The referrer column is far wider than the view: click near its left edge.
    const QRect cell = list->visualRect(window->resultsModel()->index(1, 2));
    const QPoint second(cell.left() + 20, cell.center().y());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
    QCOMPARE(panel(2), QStringLiteral("http://127.0.0.1:9/Beta"));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second);
    QCOMPARE(address->text(), QStringLiteral("http://127.0.0.1:9/Beta"));
    QCOMPARE(panel(3), QStringLiteral("connecting http://127.0.0.1:9/Beta"));

    list->setCurrentIndex(window->resultsModel()->index(0, 0));
    window->findChild<QToolButton*>("Command9")->click();
    QCOMPARE(address->text(), QStringLiteral("http://127.0.0.1:9/alpha"));
    QCOMPARE(panel(3), QStringLiteral("connecting http://127.0.0.1:9/alpha"));
}

void MainWindowTest::exportWritesTheWorkingListEscaped()
{
    QVERIFY(store->write(u"data", u"bDisplayStats", "0"));
    writeFile(logs + "/quote.log",
              logLine("/a.html", "http://127.0.0.1:9/it's<here>")
                  + logLine("/a.html", "http://127.0.0.1:9/it's<here>"));
    makeWindow();
    selectRows({0, 2}); // a.log and quote.log
    window->cmdGo_Click();
    QVERIFY(scanEnds(*window));
    // Sorting the view does not change the file's order.
    window->lstResults_ColumnClick(2);
    ModalBoxWatcher boxes;
    window->findChild<QToolButton*>("cmdHtml")->click();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    QCOMPARE(boxes.boxes[0].text, "saved as " + logs + "/referers.html");
    QFile file(logs + "/referers.html");
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             QByteArray("<a href='http://127.0.0.1:9/alpha'>0000003|http://127.0.0.1:9/alpha</a><br>\r\n"
                        "<a href='http://127.0.0.1:9/Beta'>0000001|http://127.0.0.1:9/Beta</a><br>\r\n"
                        "<a href='http://127.0.0.1:9/it&#39;s&lt;here&gt;'>0000002|http://127.0.0.1:9/it&#39;s&lt;"
                        "here&gt;</a><br>\r\n"));
}

void MainWindowTest::exportFailureSaysSoAndChangesNothing()
{
    makeWindow();
    // A folder where the file should go: it cannot be written.
    QVERIFY(QDir().mkpath(logs + "/referers.html"));
    ModalBoxWatcher boxes;
    window->findChild<QToolButton*>("cmdHtml")->click();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    QVERIFY(!boxes.boxes[0].text.startsWith("saved as"));
    QVERIFY(boxes.boxes[0].text.contains(logs + "/referers.html"));
    QVERIFY(QFileInfo(logs + "/referers.html").isDir());
}

void MainWindowTest::exportIntoAFolderThatDisappearedSaysSo()
{
    QVERIFY(store->write(u"data", u"bDisplayStats", "0"));
    makeWindow();
    selectRows({0});
    window->cmdGo_Click();
    QVERIFY(scanEnds(*window));
    QCOMPARE(window->resultsModel()->rowCount(), 2);
    // The folder of the file list is deleted after it was chosen.
    QVERIFY(QDir(logs).removeRecursively());
    ModalBoxWatcher boxes;
    window->findChild<QToolButton*>("cmdHtml")->click();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    const QString text = boxes.boxes[0].text;
    QVERIFY2(text.startsWith("The referrer list could not be saved as " + logs + "/referers.html."), qPrintable(text));
    QVERIFY2(text.contains("No such file or directory"), qPrintable(text));
    QVERIFY(!panel(2).startsWith("saved as"));
    // Nothing was made: not the folder, not the file, not a half-written file beside it.
    QVERIFY(!QFileInfo::exists(logs));
    QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList {"settings.ini"});
    // The rows are still there to export elsewhere.
    QCOMPARE(window->resultsModel()->rowCount(), 2);
}

void MainWindowTest::selectAllAndScanTenThousandFiles()
{
    QVERIFY(store->write(u"data", u"bDisplayStats", "0"));
    const QString many = dir->path() + "/many";
    QVERIFY(QDir().mkpath(many));
    constexpr int kFiles = 10000;
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray referrer = "http://127.0.0.1:9/f" + QByteArray::number(i % 250);
        writeFile(many + QStringLiteral("/%1.log").arg(i, 5, 10, QLatin1Char('0')),
                  logLine("/p", referrer.constData()));
    }
    QVERIFY(store->write(u"data", u"path", many));
    makeWindow();
    auto* files = window->findChild<results::FileListBox*>("File1");
    QCOMPARE(files->entryCount(), kFiles);
    QElapsedTimer clock;
    clock.start();
    window->findChild<QToolButton*>("cmdSelAll")->click();
    QCOMPARE(files->selectedItems().size(), kFiles);
    const qint64 selecting = clock.restart();
    window->findChild<QToolButton*>("cmdGo")->click();
    QVERIFY(scanEnds(*window));
    const qint64 scanning = clock.elapsed();
    QCOMPARE(panel(2),
             QStringLiteral("COMPLETE: 10000 files done : 10000 lines scanned : 10000 links found : 9750 duplicates "
                            "removed : 250 unique links"));
    QCOMPARE(window->resultsModel()->rowCount(), 250);
    int clicks = 0;
    for (int r = 0; r < window->resultsModel()->rowCount(); ++r)
        clicks += window->resultsModel()->cellText(r, results::ResultsModel::ClicksColumn).toInt();
    QCOMPARE(clicks, kFiles);
    QCOMPARE(window->ProgressBar1->value(), window->ProgressBar1->maximum()); // every file was read
    qInfo("10000 files: all selected in %lld ms, scanned in %lld ms", selecting, scanning);
}

void MainWindowTest::unreadableFileIsReportedAfterTheStatistics()
{
    // A gzip log cut short: what was read is kept, the file is reported.
    QByteArray gz = QByteArray::fromHex("1f8b0800000000000003") + QByteArray(40, 'x');
    writeFile(logs + "/broken.log.gz", gz);
    makeWindow();
    selectRows({0, 2});
    ModalBoxWatcher boxes;
    window->cmdGo_Click();
    QVERIFY(scanEnds(*window));
    QCOMPARE(boxes.boxes.size(), std::size_t(2));
    QCOMPARE(boxes.boxes[0].title, QStringLiteral("Scan Finished"));
    QVERIFY(boxes.boxes[1].text.contains(logs + "/broken.log.gz: "));
    QCOMPARE(window->resultsModel()->rowCount(), 2);
}

void MainWindowTest::toggleViewAndExpandContract()
{
    makeWindow();
    auto* picker = window->findChild<QGroupBox*>("frmMain");
    auto* results = window->findChild<QGroupBox*>("Frame1");
    auto* browser = window->findChild<QGroupBox*>("frmBrowser");
    window->findChild<QToolButton*>("Command10")->click();
    QVERIFY(picker->isHidden() && results->isVisible());
    window->findChild<QAction*>("mnuActionToggle")->trigger();
    QVERIFY(picker->isVisible() && results->isHidden());

    // Expand: both frames three quarters of the window's outer width.
    window->resize(600, window->height());
    const int wide = int(std::lround(window->frameGeometry().width() * 0.75));
    auto* expand = window->findChild<QToolButton*>("cmdExpnd");
    expand->click();
    QCOMPARE(expand->text(), QStringLiteral("Contract"));
    QCOMPARE(picker->width(), wide);
    QCOMPARE(results->width(), wide);
    QCOMPARE(browser->x(), picker->x() + wide);
    // A narrower window keeps the frames' width; the browser shrinks.
    const int browserWidth = browser->width();
    window->resize(560, window->height());
    QCOMPARE(picker->width(), wide);
    QVERIFY(browser->width() < browserWidth);
    expand->click();
    QCOMPARE(expand->text(), QStringLiteral("Expand"));
    QCOMPARE(picker->width(), 249); // 3735 twips
    QCOMPARE(results->width(), 249);
    QCOMPARE(browser->x(), picker->x() + 249);
}

void MainWindowTest::layoutIsAppliedToTheWidgets()
{
    makeWindow();
    shell::LayoutInput in;
    in.windowWidth = float(window->frameGeometry().width()) * 15;
    in.windowHeight = float(window->frameGeometry().height()) * 15;
    in.statusBarTop = float(window->centralWidget()->height() - 21) * 15;
    in.statusBarHeight = 315;
    in.clientWidth = float(window->centralWidget()->width()) * 15;
    const shell::MainLayout l = shell::LayoutControls(in);
    auto pixels = [](float twips) { return int(std::lround(twips / 15)); };
    auto* browser = window->findChild<QGroupBox*>("frmBrowser");
    QCOMPARE(browser->geometry(),
             QRect(pixels(l.frmBrowser.left), pixels(l.frmBrowser.top), pixels(l.frmBrowser.width),
                   pixels(l.frmBrowser.height)));
    QCOMPARE(window->findChild<QTreeView*>("lstResults")->height(), pixels(l.lstResults.height));
    QCOMPARE(window->StatusBar1->panelWidth(2), pixels(l.panelWidth[1]));
    QCOMPARE(window->ProgressBar1->geometry().left(), 2);
    // Nothing runs into the status bar at the design size.
    QVERIFY(browser->geometry().bottom() < window->StatusBar1->geometry().top());
    QVERIFY(window->findChild<QGroupBox*>("frmMain")->geometry().bottom() < window->StatusBar1->geometry().top());
    // Minimizing changes nothing; the layout runs again on restore.
    const QRect before = browser->geometry();
    window->showMinimized();
    window->showNormal();
    QCOMPARE(browser->geometry(), before);
}

void MainWindowTest::scanWithNothingSelectedCompletesWithZeros()
{
    makeWindow();
    ModalBoxWatcher boxes;
    window->cmdGo_Click();
    QVERIFY(scanEnds(*window));
    QCOMPARE(panel(2),
             QStringLiteral("COMPLETE: 0 files done : 0 lines scanned : 0 links found : 0 duplicates "
                            "removed : 0 unique links"));
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    QVERIFY(window->findChild<QGroupBox*>("Frame1")->isVisible());

    // At the design size a completion text with four-figure counts is read whole
    // in its panel, not cut before the unique links; the panel after it moves right.
    const QString text = QStringLiteral("COMPLETE: 12 files done : 1429 lines scanned : 1059 links found : 477 "
                                        "duplicates removed : 582 unique links");
    window->StatusBar1->setPanelText(2, text);
    auto* label = window->StatusBar1->findChild<QLabel*>("Panel2");
    QVERIFY(label->fontMetrics().horizontalAdvance(text) <= label->contentsRect().width());
    QVERIFY(label->geometry().right() < window->StatusBar1->width());
    QCOMPARE(window->StatusBar1->panelLeft(3), label->x() + window->StatusBar1->shownPanelWidth(2));
    // A short text leaves the panel as wide as the layout made it.
    window->StatusBar1->setPanelText(2, QStringLiteral("Finished a.log"));
    QCOMPARE(window->StatusBar1->shownPanelWidth(2), window->StatusBar1->panelWidth(2));
}

void MainWindowTest::closingDuringAScanClosesOnceItHasStopped()
{
    writeLongLog(logs + "/a.log");
    makeWindow();
    selectRows({0, 1});
    ModalBoxWatcher boxes;
    window->cmdGo_Click();
    window->close();
    QVERIFY(window->isVisible()); // until the scan has stopped
    QVERIFY(scanEnds(*window));
    QVERIFY(window->scanner().state().counters.StopRequested);
    QVERIFY(!window->isVisible());
    QCOMPARE(boxes.boxes.size(), std::size_t(0));
}

void MainWindowTest::progressIsScaledToTheBar()
{
    // The scan reports file by file (0.01 as a file opens, then the bytes
    // taken of its size + 1.01); the bar counts over all the files' bytes.
    QRandomGenerator random(20261211);
    for (int round = 0; round < 300; ++round) {
        const int files = random.bounded(1, 7);
        std::vector<qint64> sizes;
        qint64 total = 0;
        for (int f = 0; f < files; ++f) {
            sizes.push_back(random.bounded(4) == 0 ? 0 : random.bounded(1, 2000000));
            total += sizes.back();
        }
        shell::ScanProgress progress;
        progress.start(total);
        double before = 0;
        qint64 done = 0;
        auto expect = [&](double value, double maximum, double reference) {
            const double share = progress.report(value, maximum);
            QVERIFY2(std::abs(share - reference) < 1e-9,
                     qPrintable(QStringLiteral("%1 against %2").arg(share).arg(reference)));
            QVERIFY(share >= before);
            before = share;
        };
        for (const qint64 size : sizes) {
            const double maximum = double(size) + 1.01;
            expect(0.01, maximum, total ? double(done) / double(total) : 0.0);
            qint64 read = 0;
            while (read < size) {
                read = std::min<qint64>(size, read + random.bounded(1, 400000));
                expect(double(read), maximum, double(done + read) / double(total));
            }
            done += size;
        }
        // The pass that removes duplicates starts over at 0: everything is read.
        expect(0, double(sizes.back()) + 1.01, total ? 1.0 : 0.0);
        // After a stop the share stays.
        progress.freeze();
        QCOMPARE(progress.report(0.01, 7.01), before);
    }
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
