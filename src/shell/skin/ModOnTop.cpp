#include "ModOnTop.h"

#include <QWidget>

namespace backtrail::shell {

void SetOnTop(QWidget* window, bool onTop)
{
    if (!window)
        return;
    const bool isOnTop = window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    if (isOnTop == onTop)
        return;
    // Changing a window flag re-creates the native window and hides it; put
    // it back where it was, as it was.
    const bool wasVisible = window->isVisible();
    const Qt::WindowStates states = window->windowState();
    const QPoint place = window->pos();
    const QSize size = window->size();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (!(states & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        window->move(place);
        window->resize(size);
    }
    window->setWindowState(states);
    if (wasVisible)
        window->show();
}

} // namespace backtrail::shell
