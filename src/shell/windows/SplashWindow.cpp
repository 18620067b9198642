#include "SplashWindow.h"

#include "Pictures.h"
#include "shell/skin/ClassicType.h"
#include "shell/skin/ModSkin.h"
#include "shell/skin/ProcessFlags.h"
#include "shell/skin/Skin.h"
#include "shell/skin/SkinEngine.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>

namespace backtrail::shell {

namespace {

// 75 ticks of 2 milliseconds: the counter grows by 2 and the main window opens at 150.
constexpr int kTickMilliseconds = 2;
constexpr int kTickStep = 2;
constexpr int kOpenAt = 150;

} // namespace

SplashWindow::SplashWindow(Hooks windowHooks, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , hooks(std::move(windowHooks))
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowIcon(ProgramIcon());

    skn = new Skin(this);
    skn->setObjectName(QStringLiteral("skn"));
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(kTickMilliseconds);
    connect(Timer2, &QTimer::timeout, this, &SplashWindow::Timer2_Timer);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    SetClassicTypeName(Image1, u"Image");
    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    QFont promotion;
    promotion.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")});
    promotion.setPointSizeF(10);
    Label3->setFont(promotion);
    Label3->setAlignment(Qt::AlignCenter);
    Label3->setWordWrap(true);
    Label3->setText(QStringLiteral("Find the pages that send visitors to your site."));

    Form_Load();
}

void SplashWindow::Form_Load()
{
    MainWindowClosed() = false;
    values = hooks.loadBranding ? hooks.loadBranding() : WindowBranding::FromBuild();

    const QPixmap picture = SplashPicture(values.strProgramName);
    Image1->setPixmap(picture);
    Image1->setGeometry(0, 0, picture.width(), picture.height());
    Label3->setGeometry(16, picture.height() + 8, picture.width() - 32, 44);
    setFixedSize(picture.width(), picture.height() + 60);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    if (values.bUseSkin) {
        SetSharedSkin(skn);
        ApplySkin(this);
        // A skin engine that fails must not stop the start: its results are not needed.
        SkinEngine& engine = SkinEngine::Instance();
        engine.attach(skn);
        engine.start();
    }
    Timer2->start();
}

void SplashWindow::Timer2_Timer()
{
    intTemp = static_cast<qint16>(intTemp + kTickStep);
    if (intTemp != kOpenAt)
        return;
    Timer2->stop();
    if (hooks.openMainWindow)
        hooks.openMainWindow();
    hide();
}

} // namespace backtrail::shell
