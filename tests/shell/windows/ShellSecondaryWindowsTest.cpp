// The secondary windows as the main window asks for them, and what closing
// the main window does to them.
#include "shell/windows/ShellSecondaryWindows.h"
#include "FakeSettingsStore.h"
#include "modLivery.h"
#include "shell/skin/ModSkin.h"
#include "shell/skin/ProcessFlags.h"
#include "shell/skin/SkinEngine.h"
#include "shell/windows/AboutWindow.h"
#include "shell/windows/OptionsDialog.h"
#include "shell/windows/ShellWindows.h"

#include <QTest>

#include <memory>

using namespace backtrail::shell;

class ShellSecondaryWindowsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void opensTheWindowsOncePerProcess();
    void closingWithoutBrowserWindowEndsTheSkin();
    void closingWithBrowserWindowKeepsTheProgram();

private:
    std::unique_ptr<Skin> skin;
    FakeSettingsStore store;
};

void ShellSecondaryWindowsTest::initTestCase()
{
    LoadBranding();
    skin = std::make_unique<Skin>();
    SetSharedSkin(skin.get());
}

void ShellSecondaryWindowsTest::cleanup()
{
    UnloadOptionsDialog();
    UnloadAboutWindow();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    MainWindowClosed() = false;
}

void ShellSecondaryWindowsTest::opensTheWindowsOncePerProcess()
{
    int browserShown = 0;
    ShellSecondaryWindows windows(store, {[&] { ++browserShown; }, [] { return false; }});
    windows.showOptions();
    OptionsDialog* options = OpenOptionsDialog();
    QVERIFY(options);
    windows.showOptions();
    QCOMPARE(OpenOptionsDialog(), options);
    windows.showAbout();
    QVERIFY(OpenAboutWindow());
    QCOMPARE(OpenAboutWindow()->windowTitle(), QStringLiteral("About ") + Branding().strProgramName);
    windows.showBrowserWindow();
    QCOMPARE(browserShown, 1);
}

void ShellSecondaryWindowsTest::closingWithoutBrowserWindowEndsTheSkin()
{
    SkinEngine::Instance().attach(skin.get());
    QVERIFY(SkinEngine::Instance().start());
    ShellSecondaryWindows windows(store, {{}, [] { return false; }});
    windows.showOptions();
    windows.showAbout();
    QVERIFY(!windows.mainWindowClosing());
    QVERIFY(!OpenOptionsDialog());
    QVERIFY(!MainWindowClosed());
    QVERIFY(!SkinEngine::Instance().isRunning());
}

void ShellSecondaryWindowsTest::closingWithBrowserWindowKeepsTheProgram()
{
    QVERIFY(SkinEngine::Instance().start());
    ShellSecondaryWindows windows(store, {{}, [] { return true; }});
    windows.showOptions();
    QVERIFY(windows.mainWindowClosing());
    QVERIFY(!OpenOptionsDialog());
    QVERIFY(MainWindowClosed());
    QVERIFY(SkinEngine::Instance().isRunning()); // the browser window stops it when it closes
    SkinEngine::Instance().stop();
}

QTEST_MAIN(ShellSecondaryWindowsTest)
#include "ShellSecondaryWindowsTest.moc"
