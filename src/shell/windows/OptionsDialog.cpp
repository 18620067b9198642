#include "OptionsDialog.h"

#include "DesignGrid.h"
#include "Pictures.h"
#include "shell/skin/CopyLabelsToSkinLabels.h"
#include "shell/skin/ModSkin.h"
#include "shell/skin/SkinLabel.h"

#include "engine/fields/OwnSite.h"
#include "engine/base/Settings.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QToolButton>

namespace backtrail::shell {

namespace {

// The example in the hint under the domain box.
constexpr auto kExampleDomain = "example.com";

template<class Control> Control* place(Control* control, const char* name, const QRect& where)
{
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(where);
    return control;
}

QLabel* plainLabel(QWidget* parent, const char* name, const QString& text, const QRect& where)
{
    auto* label = place(new QLabel(text, parent), name, where);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

} // namespace

OptionsDialog::OptionsDialog(engine::SettingsStore& settingsStore, const WindowBranding& values, QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                  | Qt::MSWindowsFixedSizeDialogHint)
    , store(settingsStore)
    , branding(values)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowIcon(ProgramIcon());

    const DesignGrid grid(font());
    Label1 = plainLabel(this, "Label1", QStringLiteral("Enter your domain:"), grid.rect(120, 60, 1815, 195));
    Text1 = place(new QLineEdit(this), "Text1", grid.rect(60, 300, 4575, 315));
    Text1->setText(QString::fromLatin1(engine::kPlaceholderDomain));
    Text1->setToolTip(QLatin1String(engine::kOwnDomainHelp));
    Label2 = plainLabel(this, "Label2",
                        QStringLiteral("[i.e. ") + QLatin1String(kExampleDomain)
                            + QStringLiteral(", without http:// or www]"),
                        grid.rect(60, 660, 4575, 255));
    Label3 = plainLabel(this, "Label3",
                        QStringLiteral("This will ensure that your site does not show up in the referer list."),
                        grid.rect(60, 900, 4635, 435));
    Line1 = place(new QFrame(this), "Line1", grid.rect(60, 1440, 4560, 15));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Plain);
    Line1->setStyleSheet(QStringLiteral("color: #d6c9ad;"));
    Check1 = place(new QCheckBox(QStringLiteral("Display Common Filetypes [img] [zip] [exe]"), this), "Check1",
                   grid.rect(60, 1620, 4575, 315));
    Check2 = place(new QCheckBox(QStringLiteral("Remove Duplicates"), this), "Check2", grid.rect(60, 1980, 3420, 375));
    Check3 = place(new QCheckBox(QStringLiteral("Display statistics after completion"), this), "Check3",
                   grid.rect(60, 2400, 3420, 375));
    Check4 = place(new QCheckBox(QStringLiteral("Also find https:// referrers"), this), "Check4",
                   grid.rect(60, 2790, 3420, 375));
    Command1 = place(new QToolButton(this), "Command1", grid.rect(3540, 2340, 1095, 795));
    Command1->setText(QStringLiteral("Ok"));
    Command1->setIcon(QIcon(OkPicture()));
    Command1->setIconSize(QSize(24, 24));
    Command1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    SkinLabel1 = place(new SkinLabel(this), "SkinLabel1", grid.rect(960, 2880, 555, 195));
    SkinLabel1->hide(); // the template of the skin-label array; only its copies show
    setFixedSize(grid.px(4755), grid.px(3300));

    connect(Command1, &QToolButton::clicked, this, &OptionsDialog::Command1_Click);
    connect(Text1, &QLineEdit::returnPressed, this, &OptionsDialog::Command1_Click);
    Form_Load();
}

void OptionsDialog::Form_Load()
{
    const engine::ScanSettings& current = engine::Globals();
    Text1->setText(current.strYourWebsite);
    if (current.bGetFileTypes)
        Check1->setChecked(true);
    if (current.bRemoveDupes)
        Check2->setChecked(true);
    if (current.bDisplayStats)
        Check3->setChecked(true);
    if (current.bHttps)
        Check4->setChecked(true);
    if (branding.bUseSkin) {
        CopyLabelsToSkinLabels(this, false);
        ApplySkin(this);
    }
}

void OptionsDialog::Command1_Click()
{
    using namespace engine;
    const QString section = QString::fromLatin1(keys::kData);
    // Every value is offered to the store, in this order, even after a refusal.
    bool saved = store.write(section, QString::fromLatin1(keys::kYourWebsite), Text1->text());
    saved = store.write(section, QString::fromLatin1(keys::kGetFileTypes), BoolToText(Check1->isChecked())) && saved;
    saved = store.write(section, QString::fromLatin1(keys::kRemoveDupes), BoolToText(Check2->isChecked())) && saved;
    saved = store.write(section, QString::fromLatin1(keys::kDisplayStats), BoolToText(Check3->isChecked())) && saved;
    saved = store.write(section, QString::fromLatin1(keys::kHttps), BoolToText(Check4->isChecked())) && saved;
    if (!saved) {
        // Reading back now would mix new and old values; the scan keeps the ones it had.
        QMessageBox::warning(this, branding.strProgramName,
                             QStringLiteral("The settings could not be saved. The program goes on with the "
                                            "settings it had before."));
        return;
    }
    LoadSettings(store);
    close();
}

} // namespace backtrail::shell
