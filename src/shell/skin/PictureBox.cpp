#include "PictureBox.h"

#include "ClassicType.h"

#include <QPainter>

namespace backtrail::shell {

PictureBox::PictureBox(QWidget* parent)
    : QWidget(parent)
{
    SetClassicTypeName(this, u"PictureBox");
    setAutoFillBackground(true);
}

void PictureBox::setPicture(const QPixmap& picture)
{
    shown = picture;
    update();
}

QSize PictureBox::sizeHint() const
{
    if (shown.isNull())
        return QWidget::sizeHint();
    return shown.deviceIndependentSize().toSize();
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (shown.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(QPoint(0, 0), shown);
}

} // namespace backtrail::shell
