#pragma once

#include <QFont>
#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QString>

namespace backtrail::shell {

class Skin;

/// The skinning engine: once a skin is attached and the engine started, the
/// whole program runs on the skin's style, palette and font; stopping gives
/// the program back the look it had before.
class SkinEngine : public QObject
{
    Q_OBJECT

public:
    /// The process-wide engine, created on first use.
    static SkinEngine& Instance();

    /// Attaches a skin; false for none. A running engine takes on the new skin.
    bool attach(Skin* skin);
    /// Starts the engine; false when no skin is attached. Starting a running
    /// engine changes nothing.
    bool start();
    /// Stops the engine; stopping a stopped engine changes nothing.
    void stop();

    bool isRunning() const { return running; }
    Skin* attachedSkin() const { return skin.data(); }

private:
    using QObject::QObject;
    static void applySkin(const Skin& attached);

    QPointer<Skin> skin;
    bool running = false;
    QString previousStyle;
    QPalette previousPalette;
    QFont previousFont;
};

} // namespace backtrail::shell
