// The main window when things go wrong around it: a settings folder that
// cannot be written, a damaged settings file, and a burst of random clicks
// while scans run, after each of which the rows must add up.
#include "../results/ModalBoxes.h"
#include "MainWindowTestSupport.h"

#include "MainWindow.h"
#include "StatusBar.h"

#include "browser/BrowserPane.h"
#include "browser/WebBrowser.h"
#include "engine/base/Settings.h"
#include "engine/scan/ScanDriver.h"
#include "engine/scan/ScanFrontEnd.h"
#include "results/DirListBox.h"
#include "results/FileListBox.h"
#include "results/LogFilePicker.h"
#include "results/ResultsModel.h"

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <atomic>
#include <memory>
#include <random>
#include <set>

using namespace backtrail;
using shell::MainWindow;

namespace {

const QString kSampleLog = QStringLiteral(BACKTRAIL_SAMPLE_LOG);

// Lets the web view reach 127.0.0.1 and about: pages only. Result rows carry
// the sample log's outside addresses; opening one is blocked here, before any
// connection or name lookup is made.
class LocalRequestsOnly final : public QWebEngineUrlRequestInterceptor
{
public:
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        const QUrl url = info.requestUrl();
        const QString scheme = url.scheme();
        if (scheme == u"about" || scheme == u"data" || url.host() == u"127.0.0.1")
            return;
        info.block(true);
        ++blocked;
    }
    std::atomic<int> blocked {0};
};

// The reference: a scan of the same files by the engine alone, without a window.
class HeadlessFrontEnd final : public engine::ScanFrontEnd
{
public:
    QString folder;
    QStringList names;
    engine::ResultTable rows;
    int fileCount() const override { return int(names.size()); }
    bool fileSelected(int) const override { return true; }
    QString fileFolder(int) const override { return folder; }
    QString fileName(int index) const override { return names[index]; }
    void setStatus(const QString&) override { }
    void setProgress(double, double) override { }
    bool showsProgress() const override { return false; }
    void yieldToEvents() override { }
    void showStatistics(const QString&, const QString&) override { }
    void scanCompleted() override { }
    void clearResults() override { rows.clear(); }
    void addResults(engine::ResultTable table) override { rows = std::move(table); }
    void fileUnreadable(const QString&, const QString&) override { }
};

} // namespace

class MainWindowFaultsTest : public QObject
{
    Q_OBJECT
public:
    static void initMain()
    {
        PrepareGuiTestEnvironment();
        // Besides the interceptor: every outside request would go to a proxy on
        // a closed local port, so no outside name is looked up or connected to.
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --proxy-server=127.0.0.1:9");
        // A file stands where the per-user settings folder should be: the
        // program's own settings can be read (as nothing) but never written.
        QFile blocker(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Backtrail");
        if (blocker.open(QIODevice::WriteOnly))
            blocker.write("not a folder\n");
    }

private slots:
    void init();
    void cleanup();
    void unwritableSettingsFolderStartsWithDefaultsAndSaysSoOnce();
    void damagedSettingsFileStartsWithDefaultsAndIsRewritten();
    void randomClicksWhileScanning();

private:
    void makeWindow(engine::SettingsStore& settings);
    QString invariantFailure(const engine::ScanState& state) const;

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<engine::IniSettingsStore> store;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<QAbstractItemModelTester> tester;
    LocalRequestsOnly interceptor;
    QString logs;
    // The reference scan's totals and its referrers.
    int referenceLines = 0;
    int referenceLinks = 0;
    std::set<QString> referenceReferrers;
};

void MainWindowFaultsTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    logs = dir->path() + "/logs";
    QDir().mkpath(logs);
    writeFile(logs + "/a.log",
              logLine("/index.html", "http://127.0.0.1:9/alpha") + logLine("/x.pdf", "http://127.0.0.1:9/beta"));
    store = std::make_unique<engine::IniSettingsStore>(dir->path() + "/settings.ini");
}

void MainWindowFaultsTest::cleanup()
{
    tester.reset();
    if (window)
        window->frmBrowser->WebBrowser1->view()->page()->profile()->setUrlRequestInterceptor(nullptr);
    window.reset();
    store.reset();
    dir.reset();
}

void MainWindowFaultsTest::makeWindow(engine::SettingsStore& settings)
{
    shell::MainWindowSetup setup;
    setup.store = &settings;
    setup.startPage = QStringLiteral("about:blank");
    window = std::make_unique<MainWindow>(setup);
    window->frmBrowser->WebBrowser1->view()->page()->profile()->setUrlRequestInterceptor(&interceptor);
    tester = std::make_unique<QAbstractItemModelTester>(window->resultsModel(),
                                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy loaded(window->frmBrowser->WebBrowser1, &browser::WebBrowser::DownloadComplete);
    window->Form_Load();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTRY_VERIFY_WITH_TIMEOUT(loaded.count() > 0, 30000);
}

void MainWindowFaultsTest::unwritableSettingsFolderStartsWithDefaultsAndSaysSoOnce()
{
    engine::IniSettingsStore blocked; // the per-user store, under the blocked folder
    QVERIFY2(blocked.fileName().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Backtrail/"),
             qPrintable(blocked.fileName()));
    // Values from an earlier test must not leak into this start.
    engine::Globals() = engine::ScanSettings();
    engine::Globals().bRemoveDupes = false;
    ModalBoxWatcher boxes;
    makeWindow(blocked);
    QCOMPARE(boxes.boxes.size(), std::size_t(0)); // nothing to say before anything is written
    QVERIFY(engine::Globals().bRemoveDupes);
    QVERIFY(engine::Globals().bDisplayStats);
    QVERIFY(engine::Globals().bHttps);
    QCOMPARE(engine::Globals().strYourWebsite, QString::fromLatin1(engine::kPlaceholderDomain));

    // Two folder changes: two failed writes, one message.
    auto* folders = window->findChild<results::DirListBox*>("Dir1");
    QDir().mkpath(logs + "/sub");
    QVERIFY(folders->setPath(logs));
    QVERIFY(folders->setPath(logs + "/sub"));
    QVERIFY(folders->setPath(logs));
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    QCOMPARE(boxes.boxes[0].text,
             QStringLiteral("The folder could not be remembered for the next start: the "
                            "settings file cannot be written."));
    // The folder opened all the same, and a scan runs with the defaults.
    auto* files = window->findChild<results::FileListBox*>("File1");
    QCOMPARE(files->path(), logs);
    QVERIFY(QFileInfo(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Backtrail").isFile());
    window->findChild<QToolButton*>("cmdSelAll")->click();
    window->findChild<QToolButton*>("cmdGo")->click();
    QVERIFY(scanEnds(*window));
    QCOMPARE(window->resultsModel()->rowCount(), 2);
    QCOMPARE(boxes.boxes.size(), std::size_t(2)); // and the statistics box, on by default
    QCOMPARE(boxes.boxes[1].title, QStringLiteral("Scan Finished"));
}

void MainWindowFaultsTest::damagedSettingsFileStartsWithDefaultsAndIsRewritten()
{
    // Binary garbage, a section cut off in its name, a path of a megabyte and
    // an own domain of a megabyte that only the garbage's NUL ends.
    QByteArray damaged = QByteArray::fromHex("00ff1f8b") + "\n[data]\npath=/" + QByteArray(1 << 20, 'x')
        + "\nbRemoveDupes=\x01\x02\nbDisplayStats=1e400\nstrYourWebsite=" + QByteArray(1 << 20, 'w') + '\0' + "\n[Sett";
    writeFile(dir->path() + "/settings.ini", damaged);
    store = std::make_unique<engine::IniSettingsStore>(dir->path() + "/settings.ini");
    ModalBoxWatcher boxes;
    makeWindow(*store);
    QCOMPARE(boxes.boxes.size(), std::size_t(0));
    // Whatever could not be read is its default; no setting holds garbage.
    QVERIFY(!engine::Globals().bDisplayStats); // too large to be a finite number
    QVERIFY(engine::Globals().strYourWebsite.size() <= (1 << 20) + 1);
    // The remembered folder cannot be shown: the picker stays at its start folder.
    auto* files = window->findChild<results::FileListBox*>("File1");
    QCOMPARE(files->path(), QDir::currentPath());

    // The next folder change rewrites the file cleanly, and says nothing.
    QVERIFY(window->findChild<results::DirListBox*>("Dir1")->setPath(logs));
    QCOMPARE(boxes.boxes.size(), std::size_t(0));
    QCOMPARE(engine::IniSettingsStore(dir->path() + "/settings.ini").read(u"data", u"path", {}), logs);
    window->findChild<QToolButton*>("cmdSelAll")->click();
    window->findChild<QToolButton*>("cmdGo")->click();
    QVERIFY(scanEnds(*window));
    QVERIFY(window->StatusBar1->panelText(2).startsWith("COMPLETE: 1 files done : 2 lines scanned : 2 links found"));
}

QString MainWindowFaultsTest::invariantFailure(const engine::ScanState& state) const
{
    const results::ResultsModel& model = *window->resultsModel();
    const engine::ScanCounters& c = state.counters;
    if (window->scanner().running())
        return QStringLiteral("the scan still runs");
    const int unique = c.LinksFound - state.DuplicatesRemoved;
    if (model.rowCount() != unique)
        return QStringLiteral("%1 rows, but %2 links less %3 duplicates")
            .arg(model.rowCount())
            .arg(c.LinksFound)
            .arg(state.DuplicatesRemoved);
    qint64 clicks = 0;
    std::set<QString> referrers;
    for (int r = 0; r < model.rowCount(); ++r) {
        clicks += model.cellText(r, results::ResultsModel::ClicksColumn).toLongLong();
        referrers.insert(model.cellText(r, results::ResultsModel::ReferrerColumn));
    }
    if (clicks != c.LinksFound)
        return QStringLiteral("clicks add up to %1, not to the %2 links found").arg(clicks).arg(c.LinksFound);
    if (int(referrers.size()) != model.rowCount())
        return QStringLiteral("a referrer is listed twice");
    if (c.LinksFound > referenceLinks || c.LinesScanned > referenceLines)
        return QStringLiteral("more read than the files hold");
    if (c.StopRequested)
        return {};
    if (c.LinesScanned != referenceLines || c.LinksFound != referenceLinks || referrers != referenceReferrers)
        return QStringLiteral("a complete scan differs from the reference: %1 lines, %2 links, %3 rows")
            .arg(c.LinesScanned)
            .arg(c.LinksFound)
            .arg(model.rowCount());
    return {};
}

void MainWindowFaultsTest::randomClicksWhileScanning()
{
    // The seed is fixed so that a failure can be repeated; BACKTRAIL_MONKEY_SEED picks another.
    bool seeded = false;
    const quint32 seed = qEnvironmentVariable("BACKTRAIL_MONKEY_SEED").toUInt(&seeded);
    const quint32 usedSeed = seeded ? seed : 20151705u;
    std::mt19937 random(usedSeed);
    const QString where = QStringLiteral("seed %1 (BACKTRAIL_MONKEY_SEED)").arg(usedSeed);

    // The bundled sample log (linked, not copied) and a larger generated one beside it.
    QVERIFY(QFile::link(kSampleLog, logs + "/sample.log"));
    QByteArray big;
    for (int i = 0; i < 120000; ++i) {
        const QByteArray referrer = i % 7 == 0 ? "http://www.example.com/q?n=" + QByteArray::number(i % 41)
                                               : "http://127.0.0.1:9/r" + QByteArray::number(i % 397);
        big += logLine(i % 5 == 0 ? "/a.jpg" : "/index.html", referrer);
    }
    writeFile(logs + "/big.log", big);
    QFile::remove(logs + "/a.log");
    QVERIFY(store->write(u"data", u"path", logs));
    QVERIFY(store->write(u"data", u"strYourWebsite", "www.example.org"));
    QVERIFY(store->write(u"data", u"bDisplayStats", "0"));

    HeadlessFrontEnd reference;
    reference.folder = logs;
    reference.names = {QStringLiteral("sample.log"), QStringLiteral("big.log")};
    {
        engine::ScanSettings settings;
        settings.strYourWebsite = QStringLiteral("www.example.org");
        engine::Scanner scanner(reference, settings);
        scanner.StartScan();
        referenceLines = scanner.state().counters.LinesScanned;
        referenceLinks = scanner.state().counters.LinksFound;
        for (std::size_t i = 0; i < reference.rows.size(); ++i) {
            const std::string_view r = reference.rows.row(i).referrer;
            referenceReferrers.insert(QString::fromUtf8(r.data(), qsizetype(r.size())));
        }
    }
    QFile sample(kSampleLog);
    QVERIFY(sample.open(QIODevice::ReadOnly));
    QCOMPARE(referenceLines, 120000 + int(sample.readAll().count('\n')));

    makeWindow(*store);
    window->findChild<QToolButton*>("cmdSelAll")->click();
    QCOMPARE(window->findChild<results::FileListBox*>("File1")->selectedItems().size(), 2);
    auto* scanButton = window->findChild<QToolButton*>("cmdGo");
    auto* stopButton = window->findChild<QToolButton*>("cmdStop");
    auto* toggle = window->findChild<QToolButton*>("Command10");
    auto* expand = window->findChild<QToolButton*>("cmdExpnd");
    auto* open = window->findChild<QToolButton*>("Command9");
    auto* list = window->findChild<QTreeView*>("lstResults");
    QVERIFY(scanButton && stopButton && toggle && expand && open && list);

    // A first scan without clicks; then Open on an outside referrer is blocked, not loaded.
    scanButton->click();
    QVERIFY(scanEnds(*window));
    QVERIFY2(invariantFailure(window->scanner().state()).isEmpty(),
             qPrintable(invariantFailure(window->scanner().state())));
    int outside = -1;
    for (int r = 0; r < window->resultsModel()->rowCount() && outside < 0; ++r)
        if (!window->resultsModel()->cellText(r, results::ResultsModel::ReferrerColumn).contains("127.0.0.1"))
            outside = r;
    QVERIFY(outside >= 0);
    list->setCurrentIndex(window->resultsModel()->index(outside, 0));
    open->click();
    QTRY_VERIFY_WITH_TIMEOUT(interceptor.blocked > 0, 30000);

    ModalBoxWatcher boxes; // "You must select at least one referrer", from Open without a row
    int scans = 0, stopped = 0, actions = 0;
    bool stopsAllowed = false;
    QString failure;
    // Runs one scan from a Scan click and checks the rows once it has ended.
    auto scanAndCheck = [&] {
        scanButton->click();
        ++scans;
        // The clicks of the timer below land while the scan runs on its thread.
        if (!scanEnds(*window)) {
            failure = QStringLiteral("scan %1 did not end").arg(scans);
            return;
        }
        if (window->scanner().state().counters.StopRequested)
            ++stopped;
        if (failure.isEmpty()) {
            const QString broken = invariantFailure(window->scanner().state());
            if (!broken.isEmpty())
                failure = QStringLiteral("after scan %1: %2").arg(scans).arg(broken);
        }
    };
    // One random click; the clicks land while a scan handles events, or between scans.
    QTimer monkey;
    QObject::connect(&monkey, &QTimer::timeout, [&] {
        if (QApplication::activeModalWidget())
            return; // a message box is up: the window takes no clicks
        ++actions;
        const int rows = window->resultsModel()->rowCount();
        switch (random() % 8) {
        case 0:
            if (window->scanRunning()) {
                scanButton->click(); // ignored while a scan runs
                if (failure.isEmpty() && !window->scanRunning())
                    failure = QStringLiteral("a Scan click during a scan ended it");
            } else {
                scanAndCheck();
            }
            break;
        case 1:
            if (stopsAllowed || !window->scanRunning())
                stopButton->click();
            break;
        case 2:
            toggle->click();
            break;
        case 3:
            expand->click();
            break;
        case 4:
            open->click();
            break;
        case 5: {
            const int section = int(random() % results::ResultsModel::ColumnCount);
            if (list->isVisible())
                QTest::mouseClick(
                    list->header()->viewport(), Qt::LeftButton, {},
                    QPoint(list->header()->sectionViewportPosition(section) + 3, list->header()->height() / 2));
            else
                window->lstResults_ColumnClick(section);
            break;
        }
        default:
            if (rows > 0)
                list->setCurrentIndex(window->resultsModel()->index(int(random() % unsigned(rows)), 0));
            break;
        }
    });
    monkey.start(1);

    // A fixed budget bounds the loop; nothing is asserted about how long anything takes.
    const int budgetMs = qEnvironmentVariableIsSet("BACKTRAIL_MONKEY_MS")
        ? qEnvironmentVariableIntValue("BACKTRAIL_MONKEY_MS")
        : 20000;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < budgetMs && failure.isEmpty()) {
        // Every other scan on average may be stopped; the rest run to their end.
        stopsAllowed = random() % 2 == 0;
        scanAndCheck();
        QTest::qWait(int(random() % 20)); // clicks between scans too
    }
    monkey.stop();
    QVERIFY2(failure.isEmpty(), qPrintable(where + ", " + failure));
    QVERIFY2(!window->scanRunning(), qPrintable(where));
    QVERIFY2(scans >= 2, qPrintable(where));
    qInfo("%s: %d scans (%d stopped), %d random clicks, %d outside addresses blocked, %zu boxes closed",
          qPrintable(where), scans, stopped, actions, interceptor.blocked.load(), boxes.boxes.size());
}

QTEST_MAIN(MainWindowFaultsTest)
#include "MainWindowFaultsTest.moc"
