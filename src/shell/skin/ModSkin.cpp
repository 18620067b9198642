#include "ModSkin.h"

#include "ClassicType.h"

#include <QComboBox>
#include <QPointer>
#include <QWidget>

namespace backtrail::shell {

namespace {

QPointer<Skin>& sharedSkinSlot()
{
    static QPointer<Skin> skin;
    return skin;
}

enum class Surface { Button, Field, Panel };

Surface surfaceOf(const QWidget* control)
{
    const QString type = ClassicTypeName(control);
    if (type == u"CommandButton" || type == u"CheckBox" || type == u"OptionButton")
        return Surface::Button;
    if (type == u"TextBox" || type == u"ComboBox" || type == u"FileListBox" || type == u"DirListBox"
        || type == u"DriveListBox" || type == u"ListBox" || type == u"ListView" || type == u"RichTextBox")
        return Surface::Field;
    return Surface::Panel;
}

void setRole(QWidget* control, QPalette::ColorRole role, const QColor& color)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::Active, role, color);
    palette.setColor(QPalette::Inactive, role, color);
    control->setPalette(palette);
}

bool isListOrTextType(const QString& type)
{
    static const QStringList types = {
        QStringLiteral("TextBox"),    QStringLiteral("ComboBox"),     QStringLiteral("FileListBox"),
        QStringLiteral("DirListBox"), QStringLiteral("DriveListBox"), QStringLiteral("ListBox"),
        QStringLiteral("ListView"),
    };
    return types.contains(type);
}

} // namespace

Skin* SharedSkin()
{
    return sharedSkinSlot().data();
}

void SetSharedSkin(Skin* skin)
{
    sharedSkinSlot() = skin;
}

bool ApplySkin(QWidget* window)
{
    Skin* skin = SharedSkin();
    if (!skin || !window)
        return false;
    ColorNumber values[4] = {};
    const int numbers[4] = {Skin::kBackColor, Skin::kTextColor, Skin::kPanelColor, Skin::kPanelTextColor};
    for (int i = 0; i < 4; ++i)
        values[i] = skin->colorProperty(numbers[i]).value_or(0);
    ColorControls(window, values[0], values[1], values[2], values[3]);
    return skin->skinWindow(window);
}

void ColorControls(QWidget* window, ColorNumber background, ColorNumber text, ColorNumber panel, ColorNumber panelText)
{
    Q_UNUSED(panelText); // read and passed on; nothing wears it
    for (QWidget* control : WindowControls(window)) {
        const QString type = ClassicTypeName(control);
        if (type == u"CommandButton")
            SetBackColor(control, background);
        if (isListOrTextType(type)) {
            SetBackColor(control, background);
            SetForeColor(control, text);
        }
        if (type == u"PictureBox")
            SetBackColor(control, panel);
    }
}

void SetBackColor(QWidget* control, ColorNumber number)
{
    const QColor color = ColorFromNumber(number);
    switch (surfaceOf(control)) {
    case Surface::Button:
        setRole(control, QPalette::Button, color);
        break;
    case Surface::Field:
        setRole(control, QPalette::Base, color);
        // A drop-down list that cannot be typed into shows its face, not a field.
        if (qobject_cast<QComboBox*>(control))
            setRole(control, QPalette::Button, color);
        break;
    case Surface::Panel:
        setRole(control, QPalette::Window, color);
        control->setAutoFillBackground(true);
        break;
    }
}

void SetForeColor(QWidget* control, ColorNumber number)
{
    const QColor color = ColorFromNumber(number);
    switch (surfaceOf(control)) {
    case Surface::Button:
        setRole(control, QPalette::ButtonText, color);
        break;
    case Surface::Field:
        setRole(control, QPalette::Text, color);
        if (qobject_cast<QComboBox*>(control))
            setRole(control, QPalette::ButtonText, color);
        break;
    case Surface::Panel:
        setRole(control, QPalette::WindowText, color);
        break;
    }
}

ColorNumber BackColor(const QWidget* control)
{
    switch (surfaceOf(control)) {
    case Surface::Button:
        return NumberFromColor(control->palette().color(QPalette::Button));
    case Surface::Field:
        return NumberFromColor(control->palette().color(QPalette::Base));
    case Surface::Panel:
        break;
    }
    return NumberFromColor(control->palette().color(QPalette::Window));
}

ColorNumber ForeColor(const QWidget* control)
{
    switch (surfaceOf(control)) {
    case Surface::Button:
        return NumberFromColor(control->palette().color(QPalette::ButtonText));
    case Surface::Field:
        return NumberFromColor(control->palette().color(QPalette::Text));
    case Surface::Panel:
        break;
    }
    return NumberFromColor(control->palette().color(QPalette::WindowText));
}

} // namespace backtrail::shell
