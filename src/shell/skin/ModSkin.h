#pragma once

#include "Skin.h"

class QWidget;

namespace backtrail::shell {

/// The skin control every window is skinned from: the splash window's skin,
/// set once when the splash window loads. Null until then.
Skin* SharedSkin();
void SetSharedSkin(Skin* skin);

/// Skins a window from the shared skin: reads its colours 2, 3, 4 and 5 in this
/// order, colours the window's controls with them (ColorControls), then has
/// the shared skin skin the window. False, with nothing changed, when there is
/// no shared skin.
bool ApplySkin(QWidget* window);

/// Colours a window's controls by their classic type name, in the order of
/// the window's control collection: a "CommandButton" takes the background;
/// a "TextBox", "ComboBox", "FileListBox", "DirListBox", "DriveListBox",
/// "ListBox" or "ListView" the background and the text colour; a "PictureBox"
/// the panel colour. Every other control is left as it is, and the panel text
/// colour is applied to nothing.
void ColorControls(QWidget* window, ColorNumber background, ColorNumber text, ColorNumber panel, ColorNumber panelText);

/// A control's background colour (BackColor) as the classic control means it:
/// the face of a button, the field of a text or list box, the area of a panel.
void SetBackColor(QWidget* control, ColorNumber color);
/// A control's text colour (ForeColor).
void SetForeColor(QWidget* control, ColorNumber color);
ColorNumber BackColor(const QWidget* control);
ColorNumber ForeColor(const QWidget* control);

} // namespace backtrail::shell
