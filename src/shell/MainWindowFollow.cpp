// Action > Follow Logs: after a scan, the list follows the files it read as
// they grow or rotate. Each round reads only what the files added (known by
// content, as backtrail-scan --state knows them) after the results so far;
// the sort order and the selected row stay.
#include "MainWindow.h"
#include "StatusBar.h"

#include "engine/base/Settings.h"
#include "engine/scan/BackgroundScan.h"
#include "engine/scan/ScanDriver.h"
#include "results/FileListBox.h"
#include "results/LogFilePicker.h"
#include "results/ResultsModel.h"

#include <QDir>
#include <QTreeView>

#include <algorithm>

namespace backtrail::shell {

void MainWindow::mnuActionFollow_Click(bool checked)
{
    storeSwitch(engine::keys::kFollowLogs, checked);
    if (!checked) {
        endFollowing();
        return;
    }
    // A scan that runs follows its files from its end on; else those of the last scan are followed from now on.
    if (!scan->running() && !followTimer->isActive())
        followLastScan();
}

void MainWindow::setFollowInterval(int milliseconds)
{
    followTimer->setInterval(milliseconds);
}

QStringList MainWindow::selectedPaths() const
{
    QStringList paths;
    for (int i = 0; i < fileCount(); ++i)
        if (fileSelected(i))
            paths << QDir(fileFolder(i)).filePath(fileName(i));
    return paths;
}

void MainWindow::planFollowedScan()
{
    followRanges.clear();
    followMarks.clear();
    followPaths.clear();
    lastScanPaths = selectedPaths();
    if (!mnuActionFollow->isChecked())
        return;
    // What the scan reads of each selected file is what following goes on
    // from: whole lines (a last line without its end waits for the next round).
    std::vector<int> selected;
    for (int i = 0; i < fileCount(); ++i)
        if (fileSelected(i))
            selected.push_back(i);
    followPaths = lastScanPaths;
    std::vector<engine::FileRange> ranges;
    std::vector<std::pair<QString, QString>> unreadable; // the scan says why
    QString rewritten;
    engine::PlanReads(followPaths, followMarks, ranges, unreadable, &rewritten);
    followRanges.assign(std::size_t(fileCount()), engine::FileRange());
    for (std::size_t k = 0; k < selected.size() && k < ranges.size(); ++k)
        followRanges[std::size_t(selected[k])] = ranges[k];
}

void MainWindow::startFollowing()
{
    followRanges.clear();
    followNewLines = 0;
    if (!mnuActionFollow->isChecked() || scan->scanner().state().counters.StopRequested) {
        followPaths.clear();
        return;
    }
    if (followPaths.isEmpty()) {
        // Switched on while the scan ran: its files are followed from its end.
        followLastScan();
        return;
    }
    followTimer->start();
}

void MainWindow::followLastScan()
{
    followRanges.clear();
    followMarks.clear();
    followNewLines = 0;
    followPaths = lastScanPaths;
    if (followPaths.isEmpty() || scan->scanner().state().counters.StopRequested) {
        followPaths.clear();
        StatusBar1->setPanelText(2, QStringLiteral("Follow Logs follows the files of a complete scan: scan first"));
        return;
    }
    // What the files hold now is where following goes on from.
    std::vector<engine::FileRange> ranges;
    std::vector<std::pair<QString, QString>> unreadable;
    QString rewritten;
    engine::PlanReads(followPaths, followMarks, ranges, unreadable, &rewritten);
    followTimer->start();
    StatusBar1->setPanelText(2, followingText());
}

QString MainWindow::followingText() const
{
    return QStringLiteral("Following %1 files: %2 new lines").arg(followPaths.size()).arg(followNewLines);
}

void MainWindow::stopFollowing()
{
    followTimer->stop();
}

void MainWindow::endFollowing()
{
    const bool following = followTimer->isActive() || followRound;
    stopFollowing();
    if (mnuActionFollow->isChecked()) {
        mnuActionFollow->setChecked(false);
        storeSwitch(engine::keys::kFollowLogs, false);
    }
    // A round that runs says so at its end.
    if (following && !followRound)
        StatusBar1->setPanelText(2, stoppedFollowingText());
}

QString MainWindow::stoppedFollowingText() const
{
    return QStringLiteral("Stopped following %1 files").arg(followPaths.size());
}

void MainWindow::followLogs()
{
    if (scan->running() || followPaths.isEmpty())
        return;
    std::vector<engine::FileRange> ranges;
    std::vector<std::pair<QString, QString>> unreadable;
    QString rewritten;
    if (!engine::PlanReads(followPaths, followMarks, ranges, unreadable, &rewritten)) {
        stopFollowing();
        setStatus(QStringLiteral("Stopped following: %1 was written anew").arg(rewritten));
        return;
    }
    if (std::all_of(ranges.begin(), ranges.end(),
                    [](const engine::FileRange& r) { return r.end >= 0 && r.end <= r.begin; }))
        return; // nothing new
    // The selected row, known again by its referrer and type.
    const QModelIndex current = lstResults->currentIndex();
    auto textAt = [this](int row, int column) { return results->data(results->index(row, column)).toString(); };
    const QString referrer
        = current.isValid() ? textAt(current.row(), results::ResultsModel::ReferrerColumn) : QString();
    const QString type = current.isValid() ? textAt(current.row(), results::ResultsModel::TypeColumn) : QString();
    engine::Scanner& scanner = scan->scanner();
    const std::int64_t before = scanner.state().counters.LinesScanned;
    scanner.setEarlierResults(scanner.resultsAsPart());
    followRanges = std::move(ranges);
    followRound = true;
    unreadableFiles.clear();
    startProgress(followPaths);
    scan->start(engine::Globals(), [this, referrer, type, before, selected = current.isValid()] {
        followRoundEnded(referrer, type, selected, before);
    });
}

void MainWindow::followRoundEnded(const QString& referrer, const QString& type, bool selected, std::int64_t before)
{
    followRound = false;
    followRanges.clear();
    const engine::ScanState& state = scan->scanner().state();
    if (state.counters.StopRequested) {
        stopFollowing();
        StatusBar1->setPanelText(2, stoppedFollowingText());
        if (closeAfterScan) {
            closeAfterScan = false;
            close();
        }
        return;
    }
    followNewLines += state.counters.LinesScanned - before;
    auto textAt = [this](int row, int column) { return results->data(results->index(row, column)).toString(); };
    for (int row = 0; selected && row < results->rowCount(); ++row) {
        if (textAt(row, results::ResultsModel::ReferrerColumn) == referrer
            && textAt(row, results::ResultsModel::TypeColumn) == type) {
            lstResults->setCurrentIndex(results->index(row, 0));
            break;
        }
    }
    setStatus(followingText());
}

} // namespace backtrail::shell
