// Log files reach the picker by a drop on the window or from the command line.
#include "MainWindow.h"

#include "engine/scan/BackgroundScan.h"
#include "engine/scan/ScanDriver.h"
#include "results/DroppedFiles.h"
#include "results/LogFilePicker.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QMimeData>
#include <QUrl>

namespace backtrail::shell {

namespace {

QStringList localFiles(const QMimeData* mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

} // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    // While a scan walks the file list, the list stays as it is.
    if (!scan->running() && !localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (!scan->running() && !localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QStringList paths = localFiles(event->mimeData());
    if (scan->running() || paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    OpenLogFiles(paths);
}

void MainWindow::OpenLogFiles(const QStringList& paths)
{
    const results::DroppedFiles dropped = results::ResolveDroppedFiles(paths);
    if (dropped.folder.isEmpty()) {
        showMessage(QStringLiteral("None of these files could be found:\n\n") + paths.join(u'\n'));
        return;
    }
    if (frmMain->ShowDroppedFiles(dropped) < 0)
        return;
    // The picker comes into view so that the user sees what is selected.
    if (frmMain->isHidden())
        Command10_Click();
    if (!dropped.skipped.isEmpty())
        showMessage(QStringLiteral("The file list shows one folder, %1. These were not selected because they lie "
                                   "elsewhere or do not exist:\n\n")
                        .arg(dropped.folder)
                    + dropped.skipped.join(u'\n'));
}

} // namespace backtrail::shell
