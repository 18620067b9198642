#include "SkinEngine.h"

#include "Skin.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

namespace backtrail::shell {

namespace {

// The skin is drawn over Fusion: it is there on every platform and draws
// buttons, boxes and lists from the palette, which the colour pass relies on.
constexpr auto kSkinStyle = "Fusion";

} // namespace

SkinEngine& SkinEngine::Instance()
{
    static SkinEngine* engine = new SkinEngine(qApp);
    return *engine;
}

bool SkinEngine::attach(Skin* attached)
{
    if (!attached)
        return false;
    skin = attached;
    if (running)
        applySkin(*attached);
    return true;
}

bool SkinEngine::start()
{
    if (running)
        return true;
    Skin* attached = skin.data();
    if (!attached || !attached->isLoaded() || !qApp)
        return false;
    previousStyle = QApplication::style()->name();
    previousPalette = QApplication::palette();
    previousFont = QApplication::font();
    running = true;
    applySkin(*attached);
    return true;
}

void SkinEngine::stop()
{
    if (!running)
        return;
    running = false;
    if (!qApp)
        return;
    if (QStyle* style = QStyleFactory::create(previousStyle))
        QApplication::setStyle(style);
    QApplication::setPalette(previousPalette);
    QApplication::setFont(previousFont);
}

void SkinEngine::applySkin(const Skin& attached)
{
    if (QStyle* style = QStyleFactory::create(QString::fromLatin1(kSkinStyle)))
        QApplication::setStyle(style);
    QApplication::setPalette(attached.palette());
    QApplication::setFont(attached.font());
}

} // namespace backtrail::shell
