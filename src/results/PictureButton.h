#pragma once

#include <QIcon>
#include <QString>

class QToolButton;
class QWidget;

namespace backtrail::results {

/// A command button with a 24 by 24 picture above its caption, named for
/// findChild and carrying its tooltip.
QToolButton* MakePictureButton(QWidget* parent, const char* name, const QString& caption, const QString& tip,
                               const QIcon& icon);

} // namespace backtrail::results
