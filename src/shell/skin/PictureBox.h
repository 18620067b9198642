#pragma once

#include <QPixmap>
#include <QWidget>

namespace backtrail::shell {

/// A picture box: a panel filled with its background colour (the skin gives
/// picture boxes the panel colour) that shows a picture from its top left corner.
class PictureBox : public QWidget
{
    Q_OBJECT

public:
    explicit PictureBox(QWidget* parent = nullptr);

    void setPicture(const QPixmap& picture);
    QPixmap picture() const { return shown; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap shown;
};

} // namespace backtrail::shell
