// Starts the desktop program as a user does, scans a log, picks a row and
// opens the Date Range dialog and the details window, saving a picture of the
// screen at each step into the folder given as the first argument. Run as
//   xvfb-run -a sh -c 'openbox & shell_details_tour OUT LOG DOMAIN [REFERRER]'
// For a person to look at; not run by CTest.
#include "../../results/ModalBoxes.h"

#include "MainWindow.h"
#include "ScreenPictures.h"
#include "StatusBar.h"
#include "shell/windows/DateRangeDialog.h"
#include "shell/windows/DetailsWindow.h"
#include "shell/windows/Program.h"
#include "shell/windows/ShellWindows.h"

#include "engine/base/Settings.h"
#include "results/ResultsModel.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <QTimer>
#include <QTreeView>
#include <cstdio>

using namespace backtrail;
using namespace backtrail::shell;

using namespace backtrail::testing;

int main(int argc, char** argv)
{
    PrepareGuiTestEnvironment();
    QApplication app(argc, argv);
    if (argc < 4) {
        qWarning("usage: shell_details_tour OUT LOG DOMAIN [REFERRER]");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QFileInfo log(QString::fromLocal8Bit(argv[2]));
    const QString domain = QString::fromLocal8Bit(argv[3]);
    const QString referrer = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QString();
    QTemporaryDir settings;
    engine::IniSettingsStore store(settings.filePath(QStringLiteral("Backtrail.ini")));
    store.write(u"data", u"strYourWebsite", domain);
    store.write(u"data", u"bDisplayStats", QStringLiteral("0"));
    store.write(u"Settings", u"showHelp", QStringLiteral("0"));

    Program::Setup setup;
    setup.store = &store;
    setup.startPage = QStringLiteral("about:blank");
    setup.startFiles = {log.absoluteFilePath()};
    Program program(setup);
    while (!program.mainWindow())
        Settle(100);
    MainWindow& main = *program.mainWindow();
    Settle(1500);
    main.cmdGo_Click();
    if (!QTest::qWaitFor([&] { return !main.scanRunning(); }, 60000)) {
        std::fprintf(stderr, "the scan has not ended after a minute\n");
        return 1;
    }
    main.lstResults_ColumnClick(results::ResultsModel::ClicksColumn);
    const results::ResultsModel& rows = *main.resultsModel();
    int row = 0;
    for (int r = 0; r < rows.rowCount(); ++r)
        if (rows.cellText(r, results::ResultsModel::ReferrerColumn) == referrer)
            row = r;
    main.lstResults->setCurrentIndex(rows.index(row, 0));
    main.lstResults->scrollTo(rows.index(row, 0));
    Settle(500);
    SaveScreen(folder + QStringLiteral("/details-main.png"));

    // The Date Range dialog over the main window, a range set, then the panel that shows it.
    QTimer::singleShot(800, &app, [&] {
        auto* dialog = qobject_cast<DateRangeDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->chkAllDates->setChecked(false);
        dialog->dtpSince->setDate(QDate(2015, 5, 17));
        dialog->dtpUntil->setDate(QDate(2015, 5, 19));
        Settle(300);
        SaveWindow(dialog, folder + QStringLiteral("/date-range.png"));
        SaveScreen(folder + QStringLiteral("/date-range-screen.png"));
        dialog->cmdOk->click();
    });
    main.mnuActionDateRange_Click();
    Settle(300);
    SaveScreen(folder + QStringLiteral("/date-range-panel.png"));

    main.mnuActionDetails_Click();
    Settle(1500);
    if (DetailsWindow* details = OpenDetailsWindow()) {
        SaveWindow(details, folder + QStringLiteral("/details.png"));
        SaveScreen(folder + QStringLiteral("/details-screen.png"));
        // Nothing selected: the empty state.
        main.lstResults->clearSelection();
        Settle(300);
        SaveWindow(details, folder + QStringLiteral("/details-empty.png"));
        // A site row.
        main.mnuActionGroup->setChecked(true);
        main.lstResults->setCurrentIndex(rows.index(0, 0));
        Settle(500);
        SaveWindow(details, folder + QStringLiteral("/details-site.png"));
    }
    // The window manager's frame and the layout settle before the program ends.
    QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
    main.mnuFileExit_Click();
    return 0;
}
