#include "StatusBar.h"

#include <QLabel>

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
    if (fitsText[std::size_t(number - 1)])
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

std::vector<int> StatusBar::shownWidths() const
{
    std::vector<int> shown = widths;
    int left = 0;
    for (std::size_t i = 0; i < panels.size(); ++i) {
        if (fitsText[i] && !panels[i]->text().isEmpty()) {
            const QMargins margins = panels[i]->contentsMargins();
            const int needed = panels[i]->fontMetrics().horizontalAdvance(panels[i]->text()) + margins.left()
                + margins.right() + 2 * panels[i]->frameWidth() + kPanelGap;
            shown[i] = std::max(widths[i], std::min(needed, width() - left));
        }
        left += shown[i];
    }
    return shown;
}

int StatusBar::panelLeft(int number) const
{
    const std::vector<int> shown = shownWidths();
    int left = 0;
    for (int i = 1; i < number && i <= int(panels.size()); ++i)
        left += shown[std::size_t(i - 1)];
    return left;
}

int StatusBar::shownPanelWidth(int number) const
{
    return panel(number) ? shownWidths()[std::size_t(number - 1)] : 0;
}

void StatusBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placePanels();
}

void StatusBar::placePanels()
{
    const std::vector<int> shown = shownWidths();
    int left = 0;
    for (std::size_t i = 0; i < panels.size(); ++i) {
        panels[i]->setGeometry(left, kPanelGap, std::max(0, shown[i] - kPanelGap), std::max(0, height() - kPanelGap));
        left += shown[i];
    }
}

} // namespace backtrail::shell
