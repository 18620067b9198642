// The details window: it follows the main window's selection, and its
// landing pages, clicks per day, first and last seen are those of a plain
// count over the scanned log; site rows sum their referrers; a landing page
// opens in the main window's browser pane.
#include "../../results/ModalBoxes.h"
#include "../MainWindowTestSupport.h"

#include "MainWindow.h"
#include "StatusBar.h"
#include "modLivery.h"
#include "shell/windows/DetailsWindow.h"
#include "shell/windows/ShellSecondaryWindows.h"
#include "shell/windows/ShellWindows.h"

#include "browser/BrowserPane.h"
#include "browser/WebBrowser.h"
#include "engine/aggregate/EntryDetails.h"
#include "engine/base/Settings.h"
#include "results/FileListBox.h"
#include "results/LogFilePicker.h"
#include "results/ResultsModel.h"

#include <QAction>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QSignalSpy>
#include <QStackedBarSeries>
#include <QStandardItemModel>
#include <QTest>
#include <QToolTip>
#include <QTreeView>

#include <algorithm>
#include <map>
#include <memory>
#include <random>

using namespace backtrail;
using shell::DetailsContent;
using shell::DetailsWindow;
using shell::MainWindow;

namespace {

// What a plain count over the log gives for one row (a referrer, or a site).
struct Expected
{
    QString site;
    bool bot = false;
    std::uint64_t clicks = 0;
    std::map<QString, std::uint64_t> landings;
    std::map<std::int32_t, std::uint64_t> days;
    std::int64_t first = 0;
    std::int64_t last = 0;
    QString firstText;
    QString lastText;
    int referrers = 0;

    void add(const Expected& other)
    {
        clicks += other.clicks;
        referrers += other.referrers;
        for (const auto& [path, n] : other.landings)
            landings[path] += n;
        for (const auto& [day, n] : other.days)
            days[day] += n;
        if (firstText.isEmpty() || other.first < first) {
            first = other.first;
            firstText = other.firstText;
        }
        if (lastText.isEmpty() || other.last > last) {
            last = other.last;
            lastText = other.lastText;
        }
    }
    // Most clicks first, equal clicks by path.
    std::vector<std::pair<QString, std::uint64_t>> landingRows() const
    {
        std::vector<std::pair<QString, std::uint64_t>> rows(landings.begin(), landings.end());
        std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
        return rows;
    }
    std::vector<engine::DayClicks> dayRows() const
    {
        std::vector<engine::DayClicks> rows;
        for (const auto& [day, n] : days)
            rows.push_back({day, n});
        return rows;
    }
};

QString isoText(const QDateTime& local, int offsetSeconds)
{
    const int minutes = std::abs(offsetSeconds) / 60;
    return QLocale::c().toString(local, QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
        + (offsetSeconds < 0 ? QStringLiteral("-") : QStringLiteral("+"))
        + QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QChar(u'0')).arg(minutes % 60, 2, 10, QChar(u'0'));
}

QStringList landingTexts(const QStandardItemModel& model, int column)
{
    QStringList texts;
    for (int r = 0; r < model.rowCount(); ++r)
        texts << model.item(r, column)->text();
    return texts;
}

QBarSeries* daySeries(const DetailsWindow& window)
{
    const QList<QAbstractSeries*> series = window.chtDays->chart()->series();
    return series.size() == 1 ? qobject_cast<QBarSeries*>(series.first()) : nullptr;
}

QCategoryAxis* dayAxis(const DetailsWindow& window)
{
    const QList<QAbstractAxis*> axes = window.chtDays->chart()->axes(Qt::Horizontal);
    return axes.size() == 1 ? qobject_cast<QCategoryAxis*>(axes.first()) : nullptr;
}

} // namespace

class DetailsWindowTest : public QObject
{
    Q_OBJECT
public:
    static void initMain() { PrepareGuiTestEnvironment(); }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void followsTheSelectionAgainstAPlainCount();
    void siteRowsSumTheirReferrers();
    void landingPageOpensInTheBrowserPane();
    void emptyStatesAndManyDays();
    void chartDaysFillTheGapsAgainstAPlainFill();

private:
    void makeWindow();
    void scan();
    DetailsWindow* openDetails();
    /// Compares what the window shows with the expected row.
    void compare(const DetailsWindow& details, const Expected& want, const QString& referrer);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<engine::IniSettingsStore> store;
    std::unique_ptr<shell::ShellSecondaryWindows> windows;
    std::unique_ptr<MainWindow> window;
    std::map<QString, Expected> expected; // by referrer
};

void DetailsWindowTest::initTestCase()
{
    shell::LoadBranding();
}

void DetailsWindowTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    const QString logs = dir->path() + "/logs";
    QDir().mkpath(logs);
    // Lines on 1, 2, 3, 5 and 6 December 2026 as the server wrote them, with
    // three offsets; each line's minute and second are its own, so no two
    // lines share an instant. A crawler announces itself in its user agent.
    const char* const referrers[] = {"http://www.alpha.example/a", "http://alpha.example/b", "http://beta.example/x",
                                     "http://gamma.example/y?q=1", "-"};
    const char* const sites[] = {"alpha.example", "alpha.example", "beta.example", "gamma.example", "google.com"};
    const char* const pages[] = {"/index.html", "/a/page.html", "/files/tool.zip", "/docs/x.pdf", "/"};
    const int days[] = {1, 2, 3, 5, 6};
    const int offsets[] = {0, 7200, -18000};
    std::mt19937 random(5);
    std::vector<QByteArray> lines;
    expected.clear();
    for (int i = 0; i < 400; ++i) {
        const int who = int(random() % 5);
        const int page = std::min(int(random() % 8), 4); // "/" half the time: some counts pass ten
        const int day = days[random() % 5];
        const int offset = offsets[random() % 3];
        const QDateTime local(QDate(2026, 12, day), QTime(int(random() % 24), (i / 60) % 60, i % 60), Qt::UTC);
        const std::int64_t instant = local.toSecsSinceEpoch() - offset;
        const QString when = QLocale::c().toString(local, QStringLiteral("dd/MMM/yyyy:HH:mm:ss"))
            + QStringLiteral(" %1%2")
                  .arg(offset < 0 ? QStringLiteral("-") : QStringLiteral("+"))
                  .arg(std::abs(offset) / 36, 4, 10, QChar(u'0'));
        const bool bot = who == 4;
        lines.push_back("10.1.2." + QByteArray::number(i % 250) + " - - [" + when.toLatin1() + "] \"GET " + pages[page]
                        + " HTTP/1.1\" 200 512 \"" + referrers[who] + "\" \""
                        + (bot ? "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)"
                               : "Mozilla/5.0 (X11; Linux x86_64)")
                        + "\"\n");
        Expected one;
        one.site = QString::fromLatin1(sites[who]);
        one.bot = bot;
        one.clicks = 1;
        one.referrers = 1;
        one.landings[QString::fromLatin1(pages[page])] = 1;
        one.days[engine::DaysFromCivil(2026, 12, unsigned(day))] = 1;
        one.first = one.last = instant;
        one.firstText = one.lastText = isoText(local, offset);
        const QString key
            = bot ? QStringLiteral("http://www.google.com/bot.html") : QString::fromLatin1(referrers[who]);
        Expected& row = expected[key];
        const int referrersBefore = row.referrers;
        row.add(one);
        row.referrers = std::max(referrersBefore, 1);
        row.site = one.site;
        row.bot = bot;
    }
    // The own site's lines are no referrer lines.
    lines.push_back(logLine("/inner", "http://127.0.0.1:7/"));
    std::shuffle(lines.begin(), lines.end(), random);
    QByteArray log;
    for (const QByteArray& line : lines)
        log += line;
    writeFile(logs + "/access.log", log);

    store = std::make_unique<engine::IniSettingsStore>(dir->path() + "/settings.ini");
    QVERIFY(store->write(u"data", u"path", logs));
    QVERIFY(store->write(u"data", u"strYourWebsite", "127.0.0.1:7"));
    QVERIFY(store->write(u"data", u"bDisplayStats", "0"));
    QVERIFY(store->write(u"Settings", u"showHelp", "0"));
    windows = std::make_unique<shell::ShellSecondaryWindows>(*store);
}

void DetailsWindowTest::cleanup()
{
    shell::UnloadDetailsWindow();
    window.reset();
    windows.reset();
    store.reset();
    dir.reset();
    engine::Globals() = engine::ScanSettings();
}

void DetailsWindowTest::makeWindow()
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

void DetailsWindowTest::scan()
{
    if (window->findChild<QGroupBox*>("frmMain")->isHidden())
        window->Command10_Click();
    QCOMPARE(window->frmMain->File1->selectEntries({"access.log"}), 1);
    window->cmdGo_Click();
    QVERIFY(scanEnds(*window));
}

DetailsWindow* DetailsWindowTest::openDetails()
{
    auto* item = window->findChild<QAction*>("mnuActionDetails");
    if (!item || !item->isEnabled() || item->text().remove(u'&') != QStringLiteral("Referrer Details"))
        return nullptr;
    item->trigger();
    return shell::OpenDetailsWindow();
}

void DetailsWindowTest::compare(const DetailsWindow& details, const Expected& want, const QString& referrer)
{
    QVERIFY(details.txtReferrer->isVisible());
    QVERIFY(!details.lblMessage->isVisible());
    QCOMPARE(details.txtReferrer->text(), referrer);
    QCOMPARE(details.lblClicks->text(),
             want.referrers > 1 ? QStringLiteral("%1 (from %2 referrers)").arg(want.clicks).arg(want.referrers)
                                : QString::number(want.clicks));
    QCOMPARE(details.lblFirstSeen->text(), want.firstText);
    QCOMPARE(details.lblLastSeen->text(), want.lastText);
    QStringList paths;
    QStringList clicks;
    for (const auto& [path, n] : want.landingRows()) {
        paths << path;
        clicks << QString::number(n);
    }
    QCOMPARE(landingTexts(*details.landings, 0), paths);
    QCOMPARE(landingTexts(*details.landings, 1), clicks);
    const std::vector<engine::DayClicks> days = shell::ChartDays(want.dayRows(), 731);
    QBarSeries* series = daySeries(details);
    QVERIFY(series && series->count() == 1);
    QCategoryAxis* axis = dayAxis(details);
    QVERIFY(axis);
    QCOMPARE(series->barSets().first()->count(), qsizetype(days.size()));
    QCOMPARE(axis->max(), qreal(days.size()) - 0.5);
    std::vector<std::int32_t> dayNumbers;
    for (std::size_t i = 0; i < days.size(); ++i) {
        QCOMPARE(series->barSets().first()->at(qsizetype(i)), qreal(days[i].clicks));
        dayNumbers.push_back(days[i].day);
    }
    QCOMPARE(axis->titleText(), shell::ChartDayLabels(dayNumbers, 1).title);
}

void DetailsWindowTest::followsTheSelectionAgainstAPlainCount()
{
    makeWindow();
    scan();
    const results::ResultsModel& rows = *window->resultsModel();
    QCOMPARE(rows.rowCount(), int(expected.size()));

    DetailsWindow* details = openDetails();
    QVERIFY(details);
    QVERIFY(QTest::qWaitForWindowExposed(details));
    QCOMPARE(details->objectName(), QStringLiteral("frmDetails"));
    QCOMPARE(details->windowTitle(), QStringLiteral("Referrer Details"));
    // Nothing selected yet: says how to choose a row.
    QVERIFY(details->lblMessage->isVisible());
    QVERIFY(!details->txtReferrer->isVisible());
    QCOMPARE(details->landings->rowCount(), 0);

    // Each row in turn, the crawler's too, in the list's present sort.
    window->lstResults_ColumnClick(results::ResultsModel::ClicksColumn);
    for (int r = 0; r < rows.rowCount(); ++r) {
        window->lstResults->setCurrentIndex(rows.index(r, 0));
        const QString referrer = rows.cellText(r, results::ResultsModel::ReferrerColumn);
        QVERIFY(expected.count(referrer));
        compare(*details, expected[referrer], referrer);
        if (QTest::currentTestFailed())
            return;
    }
    QVERIFY(details->lstLandings->isVisible());
    QVERIFY(details->chtDays->isVisible());

    // Clicks sort as numbers, landing pages as text; the row's counts stay with their pages.
    const int top = rows.findReferrer("www.alpha", -1);
    window->lstResults->setCurrentIndex(rows.index(top, 0));
    const Expected& alpha = expected["http://www.alpha.example/a"];
    QVERIFY(alpha.landingRows().front().second >= 10 && alpha.landingRows().back().second < 10);
    details->lstLandings->sortByColumn(1, Qt::AscendingOrder);
    const QStringList ascending = landingTexts(*details->landings, 1);
    for (qsizetype i = 1; i < ascending.size(); ++i)
        QVERIFY(ascending[i - 1].toULongLong() <= ascending[i].toULongLong());
    details->lstLandings->sortByColumn(0, Qt::AscendingOrder);
    QStringList paths = landingTexts(*details->landings, 0);
    QStringList sortedPaths = paths;
    sortedPaths.sort();
    QCOMPARE(paths, sortedPaths);
    for (int r = 0; r < details->landings->rowCount(); ++r)
        QCOMPARE(details->landings->item(r, 1)->text().toULongLong(), alpha.landings.at(paths[r]));
    details->lstLandings->sortByColumn(1, Qt::DescendingOrder);

    // Asked for again, from the row's context menu: the same window, brought forward.
    auto* contextItem = window->findChild<QAction*>("mnuResultsDetails");
    QVERIFY(contextItem);
    QCOMPARE(contextItem->text().remove(u'&'), QStringLiteral("Details"));
    QVERIFY(window->mnuResults->actions().contains(contextItem));
    contextItem->trigger();
    QCOMPARE(shell::OpenDetailsWindow(), details);
    compare(*details, alpha, "http://www.alpha.example/a");

    // No row selected, or a new scan: the empty state again.
    window->lstResults->clearSelection();
    QVERIFY(details->lblMessage->isVisible());
    QVERIFY(!details->txtReferrer->isVisible());
    window->lstResults->setCurrentIndex(rows.index(0, 0));
    QVERIFY(details->txtReferrer->isVisible());
    scan();
    QVERIFY(details->lblMessage->isVisible());
    QCOMPARE(details->landings->rowCount(), 0);
    QVERIFY(daySeries(*details) == nullptr);
}

void DetailsWindowTest::siteRowsSumTheirReferrers()
{
    makeWindow();
    scan();
    window->mnuActionGroup->setChecked(true);
    DetailsWindow* details = openDetails();
    QVERIFY(details);
    std::map<std::pair<QString, bool>, Expected> bySite;
    for (const auto& [referrer, row] : expected) {
        Expected& site = bySite[{row.site, row.bot}];
        site.add(row);
    }
    const results::ResultsModel& rows = *window->resultsModel();
    QCOMPARE(rows.rowCount(), int(bySite.size()));
    for (int r = 0; r < rows.rowCount(); ++r) {
        window->lstResults->setCurrentIndex(rows.index(r, 0));
        const QString site = rows.cellText(r, results::ResultsModel::ReferrerColumn);
        const bool bot = rows.cellText(r, results::ResultsModel::TypeColumn) == u"BOT";
        const std::pair<QString, bool> key(site, bot);
        QVERIFY(bySite.count(key));
        QCOMPARE(details->lblReferrerCaption->text(), QStringLiteral("Site:"));
        compare(*details, bySite[key], site);
        if (QTest::currentTestFailed())
            return;
    }
    const std::pair<QString, bool> alpha(QStringLiteral("alpha.example"), false);
    QCOMPARE(bySite[alpha].referrers, 2);
    // Back to the scan's rows: a referrer again.
    window->mnuActionGroup->setChecked(false);
    window->lstResults->setCurrentIndex(rows.index(0, 0));
    QCOMPARE(details->lblReferrerCaption->text(), QStringLiteral("Referrer:"));
}

void DetailsWindowTest::landingPageOpensInTheBrowserPane()
{
    makeWindow();
    scan();
    const results::ResultsModel& rows = *window->resultsModel();
    window->lstResults->setCurrentIndex(rows.index(rows.findReferrer("gamma", -1), 0));
    DetailsWindow* details = openDetails();
    QVERIFY(details);
    QVERIFY(QTest::qWaitForWindowExposed(details));
    QTreeView* list = details->lstLandings;
    const int last = details->landings->rowCount() - 1;
    QVERIFY(last > 0);
    const QString path = details->landings->item(last, 0)->text();
    const QRect cell = list->visualRect(details->landings->index(last, 0));
    // A real double-click: the first press picks the row, the second opens it.
    QSignalSpy activated(details, &DetailsWindow::landingPageActivated);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(activated.count(), 1);
    QCOMPARE(window->frmBrowser->Text1->text(), "http://127.0.0.1:7" + path);
    QCOMPARE(window->StatusBar1->panelText(3), "connecting http://127.0.0.1:7" + path);
    // Enter on a landing page does the same.
    list->setCurrentIndex(details->landings->index(0, 0));
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(window->frmBrowser->Text1->text(), "http://127.0.0.1:7" + details->landings->item(0, 0)->text());
}

void DetailsWindowTest::emptyStatesAndManyDays()
{
    DetailsWindow details(shell::WindowBranding::FromBuild());
    details.show();
    QVERIFY(QTest::qWaitForWindowExposed(&details));
    QVERIFY(details.lblMessage->isVisible());
    QVERIFY(details.lblMessage->text().startsWith(QStringLiteral("Select a row")));

    // A row without details (results that were saved without them): what is known, and why the rest is not.
    DetailsContent content;
    content.selected = true;
    content.referrer = QStringLiteral("http://a.example/");
    content.clicks = 3;
    content.referrers = 1;
    details.showContent(content);
    QVERIFY(details.txtReferrer->isVisible());
    QCOMPARE(details.lblClicks->text(), QStringLiteral("3"));
    QCOMPARE(details.lblFirstSeen->text(), QStringLiteral("\u2014"));
    QCOMPARE(details.lblLastSeen->text(), QStringLiteral("\u2014"));
    QVERIFY(details.lblMessage->isVisible());
    QVERIFY(details.lblMessage->text().contains(QStringLiteral("--details")));

    // Landing pages without any time: the table, and a chart that says why it is empty.
    content.details.landings = {{"/", 3}};
    details.showContent(content);
    QVERIFY(details.lstLandings->isVisible());
    QVERIFY(!details.lblMessage->isVisible());
    QCOMPARE(details.chtDays->chart()->series().size(), 0);
    QCOMPARE(details.chtDays->chart()->title(), QStringLiteral("No line of this row had a time."));

    // A few days show their dates; many leave them to the axis title, which gives the span.
    const std::int32_t start = engine::DaysFromCivil(2026, 11, 1);
    content.details.days = {{start, 2}, {start + 2, 5}};
    details.showContent(content);
    QVERIFY(dayAxis(details)->labelsVisible());
    QCOMPARE(dayAxis(details)->categoriesLabels(), (QStringList {"Nov 1", "Nov 2", "Nov 3"}));
    QCOMPARE(dayAxis(details)->titleText(), QStringLiteral("Nov 1 to Nov 3, 2026 (3 days)"));
    // The pointer resting on a bar gives its date and clicks; between the bars nothing.
    {
        QChart* chart = details.chtDays->chart();
        QTRY_VERIFY(chart->plotArea().width() > 0);
        auto moveTo = [&](qreal bar, qreal clicks) {
            const QPoint at
                = details.chtDays->mapFromScene(chart->mapToPosition(QPointF(bar, clicks), daySeries(details)));
            QWidget* viewport = details.chtDays->viewport();
            QHelpEvent rest(QEvent::ToolTip, at, viewport->mapToGlobal(at));
            QApplication::sendEvent(viewport, &rest);
        };
        moveTo(2, 4);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("Tue, Nov 3, 2026: 5 clicks"));
        moveTo(0.5, 1);
        QTRY_VERIFY(!QToolTip::isVisible());
        moveTo(1, 0.5);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("Mon, Nov 2, 2026: 0 clicks"));
    }
    content.details.days.clear();
    for (std::int32_t d = 0; d < 60; d += 2)
        content.details.days.push_back({start + d, std::uint64_t(d + 1)});
    details.showContent(content);
    // Fewer labels than bars, each wide enough for its date.
    const QStringList labels = dayAxis(details)->categoriesLabels();
    QVERIFY(labels.size() > 1 && labels.size() < 59);
    QCOMPARE(labels.first(), QStringLiteral("Nov 1"));
    QVERIFY(labels.size() * QFontMetrics(dayAxis(details)->labelsFont()).horizontalAdvance("May 30")
            < details.chtDays->width());
    QCOMPARE(dayAxis(details)->titleText(), QStringLiteral("Nov 1 to Dec 29, 2026 (59 days)"));
    QCOMPARE(daySeries(details)->barSets().first()->at(58), 59.0);

    // Its source and search words; referrers of several kinds stack their days by kind.
    content.source = QStringLiteral("google.com (Website)");
    content.keywords = {{"referrer logs", 2}, {"caf\xC3\xA9", 1}};
    content.details.days = {{start, 3}, {start + 2, 5}};
    content.kindDays
        = {{QStringLiteral("search"), {{start, 3}, {start + 2, 1}}}, {QStringLiteral("website"), {{start + 2, 4}}}};
    details.showContent(content);
    QCOMPARE(details.lblSource->text(), content.source);
    QCOMPARE(details.lblKeywords->text(), QStringLiteral("referrer logs (2)\ncaf\u00e9 (1)"));
    const QList<QAbstractSeries*> series = details.chtDays->chart()->series();
    QCOMPARE(series.size(), 1);
    auto* stacked = qobject_cast<QStackedBarSeries*>(series.first());
    QVERIFY(stacked);
    QCOMPARE(stacked->count(), 2);
    QCOMPARE(stacked->barSets()[0]->label(), QStringLiteral("search"));
    const QList<qreal> search {3, 0, 1}, website {0, 0, 4};
    for (int day = 0; day < 3; ++day) {
        QCOMPARE(stacked->barSets()[0]->at(day), search[day]);
        QCOMPARE(stacked->barSets()[1]->at(day), website[day]);
    }
}

void DetailsWindowTest::chartDaysFillTheGapsAgainstAPlainFill()
{
    std::mt19937 random(9);
    for (int round = 0; round < 200; ++round) {
        std::map<std::int32_t, std::uint64_t> plain;
        const int count = int(random() % 12);
        const std::int32_t base = std::int32_t(random() % 40000) - 1000;
        for (int i = 0; i < count; ++i)
            plain[base + std::int32_t(random() % (round % 2 ? 900 : 40))] += 1 + random() % 50;
        std::vector<engine::DayClicks> days;
        for (const auto& [day, clicks] : plain)
            days.push_back({day, clicks});
        const std::int32_t maxSpan = 731;
        const std::vector<engine::DayClicks> shown = shell::ChartDays(days, maxSpan);
        if (days.empty() || days.back().day - days.front().day >= maxSpan) {
            QCOMPARE(shown, days);
            continue;
        }
        QCOMPARE(shown.size(), std::size_t(days.back().day - days.front().day + 1));
        for (std::size_t i = 0; i < shown.size(); ++i) {
            QCOMPARE(shown[i].day, days.front().day + std::int32_t(i));
            const auto found = plain.find(shown[i].day);
            QCOMPARE(shown[i].clicks, found == plain.end() ? std::uint64_t(0) : found->second);
        }
    }
}

QTEST_MAIN(DetailsWindowTest)
#include "DetailsWindowTest.moc"
