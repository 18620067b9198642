#include "ShellSecondaryWindows.h"

#include "ShellWindows.h"
#include "modLivery.h"
#include "shell/skin/ModSkin.h"
#include "shell/skin/ProcessFlags.h"
#include "shell/skin/SkinEngine.h"

namespace backtrail::shell {

WindowBranding BrandingFromLivery(const Livery& livery)
{
    return {livery.strProgramName, livery.strCompanyName, livery.strWebsite, livery.bUseSkin};
}

ShellSecondaryWindows::ShellSecondaryWindows(engine::SettingsStore& settingsStore, BrowserWindowHooks hooks)
    : store(settingsStore)
    , browser(std::move(hooks))
{
}

void ShellSecondaryWindows::showOptions()
{
    ShowOptionsDialog(store, BrandingFromLivery(Branding()));
}

void ShellSecondaryWindows::showHelp()
{
    ShowHelpWindow(store, BrandingFromLivery(Branding()));
}

void ShellSecondaryWindows::showAbout()
{
    ShowAboutWindow(BrandingFromLivery(Branding()));
}

void ShellSecondaryWindows::showBrowserWindow()
{
    if (browser.show)
        browser.show();
}

void ShellSecondaryWindows::applySkin(QWidget* window)
{
    ApplySkin(window);
}

bool ShellSecondaryWindows::mainWindowClosing()
{
    UnloadOptionsDialog();
    UnloadHelpWindow();
    if (browser.visible && browser.visible()) {
        MainWindowClosed() = true;
        return true;
    }
    if (Branding().bUseSkin)
        SkinEngine::Instance().stop();
    return false;
}

} // namespace backtrail::shell
