// The skin the program carries, its colour numbers, and the skinning engine.
#include "shell/skin/Skin.h"
#include "shell/skin/ModSkin.h"
#include "shell/skin/SkinEngine.h"

#include <QApplication>
#include <QFile>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

using namespace backtrail::shell;

class SkinTest : public QObject
{
    Q_OBJECT

private slots:
    void colorNumbersPutRedInTheLowByte_data();
    void colorNumbersPutRedInTheLowByte();
    void parseColorNumberRejectsWhatIsNotHex();
    void builtInSkinCarriesTheFourColoursAndSwitches();
    void incompleteSkinFileIsRefusedWhole();
    void skinWindowGivesTheWindowItsLook();
    void applySkinNeedsTheSharedSkin();
    void engineStartsAndStopsTheProgramLook();
};

void SkinTest::colorNumbersPutRedInTheLowByte_data()
{
    QTest::addColumn<uint>("number");
    QTest::addColumn<QColor>("color");
    QTest::newRow("panel") << 0x96BED2u << QColor(210, 190, 150);
    QTest::newRow("white") << 0xFFFFFFu << QColor(255, 255, 255);
    QTest::newRow("black") << 0x000000u << QColor(0, 0, 0);
    QTest::newRow("red") << 0x0000FFu << QColor(255, 0, 0);
    QTest::newRow("blue") << 0xFF0000u << QColor(0, 0, 255);
}

void SkinTest::colorNumbersPutRedInTheLowByte()
{
    QFETCH(uint, number);
    QFETCH(QColor, color);
    QCOMPARE(ColorFromNumber(number), color);
    QCOMPARE(NumberFromColor(color), number);
}

void SkinTest::parseColorNumberRejectsWhatIsNotHex()
{
    QCOMPARE(ParseColorNumber(u"96BED2"), std::optional<ColorNumber>(0x96BED2));
    QCOMPARE(ParseColorNumber(u" 96bed2 "), std::optional<ColorNumber>(0x96BED2));
    QCOMPARE(ParseColorNumber(u""), std::nullopt);
    QCOMPARE(ParseColorNumber(u"sand"), std::nullopt);
    QCOMPARE(ParseColorNumber(u"123456789"), std::nullopt);
}

void SkinTest::builtInSkinCarriesTheFourColoursAndSwitches()
{
    const Skin skin;
    QVERIFY(skin.isLoaded());
    QCOMPARE(skin.colorProperty(Skin::kBackColor), std::optional<ColorNumber>(0xFFFFFF));
    QCOMPARE(skin.colorProperty(Skin::kTextColor), std::optional<ColorNumber>(0x000000));
    QCOMPARE(skin.colorProperty(Skin::kPanelColor), std::optional<ColorNumber>(0x96BED2));
    QCOMPARE(skin.colorProperty(Skin::kPanelTextColor), std::optional<ColorNumber>(0x000000));
    QCOMPARE(skin.colorProperty(1), std::nullopt);
    QCOMPARE(skin.colorProperty(6), std::nullopt);
    // The same values through the properties a caller reads by name.
    QCOMPARE(skin.property("panelColor").toUInt(), 0x96BED2u);
    QVERIFY(!skin.controlColoring());
    QVERIFY(skin.clientAreaSkinning());
    QVERIFY(skin.styleSheet().contains(u"QGroupBox"));
    // The look is a light one with dark text: readable at a glance.
    const QPalette palette = skin.palette();
    QVERIFY(palette.color(QPalette::Window).lightness() > 200);
    QVERIFY(palette.color(QPalette::WindowText).lightness() < 80);
    QVERIFY(skin.font().pointSizeF() >= 8.5);
}

void SkinTest::incompleteSkinFileIsRefusedWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("broken.skin"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Skin]\nName=Broken\n[Colors]\nBackground=00FF00\nText=000000\nPanelText=000000\n");
    file.close();

    Skin skin;
    QVERIFY(!skin.load(path));
    QVERIFY(!skin.load(dir.filePath(QStringLiteral("missing.skin"))));
    QCOMPARE(skin.name(), QStringLiteral("Sandstone"));
    QCOMPARE(skin.backColor(), 0xFFFFFFu);
}

void SkinTest::skinWindowGivesTheWindowItsLook()
{
    const Skin skin;
    QWidget window;
    QVERIFY(skin.skinWindow(&window));
    QCOMPARE(window.styleSheet(), skin.styleSheet());
    QCOMPARE(window.palette().color(QPalette::Window), skin.palette().color(QPalette::Window));
    QCOMPARE(window.property("skin").toString(), QStringLiteral("Sandstone"));
    QVERIFY(!skin.skinWindow(nullptr));
}

void SkinTest::applySkinNeedsTheSharedSkin()
{
    SetSharedSkin(nullptr);
    QWidget window;
    QVERIFY(!ApplySkin(&window));
    QVERIFY(window.styleSheet().isEmpty());

    Skin skin;
    SetSharedSkin(&skin);
    QVERIFY(ApplySkin(&window));
    QCOMPARE(window.styleSheet(), skin.styleSheet());
    SetSharedSkin(nullptr);
}

void SkinTest::engineStartsAndStopsTheProgramLook()
{
    SkinEngine& engine = SkinEngine::Instance();
    QCOMPARE(&SkinEngine::Instance(), &engine);
    QVERIFY(!engine.isRunning());
    QVERIFY(!engine.start()); // nothing attached yet
    QVERIFY(!engine.attach(nullptr));

    const QColor windowBefore = QApplication::palette().color(QPalette::Window);
    Skin skin;
    QVERIFY(engine.attach(&skin));
    QVERIFY(engine.start());
    QVERIFY(engine.isRunning());
    QVERIFY(engine.start());
    QCOMPARE(QApplication::style()->name().toLower(), QStringLiteral("fusion"));
    QCOMPARE(QApplication::palette().color(QPalette::Window), skin.palette().color(QPalette::Window));
    QCOMPARE(QApplication::font().pointSizeF(), skin.font().pointSizeF());

    engine.stop();
    QVERIFY(!engine.isRunning());
    QCOMPARE(QApplication::palette().color(QPalette::Window), windowBefore);
    engine.stop();
}

QTEST_MAIN(SkinTest)
#include "SkinTest.moc"
