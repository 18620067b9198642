// Timings of the main window on the offscreen platform: filling the results
// table, sorting it by a header click, and a whole scan of a log compared with
// the command-line scanner on the same file. Not run by CTest:
//   QT_QPA_PLATFORM=offscreen shell_window_bench [--rows N] [--log FILE]
#include "../results/ModalBoxes.h"

#include "MainWindow.h"
#include "StatusBar.h"

#include "engine/base/Settings.h"
#include "engine/results/Classify.h"
#include "engine/scan/ScanDriver.h"
#include "results/FileListBox.h"
#include "results/LogFilePicker.h"
#include "results/ResultsModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProgressBar>
#include <QTest>
#include <QTreeView>

#include <cstdio>
#include <random>

using namespace backtrail;

namespace {

double seconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

engine::ResultTable randomRows(int count)
{
    std::mt19937 random(11);
    engine::ResultTable rows;
    const char* const types[] = {"HTM", "JPG", "ZIP", "PDF", "BOT", ""};
    std::string referrer;
    for (int i = 0; i < count; ++i) {
        referrer = "http://site" + std::to_string(random() % 100000) + ".example/page/" + std::to_string(random());
        rows.append(types[random() % 6], "", referrer, "/index.html");
    }
    return rows;
}

} // namespace

int main(int argc, char* argv[])
{
    PrepareGuiTestEnvironment();
    QApplication app(argc, argv);
    int rowCount = 1000000;
    QString log;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (qstrcmp(argv[i], "--rows") == 0)
            rowCount = QByteArray(argv[i + 1]).toInt();
        else if (qstrcmp(argv[i], "--log") == 0)
            log = QString::fromLocal8Bit(argv[i + 1]);
    }

    QTemporaryDir dir;
    engine::IniSettingsStore store(dir.path() + "/settings.ini");
    store.write(u"data", u"bDisplayStats", "0");
    store.write(u"data", u"strYourWebsite", "www.example.org");
    if (!log.isEmpty())
        store.write(u"data", u"path", QFileInfo(log).absolutePath());
    shell::MainWindowSetup setup;
    setup.store = &store;
    setup.startPage = QStringLiteral("about:blank");
    shell::MainWindow window(setup);
    window.Form_Load();
    window.show();
    window.Command10_Click();
    QCoreApplication::processEvents();

    // Filling the table: what a scan's end does with a million referrers found
    // and duplicate removal off (rows from the working lists, into the table),
    // then one paint.
    {
        engine::WorkingLists lists;
        std::mt19937 random(5);
        for (int i = 0; i < rowCount; ++i) {
            const std::string referrer
                = "http://site" + std::to_string(random() % 100000) + ".example/page/" + std::to_string(random());
            lists.List1.append(referrer);
            lists.List2.push_back(engine::ExtensionIndex(
                "10.0.0.1 - - [17/May/2015:10:05:03 +0000] \"GET /index.html HTTP/1.1\" 200 512"));
            lists.landing.append("/index.html");
            lists.bot.push_back(0);
        }
        QElapsedTimer fill;
        fill.start();
        window.addResults(engine::FillResults(lists, true));
        window.lstResults->viewport()->repaint();
        QCoreApplication::processEvents();
        std::printf("fill %d rows from the working lists: %.3f s\n", rowCount, seconds(fill));
    }
    engine::ResultTable rows = randomRows(rowCount);
    QElapsedTimer timer;
    timer.start();
    window.addResults(std::move(rows));
    window.lstResults->viewport()->repaint();
    QCoreApplication::processEvents();
    std::printf("fill %d rows into the table: %.3f s\n", rowCount, seconds(timer));

    {
        // The model alone, without a view, to tell the sort from the view's own work.
        results::ResultsModel model;
        model.setRows(randomRows(rowCount));
        model.setSorted(true);
        timer.restart();
        model.setSortKey(2);
        std::printf("model only, sort by column 3: %.3f s\n", seconds(timer));
    }
    for (int column : {2, 0}) {
        timer.restart();
        window.lstResults_ColumnClick(column);
        window.lstResults->viewport()->repaint();
        QCoreApplication::processEvents();
        std::printf("header click on column %d, %d rows: %.3f s\n", column + 1, rowCount, seconds(timer));
    }

    if (!log.isEmpty()) {
        QProcess cli;
        timer.restart();
        cli.start(QStringLiteral(BACKTRAIL_SCAN_PROGRAM),
                  {"--quiet", "--domain", "www.example.org", "--output", dir.path() + "/out.txt", log});
        cli.waitForFinished(-1);
        const double cliSeconds = seconds(timer);
        std::printf("backtrail-scan: %.3f s (exit %d)\n", cliSeconds, cli.exitCode());

        window.Command10_Click();
        results::FileListBox* files = window.frmMain->File1;
        const QString name = QFileInfo(log).fileName();
        for (int i = 0; i < files->entryCount(); ++i)
            files->item(i)->setSelected(files->entryName(i) == name);
        // How long the window goes without handling events while it scans: a
        // timer that wants to fire every 10 ms records its longest gap.
        QElapsedTimer sinceTick;
        qint64 longestGap = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 gap = sinceTick.restart();
            if (gap > 100)
                std::printf("  %lld ms without events, before: \"%s\" at progress %d\n", static_cast<long long>(gap),
                            qPrintable(window.StatusBar1->panelText(2)), window.ProgressBar1->value());
            longestGap = std::max(longestGap, gap);
        });
        ticker.start(10);
        sinceTick.start();
        timer.restart();
        window.cmdGo_Click();
        if (!QTest::qWaitFor([&] { return !window.scanRunning(); }, 3600 * 1000)) {
            std::fprintf(stderr, "the window's scan has not ended after an hour\n");
            return 1;
        }
        const double windowSeconds = seconds(timer);
        ticker.stop();
        std::printf("longest wait for events during the window scan: %lld ms\n", static_cast<long long>(longestGap));
        std::printf("window scan: %.3f s, %d rows; ratio to backtrail-scan %.2f\n", windowSeconds,
                    window.resultsModel()->rowCount(), windowSeconds / cliSeconds);
        std::printf("%s\n", qPrintable(window.StatusBar1->panelText(2)));
    }
    return 0;
}
