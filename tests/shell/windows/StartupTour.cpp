// Starts the desktop program the way it starts for a user, from the splash
// window to the main window with Help and Options over it, on a fresh
// settings store, and saves a picture of the screen into the folder given as
// the first argument. For a person to look at; not run by CTest.
#include "shell/windows/Program.h"

#include "engine/base/Settings.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

using namespace backtrail;
using namespace backtrail::shell;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QTemporaryDir settings;
    engine::IniSettingsStore store(settings.filePath(QStringLiteral("Backtrail.ini")));
    Program::Setup setup;
    setup.store = &store;
    setup.startPage = QStringLiteral("about:blank");
    Program program(setup);
    QTimer::singleShot(4000, &app, [&] {
        QGuiApplication::primaryScreen()->grabWindow(0).save(folder + QStringLiteral("/startup.png"));
        QCoreApplication::quit();
    });
    return app.exec();
}
