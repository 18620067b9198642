// The main window as a user meets it between scans: Follow Logs switched on
// after a scan, the browser pane's own start page and its status, the
// progress bar over gzip files, the menus' keys and the help that names them.
#include "../results/ModalBoxes.h"
#include "MainWindowTestSupport.h"

#include "MainWindow.h"
#include "StatusBar.h"
#include "windows/RtfReader.h"

#include "browser/BrowserPane.h"
#include "browser/WebBrowser.h"
#include "engine/base/Settings.h"
#include "results/FileListBox.h"
#include "results/ResultsModel.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <QTreeView>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <algorithm>
#include <map>
#include <memory>

using namespace backtrail;
using shell::MainWindow;

namespace {

// Counts what the web view asks for over the network.
class RequestCounter final : public QWebEngineUrlRequestInterceptor
{
public:
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        const QString scheme = info.requestUrl().scheme();
        if (scheme == u"http" || scheme == u"https")
            asked << info.requestUrl().toString();
    }
    QStringList asked;
};

// Every menu of the window with its items, submenus included.
void collectMenus(QMenu* menu, std::vector<QMenu*>& into)
{
    into.push_back(menu);
    for (QAction* item : menu->actions())
        if (item->menu())
            collectMenus(item->menu(), into);
}

} // namespace

class MainWindowUseTest : public QObject
{
    Q_OBJECT
public:
    static void initMain() { PrepareGuiTestEnvironment(); }

private slots:
    void init();
    void cleanup();
    void followLogsSwitchedOnAfterAScanFollowsItsFiles();
    void startPageIsLocalAndTheStatusEndsWithEachLoad();
    void progressBarMovesThroughGzipFiles();
    void menusHaveUniqueKeysAndHelpNamesEveryCommand();
    void columnsInSightRememberedAndTheirScrollKept();
    void columnWidthsTextRoundTrips();

private:
    void makeWindow(const QString& startPage = QStringLiteral("about:blank"));
    void scan(const QStringList& names);
    QString panel(int n) const { return window->StatusBar1->panelText(n); }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<engine::IniSettingsStore> store;
    std::unique_ptr<MainWindow> window;
    QString logs;
};

void MainWindowUseTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    logs = dir->path() + "/logs";
    QDir().mkpath(logs);
    writeFile(logs + "/g.log",
              logLine("/1", "http://www.Alpha.example/1") + logLine("/2", "http://alpha.example:8080/2")
                  + logLine("/3", "http://127.0.0.1:9/z") + logLine("/4", "http://beta.example/"));
    store = std::make_unique<engine::IniSettingsStore>(dir->path() + "/settings.ini");
    QVERIFY(store->write(u"data", u"path", logs));
    QVERIFY(store->write(u"data", u"strYourWebsite", "localhost:7"));
    QVERIFY(store->write(u"data", u"bDisplayStats", "0"));
}

void MainWindowUseTest::cleanup()
{
    window.reset();
    store.reset();
    dir.reset();
}

void MainWindowUseTest::makeWindow(const QString& startPage)
{
    shell::MainWindowSetup setup;
    setup.store = store.get();
    setup.startPage = startPage;
    window = std::make_unique<MainWindow>(setup);
    QSignalSpy loaded(window->frmBrowser->WebBrowser1, &browser::WebBrowser::DownloadComplete);
    window->Form_Load();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTRY_VERIFY_WITH_TIMEOUT(loaded.count() > 0, 30000);
}

void MainWindowUseTest::scan(const QStringList& names)
{
    if (window->findChild<QGroupBox*>("frmMain")->isHidden())
        window->Command10_Click();
    QCOMPARE(window->findChild<results::FileListBox*>("File1")->selectEntries(names), int(names.size()));
    window->cmdGo_Click();
    QVERIFY(scanEnds(*window));
}

void MainWindowUseTest::followLogsSwitchedOnAfterAScanFollowsItsFiles()
{
    makeWindow();
    auto* follow = window->findChild<QAction*>("mnuActionFollow");
    window->setFollowInterval(20);
    // Before any scan there is nothing to follow, and the status bar says so.
    follow->trigger();
    QVERIFY(panel(2).contains(QStringLiteral("scan first")));
    follow->trigger();
    QVERIFY(!follow->isChecked());

    scan({"g.log"});
    const results::ResultsModel& rows = *window->resultsModel();
    QCOMPARE(rows.rowCount(), 4);
    // Switched on after the scan: its files are followed at once.
    follow->trigger();
    QCOMPARE(panel(2), QStringLiteral("Following 1 files: 0 new lines"));
    QFile log(logs + "/g.log");
    QVERIFY(log.open(QIODevice::Append));
    log.write(logLine("/5", "http://gamma.example/"));
    log.close();
    QTRY_COMPARE_WITH_TIMEOUT(rows.rowCount(), 5, 60000);
    QVERIFY(scanEnds(*window));
    QCOMPARE(panel(2), QStringLiteral("Following 1 files: 1 new lines"));

    // Stop ends following, and the status bar and the menu say so.
    window->cmdStop_Click();
    QVERIFY(!follow->isChecked());
    QCOMPARE(store->read(u"data", u"bFollowLogs", "1"), QStringLiteral("0"));
    QCOMPARE(panel(2), QStringLiteral("Stopped following 1 files"));
    QVERIFY(log.open(QIODevice::Append));
    log.write(logLine("/7", "http://epsilon.example/"));
    log.close();
    QTest::qWait(200);
    QCOMPARE(rows.rowCount(), 5);
    QCOMPARE(panel(2), QStringLiteral("Stopped following 1 files"));
}

void MainWindowUseTest::startPageIsLocalAndTheStatusEndsWithEachLoad()
{
    RequestCounter requests;
    QWebEngineProfile::defaultProfile()->setUrlRequestInterceptor(&requests);
    makeWindow(QString());
    QWebEngineView* view = window->frmBrowser->WebBrowser1->view();
    QString text;
    view->page()->toPlainText([&text](const QString& plain) { text = plain; });
    QTRY_VERIFY_WITH_TIMEOUT(!text.isEmpty(), 30000);
    QVERIFY2(text.contains(QStringLiteral("Scan")) && text.contains(QStringLiteral("Open")), qPrintable(text));
    QVERIFY(window->findChild<QLineEdit*>("Text1")->text().isEmpty());
    QTest::qWait(300);
    QCOMPARE(requests.asked, QStringList());

    // A referrer that cannot be reached: "connecting" lasts until the load has failed.
    window->findChild<QLineEdit*>("Text1")->setText("http://127.0.0.1:9/gone");
    window->lstResults_DblClick();
    QCOMPARE(panel(3), QStringLiteral("connecting http://127.0.0.1:9/gone"));
    QTRY_COMPARE_WITH_TIMEOUT(panel(3), QString(), 30000);
    QVERIFY2(panel(2).startsWith(QStringLiteral("Cannot open")), qPrintable(panel(2)));
    QCOMPARE(requests.asked, QStringList {"http://127.0.0.1:9/gone"});
    QWebEngineProfile::defaultProfile()->setUrlRequestInterceptor(nullptr);
}

void MainWindowUseTest::progressBarMovesThroughGzipFiles()
{
    // Three gzip logs of varied lines, so that each packs to some hundreds of kilobytes.
    QStringList names;
    for (int f = 0; f < 3; ++f) {
        QByteArray text;
        for (int i = 0; i < 60000; ++i)
            text += logLine("/p" + QByteArray::number(i * 7919 % 100003),
                            "http://s" + QByteArray::number((i + f) % 997) + ".example/" + QByteArray::number(i % 13));
        const QString name = QStringLiteral("r%1.log").arg(f);
        writeFile(logs + "/" + name, text);
        QCOMPARE(QProcess::execute("gzip", {"-f", logs + "/" + name}), 0);
        names << name + ".gz";
    }
    makeWindow();
    QProgressBar* bar = window->ProgressBar1;
    std::vector<int> values;
    const QMetaObject::Connection recording
        = connect(bar, &QProgressBar::valueChanged, bar, [&values](int value) { values.push_back(value); });
    scan(names);
    disconnect(recording);
    QVERIFY(window->resultsModel()->rowCount() > 0);
    // The bar moves on over the files by the packed bytes read, never back, to its end.
    QVERIFY(!values.empty());
    QVERIFY(std::is_sorted(values.begin(), values.end()));
    QCOMPARE(values.back(), bar->maximum());
    QVERIFY(std::any_of(values.begin(), values.end(),
                        [bar](int v) { return v > bar->maximum() / 5 && v < bar->maximum() * 4 / 5; }));
}

void MainWindowUseTest::menusHaveUniqueKeysAndHelpNamesEveryCommand()
{
    makeWindow();
    std::vector<QMenu*> menus;
    auto* bar = new QMenu(window.get()); // the menu bar's titles, as one more menu
    for (QAction* title : window->menuBar()->actions()) {
        bar->addAction(title->text());
        collectMenus(title->menu(), menus);
    }
    menus.push_back(bar);
    menus.push_back(window->findChild<QMenu*>("mnuResults"));

    QTextDocument help;
    QVERIFY(shell::RtfReader::readFile(QStringLiteral(BACKTRAIL_HELP_RTF), &help));
    const QString helpText = help.toPlainText().simplified();
    for (QMenu* menu : menus) {
        std::map<QChar, QString> keys;
        for (QAction* item : menu->actions()) {
            if (item->isSeparator())
                continue;
            const QString text = item->text();
            const qsizetype amp = text.indexOf(u'&');
            QVERIFY2(amp >= 0 && amp + 1 < text.size(), qPrintable(text + " has no key"));
            const QChar key = text.at(amp + 1).toLower();
            const auto [at, added] = keys.emplace(key, text);
            QVERIFY2(added, qPrintable(text + " shares its key with " + at->second));
            // Each command is named in the help as its menu shows it.
            QString plain = text;
            plain.remove(u'&');
            if (plain.endsWith(QStringLiteral("...")))
                plain.chop(3);
            QVERIFY2(helpText.contains(plain), qPrintable(plain + " is not in the help"));
        }
    }
}

void MainWindowUseTest::columnsInSightRememberedAndTheirScrollKept()
{
    using Model = results::ResultsModel;
    const QByteArray longAddress = "http://far.example/" + QByteArray(300, 'x') + "/end";
    writeFile(logs + "/long.log", logLine("/1", longAddress) + logLine("/2", "http://near.example/"));
    makeWindow();
    auto* list = window->findChild<QTreeView*>("lstResults");
    QHeaderView* header = list->header();
    // Maximised on a wide screen and expanded, every column is in sight.
    window->resize(1600, 900);
    window->cmdExpnd_Click();
    scan({"long.log", "g.log"});
    QTRY_VERIFY(list->viewport()->width() > 1000);
    const int right = header->sectionPosition(Model::SourceColumn) + header->sectionSize(Model::SourceColumn);
    QVERIFY2(right <= list->viewport()->width(),
             qPrintable(QStringLiteral("%1 > %2").arg(right).arg(list->viewport()->width())));
    QCOMPARE(list->textElideMode(), Qt::ElideMiddle);
    const int row = int(columnTexts(*window->resultsModel(), Model::ReferrerColumn).indexOf(QString(longAddress)));
    QCOMPARE(window->resultsModel()->index(row, Model::ReferrerColumn).data(Qt::ToolTipRole).toString(),
             QString(longAddress));

    // Narrow again, scrolled sideways: filters and groupings keep the scroll.
    window->cmdExpnd_Click();
    QScrollBar* sideways = list->horizontalScrollBar();
    QTRY_VERIFY(sideways->maximum() > 100);
    // A row picked, the view then scrolled sideways.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(window->resultsModel()->index(0, Model::TypeColumn)).center());
    sideways->setValue(sideways->maximum() / 3);
    const int at = sideways->value();
    for (const char* name : {"mnuActionKindWebsites", "mnuActionGroup", "mnuActionGroupSource", "mnuActionKindAll",
                             "mnuActionGroupSource"}) {
        window->findChild<QAction*>(name)->trigger();
        QApplication::processEvents();
        QCOMPARE(sideways->value(), at);
    }

    // A width the user sets is there in the next window.
    header->resizeSection(Model::ReferrerColumn, 345);
    header->resizeSection(Model::LandingColumn, 123);
    window.reset();
    makeWindow();
    list = window->findChild<QTreeView*>("lstResults");
    QCOMPARE(list->columnWidth(Model::ReferrerColumn), 345);
    QCOMPARE(list->columnWidth(Model::LandingColumn), 123);
}

void MainWindowUseTest::columnWidthsTextRoundTrips()
{
    QRandomGenerator random(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<int> widths;
        for (int c = 0; c < 7; ++c)
            widths.push_back(random.bounded(8, 4001));
        const QString text = shell::ColumnWidthsText(widths);
        QCOMPARE(shell::ParseColumnWidths(text, 7), widths);
        QVERIFY(shell::ParseColumnWidths(text, 6).empty());
        // A damaged text (a width cut, a letter, a width no one sets) gives no widths.
        QString damaged = text;
        switch (random.bounded(3)) {
        case 0:
            damaged.truncate(int(damaged.lastIndexOf(u',')));
            break;
        case 1:
            damaged.insert(random.bounded(int(damaged.size()) + 1), u'x');
            break;
        default:
            damaged.replace(0, int(damaged.indexOf(u',')), QStringLiteral("0"));
        }
        QVERIFY2(shell::ParseColumnWidths(damaged, 7).empty(), qPrintable(damaged));
    }
}

QTEST_MAIN(MainWindowUseTest)
#include "MainWindowUseTest.moc"
