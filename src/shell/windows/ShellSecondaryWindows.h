#pragma once

#include "MainWindow.h"
#include "WindowBranding.h"

#include <functional>

namespace backtrail::engine {
class SettingsStore;
}

namespace backtrail::shell {

struct Livery;

/// The window branding from the program's branding values.
WindowBranding BrandingFromLivery(const Livery& livery);

/// The secondary windows as the main window asks for them: Options, Help and
/// About from this folder, the browser window through the hooks it is given.
class ShellSecondaryWindows final : public SecondaryWindows
{
public:
    struct BrowserWindowHooks
    {
        /// Loads and shows the browser window (or brings it to the front).
        std::function<void()> show;
        /// Whether the browser window is open and visible.
        std::function<bool()> visible;
    };

    /// The store must outlive the windows.
    explicit ShellSecondaryWindows(engine::SettingsStore& store, BrowserWindowHooks browser = {});

    void showOptions() override;
    void showHelp() override;
    void showAbout() override;
    void showBrowserWindow() override;
    void applySkin(QWidget* window) override;
    /// Unloads Options and Help. With the browser window visible, marks the
    /// main window closed and returns true: the program lives on until that
    /// window closes. Otherwise stops the skin engine (when windows are
    /// skinned) and returns false: the program is to end now.
    bool mainWindowClosing() override;

private:
    engine::SettingsStore& store;
    BrowserWindowHooks browser;
};

} // namespace backtrail::shell
