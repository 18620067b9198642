#include "MainWindow.h"

#include "StatusBar.h"
#include "browser/BrowserPane.h"
#include "browser/WebBrowser.h"
#include "engine/base/Settings.h"
#include "engine/results/formats/Formats.h"
#include "engine/scan/BackgroundScan.h"
#include "engine/scan/ScanDriver.h"
#include "modLivery.h"
#include "results/FileListBox.h"
#include "results/LogFilePicker.h"
#include "results/ResultsModel.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace backtrail::shell {

void MainWindow::mnuFileExportReport_Click()
{
    if (scan->running())
        return;
    const QString folder = frmMain->File1->path();
    const QString suggested = QDir(folder).filePath(QStringLiteral("referrers-report.html"));
    const QString path = askSavePath(reportFileName, QStringLiteral("Export Report"), suggested,
                                     QStringLiteral("Web pages (*.html);;All files (*)"), QStringLiteral("html"));
    if (path.isEmpty())
        return;
    // The page shows the scan's rows (it groups by site itself), the files
    // the scan read and the ones it could not.
    engine::ResultsToWrite written = engine::ResultsToWriteOf(scan->scanner().state());
    written.settings = engine::Globals();
    written.status = scanStatus;
    for (int i = 0; i < fileCount(); ++i) {
        if (fileSelected(i))
            written.files << QDir(fileFolder(i)).filePath(fileName(i));
    }
    for (const auto& [file, reason] : unreadableFiles)
        written.unreadable.push_back({file, reason});
    QString error;
    if (!engine::WriteReportFile(path, written, results->scanRows(), &error)) {
        showMessage(QStringLiteral("The report could not be saved as %1.\n\n%2").arg(path, error));
        return;
    }
    StatusBar1->setPanelText(2, QStringLiteral("saved as ") + path);
    QMessageBox offer(QMessageBox::NoIcon, Branding().strProgramName,
                      QStringLiteral("The report is saved as %1.\n\nShow it in the browser pane?").arg(path),
                      QMessageBox::Ok | QMessageBox::Cancel, this);
    offer.button(QMessageBox::Ok)->setText(QStringLiteral("Show"));
    offer.button(QMessageBox::Cancel)->setText(QStringLiteral("Close"));
    offer.setDefaultButton(QMessageBox::Ok);
    if (offer.exec() == QMessageBox::Ok)
        openAddress(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString());
}

} // namespace backtrail::shell
