#include "HelpWindow.h"

#include "Pictures.h"
#include "RtfReader.h"
#include "shell/skin/ClassicType.h"
#include "shell/skin/ModOnTop.h"
#include "shell/skin/ModSkin.h"

#include "engine/input/FileRoutines.h"
#include "engine/base/Settings.h"

#include <QCheckBox>
#include <QTextBrowser>
#include <QTextCursor>
#include <QVBoxLayout>

#include <cmath>
#include <optional>

namespace backtrail::shell {

namespace {

// The stored switch as a number: a whole number, also when written as "1.0".
std::optional<int> switchNumber(const QString& text)
{
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number) || number != std::floor(number) || std::abs(number) > 32767)
        return std::nullopt;
    return int(number);
}

} // namespace

HelpWindow::HelpWindow(engine::SettingsStore& settingsStore, const WindowBranding& values, const QString& documentPath,
                       QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                  | Qt::MSWindowsFixedSizeDialogHint)
    , store(settingsStore)
    , branding(values)
    , path(documentPath)
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("Readme/Help"));
    setWindowIcon(ProgramIcon());

    rtf1 = new QTextBrowser(this);
    rtf1->setObjectName(QStringLiteral("rtf1"));
    rtf1->setOpenLinks(false);
    rtf1->setPlainText(QStringLiteral("The help document is not loaded."));
    SetClassicTypeName(rtf1, u"RichTextBox");
    Check1 = new QCheckBox(QStringLiteral("Show at Startup"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setChecked(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 8);
    layout->setSpacing(8);
    layout->addWidget(rtf1, 1);
    layout->addWidget(Check1);
    setFixedSize(640, 540);

    // A change of the box writes the switch, also the one the load makes.
    connect(Check1, &QCheckBox::toggled, this, &HelpWindow::Check1_Click);
    Form_Load();
}

void HelpWindow::Form_Load()
{
    if (branding.bUseSkin)
        ApplySkin(this);
    if (!engine::xdirExists(path))
        return; // no document, no window
    RtfReader::readFile(path, rtf1->document());
    rtf1->moveCursor(QTextCursor::Start); // the document opens at its beginning
    loaded = true;
    SetOnTop(this, true);
    const QString stored = store.read(QString::fromLatin1(engine::keys::kSettings),
                                      QString::fromLatin1(engine::keys::kShowHelp), QStringLiteral("1"));
    if (const auto number = switchNumber(stored)) {
        if (*number == 1)
            Check1->setChecked(true);
        else if (*number == 0)
            Check1->setChecked(false);
    }
}

void HelpWindow::Check1_Click()
{
    // A refused write is not reported: the box still shows the user's choice.
    store.write(QString::fromLatin1(engine::keys::kSettings), QString::fromLatin1(engine::keys::kShowHelp),
                engine::BoolToText(Check1->isChecked()));
}

} // namespace backtrail::shell
