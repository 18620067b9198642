#pragma once

#include <QList>
#include <QString>
#include <QStringView>

class QWidget;

namespace backtrail::shell {

/// Name of the dynamic property through which a control answers the classic
/// type name it stands for ("FileListBox", "PictureBox", ...). It wins over
/// the name derived from the control's Qt class.
inline constexpr const char* kClassicTypeProperty = "classicType";

/// The classic type name of a control: its "classicType" property when set,
/// otherwise the name that goes with its Qt class (a push or tool button is a
/// "CommandButton", a line edit a "TextBox", a plain QLabel a "Label", a skin
/// label a "SkinLabel", a tree or table view a "ListView", ...). A class with no
/// classic counterpart answers its own class name. Names are compared exactly.
QString ClassicTypeName(const QWidget* control);

/// Makes a control answer the given classic type name.
void SetClassicTypeName(QWidget* control, QStringView typeName);

/// The controls of a window in the order of its control collection: every
/// named descendant widget that belongs to the window itself, in creation
/// order, parents before their children. Unnamed and Qt-internal widgets
/// (scroll-area viewports, header views, a combo box's editor) are parts of a
/// control, not controls, and other top-level windows are not included.
QList<QWidget*> WindowControls(QWidget* window);

} // namespace backtrail::shell
