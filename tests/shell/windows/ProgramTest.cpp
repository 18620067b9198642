// The desktop program from its start to its end: the splash window opens the
// main window, a first run brings up Help and Options, and each way of
// closing ends the event loop when it should and not before.
#include "../../results/ModalBoxes.h"

#include "FakeSettingsStore.h"
#include "MainWindow.h"
#include "shell/skin/ProcessFlags.h"
#include "shell/skin/Skin.h"
#include "shell/skin/SkinEngine.h"
#include "shell/windows/BrowserWindow.h"
#include "shell/windows/HelpWindow.h"
#include "shell/windows/OptionsDialog.h"
#include "shell/windows/Program.h"
#include "shell/windows/ShellWindows.h"
#include "shell/windows/SplashWindow.h"

#include "engine/base/Settings.h"

#include <QAction>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

using namespace backtrail;
using namespace backtrail::shell;

namespace {

constexpr int kTimeout = 30000; // the web view's first start can take a while on a loaded machine

} // namespace

class ProgramTest : public QObject
{
    Q_OBJECT
public:
    static void initMain()
    {
        PrepareGuiTestEnvironment();
        // The program's web site lies outside; here every page load stops at
        // a closed port of this machine instead.
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --proxy-server=127.0.0.1:9");
    }

private slots:
    void init();
    void cleanup();
    void firstRunOpensHelpAndOptionsAboveTheMainWindow();
    void configuredRunOpensNeither();
    void closingTheMainWindowAloneEndsTheProgram();
    void browserWindowKeepsTheProgramUntilItCloses();
    void exitEndsEverythingAtOnce();

private:
    /// Starts the program and waits for the splash window to open the main window.
    void start();
    /// Runs the event loop until the program ends it (0) or the test's time is up (1).
    static int runUntilTheProgramEnds(QObject* scope);

    FakeSettingsStore store;
    std::unique_ptr<Program> program;
};

void ProgramTest::init()
{
    store = FakeSettingsStore();
}

void ProgramTest::cleanup()
{
    program.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SkinEngine::Instance().stop();
}

void ProgramTest::start()
{
    Program::Setup setup;
    setup.store = &store;
    setup.startPage = QStringLiteral("about:blank");
    program = std::make_unique<Program>(setup);
    QVERIFY(program->splash().isVisible());
    QVERIFY(!program->mainWindow());
    QVERIFY(!MainWindowClosed());
    QTRY_VERIFY_WITH_TIMEOUT(program->mainWindow(), kTimeout);
    QCOMPARE(program->splash().counter(), 150);
}

int ProgramTest::runUntilTheProgramEnds(QObject* scope)
{
    QTimer::singleShot(kTimeout, scope, [] { QCoreApplication::exit(1); });
    return QCoreApplication::exec();
}

void ProgramTest::firstRunOpensHelpAndOptionsAboveTheMainWindow()
{
    start();
    MainWindow* main = program->mainWindow();
    QVERIFY(main->isVisible());
    QCOMPARE(main->objectName(), QStringLiteral("Form1"));
    QCOMPARE(main->windowTitle(), QStringLiteral("Backtrail by Backtrail Developers"));
    // Hidden, not unloaded: it carries the skin every window wears.
    QVERIFY(!program->splash().isVisible());
    QVERIFY(SkinEngine::Instance().isRunning());
    QVERIFY(OpenHelpWindow());
    OptionsDialog* options = OpenOptionsDialog();
    QVERIFY(options);
    QVERIFY(options->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    // The commands the main window offers now that its windows exist.
    QVERIFY(main->cmdOpts->isEnabled());
    QVERIFY(main->mnuAboutItem->isEnabled());
    main->mnuAboutItem->trigger();
    QVERIFY(OpenAboutWindow());
}

void ProgramTest::configuredRunOpensNeither()
{
    store.values.insert(QStringLiteral("Settings/showHelp"), QStringLiteral("0"));
    store.values.insert(QStringLiteral("data/strYourWebsite"), QStringLiteral("mysite.example"));
    start();
    QVERIFY(program->mainWindow()->isVisible());
    QVERIFY(!OpenHelpWindow());
    QVERIFY(!OpenOptionsDialog());
}

void ProgramTest::closingTheMainWindowAloneEndsTheProgram()
{
    start();
    QObject scope;
    bool ranOn = false;
    QTimer::singleShot(0, &scope, [&] {
        program->mainWindow()->close();
        QTimer::singleShot(0, &scope, [&] { ranOn = true; });
    });
    QCOMPARE(runUntilTheProgramEnds(&scope), 0);
    QVERIFY(!ranOn);
    // Options and Help closed with it, and the skin engine stopped.
    QVERIFY(!OpenHelpWindow());
    QVERIFY(!OpenOptionsDialog());
    QVERIFY(!SkinEngine::Instance().isRunning());
}

void ProgramTest::browserWindowKeepsTheProgramUntilItCloses()
{
    start();
    MainWindow* main = program->mainWindow();
    main->Command8->click();
    QPointer<BrowserWindow> browser = OpenBrowserWindow();
    QVERIFY(browser);
    QCOMPARE(browser->windowTitle(), QStringLiteral("www.example.org"));

    QObject scope;
    bool aliveWithBrowserOnly = false;
    bool ranOnAfterBrowser = false;
    QTimer::singleShot(0, &scope, [&] {
        main->close();
        QTimer::singleShot(0, &scope, [&] {
            aliveWithBrowserOnly = !main->isVisible() && OpenBrowserWindow() && MainWindowClosed()
                && SkinEngine::Instance().isRunning() && !OpenHelpWindow() && !OpenOptionsDialog();
            browser->close();
            QTimer::singleShot(0, &scope, [&] { ranOnAfterBrowser = true; });
        });
    });
    QCOMPARE(runUntilTheProgramEnds(&scope), 0);
    QVERIFY(aliveWithBrowserOnly);
    QVERIFY(!ranOnAfterBrowser);
    QVERIFY(!SkinEngine::Instance().isRunning());
}

void ProgramTest::exitEndsEverythingAtOnce()
{
    start();
    MainWindow* main = program->mainWindow();
    main->Command8->click();
    QVERIFY(OpenBrowserWindow());
    QObject scope;
    bool ranOn = false;
    QTimer::singleShot(0, &scope, [&] {
        main->mnuFileExit->trigger();
        QTimer::singleShot(0, &scope, [&] { ranOn = true; });
    });
    QCOMPARE(runUntilTheProgramEnds(&scope), 0);
    QVERIFY(!ranOn);
    // No window ran its closing steps: the windows are as they were.
    QVERIFY(main->isVisible());
    QVERIFY(OpenBrowserWindow());
    QVERIFY(OpenHelpWindow());
    QVERIFY(!MainWindowClosed());
    QVERIFY(SkinEngine::Instance().isRunning());
}

QTEST_MAIN(ProgramTest)
#include "ProgramTest.moc"
