// The Date Range dialog, the status bar panel that shows the range, and the
// scans that take it.
#include "../../results/ModalBoxes.h"
#include "../MainWindowTestSupport.h"

#include "FakeSettingsStore.h"
#include "MainWindow.h"
#include "StatusBar.h"
#include "modLivery.h"
#include "shell/windows/DateRangeDialog.h"
#include "shell/windows/ShellSecondaryWindows.h"
#include "shell/windows/ShellWindows.h"

#include "browser/BrowserPane.h"
#include "browser/WebBrowser.h"
#include "engine/base/Settings.h"
#include "engine/scan/ScanDriver.h"
#include "results/FileListBox.h"
#include "results/LogFilePicker.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>

using namespace backtrail;
using shell::DateRangeDialog;
using shell::MainWindow;

namespace {

// A combined-format line at a time as the server wrote it.
QByteArray timedLine(const char* time, const QByteArray& referrer, const QByteArray& page = "/index.html")
{
    return "10.1.2.3 - - [" + QByteArray(time) + "] \"GET " + page + " HTTP/1.1\" 200 512 \"" + referrer
        + "\" \"Mozilla/5.0 (X11; Linux x86_64)\"\n";
}

// The log's referrer lines, and whether the server's date of each lies in 2026-12-02 to 2026-12-03.
struct TimedLine
{
    const char* time; // empty: a line without a time
    const char* referrer;
    bool inside;
};

const TimedLine kLines[] = {
    {"01/Dec/2026:23:30:00 +0000", "http://a.example/", false},
    {"02/Dec/2026:00:10:00 +0200", "http://b.example/", true}, // 1 December in UTC, 2 December on the server
    {"02/Dec/2026:12:00:00 -0500", "http://c.example/", true},
    {"03/Dec/2026:23:59:59 +0000", "http://d.example/", true},
    {"04/Dec/2026:00:00:00 +0000", "http://e.example/", false},
    {"03/Dec/2026:08:00:00 +1400", "http://b.example/", true},
    {"", "http://f.example/", false},
};

} // namespace

class DateRangeTest : public QObject
{
    Q_OBJECT
public:
    static void initMain() { PrepareGuiTestEnvironment(); }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void panelTextNamesTheEndsTheScanTakes();
    void dialogShowsTheRangeInForceAndAllDatesDisablesTheDays();
    void okWritesTheDaysSwappedWhenReversedOrEmptyTextsForAllDates();
    void refusedWriteIsSaidAndTheRangeStillHolds();
    void rangeIsRememberedShownInThePanelAndTakenByTheNextScan();

private:
    void makeWindow();
    /// Answers the next Date Range dialog the window opens with `answer`.
    void answerDialog(std::function<void(DateRangeDialog&)> answer);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<engine::IniSettingsStore> store;
    std::unique_ptr<shell::ShellSecondaryWindows> windows;
    std::unique_ptr<MainWindow> window;
    QString logs;
    bool answered = false;
};

void DateRangeTest::initTestCase()
{
    shell::LoadBranding();
}

void DateRangeTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    logs = dir->path() + "/logs";
    QDir().mkpath(logs);
    QByteArray log;
    for (const TimedLine& line : kLines) {
        if (*line.time)
            log += timedLine(line.time, line.referrer);
        else
            log += "10.1.2.3 - - \"GET /index.html HTTP/1.1\" 200 512 \"" + QByteArray(line.referrer)
                + "\" \"Mozilla/5.0\"\n";
    }
    log += timedLine("02/Dec/2026:10:00:00 +0000", "http://127.0.0.1:7/inner"); // the own site's
    writeFile(logs + "/dates.log", log);
    store = std::make_unique<engine::IniSettingsStore>(dir->path() + "/settings.ini");
    QVERIFY(store->write(u"data", u"path", logs));
    QVERIFY(store->write(u"data", u"strYourWebsite", "127.0.0.1:7"));
    QVERIFY(store->write(u"data", u"bDisplayStats", "0"));
    QVERIFY(store->write(u"Settings", u"showHelp", "0"));
    engine::LoadSettings(*store);
    windows = std::make_unique<shell::ShellSecondaryWindows>(*store);
    answered = false;
}

void DateRangeTest::cleanup()
{
    window.reset();
    windows.reset();
    store.reset();
    dir.reset();
    engine::Globals() = engine::ScanSettings();
}

void DateRangeTest::makeWindow()
{
    shell::MainWindowSetup setup;
    setup.store = store.get();
    setup.startPage = QStringLiteral("about:blank");
    setup.windows = windows.get();
    window = std::make_unique<MainWindow>(setup);
    QSignalSpy loaded(window->frmBrowser->WebBrowser1, &browser::WebBrowser::DownloadComplete);
    window->Form_Load();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTRY_VERIFY_WITH_TIMEOUT(loaded.count() > 0, 30000);
}

void DateRangeTest::answerDialog(std::function<void(DateRangeDialog&)> answer)
{
    auto* timer = new QTimer(window.get());
    connect(timer, &QTimer::timeout, this, [this, timer, answer] {
        auto* dialog = qobject_cast<DateRangeDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        timer->deleteLater();
        timer->stop();
        answered = true;
        answer(*dialog);
    });
    timer->start(10);
}

void DateRangeTest::panelTextNamesTheEndsTheScanTakes()
{
    engine::ScanSettings settings;
    QCOMPARE(shell::DateRangePanelText(settings), QString());
    settings.strDateSince = "2026-12-01";
    QCOMPARE(shell::DateRangePanelText(settings), QStringLiteral("Dates: from 2026-12-01"));
    settings.strDateUntil = "2026-12-08";
    QCOMPARE(shell::DateRangePanelText(settings), QStringLiteral("Dates: 2026-12-01 to 2026-12-08"));
    settings.strDateSince.clear();
    QCOMPARE(shell::DateRangePanelText(settings), QStringLiteral("Dates: to 2026-12-08"));
    settings.strDateUntil = "2026-12-08T10:00";
    QCOMPARE(shell::DateRangePanelText(settings), QStringLiteral("Dates: to 2026-12-08T10:00"));
    // Texts the scan cannot read leave their end open, and the panel says what the scan does.
    settings.strDateSince = "yesterday";
    settings.strDateUntil = "2026-13-01";
    QCOMPARE(shell::DateRangePanelText(settings), QString());
    QCOMPARE(engine::RangeOf(settings).active(), false);
}

void DateRangeTest::dialogShowsTheRangeInForceAndAllDatesDisablesTheDays()
{
    FakeSettingsStore fake;
    engine::Globals().strDateSince = "2026-12-01";
    engine::Globals().strDateUntil = "2026-12-08T10:00";
    {
        DateRangeDialog dialog(fake, shell::WindowBranding::FromBuild());
        QCOMPARE(dialog.objectName(), QStringLiteral("frmDateRange"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Date Range"));
        QVERIFY(dialog.isModal());
        QCOMPARE(dialog.lblSince->text(), QStringLiteral("From:"));
        QCOMPARE(dialog.lblUntil->text(), QStringLiteral("To:"));
        QCOMPARE(dialog.chkAllDates->text(), QStringLiteral("All dates"));
        QVERIFY(dialog.dtpSince->calendarPopup() && dialog.dtpUntil->calendarPopup());
        QCOMPARE(dialog.dtpSince->date(), QDate(2026, 12, 1));
        QCOMPARE(dialog.dtpUntil->date(), QDate(2026, 12, 8));
        QVERIFY(!dialog.chkAllDates->isChecked());
        QVERIFY(dialog.dtpSince->isEnabled() && dialog.dtpUntil->isEnabled());
        dialog.chkAllDates->click();
        QVERIFY(!dialog.dtpSince->isEnabled() && !dialog.dtpUntil->isEnabled());
        dialog.chkAllDates->click();
        QVERIFY(dialog.dtpSince->isEnabled() && dialog.dtpUntil->isEnabled());
    }
    // No range, or texts the scan cannot read: all dates, both days greyed.
    for (const auto& [since, until] : {std::pair {"", ""}, std::pair {"soon", "2026-02-30"}}) {
        engine::Globals().strDateSince = since;
        engine::Globals().strDateUntil = until;
        DateRangeDialog dialog(fake, shell::WindowBranding::FromBuild());
        QVERIFY(dialog.chkAllDates->isChecked());
        QVERIFY(!dialog.dtpSince->isEnabled() && !dialog.dtpUntil->isEnabled());
        QVERIFY(dialog.dtpSince->date() <= dialog.dtpUntil->date());
    }
    // One open end: the other field shows a day that keeps the range in order.
    engine::Globals().strDateSince = "2030-05-01";
    engine::Globals().strDateUntil.clear();
    DateRangeDialog dialog(fake, shell::WindowBranding::FromBuild());
    QVERIFY(!dialog.chkAllDates->isChecked());
    QCOMPARE(dialog.dtpSince->date(), QDate(2030, 5, 1));
    QVERIFY(dialog.dtpUntil->date() >= dialog.dtpSince->date());
    QVERIFY(fake.writes.isEmpty());
}

void DateRangeTest::okWritesTheDaysSwappedWhenReversedOrEmptyTextsForAllDates()
{
    FakeSettingsStore fake;
    {
        DateRangeDialog dialog(fake, shell::WindowBranding::FromBuild());
        dialog.chkAllDates->setChecked(false);
        dialog.dtpSince->setDate(QDate(2026, 12, 8));
        dialog.dtpUntil->setDate(QDate(2026, 11, 30));
        dialog.cmdOk->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        // From after To: the range between them.
        QCOMPARE(dialog.dtpSince->date(), QDate(2026, 11, 30));
    }
    QCOMPARE(fake.writes, (QStringList {"data/dateSince=2026-11-30", "data/dateUntil=2026-12-08"}));
    QCOMPARE(engine::Globals().strDateSince, QStringLiteral("2026-11-30"));
    QCOMPARE(engine::Globals().strDateUntil, QStringLiteral("2026-12-08"));

    fake.writes.clear();
    {
        DateRangeDialog dialog(fake, shell::WindowBranding::FromBuild());
        QVERIFY(!dialog.chkAllDates->isChecked());
        dialog.dtpUntil->setDate(QDate(2026, 11, 30)); // one day
        dialog.cmdOk->click();
    }
    QCOMPARE(fake.writes, (QStringList {"data/dateSince=2026-11-30", "data/dateUntil=2026-11-30"}));

    // Cancel writes and changes nothing.
    fake.writes.clear();
    {
        DateRangeDialog dialog(fake, shell::WindowBranding::FromBuild());
        dialog.chkAllDates->setChecked(true);
        dialog.cmdCancel->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }
    QVERIFY(fake.writes.isEmpty());
    QCOMPARE(engine::Globals().strDateSince, QStringLiteral("2026-11-30"));

    {
        DateRangeDialog dialog(fake, shell::WindowBranding::FromBuild());
        dialog.chkAllDates->setChecked(true);
        dialog.cmdOk->click();
    }
    QCOMPARE(fake.writes, (QStringList {"data/dateSince=", "data/dateUntil="}));
    QVERIFY(engine::Globals().strDateSince.isEmpty() && engine::Globals().strDateUntil.isEmpty());
}

void DateRangeTest::refusedWriteIsSaidAndTheRangeStillHolds()
{
    FakeSettingsStore fake;
    fake.refusedKey = "dateUntil";
    DateRangeDialog dialog(fake, shell::WindowBranding::FromBuild());
    dialog.chkAllDates->setChecked(false);
    dialog.dtpSince->setDate(QDate(2026, 12, 1));
    dialog.dtpUntil->setDate(QDate(2026, 12, 2));
    ModalBoxWatcher boxes;
    dialog.cmdOk->click();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    QCOMPARE(boxes.boxes[0].text,
             QStringLiteral("The date range could not be saved; it holds until the program ends."));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(engine::Globals().strDateUntil, QStringLiteral("2026-12-02"));
}

void DateRangeTest::rangeIsRememberedShownInThePanelAndTakenByTheNextScan()
{
    makeWindow();
    auto* item = window->findChild<QAction*>("mnuActionDateRange");
    QVERIFY(item && item->isEnabled());
    QCOMPARE(item->text().remove(u'&'), QStringLiteral("Date Range..."));
    QVERIFY(window->findChild<QMenu*>("mnuAction")->actions().contains(item));
    shell::StatusBar& bar = *window->StatusBar1;
    const int panel3Width = bar.panelWidth(3);
    QCOMPARE(bar.panelText(MainWindow::kDatesPanel), QString());
    QVERIFY(!bar.panelShown(MainWindow::kDatesPanel));

    // The scan without a range: every referrer line.
    auto scanAll = [this] {
        if (window->findChild<QGroupBox*>("frmMain")->isHidden())
            window->Command10_Click();
        window->frmMain->File1->selectEntries({"dates.log"});
        window->cmdGo_Click();
        QVERIFY(scanEnds(*window));
    };
    scanAll();
    QCOMPARE(window->resultsModel()->rowCount(), 6);
    QCOMPARE(window->scanner().state().OutsideRangeLines, 0);

    answerDialog([](DateRangeDialog& dialog) {
        QVERIFY(dialog.chkAllDates->isChecked());
        // The days open on the logs' first and last day (the own site's line is no row).
        QCOMPARE(dialog.dtpSince->date(), QDate(2026, 12, 1));
        QCOMPARE(dialog.dtpUntil->date(), QDate(2026, 12, 4));
        dialog.chkAllDates->setChecked(false);
        // Typed over the whole text, a day is taken part by part; a year typed over it alone too.
        dialog.dtpSince->setFocus();
        QTest::keyClick(dialog.dtpSince, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(dialog.dtpSince, "2025-11-30");
        QCOMPARE(dialog.dtpSince->date(), QDate(2025, 11, 30));
        QTest::keyClick(dialog.dtpSince, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(dialog.dtpSince, "2026");
        QCOMPARE(dialog.dtpSince->date().year(), 2026);
        QTest::keyClick(dialog.dtpSince, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(dialog.dtpSince, "2026-12-02");
        QCOMPARE(dialog.dtpSince->date(), QDate(2026, 12, 2));
        dialog.dtpUntil->setFocus();
        QTest::keyClick(dialog.dtpUntil, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(dialog.dtpUntil, "20261203");
        QCOMPARE(dialog.dtpUntil->date(), QDate(2026, 12, 3));
        dialog.cmdOk->click();
    });
    item->trigger();
    QVERIFY(answered);
    QCOMPARE(store->read(u"data", u"dateSince", "?"), QStringLiteral("2026-12-02"));
    QCOMPARE(store->read(u"data", u"dateUntil", "?"), QStringLiteral("2026-12-03"));
    const QString shown = QStringLiteral("Dates: 2026-12-02 to 2026-12-03");
    QCOMPARE(bar.panelText(MainWindow::kDatesPanel), shown);
    // At the right edge, whole, over the panels from the left, which keep their widths.
    QVERIFY(bar.panelShown(MainWindow::kDatesPanel));
    auto* label = bar.findChild<QLabel*>("Panel4");
    QVERIFY(label && label->isVisible());
    QCOMPARE(bar.panelLeft(MainWindow::kDatesPanel) + bar.shownPanelWidth(MainWindow::kDatesPanel), bar.width());
    QVERIFY(label->fontMetrics().horizontalAdvance(shown) <= label->contentsRect().width());
    QCOMPARE(bar.panelWidth(3), panel3Width);
    // A long status line stops short of it.
    bar.setPanelText(2, QString(400, u'x'));
    QVERIFY(bar.panelLeft(2) + bar.shownPanelWidth(2) <= bar.panelLeft(MainWindow::kDatesPanel));

    // The next scan takes the lines of those two days (on the server's clock) alone.
    scanAll();
    int inside = 0;
    int outside = 0;
    for (const TimedLine& line : kLines)
        (line.inside ? inside : outside)++;
    QCOMPARE(window->scanner().state().OutsideRangeLines, outside);
    QStringList referrers = columnTexts(*window->resultsModel(), 2);
    referrers.sort();
    QCOMPARE(referrers, (QStringList {"http://b.example/", "http://c.example/", "http://d.example/"}));
    int clicks = 0;
    for (const QString& text : columnTexts(*window->resultsModel(), 1))
        clicks += text.toInt();
    QCOMPARE(clicks, inside);

    // A new window (as at the next start) reads the range back, shows it, and its dialog opens on it.
    window.reset();
    engine::Globals() = engine::ScanSettings();
    makeWindow();
    QCOMPARE(window->StatusBar1->panelText(MainWindow::kDatesPanel), shown);
    answered = false;
    answerDialog([](DateRangeDialog& dialog) {
        QVERIFY(!dialog.chkAllDates->isChecked());
        QCOMPARE(dialog.dtpSince->date(), QDate(2026, 12, 2));
        QCOMPARE(dialog.dtpUntil->date(), QDate(2026, 12, 3));
        dialog.cmdCancel->click();
    });
    window->mnuActionDateRange->trigger();
    QVERIFY(answered);
    QCOMPARE(window->StatusBar1->panelText(MainWindow::kDatesPanel), shown);

    // All dates: the panel goes, the next scan takes every line again.
    answered = false;
    answerDialog([](DateRangeDialog& dialog) {
        dialog.chkAllDates->setChecked(true);
        dialog.cmdOk->click();
    });
    window->mnuActionDateRange->trigger();
    QVERIFY(answered);
    QCOMPARE(window->StatusBar1->panelText(MainWindow::kDatesPanel), QString());
    QVERIFY(!window->StatusBar1->findChild<QLabel*>("Panel4")->isVisible());
    scanAll();
    QCOMPARE(window->resultsModel()->rowCount(), 6);
    QCOMPARE(window->scanner().state().OutsideRangeLines, 0);
}

QTEST_MAIN(DateRangeTest)
#include "DateRangeTest.moc"
