// Drives the real window through a scan under a display server and saves a
// picture of the screen, to look at what a user sees. Not a test: run it as
//   xvfb-run -a shell_screenshot_tour OUT.png [menu]
// With "menu" the rows are grouped by site and a row's context menu is open.
#include "../results/ModalBoxes.h"

#include "MainWindow.h"

#include "engine/base/Settings.h"
#include "results/FileListBox.h"
#include "results/LogFilePicker.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QScreen>
#include <QTest>
#include <QTreeView>

#include <random>

using namespace backtrail;

int main(int argc, char* argv[])
{
    PrepareGuiTestEnvironment();
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("tour.png");
    const bool menu = argc > 2 && QByteArray(argv[2]) == "menu";

    QTemporaryDir dir;
    const QString logs = dir.path() + "/logs";
    QDir().mkpath(logs);
    std::mt19937 random(3);
    const char* const referrers[] = {"http://www.search.example/search?q=referrer+log",
                                     "http://blog.example.net/2015/05/logstash-tips/",
                                     "http://forum.example.com/thread/4242",
                                     "http://news.example.org/tech/",
                                     "http://links.example.info/webtools.html",
                                     "-"};
    const char* const pages[] = {"/index.html", "/img/logo.png", "/files/tool.zip", "/setup.exe", "/docs/a.pdf"};
    for (const char* name : {"access.log", "access.log.1", "error.log"}) {
        QFile file(logs + '/' + name);
        file.open(QIODevice::WriteOnly);
        for (int i = 0; i < 400; ++i)
            file.write(QStringLiteral("10.0.0.%1 - - [17/May/2015:10:05:03 +0000] \"GET %2 HTTP/1.1\" 200 512 \"%3\" "
                                      "\"Mozilla/5.0\"\n")
                           .arg(i % 250)
                           .arg(pages[random() % 5], referrers[random() % 6])
                           .toUtf8());
    }
    engine::IniSettingsStore store(dir.path() + "/settings.ini");
    store.write(u"data", u"path", logs);
    store.write(u"data", u"bDisplayStats", "0");

    shell::MainWindowSetup setup;
    setup.store = &store;
    setup.startPage = QStringLiteral("data:text/html,<title>Welcome</title><body style='font-family:sans-serif'>"
                                     "<h2>Backtrail</h2><p>Pick log files on the left and press Scan.</p></body>");
    shell::MainWindow window(setup);
    window.Form_Load();
    window.move(0, 0);
    window.show();

    QTimer::singleShot(1500, &window, [&] {
        window.frmMain->cmdSelAll_Click();
        window.cmdGo_Click();
        if (!QTest::qWaitFor([&] { return !window.scanRunning(); }, 60000))
            qWarning("the scan has not ended after a minute");
        window.lstResults_ColumnClick(1);
        window.lstResults->setCurrentIndex(window.lstResults->model()->index(1, 0));
        window.lstResults_Click();
        if (menu) {
            window.mnuActionGroup->setChecked(true);
            const QRect row = window.lstResults->visualRect(window.lstResults->model()->index(1, 2));
            window.lstResults_ContextMenu(QPoint(row.left() + 30, row.center().y()));
        }
    });
    QTimer::singleShot(4000, &window, [&] {
        QGuiApplication::primaryScreen()->grabWindow(0).save(out);
        app.quit();
    });
    return app.exec();
}
