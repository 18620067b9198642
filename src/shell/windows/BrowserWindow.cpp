#include "BrowserWindow.h"

#include "Pictures.h"
#include "SingleWindow.h"
#include "StatusBar.h"
#include "browser/BrowserPane.h"
#include "browser/WebBrowser.h"
#include "shell/skin/CopyLabelsToSkinLabels.h"
#include "shell/skin/ModOnTop.h"
#include "shell/skin/ModSkin.h"
#include "shell/skin/ProcessFlags.h"
#include "shell/skin/SkinEngine.h"
#include "shell/skin/SkinLabel.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace backtrail::shell {

namespace {

constexpr float kTwipsPerPixel = 15.0f;
constexpr int kStatusBarHeight = 21; // 315 twips

// Design values in twips that the layout keeps or reads.
constexpr float kAddressLeft = 540;
constexpr float kGoWidth = 795;
constexpr float kBrowserLeft = 120;
constexpr float kBrowserTop = 1140;
// The frame's bottom line, which the page stops above: 2 pixels.
constexpr float kFrameBottomLine = 30;

int px(float twips)
{
    return int(std::lround(twips / kTwipsPerPixel));
}

SingleWindow<BrowserWindow>& browserSlot()
{
    static SingleWindow<BrowserWindow> slot;
    return slot;
}

} // namespace

BrowserLayout LayoutBrowserWindow(const BrowserLayoutInput& in)
{
    BrowserLayout l;
    l.panelWidth[0] = std::fabs(in.windowWidth / 2);
    l.panelWidth[1] = std::fabs(in.windowWidth / 2);
    l.frameHeight = std::fabs(in.windowHeight - in.statusBarHeight);
    l.frameWidth = std::fabs(in.windowWidth - 300);
    l.addressWidth = std::fabs(l.frameWidth - kAddressLeft - 300 - kGoWidth);
    l.goLeft = kAddressLeft + l.addressWidth + 100;
    l.browserWidth = std::fabs(l.frameWidth - kBrowserLeft - 100);
    l.browserHeight = std::fabs(l.frameHeight - kBrowserTop - 800 - in.statusBarHeight);
    if (in.clientWidth > 0 && in.clientHeight > 0) {
        if (in.clientHeight - in.statusBarHeight > 0)
            l.frameHeight = std::min(l.frameHeight, in.clientHeight - in.statusBarHeight);
        l.frameWidth = std::min(l.frameWidth, in.clientWidth);
        if (l.frameHeight > kBrowserTop + kFrameBottomLine)
            l.browserHeight = l.frameHeight - kBrowserTop - kFrameBottomLine;
    }
    return l;
}

BrowserWindow::BrowserWindow(const WindowBranding& branding, QWidget* parent)
    : QWidget(parent)
    , values(branding)
{
    setObjectName(QStringLiteral("frmWebsite"));
    setWindowIcon(ProgramIcon());
    frmBrowser = new browser::BrowserPane(this, browser::BrowserPane::Role::BrowserWindowFrame);
    Label5 = frmBrowser->SkinLabel1;
    Text1 = frmBrowser->Text1;
    Command3 = frmBrowser->Command3;
    Command4 = frmBrowser->Command4;
    Command5 = frmBrowser->Command5;
    Command6 = frmBrowser->Command6;
    Command7 = frmBrowser->Command7;
    WebBrowser1 = frmBrowser->WebBrowser1;
    SkinLabel1 = new SkinLabel(frmBrowser);
    SkinLabel1->setObjectName(QString::fromLatin1(kSkinLabelArray));
    SkinLabel1->hide();
    StatusBar1 = new StatusBar(1, this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));

    // The design size: the frame with the status bar under it.
    frmBrowser->setGeometry(0, 0, px(6375), px(7215));
    resize(px(6375), px(7215) + kStatusBarHeight);

    connect(WebBrowser1, &browser::WebBrowser::StatusTextChange, this, &BrowserWindow::WebBrowser1_StatusTextChange);
    connect(WebBrowser1, &browser::WebBrowser::DownloadComplete, this, &BrowserWindow::WebBrowser1_DownloadComplete);
    Form_Load();
}

void BrowserWindow::Form_Load()
{
    StatusBar1->addPanel();
    setWindowTitle(values.strWebsite);
    SetOnTop(this, true);
    if (values.bUseSkin) {
        CopyLabelsToSkinLabels(this, true);
        ApplySkin(this);
    }
    WebBrowser1->Navigate(values.strWebsite);
    setWindowState(windowState() | Qt::WindowMaximized);
    SetOnTop(this, false);
}

void BrowserWindow::LayoutBrowserWindow()
{
    BrowserLayoutInput in;
    const QRect outer = frameGeometry();
    in.windowWidth = float(outer.width()) * kTwipsPerPixel;
    in.windowHeight = float(outer.height()) * kTwipsPerPixel;
    in.statusBarHeight = float(kStatusBarHeight) * kTwipsPerPixel;
    in.clientWidth = float(width()) * kTwipsPerPixel;
    in.clientHeight = float(height()) * kTwipsPerPixel;
    const BrowserLayout l = shell::LayoutBrowserWindow(in);

    // The status bar stays docked along the bottom edge, above the frame
    // (it was made after the frame, so it lies in front of it).
    StatusBar1->setGeometry(0, height() - kStatusBarHeight, width(), kStatusBarHeight);
    StatusBar1->setPanelWidth(1, px(l.panelWidth[0]));
    StatusBar1->setPanelWidth(2, px(l.panelWidth[1]));
    frmBrowser->resize(px(l.frameWidth), px(l.frameHeight));
    Text1->resize(px(l.addressWidth), Text1->height());
    Command3->move(px(l.goLeft), Command3->y());
    WebBrowser1->resize(px(l.browserWidth), px(l.browserHeight));
}

void BrowserWindow::WebBrowser1_StatusTextChange(const QString& text)
{
    StatusBar1->setPanelText(1, text);
}

void BrowserWindow::WebBrowser1_DownloadComplete()
{
    Text1->setText(WebBrowser1->LocationURL());
    setWindowTitle(WebBrowser1->LocationName());
}

void BrowserWindow::paintEvent(QPaintEvent* event)
{
    // Laying out again changes nothing when the size has not changed.
    LayoutBrowserWindow();
    QWidget::paintEvent(event);
}

void BrowserWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayoutBrowserWindow();
}

void BrowserWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (!MainWindowClosed())
        return;
    // The main window went first: the program ends with this window.
    if (values.bUseSkin)
        SkinEngine::Instance().stop();
    QCoreApplication::quit();
}

BrowserWindow* ShowBrowserWindow(const WindowBranding& branding)
{
    return browserSlot().show([&] { return new BrowserWindow(branding); });
}

BrowserWindow* OpenBrowserWindow()
{
    return browserSlot().get();
}

void UnloadBrowserWindow()
{
    browserSlot().unload();
}

ShellSecondaryWindows::BrowserWindowHooks BrowserWindowHooksFor(std::function<WindowBranding()> branding)
{
    ShellSecondaryWindows::BrowserWindowHooks hooks;
    hooks.show = [branding = std::move(branding)] { ShowBrowserWindow(branding()); };
    hooks.visible = [] { return OpenBrowserWindow() != nullptr; };
    return hooks;
}

} // namespace backtrail::shell
