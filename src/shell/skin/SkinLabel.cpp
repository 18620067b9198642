#include "SkinLabel.h"

#include "ClassicType.h"

namespace backtrail::shell {

SkinLabel::SkinLabel(QWidget* parent)
    : SkinLabel(QString(), parent)
{
}

SkinLabel::SkinLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    // The style sheet picks skin labels by this property; the colour pass
    // leaves them alone because their type name is not "Label".
    SetClassicTypeName(this, u"SkinLabel");
    setAutoFillBackground(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setWordWrap(true);
}

} // namespace backtrail::shell
