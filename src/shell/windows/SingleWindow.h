#pragma once

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace backtrail::shell {

/// Brings an open window to the front with its current state.
inline void BringToFront(QWidget* window)
{
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

/// Places a new window in the middle of the screen, where the eye is, rather
/// than wherever the window system puts windows that ask for no place.
inline void CentreOnScreen(QWidget* window)
{
    if (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect place(QPoint(), window->frameGeometry().size());
    place.moveCenter(screen->availableGeometry().center());
    window->move(place.topLeft());
}

/// A modeless window that exists once per process: asking for it while it is
/// open brings it to the front; closing it unloads it, and the next request
/// makes a fresh one.
template<class Window> class SingleWindow
{
public:
    /// The open window, or null.
    Window* get() const
    {
        Window* open = window.data();
        return open && open->isVisible() ? open : nullptr;
    }

    /// Brings the open window to the front, or makes one with `load` (which may
    /// return null to show nothing) and shows it. Returns the window shown.
    template<class Load> Window* show(Load load)
    {
        if (Window* open = get()) {
            BringToFront(open);
            return open;
        }
        if (Window* closed = window.data()) {
            // Closed and waiting for deletion: it is not the window any more.
            closed->deleteLater();
            window.clear();
        }
        Window* made = load();
        if (!made)
            return nullptr;
        made->setAttribute(Qt::WA_DeleteOnClose);
        window = made;
        CentreOnScreen(made);
        made->show();
        return made;
    }

    /// Unloads the window if it exists.
    void unload() { delete window.data(); }

private:
    QPointer<Window> window;
};

} // namespace backtrail::shell
