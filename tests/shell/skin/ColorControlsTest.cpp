// Classic type names, the control collection and the colour pass.
#include "shell/skin/ClassicType.h"
#include "shell/skin/ModSkin.h"
#include "shell/skin/PictureBox.h"
#include "shell/skin/SkinLabel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>

using namespace backtrail::shell;

namespace {

const QColor kRed(255, 0, 0);

template<class Control> Control* add(QWidget* parent, const char* name)
{
    auto* control = new Control(parent);
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

// Paints every colour the pass may touch red, so that any change shows.
void paintRed(QWidget* control)
{
    QPalette palette = control->palette();
    for (auto role : {QPalette::Window, QPalette::WindowText, QPalette::Base, QPalette::Text, QPalette::Button,
                      QPalette::ButtonText})
        palette.setColor(role, kRed);
    control->setPalette(palette);
}

} // namespace

class ColorControlsTest : public QObject
{
    Q_OBJECT

private slots:
    void qtClassesAnswerTheirClassicName();
    void declaredNameWinsAndPlainAndSkinLabelsDiffer();
    void controlCollectionHoldsNamedControlsInOrder();
    void colourPassGoesByTypeName();
    void typeNamesAreComparedExactly();
    void windowWithoutListedTypesKeepsItsColours();
    void applySkinColoursThenSkins();
};

void ColorControlsTest::qtClassesAnswerTheirClassicName()
{
    QWidget window;
    const std::pair<QWidget*, const char*> cases[] = {
        {new QPushButton(&window), "CommandButton"}, {new QToolButton(&window), "CommandButton"},
        {new QLineEdit(&window), "TextBox"},         {new QComboBox(&window), "ComboBox"},
        {new QListWidget(&window), "ListBox"},       {new QTreeWidget(&window), "ListView"},
        {new QTableView(&window), "ListView"},       {new QCheckBox(&window), "CheckBox"},
        {new QGroupBox(&window), "Frame"},           {new QLabel(&window), "Label"},
        {new SkinLabel(&window), "SkinLabel"},       {new PictureBox(&window), "PictureBox"},
        {new QTextBrowser(&window), "RichTextBox"},  {new QProgressBar(&window), "ProgressBar"},
        {new QStatusBar(&window), "StatusBar"},      {new QWidget(&window), "QWidget"},
    };
    for (const auto& [control, name] : cases)
        QCOMPARE(ClassicTypeName(control), QString::fromLatin1(name));
    auto* line = new QFrame(&window);
    line->setFrameShape(QFrame::HLine);
    QCOMPARE(ClassicTypeName(line), QStringLiteral("Line"));
    QCOMPARE(ClassicTypeName(nullptr), QString());
}

void ColorControlsTest::declaredNameWinsAndPlainAndSkinLabelsDiffer()
{
    QWidget window;
    auto* drives = new QComboBox(&window);
    SetClassicTypeName(drives, u"DriveListBox");
    QCOMPARE(ClassicTypeName(drives), QStringLiteral("DriveListBox"));
    auto* files = new QListWidget(&window);
    SetClassicTypeName(files, u"FileListBox");
    QCOMPARE(ClassicTypeName(files), QStringLiteral("FileListBox"));
    QVERIFY(ClassicTypeName(new QLabel(&window)) != ClassicTypeName(new SkinLabel(&window)));
}

void ColorControlsTest::controlCollectionHoldsNamedControlsInOrder()
{
    QWidget window;
    auto* frame = add<QGroupBox>(&window, "Frame1");
    auto* list = add<QTreeWidget>(frame, "lstResults");
    add<QPushButton>(&window, "cmdGo");
    new QLabel(&window); // unnamed: not a control of the window
    auto* dialog = new QDialog(&window);
    add<QPushButton>(dialog, "InsideAnotherWindow");

    const QList<QWidget*> controls = WindowControls(&window);
    QStringList names;
    for (QWidget* control : controls)
        names << control->objectName();
    QCOMPARE(names, QStringList({"Frame1", "lstResults", "cmdGo"}));
    // The list's own header and viewport are parts of it, not controls.
    QVERIFY(!controls.contains(list->header()));
    QVERIFY(!controls.contains(list->viewport()));
}

void ColorControlsTest::colourPassGoesByTypeName()
{
    QWidget window;
    auto* listView = add<QTreeWidget>(&window, "lstResults");
    auto* drives = add<QComboBox>(&window, "Drive1");
    SetClassicTypeName(drives, u"DriveListBox");
    auto* folders = add<QListWidget>(&window, "Dir1");
    SetClassicTypeName(folders, u"DirListBox");
    auto* text = add<QLineEdit>(&window, "Text1");
    auto* picture = add<PictureBox>(&window, "imgExpand");
    auto* button = add<QPushButton>(&window, "cmdGo");
    auto* label = add<QLabel>(&window, "Label1");
    auto* skinLabel = add<SkinLabel>(&window, "SkinLabel1");
    auto* check = add<QCheckBox>(&window, "Check1");
    auto* frame = add<QGroupBox>(&window, "frmMain");
    for (QWidget* control : WindowControls(&window))
        paintRed(control);

    ColorControls(&window, 0xFFFFFF, 0x000000, 0x96BED2, 0x00FF00);

    for (QWidget* field : {static_cast<QWidget*>(listView), static_cast<QWidget*>(drives),
                           static_cast<QWidget*>(folders), static_cast<QWidget*>(text)}) {
        QCOMPARE(field->palette().color(QPalette::Base), QColor(Qt::white));
        QCOMPARE(field->palette().color(QPalette::Text), QColor(Qt::black));
        QCOMPARE(BackColor(field), 0xFFFFFFu);
        QCOMPARE(ForeColor(field), 0x000000u);
    }
    // A drop-down list shows its face, which takes the same colours.
    QCOMPARE(drives->palette().color(QPalette::Button), QColor(Qt::white));

    QCOMPARE(button->palette().color(QPalette::Button), QColor(Qt::white));
    QCOMPARE(button->palette().color(QPalette::ButtonText), kRed); // a button's text colour is not set

    QCOMPARE(picture->palette().color(QPalette::Window), QColor(210, 190, 150));
    QCOMPARE(picture->palette().color(QPalette::WindowText), kRed); // nor a picture box's
    QVERIFY(picture->autoFillBackground());

    for (QWidget* untouched : {static_cast<QWidget*>(label), static_cast<QWidget*>(skinLabel),
                               static_cast<QWidget*>(check), static_cast<QWidget*>(frame)}) {
        for (auto role : {QPalette::Window, QPalette::WindowText, QPalette::Base, QPalette::Text, QPalette::Button,
                          QPalette::ButtonText})
            QCOMPARE(untouched->palette().color(role), kRed);
    }
    // The panel text colour is handed over and worn by nothing.
    for (QWidget* control : WindowControls(&window)) {
        for (auto role : {QPalette::Window, QPalette::WindowText, QPalette::Base, QPalette::Text, QPalette::Button,
                          QPalette::ButtonText})
            QVERIFY(control->palette().color(role) != QColor(Qt::green));
    }
}

void ColorControlsTest::typeNamesAreComparedExactly()
{
    QWidget window;
    auto* lowerCase = add<QPushButton>(&window, "cmdLower");
    SetClassicTypeName(lowerCase, u"commandbutton");
    auto* spaced = add<QListWidget>(&window, "lstSpaced");
    SetClassicTypeName(spaced, u"ListBox ");
    paintRed(lowerCase);
    paintRed(spaced);
    ColorControls(&window, 0xFFFFFF, 0x000000, 0x96BED2, 0x000000);
    QCOMPARE(lowerCase->palette().color(QPalette::Button), kRed);
    QCOMPARE(spaced->palette().color(QPalette::Base), kRed);
}

void ColorControlsTest::windowWithoutListedTypesKeepsItsColours()
{
    QWidget window;
    auto* label = add<QLabel>(&window, "Label1");
    auto* check = add<QCheckBox>(&window, "Check1");
    paintRed(label);
    paintRed(check);
    const QPalette labelBefore = label->palette();
    const QPalette checkBefore = check->palette();
    ColorControls(&window, 0xFFFFFF, 0x000000, 0x96BED2, 0x000000);
    QCOMPARE(label->palette(), labelBefore);
    QCOMPARE(check->palette(), checkBefore);
}

void ColorControlsTest::applySkinColoursThenSkins()
{
    Skin skin;
    SetSharedSkin(&skin);
    QWidget window;
    auto* listView = add<QTreeWidget>(&window, "lstResults");
    auto* picture = add<PictureBox>(&window, "Picture1");
    auto* label = add<QLabel>(&window, "Label1");
    label->setText(QStringLiteral("Plain"));
    auto* skinLabel = add<SkinLabel>(&window, "SkinLabel1");
    skinLabel->setText(QStringLiteral("Skin"));
    QVERIFY(ApplySkin(&window));
    QCOMPARE(listView->palette().color(QPalette::Base), QColor(Qt::white));
    QCOMPARE(listView->palette().color(QPalette::Text), QColor(Qt::black));
    QCOMPARE(picture->palette().color(QPalette::Window), QColor(210, 190, 150));
    QCOMPARE(window.styleSheet(), skin.styleSheet());

    // The skin, not the colour pass, paints the skin label: in its own
    // colour, over a filled box that hides a plain label beneath it.
    auto* covered = add<QLabel>(&window, "Label2");
    covered->setText(QStringLiteral("XXXXXXXX"));
    covered->setGeometry(10, 60, 120, 20);
    auto* twin = add<SkinLabel>(&window, "SkinLabel1");
    twin->setGeometry(covered->geometry());
    QVERIFY(ApplySkin(&window));
    window.resize(200, 120);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(skinLabel->palette().color(QPalette::WindowText) != label->palette().color(QPalette::WindowText));
    const QImage shot = window.grab().toImage();
    const QColor background = shot.pixelColor(covered->geometry().topLeft() + QPoint(1, 1));
    for (int y = covered->y(); y < covered->y() + covered->height(); ++y) {
        for (int x = covered->x(); x < covered->x() + covered->width(); ++x)
            QCOMPARE(shot.pixelColor(x, y), background);
    }
    SetSharedSkin(nullptr);
}

QTEST_MAIN(ColorControlsTest)
#include "ColorControlsTest.moc"
