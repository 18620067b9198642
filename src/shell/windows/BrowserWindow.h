#pragma once

#include "ShellSecondaryWindows.h"
#include "WindowBranding.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;

namespace backtrail::browser {
class BrowserPane;
class WebBrowser;
} // namespace backtrail::browser

namespace backtrail::shell {

class SkinLabel;
class StatusBar;

/// What the browser window's layout depends on, in twips.
struct BrowserLayoutInput
{
    float windowWidth = 0; ///< W: the window's outer width
    float windowHeight = 0; ///< H: the window's outer height
    float statusBarHeight = 315;
    float clientWidth = 0; ///< the window's inside, without the window manager's frame; 0 when not known
    float clientHeight = 0;
};

/// Sizes the browser window's layout sets, in twips; lefts and tops it does
/// not name keep their design values.
struct BrowserLayout
{
    float panelWidth[2] = {}; ///< the status bar's two panels
    float frameWidth = 0;
    float frameHeight = 0;
    float addressWidth = 0; ///< Text1
    float goLeft = 0; ///< Command3
    float browserWidth = 0; ///< WebBrowser1
    float browserHeight = 0;
};

/// The browser window's layout for a window size. Every width and height is
/// the absolute value of its difference, so a window smaller than the margins
/// still gets sizes that are never negative. When the inside size is known,
/// the frame ends at the status bar and the client's right edge, and the page
/// reaches down to the frame's bottom edge: the margins the rules take off the
/// outer size stand for the caption and borders, which the inside has not.
BrowserLayout LayoutBrowserWindow(const BrowserLayoutInput& input);

/// The stand-alone browser window (objectName "frmWebsite"): the browser frame
/// of the main window on its own, maximised, with a status bar of two panels.
/// It opens on the web site and follows the pages the user browses to. When
/// the main window has closed before it, closing it ends the program.
class BrowserWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit BrowserWindow(const WindowBranding& branding, QWidget* parent = nullptr);

    browser::BrowserPane* frmBrowser;
    QLabel* Label5;
    QLineEdit* Text1;
    QToolButton* Command3;
    QToolButton* Command4;
    QToolButton* Command5;
    QToolButton* Command6;
    QToolButton* Command7;
    browser::WebBrowser* WebBrowser1;
    StatusBar* StatusBar1;
    SkinLabel* SkinLabel1; ///< the template of the frame's skin labels; only its copies show

    /// Sizes the controls for the window's present size.
    void LayoutBrowserWindow();
    void WebBrowser1_StatusTextChange(const QString& text);
    /// A load ended: the address box takes the page's address, the title its name (an empty name empties it).
    void WebBrowser1_DownloadComplete();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();

    WindowBranding values;
};

/// Visit: loads the browser window and shows it, or brings the open one to
/// the front without loading its page again.
BrowserWindow* ShowBrowserWindow(const WindowBranding& branding);
/// The open browser window, or null.
BrowserWindow* OpenBrowserWindow();
/// Unloads the browser window if it exists, without its closing steps.
void UnloadBrowserWindow();
/// The hooks through which the main window's other windows reach this one.
ShellSecondaryWindows::BrowserWindowHooks BrowserWindowHooksFor(std::function<WindowBranding()> branding);

} // namespace backtrail::shell
