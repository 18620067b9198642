#pragma once

#include "WindowBranding.h"

#include <QWidget>

class QCheckBox;
class QTextBrowser;

namespace backtrail::engine {
class SettingsStore;
}

namespace backtrail::shell {

/// The help window "Readme/Help": the help document, and the switch that opens
/// the window by itself at start-up.
class HelpWindow : public QWidget
{
    Q_OBJECT

public:
    /// Loads the window (objectName "Form8") with the document at
    /// `documentPath`; the store must outlive it. When the document is
    /// missing the load stops early and the window is not to be shown
    /// (documentLoaded() is false).
    HelpWindow(engine::SettingsStore& store, const WindowBranding& branding, const QString& documentPath,
               QWidget* parent = nullptr);

    bool documentLoaded() const { return loaded; }
    QString documentPath() const { return path; }

public slots:
    /// Writes the start-up switch ("Settings"/"showHelp") at once: "1" when
    /// ticked, "0" when clear.
    void Check1_Click();

private:
    void Form_Load();

    engine::SettingsStore& store;
    WindowBranding branding;
    QString path;
    bool loaded = false;

    QTextBrowser* rtf1;
    QCheckBox* Check1;
};

} // namespace backtrail::shell
