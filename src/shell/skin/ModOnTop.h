#pragma once

class QWidget;

namespace backtrail::shell {

/// Puts a window above all other windows (onTop true) or back among the
/// ordinary windows (false). The window keeps its place, size, state and
/// visibility.
void SetOnTop(QWidget* window, bool onTop);

} // namespace backtrail::shell
