#pragma once

#include "WindowBranding.h"

#include <QWidget>

#include <functional>

class QLabel;
class QTimer;

namespace backtrail::shell {

class Skin;

/// The splash window: it loads the branding values, prepares the skin every
/// window wears and starts the skinning engine, then counts timer ticks and
/// on the 75th opens the main window and hides itself. It stays loaded for
/// the whole run because it carries the shared skin.
class SplashWindow : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int intTemp READ counter)

public:
    struct Hooks
    {
        /// Fills the branding values; the build's values when empty.
        std::function<WindowBranding()> loadBranding;
        /// Loads and shows the main window.
        std::function<void()> openMainWindow;
    };

    /// Loads the splash window (objectName "frmSplash") and starts its timer.
    explicit SplashWindow(Hooks hooks, QWidget* parent = nullptr);

    /// The tick counter: 2 more at every tick.
    int counter() const { return intTemp; }
    Skin* skin() const { return skn; }
    WindowBranding branding() const { return values; }

public slots:
    /// One tick: the counter grows by 2; at 150 the timer stops, the main
    /// window opens and the splash window hides.
    void Timer2_Timer();

private:
    void Form_Load();

    Hooks hooks;
    WindowBranding values;
    qint16 intTemp = 0;

    QLabel* Image1;
    QLabel* Label3;
    Skin* skn;
    QTimer* Timer2;
};

} // namespace backtrail::shell
