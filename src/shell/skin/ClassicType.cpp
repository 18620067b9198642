#include "ClassicType.h"

#include "SkinLabel.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTableView>
#include <QTextEdit>
#include <QTreeView>
#include <QVariant>
#include <QWidget>

namespace backtrail::shell {

namespace {

QString derivedTypeName(const QWidget* control)
{
    // Most derived classes first: a check box is also an abstract button, a
    // skin label is also a QLabel.
    if (qobject_cast<const SkinLabel*>(control))
        return QStringLiteral("SkinLabel");
    if (qobject_cast<const QCheckBox*>(control))
        return QStringLiteral("CheckBox");
    if (qobject_cast<const QRadioButton*>(control))
        return QStringLiteral("OptionButton");
    if (qobject_cast<const QAbstractButton*>(control))
        return QStringLiteral("CommandButton");
    if (qobject_cast<const QComboBox*>(control))
        return QStringLiteral("ComboBox");
    if (qobject_cast<const QLineEdit*>(control) || qobject_cast<const QPlainTextEdit*>(control))
        return QStringLiteral("TextBox");
    if (qobject_cast<const QTextEdit*>(control))
        return QStringLiteral("RichTextBox");
    if (qobject_cast<const QListView*>(control))
        return QStringLiteral("ListBox");
    if (qobject_cast<const QTreeView*>(control) || qobject_cast<const QTableView*>(control))
        return QStringLiteral("ListView");
    if (qobject_cast<const QGroupBox*>(control))
        return QStringLiteral("Frame");
    if (qobject_cast<const QLabel*>(control))
        return QStringLiteral("Label");
    if (qobject_cast<const QProgressBar*>(control))
        return QStringLiteral("ProgressBar");
    if (qobject_cast<const QStatusBar*>(control))
        return QStringLiteral("StatusBar");
    if (qobject_cast<const QMenuBar*>(control))
        return QStringLiteral("Menu");
    if (const auto* bar = qobject_cast<const QScrollBar*>(control))
        return bar->orientation() == Qt::Horizontal ? QStringLiteral("HScrollBar") : QStringLiteral("VScrollBar");
    if (qobject_cast<const QSlider*>(control))
        return QStringLiteral("Slider");
    if (const auto* frame = qobject_cast<const QFrame*>(control)) {
        if (frame->frameShape() == QFrame::HLine || frame->frameShape() == QFrame::VLine)
            return QStringLiteral("Line");
    }
    return QString::fromLatin1(control->metaObject()->className());
}

// A dialog or tool window parented to the window holds controls of its own.
bool insideOtherWindow(const QWidget* widget, const QWidget* window)
{
    for (const QWidget* step = widget; step && step != window; step = step->parentWidget()) {
        if (step->isWindow())
            return true;
    }
    return false;
}

} // namespace

QString ClassicTypeName(const QWidget* control)
{
    if (!control)
        return {};
    const QVariant declared = control->property(kClassicTypeProperty);
    if (declared.isValid()) {
        const QString name = declared.toString();
        if (!name.isEmpty())
            return name;
    }
    return derivedTypeName(control);
}

void SetClassicTypeName(QWidget* control, QStringView typeName)
{
    control->setProperty(kClassicTypeProperty, typeName.toString());
}

QList<QWidget*> WindowControls(QWidget* window)
{
    QList<QWidget*> controls;
    if (!window)
        return controls;
    // findChildren walks depth first, each child before its own children, in
    // the order the children were created.
    const QList<QWidget*> all = window->findChildren<QWidget*>();
    for (QWidget* widget : all) {
        const QString name = widget->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            continue;
        if (insideOtherWindow(widget, window))
            continue;
        controls.append(widget);
    }
    return controls;
}

} // namespace backtrail::shell
