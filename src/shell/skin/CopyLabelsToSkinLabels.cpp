#include "CopyLabelsToSkinLabels.h"

#include "ClassicType.h"
#include "SkinLabel.h"

#include <QLabel>

#include <limits>

namespace backtrail::shell {

QList<SkinLabel*> SkinLabelElements(QWidget* window, const QString& arrayName)
{
    QList<SkinLabel*> elements;
    for (QWidget* control : WindowControls(window)) {
        if (auto* element = qobject_cast<SkinLabel*>(control); element && element->objectName() == arrayName)
            elements.append(element);
    }
    return elements;
}

namespace {

// A new element starts as a copy of the template in the properties that the
// plain label does not overwrite afterwards.
void copyTemplate(const SkinLabel* from, SkinLabel* to)
{
    to->setObjectName(from->objectName());
    to->setAlignment(from->alignment());
    to->setWordWrap(from->wordWrap());
    to->setIndent(from->indent());
    to->setMargin(from->margin());
    to->setTextFormat(from->textFormat());
    to->setToolTip(from->toolTip());
    to->setEnabled(from->isEnabled());
    to->setStyleSheet(from->styleSheet());
    to->setAutoFillBackground(from->autoFillBackground());
}

} // namespace

int CopyLabelsToSkinLabels(QWidget* window, bool sameContainerOnly)
{
    const QList<SkinLabel*> elements = SkinLabelElements(window);
    SkinLabel* templateLabel = nullptr;
    int upperBound = std::numeric_limits<qint16>::min();
    for (SkinLabel* element : elements) {
        if (element->index() == 0 && !templateLabel)
            templateLabel = element;
        upperBound = std::max(upperBound, element->index());
    }
    if (!templateLabel)
        return 0;
    QWidget* container = templateLabel->parentWidget();

    int made = 0;
    // The collection as it stood before the first twin: twins are not labels
    // of type "Label", but a snapshot keeps the walk plain.
    const QList<QWidget*> controls = WindowControls(window);
    for (QWidget* control : controls) {
        if (ClassicTypeName(control) != u"Label")
            continue;
        auto* label = qobject_cast<QLabel*>(control);
        if (!label)
            continue;
        if (sameContainerOnly && label->parentWidget() != container)
            continue;
        // Indices are 16-bit; an array that is full takes no more elements.
        if (upperBound >= std::numeric_limits<qint16>::max())
            break;
        auto* twin = new SkinLabel(container);
        copyTemplate(templateLabel, twin);
        twin->setIndex(++upperBound);
        // The label's place is taken in the template's container, so a twin
        // covers its label even when the two containers differ.
        QRect place = label->geometry();
        if (label->parentWidget() != container && label->parentWidget() && container)
            place.moveTopLeft(container->mapFrom(window, label->parentWidget()->mapTo(window, place.topLeft())));
        twin->setGeometry(place);
        twin->setFont(label->font());
        twin->setText(label->text());
        twin->setVisible(!label->isHidden());
        ++made;
    }
    return made;
}

} // namespace backtrail::shell
