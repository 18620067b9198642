// The main window's commands and its side of a scan.
#include "MainWindow.h"

#include "LayoutControls.h"
#include "StatusBar.h"
#include "modLivery.h"

#include "browser/BrowserPane.h"
#include "browser/WebBrowser.h"
#include "engine/scan/BackgroundScan.h"
#include "engine/scan/ScanDriver.h"
#include "results/FileListBox.h"
#include "results/HtmlExport.h"
#include "results/LogFilePicker.h"
#include "results/ResultsModel.h"
#include "results/RowAddress.h"
#include "results/modListViewEnh.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QToolButton>
#include <QTreeView>

#include <cmath>

namespace backtrail::shell {

namespace {

constexpr int kProgressSteps = 10000;

} // namespace

void MainWindow::showMessage(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, Branding().strProgramName, text, QMessageBox::Ok, this);
    box.exec();
}

// --- Scan -------------------------------------------------------------------

engine::Scanner& MainWindow::scanner()
{
    return scan->scanner();
}

bool MainWindow::scanRunning() const
{
    return scan->running();
}

void MainWindow::cmdGo_Click()
{
    // The scan runs on a thread of its own and tells this window what it
    // finds as it goes. A Scan click while it runs is ignored: the running
    // scan still uses the state that a start would reset.
    if (scan->running())
        return;
    unreadableFiles.clear();
    useVisitorLists();
    stopFollowing();
    planFollowedScan();
    startProgress(lastScanPaths);
    scan->start(engine::Globals(), [this] { scanEnded(); });
}

void MainWindow::scanEnded()
{
    startFollowing();
    if (!unreadableFiles.empty() && !exiting)
        showMessage(QStringLiteral("These files could not be read to their end; what was read of them is in the "
                                   "list:\n\n")
                    + unreadableText());
    if (closeAfterScan) {
        closeAfterScan = false;
        close();
    }
}

void MainWindow::startProgress(const QStringList& paths)
{
    std::int64_t bytes = 0;
    for (const QString& path : paths)
        bytes += QFileInfo(path).size();
    progress.start(bytes);
}

void MainWindow::cmdStop_Click()
{
    progress.freeze();
    endFollowing();
    scan->stop();
}

// While following, the scans read the followed files, not the file list.
int MainWindow::fileCount() const
{
    return followRound ? int(followPaths.size()) : frmMain->File1->entryCount();
}

bool MainWindow::fileSelected(int index) const
{
    return followRound ? index < int(followPaths.size()) : frmMain->File1->entrySelected(index);
}

QString MainWindow::fileFolder(int index) const
{
    return followRound ? QFileInfo(followPaths[index]).path() : frmMain->File1->path();
}

QString MainWindow::fileName(int index) const
{
    return followRound ? QFileInfo(followPaths[index]).fileName() : frmMain->File1->entryName(index);
}

engine::FileRange MainWindow::fileRange(int index) const
{
    return std::size_t(index) < followRanges.size() ? followRanges[std::size_t(index)] : engine::FileRange();
}

QString MainWindow::unreadableText() const
{
    QStringList lines;
    for (const auto& [path, reason] : unreadableFiles)
        lines << path + QStringLiteral(": ") + reason;
    return lines.join(u'\n');
}

void MainWindow::setStatus(const QString& text)
{
    scanStatus = text;
    StatusBar1->setPanelText(2, text);
}

void MainWindow::setProgress(double value, double maximum)
{
    ProgressBar1->setValue(int(std::lround(progress.report(value, maximum) * kProgressSteps)));
}

void MainWindow::yieldToEvents()
{
    // The scan runs on its own thread: there is nothing to let through.
}

void MainWindow::showStatistics(const QString& title, const QString& text)
{
    if (followRound)
        return; // what followed lines add is said in the status bar

    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::NoIcon, title, shown, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("ScanFinished"));
    // Wide enough that a window manager shows the whole title above the counts.
    box.setStyleSheet(
        QStringLiteral("QLabel { min-width: %1px; }").arg(box.fontMetrics().horizontalAdvance(title) + 120));
    box.exec();
}

void MainWindow::scanCompleted()
{
    if (Frame1->isHidden())
        Command10_Click();
}

void MainWindow::clearResults()
{
    results->clearRows();
}

void MainWindow::addResults(engine::ResultTable rows)
{
    results->setRows(std::move(rows));
    updateSortIndicator();
}

void MainWindow::fileUnreadable(const QString& path, const QString& reason)
{
    unreadableFiles.emplace_back(path, reason);
}

// --- Views ------------------------------------------------------------------

void MainWindow::Command10_Click()
{
    if (!frmMain->isHidden()) {
        frmMain->hide();
        Frame1->show();
    } else {
        frmMain->show();
        Frame1->hide();
    }
}

void MainWindow::cmdExpnd_Click()
{
    if (cmdExpnd->text() == u"Expand") {
        const float outerWidth = float(frameGeometry().width()) * 15.0f;
        frame1Width = ExpandedFrameWidth(outerWidth);
        frmMainWidth = frame1Width;
        cmdExpnd->setIcon(imgContract);
        cmdExpnd->setText(QStringLiteral("Contract"));
    } else {
        frame1Width = kNarrowFrameWidth;
        frmMainWidth = frame1Width;
        cmdExpnd->setIcon(imgExpand);
        cmdExpnd->setText(QStringLiteral("Expand"));
    }
    LayoutControls();
}

// --- Results ----------------------------------------------------------------

QString MainWindow::selectedReferrer(bool* found) const
{
    const QModelIndexList rows = lstResults->selectionModel()->selectedRows();
    *found = !rows.isEmpty();
    return *found ? results->cellText(rows.first().row(), results::ResultsModel::ReferrerColumn) : QString();
}

void MainWindow::lstResults_Click()
{
    bool found = false;
    const QString referrer = selectedReferrer(&found);
    if (found)
        StatusBar1->setPanelText(2, referrer);
}

void MainWindow::openSelectedReferrer(bool reportFailure)
{
    bool found = false;
    const QString referrer = selectedReferrer(&found);
    if (!found && reportFailure) {
        showMessage(QStringLiteral("You must select at least one referrer"));
        return;
    }
    // A site row opens the site's front page.
    if (found)
        frmBrowser->Text1->setText(results->groupedBySite() ? results::SiteAddress(referrer) : referrer);
    const QString address = frmBrowser->Text1->text();
    // A referrer comes from a log line that anyone can write: only web and
    // about pages are opened from it.
    if (!browser::IsBrowsableAddress(address)) {
        if (reportFailure)
            showMessage(QStringLiteral("You must select at least one referrer"));
        return;
    }
    openAddress(address);
}

void MainWindow::lstResults_DblClick()
{
    openSelectedReferrer(false);
}

void MainWindow::Command9_Click()
{
    openSelectedReferrer(true);
}

void MainWindow::lstResults_ColumnClick(int section)
{
    results::EnhListView_SortColumns(*results, section + 1, false, this);
    updateSortIndicator();
}

void MainWindow::updateSortIndicator()
{
    QHeaderView* header = lstResults->header();
    header->setSortIndicatorShown(results->sorted());
    if (results->sorted())
        header->setSortIndicator(results->sortKey(),
                                 results->sortOrder() == results::SortOrder::Ascending ? Qt::AscendingOrder
                                                                                       : Qt::DescendingOrder);
}

void MainWindow::cmdHtml_Click()
{
    if (scan->running())
        return;
    const results::ExportOutcome outcome
        = results::ExportReferrers(scan->scanner().state().lists, frmMain->File1->path());
    showMessage(results::ExportMessage(outcome));
}

// --- Other windows and shutdown ----------------------------------------------

void MainWindow::cmdOpts_Click()
{
    if (windows)
        windows->showOptions();
}

void MainWindow::Command8_Click()
{
    if (windows)
        windows->showBrowserWindow();
    else
        frmBrowser->WebBrowser1->Navigate(Branding().strWebsite);
}

void MainWindow::mnuHelpItem_Click()
{
    if (windows)
        windows->showHelp();
}

void MainWindow::mnuAboutItem_Click()
{
    if (windows)
        windows->showAbout();
}

void MainWindow::mnuFileExit_Click()
{
    // The program ends at once; a running scan is told to stop so that it
    // unwinds without showing anything more.
    exiting = true;
    scan->stop();
    QCoreApplication::exit(0);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The window closes once the running scan has stopped and told it so.
    if (scan->running()) {
        closeAfterScan = true;
        scan->stop();
        event->ignore();
        return;
    }
    // The program ends with this window unless the browser window stays open.
    event->accept();
    if (!windows || !windows->mainWindowClosing())
        QCoreApplication::quit();
}

} // namespace backtrail::shell
