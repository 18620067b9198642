#pragma once

#include "ShellSecondaryWindows.h"

#include <QStringList>

#include <memory>

namespace backtrail::engine {
class SettingsStore;
}

namespace backtrail::shell {

class MainWindow;
class SplashWindow;

/// The desktop program's windows from its start on: the splash window, which
/// opens the main window on its 75th tick and then stays loaded, hidden, for
/// the whole run; the main window; and the Options, Help, About and browser
/// windows the main window opens. The program, not the last closed window,
/// decides when the event loop ends.
class Program
{
public:
    struct Setup
    {
        engine::SettingsStore* store = nullptr; ///< must be set, and outlive the program
        QStringList startFiles; ///< log files (or a folder) named on the command line
        QString startPage; ///< the browser pane's first page; empty means the program's own page
    };

    /// Loads and shows the splash window; the event loop does the rest.
    explicit Program(const Setup& setup);
    ~Program();

    SplashWindow& splash() const { return *splashWindow; }
    /// The main window once the splash window has opened it, else null.
    MainWindow* mainWindow() const { return main.get(); }

private:
    void openMainWindow();

    Setup values;
    std::unique_ptr<ShellSecondaryWindows> windows;
    std::unique_ptr<MainWindow> main;
    std::unique_ptr<SplashWindow> splashWindow;
};

} // namespace backtrail::shell
