// Shows the splash, Options, Help and About windows one at a time on a real
// display and saves a picture of the screen for each into the folder given
// as the first argument. For a person to look at; not run by CTest.
#include "ScreenPictures.h"
#include "shell/skin/ModSkin.h"
#include "shell/skin/SkinEngine.h"
#include "shell/windows/AboutWindow.h"
#include "shell/windows/HelpWindow.h"
#include "shell/windows/OptionsDialog.h"
#include "shell/windows/SplashWindow.h"

#include "engine/base/Settings.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTemporaryDir>

#include <memory>

using namespace backtrail;
using namespace backtrail::shell;
using namespace backtrail::testing;

namespace {

void shoot(QWidget* window, const QString& file)
{
    window->move(40, 40);
    window->show();
    Settle(400);
    SaveScreen(file);
    window->close();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    const QString help = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("Help.rtf");
    QTemporaryDir settings;
    engine::IniSettingsStore store(settings.filePath(QStringLiteral("Backtrail.ini")));
    engine::LoadSettings(store);

    SplashWindow::Hooks hooks;
    auto splash = std::make_unique<SplashWindow>(hooks);
    splash->findChild<QTimer*>(QStringLiteral("Timer2"))->stop();
    splash->show();
    Settle(400);
    SaveScreen(folder + QStringLiteral("/splash.png"));
    splash->hide();

    const WindowBranding branding = WindowBranding::FromBuild();
    OptionsDialog options(store, branding);
    shoot(&options, folder + QStringLiteral("/options.png"));
    HelpWindow helpWindow(store, branding, help);
    shoot(&helpWindow, folder + QStringLiteral("/help.png"));
    AboutWindow about(branding);
    shoot(&about, folder + QStringLiteral("/about.png"));
    SkinEngine::Instance().stop();
    return 0;
}
