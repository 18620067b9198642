#pragma once

#include "WindowBranding.h"

namespace backtrail::engine {
class SettingsStore;
}

namespace backtrail::shell {

class AboutWindow;
class DetailsWindow;
class HelpWindow;
class OptionsDialog;

// The secondary windows, each once per process, opened without blocking and
// without an owner window. Asking for an open one brings it to the front as
// it is; a closed one is gone, and the next request loads it afresh. The
// store must outlive the windows.

/// The Options command: loads the Options dialog (or finds it open), shows it
/// and puts it above all other windows.
OptionsDialog* ShowOptionsDialog(engine::SettingsStore& store, const WindowBranding& branding);

/// View Help: loads the help window with the document HelpDocumentPath()
/// finds and shows it; null, and no window, when the document is missing.
HelpWindow* ShowHelpWindow(engine::SettingsStore& store, const WindowBranding& branding);
/// The same with the document at `documentPath`.
HelpWindow* ShowHelpWindow(engine::SettingsStore& store, const WindowBranding& branding, const QString& documentPath);

/// About this software: loads and shows the About window.
AboutWindow* ShowAboutWindow(const WindowBranding& branding);

/// Details: loads and shows the details window (empty until it is given a row).
DetailsWindow* ShowDetailsWindow(const WindowBranding& branding);

/// The open windows, or null.
OptionsDialog* OpenOptionsDialog();
HelpWindow* OpenHelpWindow();
AboutWindow* OpenAboutWindow();
DetailsWindow* OpenDetailsWindow();

/// Unload the windows, as the main window does when it closes.
void UnloadOptionsDialog();
void UnloadHelpWindow();
void UnloadAboutWindow();
void UnloadDetailsWindow();

/// Start-up: the help window opens by itself when "Settings"/"showHelp",
/// read with default "1", is exactly "1".
bool HelpWantedAtStartup(const engine::SettingsStore& store);

/// Start-up: the Options dialog opens by itself while the own domain is
/// exactly the placeholder domain.
bool OptionsWantedAtStartup();

} // namespace backtrail::shell
