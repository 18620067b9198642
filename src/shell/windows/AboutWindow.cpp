#include "AboutWindow.h"

#include "DesignGrid.h"
#include "Pictures.h"
#include "shell/skin/CopyLabelsToSkinLabels.h"
#include "shell/skin/ModSkin.h"
#include "shell/skin/PictureBox.h"
#include "shell/skin/SkinLabel.h"

#include "engine/base/BuildInfo.h"

#include <QLabel>

namespace backtrail::shell {

namespace {

QFont verdana(double points, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

template<class Label>
Label* label(QWidget* parent, const char* name, const QString& text, const QRect& where, const QFont& font)
{
    auto* made = new Label(parent);
    made->setObjectName(QString::fromLatin1(name));
    made->setText(text);
    made->setGeometry(where);
    made->setFont(font);
    made->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    made->setWordWrap(true);
    return made;
}

} // namespace

QString VersionText(int major, int minor)
{
    return QString::number(major) + u'.' + QString::number(minor);
}

AboutWindow::AboutWindow(const WindowBranding& values, QWidget* parent)
    : AboutWindow(values, build::kVersionMajor, build::kVersionMinor, parent)
{
}

AboutWindow::AboutWindow(const WindowBranding& values, int versionMajor, int versionMinor, QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                  | Qt::MSWindowsFixedSizeDialogHint)
    , branding(values)
    , major(versionMajor)
    , minor(versionMinor)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowIcon(ProgramIcon());

    // The fonts are given in points, so the design positions hold as they are.
    const DesignGrid grid(1.0);
    const QFont name = verdana(14.25, true);
    const QFont row = verdana(12, true);
    const QFont notice = verdana(8.25, false);

    Picture1 = new PictureBox(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(grid.rect(0, 0, 7515, 1035));
    Picture1->setPicture(AboutBanner(branding.strProgramName));

    Label1 = label<SkinLabel>(this, "Label1", QStringLiteral("Program"), grid.rect(120, 1200, 7095, 435), name);
    Label2 = label<QLabel>(this, "Label2", QStringLiteral("Version:"), grid.rect(180, 1680, 2295, 315), row);
    lblVersion = label<SkinLabel>(this, "lblVersion", QStringLiteral("0.0"), grid.rect(2580, 1680, 4635, 315), row);
    Label3 = label<QLabel>(this, "Label3", QStringLiteral("Owned By:"), grid.rect(180, 2100, 2295, 315), row);
    lblCompany = label<SkinLabel>(this, "lblCompany", QStringLiteral("Company"), grid.rect(2580, 2100, 4635, 315), row);
    Label4 = label<QLabel>(this, "Label4", QStringLiteral("Website:"), grid.rect(180, 2520, 2295, 315), row);
    lblWebsite = label<SkinLabel>(this, "lblWebsite", QStringLiteral("www"), grid.rect(2580, 2520, 4635, 315), row);
    lblWebsite->setTextFormat(Qt::PlainText);
    lblWebsite->setTextInteractionFlags(Qt::NoTextInteraction);
    Label5 = label<QLabel>(this, "Label5",
                           QStringLiteral("This program, its pictures and its help document are the property of "
                                          "their owner named above, who reserves all rights in them. Backtrail reads "
                                          "your web-server logs on this computer and sends nothing anywhere."),
                           grid.rect(120, 3300, 7215, 1275), notice);
    SkinLabel1 = label<SkinLabel>(this, "SkinLabel1", QString(), grid.rect(480, 2940, 555, 195), notice);
    SkinLabel1->hide(); // the template of the skin-label array; only its copies show
    setFixedSize(grid.px(7515), grid.px(4695));

    Form_Load();
}

void AboutWindow::Form_Load()
{
    setWindowTitle(QStringLiteral("About ") + branding.strProgramName);
    Label1->setText(branding.strProgramName);
    lblCompany->setText(branding.strCompanyName);
    lblVersion->setText(VersionText(major, minor));
    lblWebsite->setText(branding.strWebsite);
    if (branding.bUseSkin) {
        CopyLabelsToSkinLabels(this, false);
        ApplySkin(this);
    }
}

} // namespace backtrail::shell
