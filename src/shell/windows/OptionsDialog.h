#pragma once

#include "WindowBranding.h"

#include <QWidget>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QToolButton;

namespace backtrail::engine {
class SettingsStore;
}

namespace backtrail::shell {

class SkinLabel;

/// The Options dialog: the own domain and the four scan switches. It opens
/// showing the values the last read of the settings gave; Ok writes all of
/// them to the store and reads them back at once so that the next scan
/// follows them. The close box writes nothing.
class OptionsDialog : public QWidget
{
    Q_OBJECT

public:
    /// Loads the dialog (objectName "Form2") from the process-wide scan
    /// settings; the store must outlive it.
    OptionsDialog(engine::SettingsStore& store, const WindowBranding& branding, QWidget* parent = nullptr);

public slots:
    /// Ok: saves the own domain and the switches, re-reads the settings and
    /// closes. When the store refuses a value the user is told, the program
    /// keeps the settings it had and the dialog stays open.
    void Command1_Click();

private:
    void Form_Load();

    engine::SettingsStore& store;
    WindowBranding branding;

    QLabel* Label1;
    QLineEdit* Text1;
    QLabel* Label2;
    QLabel* Label3;
    QFrame* Line1;
    QCheckBox* Check1;
    QCheckBox* Check2;
    QCheckBox* Check3;
    QCheckBox* Check4;
    QToolButton* Command1;
    SkinLabel* SkinLabel1;
};

} // namespace backtrail::shell
