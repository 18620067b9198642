// The main window's extras around the results table: its context menu and the
// landing page, grouping by site, finding a referrer, the CSV export, the keys.
#include "MainWindow.h"

#include "StatusBar.h"

#include "browser/BrowserPane.h"
#include "browser/WebBrowser.h"
#include "engine/base/Settings.h"
#include "engine/fields/LineTime.h"
#include "engine/results/Grouping.h"
#include "engine/results/SavedResults.h"
#include "engine/scan/BackgroundScan.h"
#include "engine/scan/ScanDriver.h"
#include "engine/visitors/CrawlerList.h"
#include "engine/visitors/SpamList.h"
#include "engine/visitors/VisitorLists.h"
#include "results/CsvExport.h"
#include "results/FileListBox.h"
#include "results/LogFilePicker.h"
#include "results/ResultsModel.h"
#include "results/RowAddress.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QTreeView>

namespace backtrail::shell {

void MainWindow::buildResultsMenu()
{
    mnuResults = new QMenu(this);
    mnuResults->setObjectName(QStringLiteral("mnuResults"));
    mnuResultsOpen = mnuResults->addAction(QStringLiteral("&Open"));
    mnuResultsOpen->setObjectName(QStringLiteral("mnuResultsOpen"));
    connect(mnuResultsOpen, &QAction::triggered, this, &MainWindow::Command9_Click);
    mnuResultsOpenLanding = mnuResults->addAction(QStringLiteral("Open &Landing Page"));
    mnuResultsOpenLanding->setObjectName(QStringLiteral("mnuResultsOpenLanding"));
    connect(mnuResultsOpenLanding, &QAction::triggered, this, &MainWindow::mnuResultsOpenLanding_Click);
    mnuResultsDetails = mnuResults->addAction(QStringLiteral("&Details"));
    mnuResultsDetails->setObjectName(QStringLiteral("mnuResultsDetails"));
    connect(mnuResultsDetails, &QAction::triggered, this, &MainWindow::mnuActionDetails_Click);
    mnuResults->addSeparator();
    mnuResultsMarkSpam = mnuResults->addAction(QStringLiteral("Mark Site as &Spam"));
    mnuResultsMarkSpam->setObjectName(QStringLiteral("mnuResultsMarkSpam"));
    connect(mnuResultsMarkSpam, &QAction::triggered, this, &MainWindow::mnuResultsMarkSpam_Click);

    // Ctrl+F finds a referrer by text, F3 finds the next one; both while the table has the focus.
    auto* find = new QShortcut(QKeySequence::Find, lstResults, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    find->setObjectName(QStringLiteral("lstResultsFind"));
    connect(find, &QShortcut::activated, this, &MainWindow::lstResults_Find);
    // F3 everywhere, besides the platform's own Find Next keys.
    auto* next = new QShortcut(lstResults);
    next->setContext(Qt::WidgetWithChildrenShortcut);
    QList<QKeySequence> nextKeys = QKeySequence::keyBindings(QKeySequence::FindNext);
    if (!nextKeys.contains(QKeySequence(Qt::Key_F3)))
        nextKeys.prepend(QKeySequence(Qt::Key_F3));
    next->setKeys(nextKeys);
    connect(next, &QShortcut::activated, this, &MainWindow::lstResults_FindNext);
}

int MainWindow::selectedRow() const
{
    const QModelIndexList rows = lstResults->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void MainWindow::openAddress(const QString& address)
{
    frmBrowser->Text1->setText(address);
    StatusBar1->setPanelText(3, connectingText(address));
    frmBrowser->WebBrowser1->Navigate(address);
}

void MainWindow::lstResults_ContextMenu(const QPoint& position)
{
    // A right click picks the row under the pointer, as a left click would.
    const QModelIndex under = lstResults->indexAt(position);
    if (under.isValid()) {
        // The row is in sight where it was clicked: the wide referrer cell must not scroll the table sideways.
        const bool scrolls = lstResults->hasAutoScroll();
        lstResults->setAutoScroll(false);
        lstResults->setCurrentIndex(under);
        lstResults->setAutoScroll(scrolls);
        lstResults_Click();
    }
    const int row = selectedRow();
    mnuResultsOpen->setEnabled(row >= 0);
    mnuResultsOpenLanding->setEnabled(row >= 0
                                      && !results->cellBytes(row, results::ResultsModel::LandingColumn).empty());
    mnuResultsDetails->setEnabled(row >= 0 && windows != nullptr);
    mnuResultsMarkSpam->setEnabled(row >= 0);
    mnuResults->popup(lstResults->viewport()->mapToGlobal(position));
}

void MainWindow::mnuResultsOpenLanding_Click()
{
    const int row = selectedRow();
    if (row < 0) {
        showMessage(QStringLiteral("You must select at least one referrer"));
        return;
    }
    OpenLandingPage(results->cellText(row, results::ResultsModel::LandingColumn));
}

void MainWindow::OpenLandingPage(const QString& path)
{
    const QString address = results::LandingPageAddress(engine::Globals().strYourWebsite, path);
    if (address.isEmpty()) {
        showMessage(QStringLiteral("This row has no landing page to open."));
        return;
    }
    openAddress(address);
}

void MainWindow::mnuActionDetails_Click()
{
    if (windows)
        windows->showDetails(*this);
}

void MainWindow::mnuActionDateRange_Click()
{
    if (windows && windows->editDateRange(this, LogDaysOf(results->scanRows())))
        showDateRange();
}

void MainWindow::showDateRange()
{
    StatusBar1->setPanelText(kDatesPanel, DateRangePanelText(engine::Globals()));
}

LogDays LogDaysOf(const engine::ResultTable& rows)
{
    LogDays days;
    auto dayOf = [](const engine::LineTime& time) { return QDate(time.year, time.month, time.day); };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const engine::ResultRow row = rows.row(i);
        if (row.firstSeen.valid && (!days.first.isValid() || dayOf(row.firstSeen) < days.first))
            days.first = dayOf(row.firstSeen);
        if (row.lastSeen.valid && (!days.last.isValid() || dayOf(row.lastSeen) > days.last))
            days.last = dayOf(row.lastSeen);
    }
    return days;
}

QString DateRangePanelText(const engine::ScanSettings& settings)
{
    // Each bound as the scan reads it: one it cannot read leaves that end open.
    auto bound = [](const QString& text, bool isEnd) {
        const QByteArray bytes = text.toUtf8();
        return engine::ParseRangeBound(std::string_view(bytes.constData(), std::size_t(bytes.size())), isEnd)
            ? text
            : QString();
    };
    const QString since = bound(settings.strDateSince, false);
    const QString until = bound(settings.strDateUntil, true);
    if (!since.isEmpty() && !until.isEmpty())
        return QStringLiteral("Dates: %1 to %2").arg(since, until);
    if (!since.isEmpty())
        return QStringLiteral("Dates: from ") + since;
    if (!until.isEmpty())
        return QStringLiteral("Dates: to ") + until;
    return {};
}

void MainWindow::mnuActionGroup_Click(bool checked)
{
    if (checked)
        mnuActionGroupSource->setChecked(false);
    keepingScroll([&] { results->setGroupedBySite(checked); });
    updateSortIndicator();
    showRowsInView();
}

void MainWindow::mnuActionGroupSource_Click(bool checked)
{
    if (checked)
        mnuActionGroup->setChecked(false);
    keepingScroll([&] { results->setGroupedBySource(checked); });
    updateSortIndicator();
    showRowsInView();
}

void MainWindow::mnuActionKind_Click(int filter)
{
    keepingScroll([&] { results->setKindFilter(results::ResultsModel::KindFilter(filter)); });
    updateSortIndicator();
    showRowsInView(true);
}

void MainWindow::showRowsInView(bool evenAll)
{
    if (!evenAll && results->kindFilter() == results::ResultsModel::KindFilter::All)
        return;
    StatusBar1->setPanelText(
        2, QStringLiteral("%1 of %2 rows shown").arg(results->rowCount()).arg(results->allRowCount()));
}

void MainWindow::storeSwitch(const char* key, bool on)
{
    if (!store.write(QString::fromLatin1(engine::keys::kData), QString::fromLatin1(key), engine::BoolToText(on)))
        showMessage(QStringLiteral("The setting could not be saved; it holds until the program ends."));
}

void MainWindow::mnuActionHideCrawlers_Click(bool checked)
{
    engine::Globals().bHideCrawlers = checked;
    storeSwitch(engine::keys::kHideCrawlers, checked);
}

void MainWindow::mnuActionHideSpam_Click(bool checked)
{
    engine::Globals().bHideSpam = checked;
    storeSwitch(engine::keys::kHideSpam, checked);
}

void MainWindow::useVisitorLists()
{
    // The source lists may come from another folder, named by the setting "sourceLists".
    const QString sourceLists = store.read(QString::fromLatin1(engine::keys::kSettings),
                                           QString::fromLatin1(engine::keys::kSourceLists), QString());
    engine::VisitorLists lists = engine::LoadVisitorLists({}, {}, store.fileName(), sourceLists);
    results->setSourceLists(lists.sources, lists.spam);
    scan->scanner().setVisitorLists(lists.crawlers, std::move(lists.spam));
    if (!lists.problems.isEmpty())
        StatusBar1->setPanelText(3, lists.problems.first());
}

void MainWindow::mnuResultsMarkSpam_Click()
{
    // The lists stay as they are while a scan reads with them.
    if (scan->running())
        return;
    const int row = selectedRow();
    if (row < 0) {
        showMessage(QStringLiteral("You must select at least one referrer"));
        return;
    }
    const std::string site = engine::ReferringSite(results->cellBytes(row, results::ResultsModel::ReferrerColumn));
    if (store.fileName().isEmpty() || site.empty()) {
        showMessage(QStringLiteral("This row names no site to mark as spam."));
        return;
    }
    QString error;
    if (!engine::AppendUserSpamHost(engine::UserSpamListPath(store.fileName()), site, &error)) {
        showMessage(QStringLiteral("The site could not be added to your spam list:\n\n%1").arg(error));
        return;
    }
    useVisitorLists();
    results->retypeSpam(scan->scanner().spamList());
    StatusBar1->setPanelText(3, QString::fromStdString(site) + QStringLiteral(" marked as spam"));
}

void MainWindow::lstResults_Find()
{
    QInputDialog ask(this);
    ask.setObjectName(QStringLiteral("FindReferrer"));
    ask.setWindowTitle(QStringLiteral("Find Referrer"));
    ask.setLabelText(QStringLiteral("Find the next referrer containing:"));
    ask.setTextValue(findText);
    if (ask.exec() != QDialog::Accepted || ask.textValue().isEmpty())
        return;
    findText = ask.textValue();
    lstResults_FindNext();
}

void MainWindow::lstResults_FindNext()
{
    if (findText.isEmpty()) {
        lstResults_Find();
        return;
    }
    const QModelIndex current = lstResults->currentIndex();
    const int row = results->findReferrer(findText, current.isValid() ? current.row() : -1);
    if (row < 0) {
        showMessage(QStringLiteral("No referrer contains \"%1\".").arg(findText));
        return;
    }
    const QModelIndex found = results->index(row, 0);
    lstResults->setCurrentIndex(found);
    lstResults->scrollTo(found);
    lstResults_Click();
}

QString MainWindow::askSavePath(const std::function<QString(QWidget*, const QString&)>& hook, const QString& title,
                                const QString& suggested, const QString& filter, const QString& suffix)
{
    if (hook)
        return hook(this, suggested);
    QFileDialog ask(this, title, suggested, filter);
    ask.setAcceptMode(QFileDialog::AcceptSave);
    ask.setDefaultSuffix(suffix);
    if (ask.exec() == QDialog::Accepted && !ask.selectedFiles().isEmpty())
        return ask.selectedFiles().first();
    return {};
}

void MainWindow::mnuFileExportCsv_Click()
{
    const QString folder = frmMain->File1->path();
    const QString suggested = (folder.endsWith(u'/') ? folder : folder + u'/') + QStringLiteral("referrers.csv");
    const QString path = askSavePath(csvFileName, QStringLiteral("Export CSV"), suggested,
                                     QStringLiteral("CSV files (*.csv);;All files (*)"), QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    const results::CsvOutcome outcome = results::ExportResultsCsv(*results, path);
    if (!outcome.saved) {
        showMessage(QStringLiteral("The referrer list could not be saved as %1.\n\n%2").arg(path, outcome.error));
        return;
    }
    StatusBar1->setPanelText(2, QStringLiteral("saved as ") + path);
}

void MainWindow::mnuFileOpenResults_Click()
{
    if (scan->running())
        return;
    // Results read back are not the followed logs': following ends.
    stopFollowing();
    followPaths.clear();
    lastScanPaths.clear();
    QString path;
    if (resultsFileName) {
        path = resultsFileName(this);
    } else {
        path = QFileDialog::getOpenFileName(this, QStringLiteral("Open Results"), frmMain->File1->path(),
                                            QStringLiteral("Scan results (*.json);;All files (*)"));
    }
    if (!path.isEmpty())
        OpenResults(path);
}

bool MainWindow::OpenResults(const QString& path)
{
    if (scan->running())
        return false;
    engine::SavedResults saved;
    QString error;
    if (!engine::MergeSavedResults({path}, saved, &error)) {
        showMessage(QStringLiteral("These are no results that Backtrail can show:\n\n%1").arg(error));
        return false;
    }
    unreadableFiles.clear();
    useVisitorLists();
    startProgress({});
    scan->useSettings(engine::Globals());
    scan->scanner().ShowResults(std::move(saved.part), saved.filesDone, saved.unreadable);
    if (!unreadableFiles.empty() && !exiting)
        showMessage(QStringLiteral("These files could not be read to their end; what was read of them is in the "
                                   "list:\n\n")
                    + unreadableText());
    return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Enter on a row opens it, as a double-click does.
    if (watched == lstResults && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && selectedRow() >= 0) {
            lstResults_DblClick();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace backtrail::shell
