#include "BrowserPane.h"

#include "WebBrowser.h"

#include <QFont>

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>
#include <algorithm>

namespace backtrail::browser {

namespace {

constexpr int kEnterKey = 13;

QToolButton* paneButton(QWidget* parent, const char* name, const QString& caption, const QString& tip,
                        const QIcon& icon, QSize iconSize)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setToolTip(tip);
    button->setIcon(icon);
    button->setIconSize(iconSize);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    return button;
}

} // namespace

BrowserPane::BrowserPane(QWidget* parent, Role role)
    : QGroupBox(QStringLiteral("Browser"), parent)
{
    setObjectName(QStringLiteral("frmBrowser"));
    QFont captionFont(QStringLiteral("Verdana"));
    captionFont.setBold(true);
    setFont(captionFont);
    // The caption font is the frame's alone: its controls keep the window's plain face.
    QFont childFont = parent ? parent->font() : QFont();
    childFont.setFamily(childFont.family());
    childFont.setBold(false);

    SkinLabel1 = new QLabel(QStringLiteral("URL:"), this);
    SkinLabel1->setObjectName(role == Role::MainWindowPane ? QStringLiteral("SkinLabel1") : QStringLiteral("Label5"));
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    const QSize small(14, 14);
    Command3
        = paneButton(this, "Command3", QStringLiteral("Go"), QStringLiteral("browse the entered url"),
                     QIcon::fromTheme(QStringLiteral("go-jump"), style()->standardIcon(QStyle::SP_CommandLink)), small);
    Command4 = paneButton(this, "Command4", QStringLiteral("Back"), QStringLiteral("back"),
                          QIcon::fromTheme(QStringLiteral("go-previous"), style()->standardIcon(QStyle::SP_ArrowBack)),
                          small);
    Command5 = paneButton(this, "Command5", QStringLiteral("Forward"), QStringLiteral("forward"),
                          QIcon::fromTheme(QStringLiteral("go-next"), style()->standardIcon(QStyle::SP_ArrowForward)),
                          small);
    Command6 = paneButton(
        this, "Command6", QStringLiteral("Stop"), QStringLiteral("stop"),
        QIcon::fromTheme(QStringLiteral("process-stop"), style()->standardIcon(QStyle::SP_BrowserStop)), small);
    Command7 = paneButton(
        this, "Command7", QStringLiteral("Refresh"), QStringLiteral("refresh"),
        QIcon::fromTheme(QStringLiteral("view-refresh"), style()->standardIcon(QStyle::SP_BrowserReload)), small);
    WebBrowser1 = new WebBrowser(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    for (QWidget* child :
         {static_cast<QWidget*>(SkinLabel1), static_cast<QWidget*>(Text1), static_cast<QWidget*>(Command3),
          static_cast<QWidget*>(Command4), static_cast<QWidget*>(Command5), static_cast<QWidget*>(Command6),
          static_cast<QWidget*>(Command7)})
        child->setFont(childFont);

    // Design places in pixels (15 twips to a pixel); the main window's layout sizes them later.
    SkinLabel1->setGeometry(8, 20, 25, 21);
    Text1->setGeometry(36, 16, 325, 21);
    Command3->setGeometry(364, 16, 53, 21);
    Command4->setGeometry(36, 40, 61, 29);
    Command5->setGeometry(100, 40, 61, 29);
    Command6->setGeometry(164, 40, 61, 29);
    Command7->setGeometry(228, 40, 61, 29);
    WebBrowser1->setGeometry(8, 76, 409, 373);

    SkinLabel1->resize(std::min(SkinLabel1->sizeHint().width(), 28), SkinLabel1->height());

    // The second row's buttons keep their design width; a caption that does
    // not fit beside its picture gets a narrower face of the same font.
    for (QToolButton* button : {Command4, Command5, Command6, Command7}) {
        QFont face = button->font();
        face.setStretch(QFont::SemiCondensed);
        while (button->sizeHint().width() > button->width() && face.pointSizeF() > 6.5) {
            button->setFont(face);
            face.setPointSizeF(face.pointSizeF() - 0.5);
        }
    }

    Text1->installEventFilter(this);
    connect(Command3, &QToolButton::clicked, this, &BrowserPane::Command3_Click);
    connect(Command4, &QToolButton::clicked, this, &BrowserPane::Command4_Click);
    connect(Command5, &QToolButton::clicked, this, &BrowserPane::Command5_Click);
    connect(Command6, &QToolButton::clicked, this, &BrowserPane::Command6_Click);
    connect(Command7, &QToolButton::clicked, this, &BrowserPane::Command7_Click);
    connect(WebBrowser1, &WebBrowser::StatusTextChange, this, &BrowserPane::WebBrowser1_StatusTextChange);
    if (role == Role::MainWindowPane)
        connect(WebBrowser1, &WebBrowser::DocumentComplete, this, &BrowserPane::WebBrowser1_DocumentComplete);
}

bool BrowserPane::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in the address box loads the address; the key itself still reaches the box.
    if (watched == Text1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            Text1_KeyPress(kEnterKey);
    }
    return QGroupBox::eventFilter(watched, event);
}

void BrowserPane::Command3_Click()
{
    WebBrowser1->Navigate(Text1->text());
}

void BrowserPane::Text1_KeyPress(int keyAscii)
{
    if (keyAscii == kEnterKey)
        WebBrowser1->Navigate(Text1->text());
}

void BrowserPane::Command4_Click()
{
    WebBrowser1->GoBack();
}

void BrowserPane::Command5_Click()
{
    WebBrowser1->GoForward();
}

void BrowserPane::Command6_Click()
{
    WebBrowser1->Stop();
}

void BrowserPane::Command7_Click()
{
    WebBrowser1->Refresh();
}

void BrowserPane::WebBrowser1_StatusTextChange(const QString& text)
{
    emit statusTextChanged(text);
}

void BrowserPane::WebBrowser1_DocumentComplete()
{
    // A page of the program's own (see WebBrowser::ShowLocalPage) has no address to show.
    const QString name = WebBrowser1->LocationName();
    if (name.isEmpty() || WebBrowser1->LocationURL().startsWith(QLatin1String("data:")))
        return;
    window()->setWindowTitle(captionBase + QStringLiteral(" - ") + name);
    Text1->setText(WebBrowser1->LocationURL());
}

} // namespace backtrail::browser
