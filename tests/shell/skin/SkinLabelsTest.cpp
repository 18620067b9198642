// Skin-label twins of plain labels, and the window-on-top helper.
#include "shell/skin/CopyLabelsToSkinLabels.h"
#include "shell/skin/ModOnTop.h"
#include "shell/skin/SkinLabel.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace backtrail::shell;

namespace {

QLabel* plainLabel(QWidget* parent, const char* name, const QString& text, const QRect& where)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(where);
    return label;
}

} // namespace

class SkinLabelsTest : public QObject
{
    Q_OBJECT

private slots:
    void everyPlainLabelGetsOneTwin();
    void sameContainerOnlyKeepsToTheTemplatesFrame();
    void windowWithoutTemplateGetsNoTwins();
    void onTopKeepsPlaceSizeAndVisibility();
};

void SkinLabelsTest::everyPlainLabelGetsOneTwin()
{
    QWidget window;
    window.resize(400, 300);
    auto* frame = new QGroupBox(&window);
    frame->setObjectName(QStringLiteral("frmBrowser"));
    frame->setGeometry(100, 100, 200, 150);
    auto* templateLabel = new SkinLabel(frame);
    templateLabel->setObjectName(QStringLiteral("SkinLabel1"));
    templateLabel->setGeometry(5, 5, 30, 10);
    auto* outside = plainLabel(&window, "Label1", QStringLiteral("Enter your domain:"), QRect(8, 4, 121, 13));
    QFont bold = outside->font();
    bold.setBold(true);
    outside->setFont(bold);
    auto* inside = plainLabel(frame, "Label5", QStringLiteral("URL:"), QRect(8, 20, 81, 17));
    auto* hidden = plainLabel(&window, "Label2", QStringLiteral("hidden"), QRect(8, 40, 50, 13));
    hidden->hide();
    auto* other = new SkinLabel(QStringLiteral("already skinned"), &window);
    other->setObjectName(QStringLiteral("lblVersion"));
    auto* box = new QLineEdit(&window);
    box->setObjectName(QStringLiteral("Text1"));

    QCOMPARE(CopyLabelsToSkinLabels(&window, false), 3);

    const QList<SkinLabel*> elements = SkinLabelElements(&window);
    QCOMPARE(elements.size(), 4);
    QCOMPARE(elements.at(0), templateLabel);
    QList<int> indices;
    for (SkinLabel* element : elements)
        indices << element->index();
    QCOMPARE(indices, QList<int>({0, 1, 2, 3}));

    // The twins follow the control collection (the frame's label comes with
    // the frame, before the labels made after it) and all sit in the
    // template's container, each over its label.
    SkinLabel* inFrame = elements.at(1);
    QCOMPARE(inFrame->text(), QStringLiteral("URL:"));
    QCOMPARE(inFrame->geometry(), inside->geometry());
    QVERIFY(!inFrame->isHidden());
    SkinLabel* outsideTwin = elements.at(2);
    QCOMPARE(outsideTwin->parentWidget(), frame);
    QCOMPARE(outsideTwin->text(), outside->text());
    QCOMPARE(outsideTwin->font(), outside->font());
    QCOMPARE(frame->mapTo(&window, outsideTwin->geometry().topLeft()), outside->geometry().topLeft());
    QCOMPARE(outsideTwin->size(), outside->size());
    QCOMPARE(elements.at(3)->text(), QStringLiteral("hidden"));
    QVERIFY(elements.at(3)->isHidden());

    // The plain labels stay as they were.
    QCOMPARE(outside->text(), QStringLiteral("Enter your domain:"));
    QVERIFY(!outside->isHidden());
    QCOMPARE(outside->parentWidget(), &window);
}

void SkinLabelsTest::sameContainerOnlyKeepsToTheTemplatesFrame()
{
    QWidget window;
    auto* frame = new QGroupBox(&window);
    frame->setObjectName(QStringLiteral("frmBrowser"));
    auto* templateLabel = new SkinLabel(frame);
    templateLabel->setObjectName(QStringLiteral("SkinLabel1"));
    plainLabel(&window, "Label1", QStringLiteral("outside"), QRect(0, 0, 50, 13));
    plainLabel(frame, "Label5", QStringLiteral("URL:"), QRect(8, 20, 81, 17));

    QCOMPARE(CopyLabelsToSkinLabels(&window, true), 1);
    const QList<SkinLabel*> elements = SkinLabelElements(&window);
    QCOMPARE(elements.size(), 2);
    QCOMPARE(elements.at(1)->text(), QStringLiteral("URL:"));
}

void SkinLabelsTest::windowWithoutTemplateGetsNoTwins()
{
    QWidget window;
    plainLabel(&window, "Label1", QStringLiteral("alone"), QRect(0, 0, 50, 13));
    auto* notTemplate = new SkinLabel(&window);
    notTemplate->setObjectName(QStringLiteral("SkinLabel1"));
    notTemplate->setIndex(3); // no element 0
    QCOMPARE(CopyLabelsToSkinLabels(&window, false), 0);
    QCOMPARE(SkinLabelElements(&window).size(), 1);
}

void SkinLabelsTest::onTopKeepsPlaceSizeAndVisibility()
{
    QWidget window;
    window.setGeometry(120, 90, 320, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QSize size = window.size();

    SetOnTop(&window, true);
    QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(window.isVisible());
    QCOMPARE(window.size(), size);

    SetOnTop(&window, false);
    QVERIFY(!window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(window.isVisible());
    QCOMPARE(window.size(), size);

    // A hidden window stays hidden and takes the flag for when it shows.
    QWidget later;
    SetOnTop(&later, true);
    QVERIFY(later.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!later.isVisible());
    SetOnTop(nullptr, true);
}

QTEST_MAIN(SkinLabelsTest)
#include "SkinLabelsTest.moc"
