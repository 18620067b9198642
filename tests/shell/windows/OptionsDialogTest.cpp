// The Options dialog: what it shows, what Ok writes and re-reads, what the
// close box leaves alone, and its skin-label twins.
#include "shell/windows/OptionsDialog.h"
#include "FakeSettingsStore.h"
#include "shell/skin/CopyLabelsToSkinLabels.h"
#include "shell/skin/ModSkin.h"
#include "shell/skin/SkinLabel.h"
#include "shell/windows/ShellWindows.h"

#include "engine/base/Settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

using namespace backtrail;
using namespace backtrail::shell;

namespace {

WindowBranding branding()
{
    WindowBranding values = WindowBranding::FromBuild();
    values.bUseSkin = true;
    return values;
}

engine::ScanSettings allOff(const QString& domain)
{
    engine::ScanSettings values;
    values.bRemoveDupes = values.bDisplayStats = values.bGetFileTypes = values.bHttps = false;
    values.strYourWebsite = domain;
    return values;
}

QCheckBox* check(QWidget* dialog, const char* name)
{
    return dialog->findChild<QCheckBox*>(QString::fromLatin1(name));
}

} // namespace

class OptionsDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void showsTheCurrentValues();
    void okWritesInOrderAndReReads();
    void okWithoutChangesRewritesTheSameValues();
    void closeBoxSavesNothing();
    void refusedWriteIsToldAndChangesNothing();
    void everyPlainLabelGetsOneTwinAndReopeningStartsFresh();
    void captionsFitTheirBoxes();

private:
    std::unique_ptr<Skin> skin;
    FakeSettingsStore store;
};

void OptionsDialogTest::initTestCase()
{
    skin = std::make_unique<Skin>();
    SetSharedSkin(skin.get());
}

void OptionsDialogTest::init()
{
    store = FakeSettingsStore();
    engine::Globals() = engine::ScanSettings();
}

void OptionsDialogTest::cleanup()
{
    UnloadOptionsDialog();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void OptionsDialogTest::showsTheCurrentValues()
{
    engine::Globals() = allOff(QStringLiteral("mysite.example"));
    {
        OptionsDialog dialog(store, branding());
        QCOMPARE(dialog.objectName(), QStringLiteral("Form2"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Options"));
        QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("Text1"))->text(), QStringLiteral("mysite.example"));
        for (const char* name : {"Check1", "Check2", "Check3", "Check4"})
            QVERIFY2(!check(&dialog, name)->isChecked(), name);
        QCOMPARE(check(&dialog, "Check1")->text(), QStringLiteral("Display Common Filetypes [img] [zip] [exe]"));
        QCOMPARE(check(&dialog, "Check2")->text(), QStringLiteral("Remove Duplicates"));
        QCOMPARE(check(&dialog, "Check3")->text(), QStringLiteral("Display statistics after completion"));
        QCOMPARE(check(&dialog, "Check4")->text(), QStringLiteral("Also find https:// referrers"));
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("Enter your domain:"));
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("Label3"))->text(),
                 QStringLiteral("This will ensure that your site does not show up in the referer list."));
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("Label2"))->text().startsWith(u"[i.e. "));
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("Label2"))->text().endsWith(u", without http:// or www]"));
        QCOMPARE(dialog.findChild<QToolButton*>(QStringLiteral("Command1"))->text(), QStringLiteral("Ok"));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize()); // not resizable
    }
    engine::Globals() = engine::ScanSettings(); // all on, placeholder domain
    OptionsDialog dialog(store, branding());
    QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("Text1"))->text(),
             QString::fromLatin1(engine::kPlaceholderDomain));
    for (const char* name : {"Check1", "Check2", "Check3"})
        QVERIFY2(check(&dialog, name)->isChecked(), name);
    QVERIFY(check(&dialog, "Check4")->isChecked()); // https referrers are found by default
    QVERIFY(store.writes.isEmpty());
}

void OptionsDialogTest::okWritesInOrderAndReReads()
{
    engine::Globals() = allOff(QStringLiteral("old.example"));
    OptionsDialog* dialog = ShowOptionsDialog(store, branding());
    QVERIFY(dialog);
    QVERIFY(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(ShowOptionsDialog(store, branding()), dialog); // one per process
    QPointer<OptionsDialog> watch(dialog);

    auto* domain = dialog->findChild<QLineEdit*>(QStringLiteral("Text1"));
    domain->clear();
    QTest::keyClicks(domain, QStringLiteral("http://www.mine.example"));
    QTest::mouseClick(check(dialog, "Check1"), Qt::LeftButton);
    check(dialog, "Check3")->setChecked(true);
    check(dialog, "Check4")->setChecked(true);
    QTest::mouseClick(dialog->findChild<QToolButton*>(QStringLiteral("Command1")), Qt::LeftButton);

    QCOMPARE(store.writes,
             QStringList({
                 "data/strYourWebsite=http://www.mine.example",
                 "data/bGetFileTypes=1",
                 "data/bRemoveDupes=0",
                 "data/bDisplayStats=1",
                 "data/bHttps=1",
             }));
    // The next scan follows the new values at once, the typed text as it is.
    const engine::ScanSettings& now = engine::Globals();
    QCOMPARE(now.strYourWebsite, QStringLiteral("http://www.mine.example"));
    QVERIFY(now.bGetFileTypes);
    QVERIFY(!now.bRemoveDupes);
    QVERIFY(now.bDisplayStats);
    QVERIFY(now.bHttps);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!watch); // closed and unloaded
    QVERIFY(!OpenOptionsDialog());
}

void OptionsDialogTest::okWithoutChangesRewritesTheSameValues()
{
    QTemporaryDir dir;
    engine::IniSettingsStore ini(dir.filePath(QStringLiteral("Backtrail.ini")));
    engine::Globals() = allOff(QString());
    engine::Globals().bRemoveDupes = true;
    OptionsDialog dialog(ini, branding());
    dialog.Command1_Click();
    const QString data = QStringLiteral("data");
    QCOMPARE(ini.read(data, u"strYourWebsite", QStringLiteral("missing")), QString()); // empty is saved as empty
    QCOMPARE(ini.read(data, u"bGetFileTypes", QString()), QStringLiteral("0"));
    QCOMPARE(ini.read(data, u"bRemoveDupes", QString()), QStringLiteral("1"));
    QCOMPARE(ini.read(data, u"bDisplayStats", QString()), QStringLiteral("0"));
    QCOMPARE(ini.read(data, u"bHttps", QString()), QStringLiteral("0"));
    QCOMPARE(engine::Globals().strYourWebsite, QString());
    QVERIFY(engine::Globals().bRemoveDupes);
}

void OptionsDialogTest::closeBoxSavesNothing()
{
    engine::Globals() = allOff(QStringLiteral("kept.example"));
    OptionsDialog* dialog = ShowOptionsDialog(store, branding());
    dialog->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("edited.example"));
    check(dialog, "Check2")->setChecked(true);
    dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(store.writes.isEmpty());
    QCOMPARE(engine::Globals().strYourWebsite, QStringLiteral("kept.example"));
    QVERIFY(!engine::Globals().bRemoveDupes);
    // The next opening starts from the process-wide values, not the edits.
    dialog = ShowOptionsDialog(store, branding());
    QCOMPARE(dialog->findChild<QLineEdit*>(QStringLiteral("Text1"))->text(), QStringLiteral("kept.example"));
    QVERIFY(!check(dialog, "Check2")->isChecked());
}

void OptionsDialogTest::refusedWriteIsToldAndChangesNothing()
{
    engine::Globals() = allOff(QStringLiteral("before.example"));
    store.refusedKey = QStringLiteral("bRemoveDupes");
    OptionsDialog* dialog = ShowOptionsDialog(store, branding());
    dialog->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("after.example"));
    QString shown;
    QTimer::singleShot(0, this, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible()) {
                shown = box->text();
                box->accept();
            }
        }
    });
    dialog->Command1_Click();
    QVERIFY(shown.contains(QLatin1String("could not be saved")));
    QCOMPARE(store.writes.size(), 5); // every value was offered
    QCOMPARE(engine::Globals().strYourWebsite, QStringLiteral("before.example"));
    QCOMPARE(OpenOptionsDialog(), dialog); // still open, with the user's edits
}

void OptionsDialogTest::everyPlainLabelGetsOneTwinAndReopeningStartsFresh()
{
    OptionsDialog* dialog = ShowOptionsDialog(store, branding());
    QList<SkinLabel*> elements = SkinLabelElements(dialog);
    QCOMPARE(elements.size(), 4); // the template and one twin for each of Label1, Label2, Label3
    for (int i = 1; i < elements.size(); ++i) {
        auto* label = dialog->findChild<QLabel*>(QStringLiteral("Label%1").arg(i));
        QCOMPARE(elements.at(i)->text(), label->text());
        QCOMPARE(elements.at(i)->geometry(), label->geometry());
        QVERIFY(!elements.at(i)->isHidden());
    }
    QCOMPARE(dialog->property("skin").toString(), QStringLiteral("Sandstone"));
    QCOMPARE(BackColor(dialog->findChild<QLineEdit*>(QStringLiteral("Text1"))), 0xFFFFFFu);

    dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    dialog = ShowOptionsDialog(store, branding());
    QCOMPARE(SkinLabelElements(dialog).size(), 4);
}

void OptionsDialogTest::captionsFitTheirBoxes()
{
    OptionsDialog* dialog = ShowOptionsDialog(store, branding());
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    for (QWidget* control : dialog->findChildren<QWidget*>()) {
        if (control->isHidden() || control->objectName().isEmpty())
            continue;
        if (auto* label = qobject_cast<QLabel*>(control)) {
            QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(label->objectName()));
        } else if (qobject_cast<QCheckBox*>(control) || qobject_cast<QToolButton*>(control)) {
            QVERIFY2(control->sizeHint().width() <= control->width(), qPrintable(control->objectName()));
            QVERIFY2(control->sizeHint().height() <= control->height() + 2, qPrintable(control->objectName()));
        }
        QVERIFY2(dialog->rect().contains(control->geometry()), qPrintable(control->objectName()));
    }
}

QTEST_MAIN(OptionsDialogTest)
#include "OptionsDialogTest.moc"
