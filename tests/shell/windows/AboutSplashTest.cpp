// The About window and the splash window.
#include "shell/skin/CopyLabelsToSkinLabels.h"
#include "shell/skin/ModSkin.h"
#include "shell/skin/PictureBox.h"
#include "shell/skin/ProcessFlags.h"
#include "shell/skin/SkinEngine.h"
#include "shell/skin/SkinLabel.h"
#include "shell/windows/AboutWindow.h"
#include "shell/windows/ShellWindows.h"
#include "shell/windows/SplashWindow.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace backtrail;
using namespace backtrail::shell;

namespace {

QString labelText(QWidget* window, const char* name)
{
    return window->findChild<QLabel*>(QString::fromLatin1(name))->text();
}

} // namespace

class AboutSplashTest : public QObject
{
    Q_OBJECT

private slots:
    void versionIsMajorPointMinor();
    void aboutShowsWhoTheProgramIs();
    void aboutShowsAnEmptyCompanyAsEmpty();
    void aboutLabelsGetTwinsAndFit();
    void splashOpensTheMainWindowOnThe75thTick();
    void splashWithoutSkinLeavesTheEngineAlone();
};

void AboutSplashTest::versionIsMajorPointMinor()
{
    QCOMPARE(VersionText(1, 0), QStringLiteral("1.0"));
    QCOMPARE(VersionText(1, 5), QStringLiteral("1.5"));
    QCOMPARE(VersionText(2, 10), QStringLiteral("2.10"));
}

void AboutSplashTest::aboutShowsWhoTheProgramIs()
{
    Skin skin;
    SetSharedSkin(&skin);
    const WindowBranding branding {QStringLiteral("Backtrail"), QStringLiteral("Backtrail Developers"),
                                   QStringLiteral("www.example.org"), true};
    AboutWindow* window = ShowAboutWindow(branding);
    QCOMPARE(window->objectName(), QStringLiteral("frmAbout"));
    QCOMPARE(window->windowTitle(), QStringLiteral("About Backtrail"));
    QCOMPARE(labelText(window, "Label1"), QStringLiteral("Backtrail"));
    QCOMPARE(labelText(window, "lblVersion"),
             QString::number(build::kVersionMajor) + u'.' + QString::number(build::kVersionMinor));
    QCOMPARE(labelText(window, "lblCompany"), QStringLiteral("Backtrail Developers"));
    QCOMPARE(labelText(window, "lblWebsite"), QStringLiteral("www.example.org"));
    QCOMPARE(window->findChild<QLabel*>(QStringLiteral("lblWebsite"))->textFormat(), Qt::PlainText);
    QCOMPARE(labelText(window, "Label2"), QStringLiteral("Version:"));
    QCOMPARE(labelText(window, "Label3"), QStringLiteral("Owned By:"));
    QCOMPARE(labelText(window, "Label4"), QStringLiteral("Website:"));
    QVERIFY(!window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(ShowAboutWindow(branding), window);

    auto* banner = window->findChild<PictureBox*>(QStringLiteral("Picture1"));
    QCOMPARE(banner->picture().size(), QSize(497, 68));
    QCOMPARE(banner->palette().color(QPalette::Window), QColor(210, 190, 150));
    UnloadAboutWindow();
    SetSharedSkin(nullptr);
}

void AboutSplashTest::aboutShowsAnEmptyCompanyAsEmpty()
{
    AboutWindow window({QStringLiteral("Backtrail"), QString(), QString(), false}, 1, 5);
    QCOMPARE(labelText(&window, "lblCompany"), QString());
    QCOMPARE(labelText(&window, "lblWebsite"), QString());
    QCOMPARE(labelText(&window, "lblVersion"), QStringLiteral("1.5"));
    QCOMPARE(SkinLabelElements(&window).size(), 1); // no skin, no twins
}

void AboutSplashTest::aboutLabelsGetTwinsAndFit()
{
    Skin skin;
    SetSharedSkin(&skin);
    AboutWindow window(WindowBranding::FromBuild());
    const QList<SkinLabel*> elements = SkinLabelElements(&window);
    QCOMPARE(elements.size(), 5); // the template and the three row captions and the notice
    QStringList twinned;
    for (SkinLabel* twin : elements.mid(1))
        twinned << twin->text().left(9);
    QCOMPARE(twinned, QStringList({"Version:", "Owned By:", "Website:", "This prog"}));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (label->isHidden())
            continue;
        QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(label->objectName()));
        QVERIFY2(window.rect().contains(label->geometry()), qPrintable(label->objectName()));
    }
    SetSharedSkin(nullptr);
}

void AboutSplashTest::splashOpensTheMainWindowOnThe75thTick()
{
    MainWindowClosed() = true;
    int opened = 0;
    int brandingLoads = 0;
    SplashWindow::Hooks hooks;
    hooks.loadBranding = [&] {
        ++brandingLoads;
        return WindowBranding::FromBuild();
    };
    hooks.openMainWindow = [&] { ++opened; };
    auto splash = std::make_unique<SplashWindow>(hooks);
    QCOMPARE(splash->objectName(), QStringLiteral("frmSplash"));
    QVERIFY(!MainWindowClosed());
    QCOMPARE(brandingLoads, 1);
    QCOMPARE(SharedSkin(), splash->skin());
    QCOMPARE(splash->skin()->objectName(), QStringLiteral("skn"));
    QVERIFY(SkinEngine::Instance().isRunning());
    QCOMPARE(SkinEngine::Instance().attachedSkin(), splash->skin());
    auto* timer = splash->findChild<QTimer*>(QStringLiteral("Timer2"));
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 2);
    QVERIFY(!splash->findChild<QLabel*>(QStringLiteral("Label3"))->text().isEmpty());
    timer->stop(); // the test, not the clock, drives the ticks
    splash->show();

    for (int tick = 1; tick < 75; ++tick)
        splash->Timer2_Timer();
    QCOMPARE(splash->property("intTemp").toInt(), 148);
    QCOMPARE(opened, 0);
    QVERIFY(splash->isVisible());
    timer->start();
    splash->Timer2_Timer();
    QCOMPARE(splash->counter(), 150);
    QCOMPARE(opened, 1);
    QVERIFY(!timer->isActive());
    QVERIFY(splash->isHidden()); // hidden, still loaded, still the shared skin
    QCOMPARE(SharedSkin(), splash->skin());

    SkinEngine::Instance().stop();
    splash.reset();
    QCOMPARE(SharedSkin(), nullptr);
}

void AboutSplashTest::splashWithoutSkinLeavesTheEngineAlone()
{
    SetSharedSkin(nullptr);
    SplashWindow::Hooks hooks;
    hooks.loadBranding = [] {
        WindowBranding values = WindowBranding::FromBuild();
        values.bUseSkin = false;
        return values;
    };
    SplashWindow splash(hooks);
    QCOMPARE(SharedSkin(), nullptr);
    QVERIFY(!SkinEngine::Instance().isRunning());
    QVERIFY(splash.styleSheet().isEmpty());
}

QTEST_MAIN(AboutSplashTest)
#include "AboutSplashTest.moc"
