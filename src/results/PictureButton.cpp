#include "PictureButton.h"

#include <QToolButton>

namespace backtrail::results {

QToolButton* MakePictureButton(QWidget* parent, const char* name, const QString& caption, const QString& tip,
                               const QIcon& icon)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setToolTip(tip);
    button->setIcon(icon);
    button->setIconSize(QSize(24, 24));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    return button;
}

} // namespace backtrail::results
