#pragma once

#include <QList>
#include <QString>

class QWidget;

namespace backtrail::shell {

class SkinLabel;

/// Name of the skin-label control array that the label copies join; its
/// element 0 is the template.
inline constexpr auto kSkinLabelArray = "SkinLabel1";

/// The elements of a window's skin-label control array, in control order.
QList<SkinLabel*> SkinLabelElements(QWidget* window, const QString& arrayName = QString::fromLatin1(kSkinLabelArray));

/// Gives every plain label ("Label") of the window a skin-label twin: a new
/// element of the SkinLabel1 array, one above its highest index, that starts
/// as a copy of the template (element 0) in the template's container and takes
/// the plain label's place, size, font, caption and visibility. With
/// sameContainerOnly only labels that share the template's container get a
/// twin. The plain labels stay as they are. Returns the number of twins made;
/// 0 when the window has no template.
int CopyLabelsToSkinLabels(QWidget* window, bool sameContainerOnly);

} // namespace backtrail::shell
