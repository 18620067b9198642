#pragma once

#include "MainWindow.h"
#include "WindowBranding.h"

#include <QMetaObject>

#include <functional>

namespace backtrail::engine {
class SettingsStore;
}

namespace backtrail::shell {

struct Livery;
struct DetailsContent;

/// The window branding from the program's branding values.
WindowBranding BrandingFromLivery(const Livery& livery);

/// What the details window shows of the main window's selected row: the
/// referrer (or site) and clicks as the list shows them, and the scan's
/// details of the rows it stands for (a site row's referrers summed).
DetailsContent DetailsOfSelection(MainWindow& main);

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
    bool editDateRange(QWidget* parent, const LogDays& logs) override;
    /// Shows the details window (once per process) following `main`'s
    /// selection; a double-click on a landing page opens it in `main`'s browser pane.
    void showDetails(MainWindow& main) override;
    /// Unloads Options, Help and the details window. With the browser window visible, marks the
    /// main window closed and returns true: the program lives on until that
    /// window closes. Otherwise stops the skin engine (when windows are
    /// skinned) and returns false: the program is to end now.
    bool mainWindowClosing() override;

private:
    engine::SettingsStore& store;
    BrowserWindowHooks browser;
    // The details window's ties to the main window it follows.
    QMetaObject::Connection followSelection;
    QMetaObject::Connection openLanding;
};

} // namespace backtrail::shell
