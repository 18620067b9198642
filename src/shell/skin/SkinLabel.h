#pragma once

#include <QLabel>

namespace backtrail::shell {

/// A label that the skin paints: it fills its own box with the window's skin
/// background and draws its caption in the skin's label colour, so a skin
/// label laid over a plain label hides it. Skin labels form control arrays: all
/// elements of one array share an objectName and differ by their index.
class SkinLabel : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(int index READ index WRITE setIndex)

public:
    explicit SkinLabel(QWidget* parent = nullptr);
    SkinLabel(const QString& text, QWidget* parent = nullptr);

    /// The element's index in its control array; element 0 is the template.
    int index() const { return elementIndex; }
    void setIndex(int value) { elementIndex = static_cast<qint16>(value); }

private:
    qint16 elementIndex = 0;
};

} // namespace backtrail::shell
