#pragma once
// Helpers of the tools that save pictures of the program's windows on a real
// display for a person to look at.

#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QString>
#include <QTimer>
#include <QWidget>

namespace backtrail::testing {

/// Lets the program and the window manager run for a while.
inline void Settle(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

/// Saves a picture of the whole screen.
inline void SaveScreen(const QString& file)
{
    QGuiApplication::primaryScreen()->grabWindow(0).save(file);
}

/// Saves a picture of a window with its frame, as the window manager draws it.
inline void SaveWindow(const QWidget* window, const QString& file)
{
    const QRect frame = window->frameGeometry();
    QGuiApplication::primaryScreen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).save(file);
}

} // namespace backtrail::testing
