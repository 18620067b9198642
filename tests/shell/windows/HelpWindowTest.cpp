// The help window: its document, its start-up switch, and where the
// document is looked for.
#include "shell/windows/HelpWindow.h"
#include "FakeSettingsStore.h"
#include "shell/skin/ModSkin.h"
#include "shell/windows/HelpDocument.h"
#include "shell/windows/ShellWindows.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <memory>

using namespace backtrail;
using namespace backtrail::shell;

namespace {

const QString kHelp = QStringLiteral(BACKTRAIL_HELP_RTF);

QCheckBox* startupBox(QWidget* window)
{
    return window->findChild<QCheckBox*>(QStringLiteral("Check1"));
}

bool touch(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("{\\rtf1 help}") > 0;
}

} // namespace

class HelpWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void missingDocumentShowsNoWindow();
    void showsTheDocumentOnTop();
    void storedSwitchSetsTheBox_data();
    void storedSwitchSetsTheBox();
    void boxWritesAtOnce();
    void startupOpensOnlyForExactlyOne();
    void documentIsFoundBesideTheProgramFirst();

private:
    std::unique_ptr<Skin> skin;
    FakeSettingsStore store;
};

void HelpWindowTest::initTestCase()
{
    skin = std::make_unique<Skin>();
    SetSharedSkin(skin.get());
}

void HelpWindowTest::init()
{
    store = FakeSettingsStore();
}

void HelpWindowTest::cleanup()
{
    UnloadHelpWindow();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void HelpWindowTest::missingDocumentShowsNoWindow()
{
    QVERIFY(!ShowHelpWindow(store, WindowBranding::FromBuild(), QStringLiteral("/nonexistent/Help.rtf")));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!OpenHelpWindow());
    for (QWidget* window : QApplication::topLevelWidgets())
        QVERIFY(window->objectName() != u"Form8");
    QVERIFY(store.writes.isEmpty());
}

void HelpWindowTest::showsTheDocumentOnTop()
{
    HelpWindow* window = ShowHelpWindow(store, WindowBranding::FromBuild(), kHelp);
    QVERIFY(window);
    QCOMPARE(window->objectName(), QStringLiteral("Form8"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Readme/Help"));
    QVERIFY(window->isVisible());
    QVERIFY(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    auto* text = window->findChild<QTextBrowser*>(QStringLiteral("rtf1"));
    QVERIFY(text->toPlainText().contains(QLatin1String("What Backtrail does")));
    QVERIFY(text->isReadOnly());
    QCOMPARE(startupBox(window)->text(), QStringLiteral("Show at Startup"));
    QVERIFY(startupBox(window)->isChecked()); // first run: nothing stored
    QVERIFY(store.writes.isEmpty());
    QCOMPARE(window->property("skin").toString(), QStringLiteral("Sandstone"));
    // Asking again brings the same window to the front.
    QCOMPARE(ShowHelpWindow(store, WindowBranding::FromBuild(), kHelp), window);
}

void HelpWindowTest::storedSwitchSetsTheBox_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QStringList>("writes");
    QTest::newRow("on") << "1" << true << QStringList();
    QTest::newRow("off, written back") << "0" << false << QStringList {"Settings/showHelp=0"};
    QTest::newRow("not a number") << "yes" << true << QStringList();
    QTest::newRow("other number") << "7" << true << QStringList();
    QTest::newRow("empty") << "" << true << QStringList();
}

void HelpWindowTest::storedSwitchSetsTheBox()
{
    QFETCH(QString, stored);
    QFETCH(bool, ticked);
    QFETCH(QStringList, writes);
    store.values.insert(QStringLiteral("Settings/showHelp"), stored);
    HelpWindow window(store, WindowBranding::FromBuild(), kHelp);
    QVERIFY(window.documentLoaded());
    QCOMPARE(startupBox(&window)->isChecked(), ticked);
    QCOMPARE(store.writes, writes);
}

void HelpWindowTest::boxWritesAtOnce()
{
    HelpWindow* window = ShowHelpWindow(store, WindowBranding::FromBuild(), kHelp);
    startupBox(window)->click();
    QCOMPARE(store.writes, QStringList {"Settings/showHelp=0"});
    QVERIFY(!HelpWantedAtStartup(store));
    startupBox(window)->click();
    QCOMPARE(store.writes, QStringList({"Settings/showHelp=0", "Settings/showHelp=1"}));
    QVERIFY(HelpWantedAtStartup(store));
}

void HelpWindowTest::startupOpensOnlyForExactlyOne()
{
    QVERIFY(HelpWantedAtStartup(store)); // missing reads as "1"
    for (const char* value : {"0", "yes", "1.0", " 1", ""}) {
        store.values.insert(QStringLiteral("Settings/showHelp"), QString::fromLatin1(value));
        QVERIFY2(!HelpWantedAtStartup(store), value);
    }
    store.values.insert(QStringLiteral("Settings/showHelp"), QStringLiteral("1"));
    QVERIFY(HelpWantedAtStartup(store));
}

void HelpWindowTest::documentIsFoundBesideTheProgramFirst()
{
    QTemporaryDir program;
    QTemporaryDir data;
    const QString beside = program.filePath(QStringLiteral("Help.rtf"));
    const QString installed = data.filePath(QStringLiteral("Help.rtf"));
    QCOMPARE(HelpDocumentPath(program.path(), data.path()), beside); // neither: the path beside
    QVERIFY(touch(installed));
    QCOMPARE(HelpDocumentPath(program.path(), data.path()), installed);
    QVERIFY(touch(beside));
    QCOMPARE(HelpDocumentPath(program.path(), data.path()), beside);
    // The build puts the document beside the desktop program.
    QVERIFY(QFile::exists(QStringLiteral(BACKTRAIL_HELP_RTF)));
}

QTEST_MAIN(HelpWindowTest)
#include "HelpWindowTest.moc"
