// The browser window against pages served on 127.0.0.1 by the test itself:
// its start on the web site, its layout, and what closing it does.
#include "../../browser/PageServer.h"
#include "../../results/ModalBoxes.h"

#include "StatusBar.h"
#include "browser/BrowserPane.h"
#include "browser/WebBrowser.h"
#include "shell/skin/CopyLabelsToSkinLabels.h"
#include "shell/skin/ModSkin.h"
#include "shell/skin/ProcessFlags.h"
#include "shell/skin/Skin.h"
#include "shell/skin/SkinEngine.h"
#include "shell/skin/SkinLabel.h"
#include "shell/windows/BrowserWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

using namespace backtrail::shell;
using backtrail::browser::WebBrowser;

namespace {

constexpr int kLoadTimeout = 30000; // the web view's first start can take a while on a loaded machine

} // namespace

class BrowserWindowTest : public QObject
{
    Q_OBJECT
public:
    static void initMain() { PrepareGuiTestEnvironment(); }

private slots:
    void initTestCase();
    void cleanup();
    void layoutFollowsTheWindowAndIsNeverNegative();
    void opensMaximisedTitledWithTheWebSiteUntilTheFirstPage();
    void openingAgainBringsItUpWithoutLoadingAgain();
    void pagesWithoutANameEmptyTheTitle();
    void statusTextGoesToTheFirstPanel();
    void closingWhileTheMainWindowIsOpenOnlyClosesIt();
    void closingAfterTheMainWindowEndsTheProgram();

private:
    BrowserWindow* open(const char* path);

    std::unique_ptr<PageServer> server;
    std::unique_ptr<Skin> skin;
};

void BrowserWindowTest::initTestCase()
{
    server = std::make_unique<PageServer>();
    skin = std::make_unique<Skin>();
    SetSharedSkin(skin.get());
}

void BrowserWindowTest::cleanup()
{
    UnloadBrowserWindow();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    MainWindowClosed() = false;
}

BrowserWindow* BrowserWindowTest::open(const char* path)
{
    WindowBranding branding = WindowBranding::FromBuild();
    branding.strWebsite = server->url(path);
    return ShowBrowserWindow(branding);
}

void BrowserWindowTest::layoutFollowsTheWindowAndIsNeverNegative()
{
    // An ordinary window: W 9000, H 7000 twips, status bar 315.
    BrowserLayout l = LayoutBrowserWindow({9000, 7000, 315});
    QCOMPARE(l.panelWidth[0], 4500.f);
    QCOMPARE(l.panelWidth[1], 4500.f);
    QCOMPARE(l.frameWidth, 8700.f);
    QCOMPARE(l.frameHeight, 6685.f);
    QCOMPARE(l.addressWidth, 8700.f - 540 - 300 - 795);
    QCOMPARE(l.goLeft, 540 + l.addressWidth + 100);
    QCOMPARE(l.browserWidth, 8700.f - 120 - 100);
    QCOMPARE(l.browserHeight, 6685.f - 1140 - 800 - 315);

    // Narrower and lower than the margins: every size is the absolute value.
    l = LayoutBrowserWindow({200, 100, 315});
    QCOMPARE(l.frameWidth, 100.f);
    QCOMPARE(l.frameHeight, 215.f);
    QCOMPARE(l.addressWidth, 1535.f);
    QCOMPARE(l.browserWidth, 120.f);
    QCOMPARE(l.browserHeight, 2040.f);

    // With the inside known (a 30-pixel caption, 2-pixel borders): the frame
    // ends at the status bar and the client's edge, and the page reaches down to it.
    for (const float insideWidth : {6375.f, 19200.f}) {
        const float insideHeight = insideWidth * 0.6f;
        l = LayoutBrowserWindow({insideWidth + 60, insideHeight + 480, 315, insideWidth, insideHeight});
        QCOMPARE(l.frameHeight, insideHeight - 315);
        QVERIFY(l.frameWidth <= insideWidth);
        QVERIFY(l.goLeft + 795 <= l.frameWidth);
        QVERIFY(120 + l.browserWidth <= l.frameWidth);
        QCOMPARE(1140 + l.browserHeight, l.frameHeight - 30); // above the frame's 2-pixel bottom line
    }

    // The window applies it: a tiny window still gives its controls real sizes.
    BrowserWindow* window = open("/titled");
    window->setWindowState(Qt::WindowNoState);
    window->resize(10, 10);
    QTRY_COMPARE(window->width(), 10);
    for (QWidget* control : {static_cast<QWidget*>(window->frmBrowser), static_cast<QWidget*>(window->Text1),
                             static_cast<QWidget*>(window->WebBrowser1)}) {
        QVERIFY2(control->width() > 0 && control->height() > 0, qPrintable(control->objectName()));
    }
    window->resize(800, 600);
    QTRY_COMPARE(window->width(), 800);
    // The layout reads the outer width, frame included: 20 pixels are 300 twips.
    const int outer = window->frameGeometry().width();
    QCOMPARE(window->frmBrowser->width(), outer - 20);
    QCOMPARE(window->WebBrowser1->width(), outer - 20 - 8 - 7);
    QCOMPARE(window->StatusBar1->panelWidth(1), outer / 2);
    QCOMPARE(window->StatusBar1->geometry().bottom(), window->height() - 1);
}

void BrowserWindowTest::opensMaximisedTitledWithTheWebSiteUntilTheFirstPage()
{
    BrowserWindow* window = open("/titled");
    QVERIFY(window);
    QSignalSpy loaded(window->WebBrowser1, &WebBrowser::DownloadComplete);
    QCOMPARE(window->objectName(), QStringLiteral("frmWebsite"));
    QCOMPARE(window->windowTitle(), server->url("/titled"));
    QVERIFY(window->isMaximized());
    QVERIFY(!window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(window->StatusBar1->panelCount(), 2);
    QCOMPARE(window->Label5->objectName(), QStringLiteral("Label5"));
    QCOMPARE(window->Label5->text(), QStringLiteral("URL:"));
    QCOMPARE(window->Command3->text(), QStringLiteral("Go"));
    QCOMPARE(window->frmBrowser->title(), QStringLiteral("Browser"));
    // The frame's plain label got its one skin twin beside the template.
    const QList<SkinLabel*> labels = SkinLabelElements(window);
    QCOMPARE(labels.size(), 2);
    QCOMPARE(labels.at(1)->text(), QStringLiteral("URL:"));
    QCOMPARE(labels.at(1)->parentWidget(), window->frmBrowser);

    QTRY_VERIFY_WITH_TIMEOUT(loaded.count() > 0, kLoadTimeout);
    QCOMPARE(window->windowTitle(), QStringLiteral("Hello Page"));
    QCOMPARE(window->Text1->text(), server->url("/titled"));
}

void BrowserWindowTest::openingAgainBringsItUpWithoutLoadingAgain()
{
    BrowserWindow* window = open("/titled");
    QSignalSpy loaded(window->WebBrowser1, &WebBrowser::DownloadComplete);
    QTRY_VERIFY_WITH_TIMEOUT(loaded.count() > 0, kLoadTimeout);
    window->Text1->setText(QStringLiteral("typed but not gone to"));
    const int requests = server->requests;
    QSignalSpy started(window->WebBrowser1->view()->page(), &QWebEnginePage::loadStarted);

    QCOMPARE(open("/second"), window);
    QTest::qWait(200);
    QCOMPARE(started.count(), 0);
    QCOMPARE(server->requests, requests);
    QCOMPARE(window->Text1->text(), QStringLiteral("typed but not gone to"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Hello Page"));
}

void BrowserWindowTest::pagesWithoutANameEmptyTheTitle()
{
    BrowserWindow* window = open("/titled");
    QSignalSpy loaded(window->WebBrowser1, &WebBrowser::DownloadComplete);
    QTRY_VERIFY_WITH_TIMEOUT(loaded.count() == 1, kLoadTimeout);
    window->Text1->setText(server->url("/plain"));
    QTest::keyClick(window->Text1, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(loaded.count() == 2, kLoadTimeout);
    QCOMPARE(window->windowTitle(), QString());
    QCOMPARE(window->Text1->text(), server->url("/plain"));

    window->Command4->click(); // Back
    QTRY_VERIFY_WITH_TIMEOUT(loaded.count() == 3, kLoadTimeout);
    QCOMPARE(window->windowTitle(), QStringLiteral("Hello Page"));
    window->WebBrowser1->Navigate(server->url("/empty-title"));
    QTRY_VERIFY_WITH_TIMEOUT(loaded.count() == 4, kLoadTimeout);
    QCOMPARE(window->windowTitle(), QString());
}

void BrowserWindowTest::statusTextGoesToTheFirstPanel()
{
    BrowserWindow* window = open("/titled");
    QSignalSpy loaded(window->WebBrowser1, &WebBrowser::DownloadComplete);
    QTRY_VERIFY_WITH_TIMEOUT(loaded.count() > 0, kLoadTimeout);
    QTRY_COMPARE(window->StatusBar1->panelText(1), QStringLiteral("Done"));
    window->WebBrowser1_StatusTextChange(QStringLiteral("  exactly as given "));
    QCOMPARE(window->StatusBar1->panelText(1), QStringLiteral("  exactly as given "));
    QCOMPARE(window->StatusBar1->panelText(2), QString());
}

void BrowserWindowTest::closingWhileTheMainWindowIsOpenOnlyClosesIt()
{
    SkinEngine::Instance().attach(skin.get());
    SkinEngine::Instance().start();
    BrowserWindow* window = open("/titled");
    QSignalSpy loaded(window->WebBrowser1, &WebBrowser::DownloadComplete);
    QTRY_VERIFY_WITH_TIMEOUT(loaded.count() > 0, kLoadTimeout);

    bool loopStillRan = false;
    QObject scope; // ends the timers with the test
    QTimer::singleShot(0, &scope, [&] {
        QVERIFY(window->close());
        QTimer::singleShot(0, &scope, [&] {
            loopStillRan = true;
            QCoreApplication::exit(7);
        });
    });
    QTimer::singleShot(kLoadTimeout, &scope, [] { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 7);
    QVERIFY(loopStillRan);
    QVERIFY(!OpenBrowserWindow());
    QVERIFY(SkinEngine::Instance().isRunning());

    // The next opening starts afresh at the web site.
    window = open("/second");
    QCOMPARE(window->windowTitle(), server->url("/second"));
    SkinEngine::Instance().stop();
}

void BrowserWindowTest::closingAfterTheMainWindowEndsTheProgram()
{
    SkinEngine::Instance().attach(skin.get());
    SkinEngine::Instance().start();
    BrowserWindow* window = open("/titled");
    MainWindowClosed() = true;
    bool loopRanOn = false;
    QObject scope; // ends the timers with the test
    QTimer::singleShot(0, &scope, [&] {
        window->close();
        QTimer::singleShot(0, &scope, [&] { loopRanOn = true; });
    });
    QTimer::singleShot(kLoadTimeout, &scope, [] { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!loopRanOn);
    QVERIFY(!SkinEngine::Instance().isRunning());
}

QTEST_MAIN(BrowserWindowTest)
#include "BrowserWindowTest.moc"
