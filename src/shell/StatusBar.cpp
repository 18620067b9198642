#include "StatusBar.h"

#include <QLabel>

#include <algorithm>

namespace backtrail::shell {

namespace {

constexpr int kDefaultPanelWidth = 96; // 1440 twips, a new panel's width
constexpr int kPanelGap = 2;

} // namespace

StatusBar::StatusBar(int count, QWidget* parent)
    : QWidget(parent)
{
    for (int i = 0; i < count; ++i)
        addPanel();
}

void StatusBar::addPanel()
{
    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("Panel%1").arg(panels.size() + 1));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setContentsMargins(3, 0, 3, 0);
    label->setTextFormat(Qt::PlainText);
    label->show();
    panels.push_back(label);
    widths.push_back(kDefaultPanelWidth);
    fitsText.push_back(false);
    dockedRight.push_back(false);
    placePanels();
}

QLabel* StatusBar::panel(int number) const
{
    return number >= 1 && number <= int(panels.size()) ? panels[std::size_t(number - 1)] : nullptr;
}

QString StatusBar::panelText(int number) const
{
    const QLabel* label = panel(number);
    return label ? label->text() : QString();
}

void StatusBar::setPanelText(int number, const QString& text)
{
    QLabel* label = panel(number);
    if (!label)
        return;
    label->setText(text);
    label->setToolTip(text);
    if (fitsText[std::size_t(number - 1)] || dockedRight[std::size_t(number - 1)])
        placePanels();
    emit panelTextChanged(number, text);
}

int StatusBar::panelWidth(int number) const
{
    return panel(number) ? widths[std::size_t(number - 1)] : 0;
}

void StatusBar::setPanelWidth(int number, int pixels)
{
    if (!panel(number))
        return;
    widths[std::size_t(number - 1)] = std::max(0, pixels);
    placePanels();
}

void StatusBar::setPanelFitsText(int number, bool fits)
{
    if (!panel(number))
        return;
    fitsText[std::size_t(number - 1)] = fits;
    placePanels();
}

void StatusBar::setPanelDockedRight(int number, bool docked)
{
    if (!panel(number))
        return;
    dockedRight[std::size_t(number - 1)] = docked;
    placePanels();
}

bool StatusBar::panelShown(int number) const
{
    const QLabel* label = panel(number);
    return label && !(dockedRight[std::size_t(number - 1)] && label->text().isEmpty());
}

int StatusBar::textWidth(std::size_t i) const
{
    const QMargins margins = panels[i]->contentsMargins();
    return panels[i]->fontMetrics().horizontalAdvance(panels[i]->text()) + margins.left() + margins.right()
        + 2 * panels[i]->frameWidth() + kPanelGap;
}

std::vector<StatusBar::Place> StatusBar::places() const
{
    std::vector<Place> shown(panels.size(), Place {0, 0});
    // The docked panels first, from the right edge leftwards: the last one rightmost.
    int right = width();
    for (std::size_t i = panels.size(); i-- > 0;) {
        if (!docked(i) || panels[i]->text().isEmpty())
            continue;
        const int w = std::min(std::max(widths[i], textWidth(i)), std::max(0, right));
        right -= w;
        shown[i] = {right, w};
    }
    int left = 0;
    for (std::size_t i = 0; i < panels.size(); ++i) {
        if (docked(i))
            continue;
        int w = widths[i];
        if (fitsText[i] && !panels[i]->text().isEmpty())
            w = std::max(widths[i], std::min(textWidth(i), right - left));
        shown[i] = {left, w};
        left += w;
    }
    return shown;
}

int StatusBar::panelLeft(int number) const
{
    return panel(number) ? places()[std::size_t(number - 1)].left : 0;
}

int StatusBar::shownPanelWidth(int number) const
{
    return panel(number) ? places()[std::size_t(number - 1)].width : 0;
}

void StatusBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placePanels();
}

void StatusBar::placePanels()
{
    const std::vector<Place> shown = places();
    for (std::size_t i = 0; i < panels.size(); ++i) {
        panels[i]->setGeometry(shown[i].left, kPanelGap, std::max(0, shown[i].width - kPanelGap),
                               std::max(0, height() - kPanelGap));
        if (docked(i)) {
            panels[i]->setVisible(!panels[i]->text().isEmpty());
            panels[i]->raise(); // above the panels from the left that reach under it
        }
    }
}

} // namespace backtrail::shell
