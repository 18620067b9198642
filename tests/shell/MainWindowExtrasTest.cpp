// The main window's results extras as a user reaches them: the context menu's
// landing page, grouping by site, drops and command-line files in the picker,
// the CSV export from the File menu, Enter and Ctrl+F in the table.
#include "../results/ModalBoxes.h"
#include "MainWindowTestSupport.h"

#include "MainWindow.h"
#include "StatusBar.h"

#include "browser/BrowserPane.h"
#include "browser/WebBrowser.h"
#include "engine/base/Settings.h"
#include "engine/scan/ScanDriver.h"
#include "results/CsvExport.h"
#include "results/DirListBox.h"
#include "results/FileListBox.h"
#include "results/LogFilePicker.h"
#include "results/ResultsModel.h"

#include <QAbstractItemModelTester>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

using namespace backtrail;
using shell::MainWindow;

namespace {

QStringList selectedNames(const results::FileListBox& files)
{
    QStringList names;
    for (int i = 0; i < files.entryCount(); ++i)
        if (files.entrySelected(i))
            names << files.entryName(i);
    return names;
}

// Answers the next text prompt (the find dialog) with `text` from inside its own event loop.
class PromptAnswerer
{
public:
    explicit PromptAnswerer(const QString& answer)
    {
        QObject::connect(&timer, &QTimer::timeout, [this, answer] {
            auto* prompt = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            if (!prompt || !prompt->isVisible())
                return;
            offered << prompt->textValue();
            prompt->setTextValue(answer);
            prompt->accept();
        });
        timer.start(10);
    }
    QStringList offered; // what each prompt held when it opened

private:
    QTimer timer;
};

} // namespace

class MainWindowExtrasTest : public QObject
{
    Q_OBJECT
public:
    static void initMain() { PrepareGuiTestEnvironment(); }

private slots:
    void init();
    void cleanup();
    void contextMenuOpensTheLandingPageOfTheOwnSite();
    void groupBySiteSortsOpensAndSurvivesANewScan();
    void dropOnTheWindowShowsTheFolderAndSelects();
    void commandLineFilesAreSelectedAtStart();
    void exportCsvWritesTheRowsAsShown();
    void exportReportWritesThePageAndShowsItInTheBrowserPane();
    void enterOpensAndCtrlFFinds();
    void openResultsShowsThemAsTheirScanWould();
    void crawlersAndSpamApartMarkedAndHidden();
    void sourcesShownGroupedAndFiltered();
    void followLogsShowsWhatTheLogsAdd();

private:
    void makeWindow(const QStringList& startFiles = {});
    void scan(std::initializer_list<const char*> names);
    QString panel(int n) const { return window->StatusBar1->panelText(n); }
    QTreeView* list() const { return window->findChild<QTreeView*>("lstResults"); }
    QLineEdit* address() const { return window->findChild<QLineEdit*>("Text1"); }
    results::FileListBox* files() const { return window->findChild<results::FileListBox*>("File1"); }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<engine::IniSettingsStore> store;
    std::unique_ptr<MainWindow> window;
    QString logs;
    QString lastSuggested;
    QString csvAnswer;
    QString resultsAnswer;
    QString reportAnswer;
};

void MainWindowExtrasTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    logs = dir->path() + "/logs";
    QDir().mkpath(logs);
    // Every address a test opens lies on this machine: referrers on 127.0.0.1, the own site on localhost.
    writeFile(logs + "/a.log",
              logLine("/index.html", "http://127.0.0.1:9/alpha") + logLine("/pic.jpg", "http://127.0.0.1:9/alpha")
                  + logLine("/tool.zip?v=2", "http://127.0.0.1:9/Beta")
                  + logLine("/index.html", "http://localhost:7/inner"));
    writeFile(logs + "/g.log",
              logLine("/1", "http://www.Alpha.example/1") + logLine("/1", "http://www.Alpha.example/1")
                  + logLine("/2", "http://alpha.example:8080/2") + logLine("/3", "http://127.0.0.1:9/z")
                  + logLine("/4", "http://beta.example/") + logLine("/4", "http://beta.example/")
                  + logLine("/4", "http://beta.example/"));
    store = std::make_unique<engine::IniSettingsStore>(dir->path() + "/settings.ini");
    QVERIFY(store->write(u"data", u"path", logs));
    QVERIFY(store->write(u"data", u"strYourWebsite", "localhost:7"));
    QVERIFY(store->write(u"data", u"bDisplayStats", "0"));
    lastSuggested.clear();
    csvAnswer.clear();
    reportAnswer.clear();
}

void MainWindowExtrasTest::cleanup()
{
    window.reset();
    store.reset();
    dir.reset();
}

void MainWindowExtrasTest::makeWindow(const QStringList& startFiles)
{
    shell::MainWindowSetup setup;
    setup.store = store.get();
    setup.startPage = QStringLiteral("about:blank");
    setup.startFiles = startFiles;
    setup.resultsFileName = [this](QWidget*) { return resultsAnswer; };
    setup.csvFileName = [this](QWidget*, const QString& suggested) {
        lastSuggested = suggested;
        return csvAnswer;
    };
    setup.reportFileName = [this](QWidget*, const QString& suggested) {
        lastSuggested = suggested;
        return reportAnswer;
    };
    window = std::make_unique<MainWindow>(setup);
    QSignalSpy loaded(window->frmBrowser->WebBrowser1, &browser::WebBrowser::DownloadComplete);
    window->Form_Load();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTRY_VERIFY_WITH_TIMEOUT(loaded.count() > 0, 30000);
}

void MainWindowExtrasTest::scan(std::initializer_list<const char*> names)
{
    if (window->findChild<QGroupBox*>("frmMain")->isHidden())
        window->Command10_Click();
    QStringList wanted;
    for (const char* name : names)
        wanted << QString::fromLatin1(name);
    QCOMPARE(files()->selectEntries(wanted), int(wanted.size()));
    window->cmdGo_Click();
    QVERIFY(scanEnds(*window));
    QVERIFY(window->findChild<QGroupBox*>("Frame1")->isVisible());
}

void MainWindowExtrasTest::contextMenuOpensTheLandingPageOfTheOwnSite()
{
    makeWindow();
    scan({"a.log"});
    QCOMPARE(columnTexts(*window->resultsModel(), 3), (QStringList {"/index.html", "/tool.zip?v=2"}));
    auto* menu = window->findChild<QMenu*>("mnuResults");
    auto* landing = window->findChild<QAction*>("mnuResultsOpenLanding");
    auto* open = window->findChild<QAction*>("mnuResultsOpen");
    QVERIFY(menu && landing && open);
    QCOMPARE(landing->text().remove(u'&'), QStringLiteral("Open Landing Page"));

    // A right click on the second row picks it and offers both ends of its link.
    const QRect cell = list()->visualRect(window->resultsModel()->index(1, 2));
    const QPoint at(cell.left() + 20, cell.center().y());
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, list()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list()->viewport(), &click);
    QTRY_VERIFY(menu->isVisible());
    QVERIFY(landing->isEnabled() && open->isEnabled());
    QCOMPARE(list()->selectionModel()->selectedRows().value(0).row(), 1);
    QCOMPARE(panel(2), QStringLiteral("http://127.0.0.1:9/Beta"));
    menu->hide();
    landing->trigger();
    QCOMPARE(address()->text(), QStringLiteral("http://localhost:7/tool.zip?v=2"));
    QCOMPARE(panel(3), QStringLiteral("connecting http://localhost:7/tool.zip?v=2"));
    open->trigger();
    QCOMPARE(address()->text(), QStringLiteral("http://127.0.0.1:9/Beta"));

    // A right click below the rows picks nothing: nothing to open.
    list()->clearSelection();
    const QPoint below(5, list()->viewport()->height() - 3);
    QContextMenuEvent empty(QContextMenuEvent::Mouse, below, list()->viewport()->mapToGlobal(below));
    QApplication::sendEvent(list()->viewport(), &empty);
    QVERIFY(!landing->isEnabled() && !open->isEnabled());
    menu->hide();
    landing->trigger();
    QCOMPARE(address()->text(), QStringLiteral("http://127.0.0.1:9/Beta"));
    // Reached anyway with nothing selected, the command says so.
    ModalBoxWatcher boxes;
    window->mnuResultsOpenLanding_Click();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    QCOMPARE(boxes.boxes[0].text, QStringLiteral("You must select at least one referrer"));
}

void MainWindowExtrasTest::groupBySiteSortsOpensAndSurvivesANewScan()
{
    makeWindow();
    QAbstractItemModelTester tester(window->resultsModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto* group = window->findChild<QAction*>("mnuActionGroup");
    QVERIFY(group && group->isCheckable());
    QCOMPARE(group->text().remove(u'&'), QStringLiteral("Group by Site"));
    QVERIFY(window->findChild<QMenu*>("mnuAction")->actions().contains(group));
    scan({"g.log"});
    const results::ResultsModel& rows = *window->resultsModel();
    QCOMPARE(rows.rowCount(), 4);

    group->trigger();
    QVERIFY(group->isChecked());
    QCOMPARE(columnTexts(rows, 2), (QStringList {"alpha.example", "127.0.0.1", "beta.example"}));
    QCOMPARE(columnTexts(rows, 1), (QStringList {"0000003", "0000001", "0000003"}));
    window->lstResults_ColumnClick(1); // Clicks, descending; equal counts keep their order
    QCOMPARE(columnTexts(rows, 2), (QStringList {"alpha.example", "beta.example", "127.0.0.1"}));
    QCOMPARE(list()->header()->sortIndicatorSection(), 1);

    // A site row opens the site's front page.
    list()->setCurrentIndex(rows.index(2, 0));
    window->lstResults_DblClick();
    QCOMPARE(address()->text(), QStringLiteral("http://127.0.0.1/"));
    window->Command9_Click();
    QCOMPARE(panel(3), QStringLiteral("connecting http://127.0.0.1/"));

    // Unchecked: the scan's rows again, in the same sort.
    group->trigger();
    QCOMPARE(columnTexts(rows, 1), (QStringList {"0000003", "0000002", "0000001", "0000001"}));
    QCOMPARE(columnTexts(rows, 2).first(), QStringLiteral("http://beta.example/"));

    // Checked during a new scan: its rows arrive grouped and sorted; the HTML export keeps the working list.
    group->trigger();
    scan({"a.log"});
    QCOMPARE(columnTexts(rows, 2), QStringList {"127.0.0.1"});
    QCOMPARE(columnTexts(rows, 1), QStringList {"0000003"});
    ModalBoxWatcher boxes;
    window->findChild<QToolButton*>("cmdHtml")->click();
    QFile exported(logs + "/referers.html");
    QVERIFY(exported.open(QIODevice::ReadOnly));
    QVERIFY(exported.readAll().startsWith("<a href='http://127.0.0.1:9/alpha'>0000002|http://127.0.0.1:9/alpha"));
}

void MainWindowExtrasTest::dropOnTheWindowShowsTheFolderAndSelects()
{
    const QString dropped = dir->path() + "/dropped";
    QDir().mkpath(dropped);
    writeFile(dropped + "/x.log", logLine("/x", "http://127.0.0.1:9/x"));
    writeFile(dropped + "/y.log", logLine("/y", "http://127.0.0.1:9/y"));
    writeFile(dropped + "/z.log", logLine("/z", "http://127.0.0.1:9/z"));
    makeWindow();
    QCOMPARE(files()->path(), logs);
    window->Command10_Click(); // the results are in view when the files arrive

    auto drop = [this](const QStringList& paths) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        mime.setUrls(urls);
        const QPointF at(window->width() / 2.0, window->height() / 2.0);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent event(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &event);
        QVERIFY(event.isAccepted());
    };
    drop({dropped + "/z.log", dropped + "/x.log"});
    QCOMPARE(files()->path(), dropped);
    QCOMPARE(window->findChild<results::DirListBox*>("Dir1")->path(), dropped);
    QCOMPARE(selectedNames(*files()), (QStringList {"x.log", "z.log"}));
    QVERIFY(window->findChild<QGroupBox*>("frmMain")->isVisible());
    QCOMPARE(store->read(u"data", u"path", {}), dropped);

    // A folder: all its files.
    drop({logs});
    QCOMPARE(files()->path(), logs);
    QCOMPARE(selectedNames(*files()), (QStringList {"a.log", "g.log"}));

    // Files of another folder are named, not silently lost.
    {
        ModalBoxWatcher boxes;
        drop({dropped + "/y.log", logs + "/a.log"});
        QCOMPARE(selectedNames(*files()), QStringList {"y.log"});
        QCOMPARE(boxes.boxes.size(), std::size_t(1));
        QVERIFY(boxes.boxes[0].text.contains(logs + "/a.log"));
    }
    // The dropped selection is what a scan reads.
    window->cmdGo_Click();
    QVERIFY(scanEnds(*window));
    QCOMPARE(columnTexts(*window->resultsModel(), 2), QStringList {"http://127.0.0.1:9/y"});

    // Something that is not a local file is refused.
    QMimeData text;
    text.setText("http://127.0.0.1:9/");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    QVERIFY(!enter.isAccepted());
}

void MainWindowExtrasTest::commandLineFilesAreSelectedAtStart()
{
    const QString other = dir->path() + "/other";
    QDir().mkpath(other);
    writeFile(other + "/p.log", {});
    writeFile(other + "/q.log", {});
    makeWindow({other + "/q.log"});
    QCOMPARE(files()->path(), other);
    QCOMPARE(selectedNames(*files()), QStringList {"q.log"});
    QCOMPARE(files()->currentName(), QStringLiteral("q.log"));
    cleanup();

    // Nothing that exists: the remembered folder stays and the user is told.
    init();
    ModalBoxWatcher boxes;
    makeWindow({dir->path() + "/missing.log"});
    QCOMPARE(files()->path(), logs);
    QVERIFY(selectedNames(*files()).isEmpty());
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    QVERIFY(boxes.boxes[0].text.contains(dir->path() + "/missing.log"));
}

void MainWindowExtrasTest::exportCsvWritesTheRowsAsShown()
{
    makeWindow();
    auto* exportCsv = window->findChild<QAction*>("mnuFileExportCsv");
    QVERIFY(exportCsv);
    QCOMPARE(exportCsv->text().remove(u'&'), QStringLiteral("Export CSV..."));
    QList<QAction*> fileItems = window->findChild<QMenu*>("MenuFile")->actions();
    QVERIFY(fileItems.indexOf(exportCsv) < fileItems.indexOf(window->findChild<QAction*>("mnuFileExit")));

    scan({"a.log"});
    window->lstResults_ColumnClick(2); // Referrer, descending
    csvAnswer = dir->path() + "/list.csv";
    exportCsv->trigger();
    QCOMPARE(lastSuggested, logs + "/referrers.csv");
    QFile file(csvAnswer);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             QByteArray("Type,Clicks,Referrer,Landing Page,First Seen,Last Seen,Source\r\n"
                        "ZIP,0000001,http://127.0.0.1:9/Beta,/tool.zip?v=2,2015-05-17T10:05:03+00:00,"
                        "2015-05-17T10:05:03+00:00,127.0.0.1 (Website)\r\n"
                        "HTM,0000002,http://127.0.0.1:9/alpha,/index.html,2015-05-17T10:05:03+00:00,"
                        "2015-05-17T10:05:03+00:00,127.0.0.1 (Website)\r\n"));
    QCOMPARE(panel(2), "saved as " + csvAnswer);

    // Cancelled: nothing written, nothing said.
    csvAnswer.clear();
    ModalBoxWatcher boxes;
    exportCsv->trigger();
    QCOMPARE(boxes.boxes.size(), std::size_t(0));

    // A place that cannot be written: the message names it and the old file stays.
    QVERIFY(QDir().mkpath(dir->path() + "/taken.csv"));
    csvAnswer = dir->path() + "/taken.csv";
    exportCsv->trigger();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    QVERIFY(boxes.boxes[0].text.startsWith("The referrer list could not be saved as " + csvAnswer));
    QVERIFY(QFileInfo(csvAnswer).isDir());

    // A folder chosen in the dialog and deleted before the file is written:
    // said so, not reported as saved, and nothing made in its place.
    QVERIFY(QDir().mkpath(dir->path() + "/chosen"));
    csvAnswer = dir->path() + "/chosen/list.csv";
    QVERIFY(QDir(dir->path() + "/chosen").removeRecursively());
    exportCsv->trigger();
    QCOMPARE(boxes.boxes.size(), std::size_t(2));
    QVERIFY(boxes.boxes[1].text.startsWith("The referrer list could not be saved as " + csvAnswer));
    QVERIFY(boxes.boxes[1].text.contains("No such file or directory"));
    QVERIFY(!panel(2).startsWith("saved as " + csvAnswer));
    QVERIFY(!QFileInfo::exists(dir->path() + "/chosen"));
}

void MainWindowExtrasTest::exportReportWritesThePageAndShowsItInTheBrowserPane()
{
    makeWindow();
    auto* exportReport = window->findChild<QAction*>("mnuFileExportReport");
    QVERIFY(exportReport);
    QCOMPARE(exportReport->text().remove(u'&'), QStringLiteral("Export Report..."));
    scan({"a.log"});
    const QString status = panel(2);
    QVERIFY(status.startsWith(QStringLiteral("COMPLETE: ")));
    window->mnuActionGroup_Click(true); // the page groups by site itself: it gets the scan's rows

    // Written, then shown in the browser pane when the offer is taken.
    reportAnswer = dir->path() + "/report.html";
    {
        ModalBoxWatcher boxes;
        exportReport->trigger();
        QCOMPARE(lastSuggested, logs + "/referrers-report.html");
        QCOMPARE(boxes.boxes.size(), std::size_t(1));
        QVERIFY(boxes.boxes[0].text.startsWith("The report is saved as " + reportAnswer));
    }
    QFile file(reportAnswer);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray page = file.readAll();
    QVERIFY(page.contains("default-src 'none'"));
    // Each referrer's origin once in a table, the rows holding the rest.
    QVERIFY(page.contains("\"referrer\":[\"/alpha\",\"/Beta\"]"));
    QVERIFY(page.contains("\"origins\":[\"http://127.0.0.1:9\"]"));
    QVERIFY(page.contains(("\"files\":[\"" + logs + "/a.log\"]").toUtf8()));
    const QString shown = QUrl::fromLocalFile(reportAnswer).toString();
    QTRY_COMPARE_WITH_TIMEOUT(window->frmBrowser->WebBrowser1->LocationURL(), shown, 30000);
    // The page's own script runs there under its policy: the totals and the status line show.
    QString seen;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            window->frmBrowser->WebBrowser1->view()->page()->runJavaScript(
                QStringLiteral("document.body.dataset.ready + '|' + document.getElementById('total-people')"
                               ".textContent + '|' + document.getElementById('status').textContent"),
                [&](const QVariant& value) { seen = value.toString(); });
            return seen == QStringLiteral("true|3|") + status;
        }(),
        30000);

    // Cancelled: nothing written, nothing said; a place that cannot be written: said, nothing shown.
    window->frmBrowser->WebBrowser1->Navigate(QStringLiteral("about:blank"));
    QTRY_COMPARE(window->frmBrowser->WebBrowser1->LocationURL(), QStringLiteral("about:blank"));
    QVERIFY(QFile::remove(reportAnswer));
    ModalBoxWatcher boxes;
    reportAnswer.clear();
    exportReport->trigger();
    QCOMPARE(boxes.boxes.size(), std::size_t(0));
    QVERIFY(!QFile::exists(dir->path() + "/report.html"));
    QVERIFY(QDir().mkpath(dir->path() + "/taken.html"));
    reportAnswer = dir->path() + "/taken.html";
    exportReport->trigger();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    QVERIFY(boxes.boxes[0].text.startsWith("The report could not be saved as " + reportAnswer));
    QCOMPARE(window->frmBrowser->WebBrowser1->LocationURL(), QStringLiteral("about:blank"));
}

void MainWindowExtrasTest::enterOpensAndCtrlFFinds()
{
    makeWindow();
    scan({"a.log", "g.log"});
    const results::ResultsModel& rows = *window->resultsModel();
    QCOMPARE(rows.rowCount(), 6);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    list()->setFocus();
    list()->setCurrentIndex(rows.index(1, 0));
    QTest::keyClick(list(), Qt::Key_Return);
    QCOMPARE(address()->text(), QStringLiteral("http://127.0.0.1:9/Beta"));
    QCOMPARE(panel(3), QStringLiteral("connecting http://127.0.0.1:9/Beta"));

    // Ctrl+F looks on from the current row.
    {
        PromptAnswerer answer("ALPHA");
        QTest::keyClick(list(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(answer.offered, QStringList {QString()});
    }
    QCOMPARE(list()->currentIndex().row(), 2);
    QCOMPARE(panel(2), QStringLiteral("http://www.Alpha.example/1"));
    // F3 goes on with the same text and wraps round to the top. (The offscreen
    // platform has no window manager to give the window back its activation
    // when the prompt closes: the test does it.)
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QVERIFY(list()->hasFocus());
    QTest::keyClick(list(), Qt::Key_F3);
    QCOMPARE(list()->currentIndex().row(), 3);
    QTest::keyClick(list(), Qt::Key_F3);
    QCOMPARE(list()->currentIndex().row(), 0);
    QCOMPARE(list()->selectionModel()->selectedRows().value(0).row(), 0);

    // Nothing matches: said so, the row stays; the prompt offers the last text.
    {
        PromptAnswerer answer("nowhere");
        ModalBoxWatcher boxes;
        QTest::keyClick(list(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(answer.offered, QStringList {"ALPHA"});
        QCOMPARE(boxes.boxes.size(), std::size_t(1));
        QCOMPARE(boxes.boxes[0].text, QStringLiteral("No referrer contains \"nowhere\"."));
    }
    QCOMPARE(list()->currentIndex().row(), 0);
}

void MainWindowExtrasTest::openResultsShowsThemAsTheirScanWould()
{
    // Results of another machine's scan, as backtrail-scan --format json writes them.
    resultsAnswer = dir->path() + "/other.json";
    writeFile(resultsAnswer,
              R"({"settings": {"domain": "127.0.0.1:7", "dupes": true, "types": true, "https": true, "by_site": false},
 "stopped": false, "files_done": 2, "lines_scanned": 10, "links_found": 5,
 "rows": [{"type": "JPG", "clicks": "0000003", "referrer": "http://a.example/<b>", "landing": "/a.jpg", "bot": false, "ext": "JPG"},
          {"type": "BOT", "clicks": "0000002", "referrer": "http://bot.example/", "landing": "/", "bot": true, "ext": "HTM"}],
 "unreadable": [{"path": "/var/log/gone.log", "error": "No such file or directory"}]})");
    makeWindow();
    ModalBoxWatcher boxes;
    window->findChild<QAction*>("mnuFileOpenResults")->trigger();
    QCOMPARE(window->resultsModel()->rowCount(), 2);
    auto cell = [this](int row, int column) {
        return window->resultsModel()->data(window->resultsModel()->index(row, column)).toString();
    };
    QCOMPARE(cell(0, results::ResultsModel::TypeColumn), QStringLiteral("JPG"));
    QCOMPARE(cell(0, results::ResultsModel::ClicksColumn), QStringLiteral("0000003"));
    QCOMPARE(cell(0, results::ResultsModel::ReferrerColumn), QStringLiteral("http://a.example/<b>"));
    QCOMPARE(cell(1, results::ResultsModel::TypeColumn), QStringLiteral("BOT"));
    QCOMPARE(panel(2),
             QStringLiteral("COMPLETE: 2 files done : 10 lines scanned : 5 links found : 3 duplicates "
                            "removed : 2 unique links"));
    QVERIFY(window->findChild<QGroupBox*>("Frame1")->isVisible());
    QCOMPARE(boxes.boxes.size(), std::size_t(1)); // the file the other scan could not read
    QVERIFY(boxes.boxes[0].text.contains("/var/log/gone.log"));

    // A file that holds no results says so and leaves the list as it was.
    writeFile(resultsAnswer, "not results");
    window->findChild<QAction*>("mnuFileOpenResults")->trigger();
    QCOMPARE(boxes.boxes.size(), std::size_t(2));
    QVERIFY(boxes.boxes[1].text.startsWith("These are no results that Backtrail can show"));
    QCOMPARE(window->resultsModel()->rowCount(), 2);
}

void MainWindowExtrasTest::crawlersAndSpamApartMarkedAndHidden()
{
    auto visit = [](const QByteArray& referrer, const QByteArray& agent) {
        return "10.1.2.3 - - [17/May/2015:10:05:03 +0000] \"GET /a.html HTTP/1.1\" 200 512 \"" + referrer + "\" \""
            + agent + "\"\n";
    };
    writeFile(logs + "/v.log",
              visit("http://127.0.0.1:9/p", "Mozilla/5.0 (X11; Linux x86_64)")
                  + visit("http://127.0.0.1:9/p", "Mozilla/5.0 (compatible; GPTBot/1.2)")
                  + visit("http://www.junk.example/x", "Mozilla/5.0 (X11; Linux x86_64)")
                  + visit("http://127.0.0.1:9/p", "Mozilla/5.0 (X11; Linux x86_64)"));
    makeWindow();
    auto* hideCrawlers = window->findChild<QAction*>("mnuActionHideCrawlers");
    auto* hideSpam = window->findChild<QAction*>("mnuActionHideSpam");
    QVERIFY(hideCrawlers && hideSpam && hideCrawlers->isCheckable() && hideSpam->isCheckable());
    QCOMPARE(hideCrawlers->text().remove(u'&'), QStringLiteral("Hide Crawlers"));
    QCOMPARE(hideSpam->text().remove(u'&'), QStringLiteral("Hide Spam"));
    QVERIFY(window->findChild<QMenu*>("mnuAction")->actions().contains(hideSpam));
    QVERIFY(!hideCrawlers->isChecked() && !hideSpam->isChecked());

    // A crawler's visit is a row of its own, apart from the people sent by the same page.
    scan({"v.log"});
    const results::ResultsModel& rows = *window->resultsModel();
    QCOMPARE(columnTexts(rows, 0), (QStringList {"HTM", "BOT", "HTM"}));
    QCOMPARE(columnTexts(rows, 1), (QStringList {"0000002", "0000001", "0000001"}));

    // Mark Site as Spam, from the row's context menu: the user's list grows and the row is typed at once.
    const QRect cell = list()->visualRect(rows.index(2, 2));
    const QPoint at(cell.left() + 20, cell.center().y());
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, list()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list()->viewport(), &click);
    auto* menu = window->findChild<QMenu*>("mnuResults");
    auto* mark = window->findChild<QAction*>("mnuResultsMarkSpam");
    QTRY_VERIFY(menu->isVisible());
    QVERIFY(mark && mark->isEnabled());
    QCOMPARE(mark->text().remove(u'&'), QStringLiteral("Mark Site as Spam"));
    menu->hide();
    mark->trigger();
    QCOMPARE(columnTexts(rows, 0), (QStringList {"HTM", "BOT", "SPM"}));
    QFile spam(dir->path() + "/spam.txt");
    QVERIFY(spam.open(QIODevice::ReadOnly));
    QCOMPARE(spam.readAll().trimmed(), QByteArray("junk.example"));

    // Hidden from the next scan on, and remembered; every line still counts as scanned.
    hideSpam->trigger();
    QCOMPARE(store->read(u"data", u"bHideSpam", {}), QStringLiteral("1"));
    scan({"v.log"});
    QCOMPARE(columnTexts(rows, 0), (QStringList {"HTM", "BOT"}));
    hideCrawlers->trigger();
    scan({"v.log"});
    QCOMPARE(columnTexts(rows, 0), QStringList {"HTM"});
    QCOMPARE(window->scanner().state().counters.LinesScanned, 4);
    QCOMPARE(window->scanner().state().counters.LinksFound, 2);
    QCOMPARE(window->scanner().state().HiddenCrawlerLines, 1);
    QCOMPARE(window->scanner().state().HiddenSpamLines, 1);

    window.reset();
    makeWindow();
    QVERIFY(window->findChild<QAction*>("mnuActionHideCrawlers")->isChecked());
    QVERIFY(window->findChild<QAction*>("mnuActionHideSpam")->isChecked());
}

void MainWindowExtrasTest::sourcesShownGroupedAndFiltered()
{
    // The referrers are never opened here: only their sources are looked at.
    auto visit = [](const QByteArray& referrer, const QByteArray& agent) {
        return "10.1.2.3 - - [17/May/2015:10:05:03 +0000] \"GET /a.html HTTP/1.1\" 200 512 \"" + referrer + "\" \""
            + agent + "\"\n";
    };
    const QByteArray person = "Mozilla/5.0 (X11; Linux x86_64)";
    writeFile(logs + "/s.log",
              visit("https://www.google.com/search?q=referrer+logs", person)
                  + visit("https://www.google.de/search?q=referrer+logs", person)
                  + visit("https://www.google.co.uk/search?q=caf%C3%A9", person) + visit("https://chatgpt.com/", person)
                  + visit("https://m.facebook.com/story", person) + visit("http://127.0.0.1:9/p", person)
                  + visit("http://127.0.0.1:9/p", "Mozilla/5.0 (compatible; GPTBot/1.2)")
                  + visit("https://notfacebook.com/", person));
    makeWindow();
    QAbstractItemModelTester tester(window->resultsModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    scan({"s.log"});
    const results::ResultsModel& rows = *window->resultsModel();
    QCOMPARE(rows.headerData(results::ResultsModel::SourceColumn, Qt::Horizontal).toString(), QStringLiteral("Source"));
    QCOMPARE(columnTexts(rows, results::ResultsModel::SourceColumn),
             (QStringList {"Google (Search)", "Google (Search)", "Google (Search)", "ChatGPT (AI assistant)",
                           "Facebook (Social)", "127.0.0.1 (Website)", "ai-crawler (Crawler)",
                           "notfacebook.com (Website)"}));

    // Group by Source: one row a source, clicks summed; Group by Site goes off.
    auto* bySite = window->findChild<QAction*>("mnuActionGroup");
    auto* bySource = window->findChild<QAction*>("mnuActionGroupSource");
    QVERIFY(bySource && bySource->isCheckable());
    QCOMPARE(bySource->text().remove(u'&'), QStringLiteral("Group by Source"));
    QVERIFY(window->findChild<QMenu*>("mnuAction")->actions().contains(bySource));
    bySite->trigger();
    bySource->trigger();
    QVERIFY(bySource->isChecked() && !bySite->isChecked());
    QCOMPARE(columnTexts(rows, 2),
             (QStringList {"Google", "ChatGPT", "Facebook", "127.0.0.1", "ai-crawler", "notfacebook.com"}));
    QCOMPARE(columnTexts(rows, 1).first(), QStringLiteral("0000003"));
    QCOMPARE(columnTexts(rows, 0)[4], QStringLiteral("BOT"));
    QCOMPARE(rows.keywordsOf(0), (std::vector<engine::KeywordClicks> {{"referrer logs", 2}, {"caf\xC3\xA9", 1}}));

    // The kind filter hides rows without a scan, and the status bar counts them.
    auto kind = [this](const char* name) { return window->findChild<QAction*>(name); };
    QCOMPARE(kind("mnuActionKindAIassistants")->text().remove(u'&'), QStringLiteral("AI assistants"));
    const std::pair<const char*, QStringList> shown[] = {
        {"mnuActionKindPeople", {"Google", "ChatGPT", "Facebook", "127.0.0.1", "notfacebook.com"}},
        {"mnuActionKindSearch", {"Google"}},
        {"mnuActionKindSocial", {"Facebook"}},
        {"mnuActionKindAIassistants", {"ChatGPT"}},
        {"mnuActionKindWebsites", {"127.0.0.1", "notfacebook.com"}},
        {"mnuActionKindCrawlers", {"ai-crawler"}},
        {"mnuActionKindSpam", {}},
    };
    const qint64 linesBefore = window->scanner().state().counters.LinesScanned;
    for (const auto& [name, referrers] : shown) {
        kind(name)->trigger();
        QCOMPARE(columnTexts(rows, 2), referrers);
        QCOMPARE(panel(2), QStringLiteral("%1 of 6 rows shown").arg(referrers.size()));
    }
    // Ungrouped, the filter holds: the scan's search rows.
    kind("mnuActionKindSearch")->trigger();
    bySource->trigger();
    QCOMPARE(rows.rowCount(), 3);
    QCOMPARE(panel(2), QStringLiteral("3 of 8 rows shown"));
    kind("mnuActionKindAll")->trigger();
    QCOMPARE(rows.rowCount(), 8);
    QCOMPARE(panel(2), QStringLiteral("8 of 8 rows shown"));
    QCOMPARE(window->scanner().state().counters.LinesScanned, linesBefore); // no new scan
}

QTEST_MAIN(MainWindowExtrasTest)
void MainWindowExtrasTest::followLogsShowsWhatTheLogsAdd()
{
    makeWindow();
    QAbstractItemModelTester tester(window->resultsModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto* follow = window->findChild<QAction*>("mnuActionFollow");
    QVERIFY(follow && follow->isCheckable() && !follow->isChecked());
    QCOMPARE(follow->text().remove(u'&'), QStringLiteral("Follow Logs"));
    follow->trigger();
    QCOMPARE(store->read(u"data", u"bFollowLogs", "0"), QStringLiteral("1"));
    window->setFollowInterval(20);
    scan({"g.log"});
    const results::ResultsModel& rows = *window->resultsModel();
    QCOMPARE(rows.rowCount(), 4);
    window->lstResults_ColumnClick(2); // by referrer
    const QStringList sorted = columnTexts(rows, 2);
    const int beta = int(sorted.indexOf("http://beta.example/"));
    list()->setCurrentIndex(rows.index(beta, 0));

    // Lines appended: a new row, clicks counted on, in the same sort, the same row selected.
    QFile log(logs + "/g.log");
    QVERIFY(log.open(QIODevice::Append));
    log.write(logLine("/5", "http://gamma.example/") + logLine("/4", "http://beta.example/"));
    log.close();
    QTRY_COMPARE_WITH_TIMEOUT(rows.rowCount(), 5, 60000);
    QVERIFY(scanEnds(*window)); // the round has ended and said what it read
    // The rows that were there keep their order; the new one finds its place.
    QStringList resorted = columnTexts(rows, 2);
    QStringList old = resorted;
    old.removeAll("http://gamma.example/");
    QCOMPARE(old, sorted);
    QCOMPARE(list()->header()->sortIndicatorSection(), 2);
    const int betaNow = int(resorted.indexOf("http://beta.example/"));
    QCOMPARE(list()->currentIndex().row(), betaNow);
    QCOMPARE(columnTexts(rows, 1).at(betaNow), QStringLiteral("0000004"));
    QCOMPARE(panel(2), QStringLiteral("Following 1 files: 2 new lines"));

    // Rotated: the log renamed and a new one started; both are read once.
    QVERIFY(QFile::rename(logs + "/g.log", logs + "/g.log.1"));
    writeFile(logs + "/g.log", logLine("/6", "http://delta.example/"));
    QTRY_COMPARE_WITH_TIMEOUT(rows.rowCount(), 6, 60000);
    QVERIFY(scanEnds(*window));
    QCOMPARE(columnTexts(rows, 1).at(int(columnTexts(rows, 2).indexOf("http://beta.example/"))),
             QStringLiteral("0000004"));
    QCOMPARE(panel(2), QStringLiteral("Following 1 files: 3 new lines"));

    // Stop ends following: what is added then stays out.
    window->cmdStop_Click();
    QVERIFY(log.open(QIODevice::Append));
    log.write(logLine("/7", "http://epsilon.example/"));
    log.close();
    QTest::qWait(200);
    QCOMPARE(rows.rowCount(), 6);
    QVERIFY(!window->findChild<QAction*>("mnuActionFollow")->isChecked());

    // Remembered for the next window.
    follow->trigger();
    window.reset();
    makeWindow();
    QVERIFY(window->findChild<QAction*>("mnuActionFollow")->isChecked());
}

#include "MainWindowExtrasTest.moc"
