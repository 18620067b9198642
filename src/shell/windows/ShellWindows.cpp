#include "ShellWindows.h"

#include "AboutWindow.h"
#include "DetailsWindow.h"
#include "HelpDocument.h"
#include "HelpWindow.h"
#include "OptionsDialog.h"
#include "SingleWindow.h"
#include "shell/skin/ModOnTop.h"

#include "engine/base/Settings.h"

namespace backtrail::shell {

namespace {

SingleWindow<OptionsDialog>& optionsSlot()
{
    static SingleWindow<OptionsDialog> slot;
    return slot;
}

SingleWindow<HelpWindow>& helpSlot()
{
    static SingleWindow<HelpWindow> slot;
    return slot;
}

SingleWindow<AboutWindow>& aboutSlot()
{
    static SingleWindow<AboutWindow> slot;
    return slot;
}

SingleWindow<DetailsWindow>& detailsSlot()
{
    static SingleWindow<DetailsWindow> slot;
    return slot;
}

} // namespace

OptionsDialog* ShowOptionsDialog(engine::SettingsStore& store, const WindowBranding& branding)
{
    OptionsDialog* dialog = optionsSlot().show([&] { return new OptionsDialog(store, branding); });
    SetOnTop(dialog, true);
    return dialog;
}

HelpWindow* ShowHelpWindow(engine::SettingsStore& store, const WindowBranding& branding)
{
    return ShowHelpWindow(store, branding, HelpDocumentPath());
}

HelpWindow* ShowHelpWindow(engine::SettingsStore& store, const WindowBranding& branding, const QString& documentPath)
{
    return helpSlot().show([&]() -> HelpWindow* {
        auto* window = new HelpWindow(store, branding, documentPath);
        if (window->documentLoaded())
            return window;
        delete window; // a missing document drops the request
        return nullptr;
    });
}

AboutWindow* ShowAboutWindow(const WindowBranding& branding)
{
    return aboutSlot().show([&] { return new AboutWindow(branding); });
}

DetailsWindow* ShowDetailsWindow(const WindowBranding& branding)
{
    return detailsSlot().show([&] { return new DetailsWindow(branding); });
}

OptionsDialog* OpenOptionsDialog()
{
    return optionsSlot().get();
}
HelpWindow* OpenHelpWindow()
{
    return helpSlot().get();
}
AboutWindow* OpenAboutWindow()
{
    return aboutSlot().get();
}
DetailsWindow* OpenDetailsWindow()
{
    return detailsSlot().get();
}

void UnloadOptionsDialog()
{
    optionsSlot().unload();
}
void UnloadHelpWindow()
{
    helpSlot().unload();
}
void UnloadAboutWindow()
{
    aboutSlot().unload();
}
void UnloadDetailsWindow()
{
    detailsSlot().unload();
}

bool HelpWantedAtStartup(const engine::SettingsStore& store)
{
    return store.read(QString::fromLatin1(engine::keys::kSettings), QString::fromLatin1(engine::keys::kShowHelp),
                      QStringLiteral("1"))
        == u"1";
}

bool OptionsWantedAtStartup()
{
    return engine::Globals().strYourWebsite == QLatin1String(engine::kPlaceholderDomain);
}

} // namespace backtrail::shell
