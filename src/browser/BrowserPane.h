#pragma once

#include <QGroupBox>

class QLabel;
class QLineEdit;
class QToolButton;

namespace backtrail::browser {

class WebBrowser;

/// The "Browser" frame: an address box with Go, the Back, Forward, Stop and
/// Refresh buttons and the web view. In the main window a finished page puts
/// its title into the window's caption and its address into the address box;
/// the browser window, which wears the same frame, follows its pages itself.
class BrowserPane final : public QGroupBox
{
    Q_OBJECT
public:
    enum class Role {
        MainWindowPane, ///< the "URL:" label is SkinLabel1; finished pages set the caption
        BrowserWindowFrame, ///< the "URL:" label is the plain label Label5; the window follows pages itself
    };
    explicit BrowserPane(QWidget* parent = nullptr, Role role = Role::MainWindowPane);

    /// The caption's beginning, "program by company"; a finished page appends " - " and its title.
    void setCaptionBase(const QString& text) { captionBase = text; }

    /// The "URL:" label (objectName "SkinLabel1" or "Label5", by role).
    QLabel* SkinLabel1;
    QLineEdit* Text1;
    QToolButton* Command3;
    QToolButton* Command4;
    QToolButton* Command5;
    QToolButton* Command6;
    QToolButton* Command7;
    WebBrowser* WebBrowser1;

    void Command3_Click();
    void Text1_KeyPress(int keyAscii);
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void WebBrowser1_StatusTextChange(const QString& text);
    void WebBrowser1_DocumentComplete();

signals:
    /// The browser's status text, for the status bar's second panel.
    void statusTextChanged(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString captionBase;
};

} // namespace backtrail::browser
