#pragma once

#include <QWidget>

#include <vector>

class QLabel;

namespace backtrail::shell {

/// A status bar of numbered panels (from 1) laid side by side from the left
/// edge, each as wide as it is told; panels beyond the right edge are cut off.
class StatusBar final : public QWidget
{
    Q_OBJECT
public:
    explicit StatusBar(int panels, QWidget* parent = nullptr);

    int panelCount() const { return int(panels.size()); }
    /// Adds a panel with no text at the right end.
    void addPanel();
    QString panelText(int panel) const;
    void setPanelText(int panel, const QString& text);
    int panelWidth(int panel) const;
    void setPanelWidth(int panel, int pixels);
    /// The left edge of a panel, in pixels from the bar's left edge.
    int panelLeft(int panel) const;

signals:
    void panelTextChanged(int panel, const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placePanels();
    QLabel* panel(int number) const;

    std::vector<QLabel*> panels;
    std::vector<int> widths;
};

} // namespace backtrail::shell
