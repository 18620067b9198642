// Starts the desktop program the way it starts for a user, from the splash
// window to the main window with Help and Options over it, on a fresh
// settings store, and saves a picture of the screen into the folder given as
// the first argument. For a person to look at; not run by CTest.
#include "MainWindow.h"
#include "modLivery.h"
#include "shell/windows/ShellSecondaryWindows.h"
#include "shell/windows/SplashWindow.h"

#include "engine/Settings.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

using namespace backtrail;
using namespace backtrail::shell;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QTemporaryDir settings;
    engine::IniSettingsStore store(settings.filePath(QStringLiteral("Backtrail.ini")));
    ShellSecondaryWindows windows(store);
    std::unique_ptr<MainWindow> mainWindow;

    SplashWindow::Hooks hooks;
    hooks.loadBranding = [] {
        LoadBranding();
        return BrandingFromLivery(Branding());
    };
    hooks.openMainWindow = [&] {
        MainWindowSetup setup;
        setup.store = &store;
        setup.startPage = QStringLiteral("about:blank");
        setup.windows = &windows;
        mainWindow = std::make_unique<MainWindow>(setup);
        mainWindow->Form_Load();
        mainWindow->show();
    };
    SplashWindow splash(hooks);
    splash.show();
    QTimer::singleShot(4000, &app, [&] {
        QGuiApplication::primaryScreen()->grabWindow(0).save(folder + QStringLiteral("/startup.png"));
        QCoreApplication::quit();
    });
    return app.exec();
}
