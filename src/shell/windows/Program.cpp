#include "Program.h"

#include "BrowserWindow.h"
#include "HelpWindow.h"
#include "MainWindow.h"
#include "OptionsDialog.h"
#include "ShellWindows.h"
#include "SplashWindow.h"
#include "modLivery.h"

#include <QApplication>

namespace backtrail::shell {

namespace {

WindowBranding CurrentBranding()
{
    return BrandingFromLivery(Branding());
}

} // namespace

Program::Program(const Setup& setup)
    : values(setup)
{
    QApplication::setQuitOnLastWindowClosed(false);
    windows = std::make_unique<ShellSecondaryWindows>(*values.store, BrowserWindowHooksFor(CurrentBranding));
    SplashWindow::Hooks hooks;
    hooks.loadBranding = [] {
        LoadBranding();
        return CurrentBranding();
    };
    hooks.openMainWindow = [this] { openMainWindow(); };
    splashWindow = std::make_unique<SplashWindow>(hooks);
    splashWindow->show();
}

Program::~Program()
{
    // The windows the main window opened go before the main window and the
    // skin they wear.
    UnloadOptionsDialog();
    UnloadHelpWindow();
    UnloadAboutWindow();
    UnloadDetailsWindow();
    UnloadBrowserWindow();
    main.reset();
}

void Program::openMainWindow()
{
    MainWindowSetup setup;
    setup.store = values.store;
    setup.windows = windows.get();
    setup.startFiles = values.startFiles;
    setup.startPage = values.startPage;
    main = std::make_unique<MainWindow>(setup);
    main->Form_Load();
    main->show();
    // The windows the start opened stay in sight above the main window, the
    // Options dialog on top, whether or not a window manager keeps them there.
    if (HelpWindow* help = OpenHelpWindow())
        help->raise();
    if (OptionsDialog* options = OpenOptionsDialog())
        options->raise();
}

} // namespace backtrail::shell
