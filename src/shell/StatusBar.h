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
    /// The width a panel is told to have (the one it is shown with may be larger, see below).
    int panelWidth(int panel) const;
    void setPanelWidth(int panel, int pixels);
    /// A panel that fits its text is shown, while its text needs more than its
    /// width, as wide as the text, up to the bar's right edge; the panels after
    /// it move right. So a long status line stays readable as a whole.
    void setPanelFitsText(int panel, bool fits);
    /// The left edge and width of a panel as shown, in pixels from the bar's left edge.
    int panelLeft(int panel) const;
    int shownPanelWidth(int panel) const;

signals:
    void panelTextChanged(int panel, const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placePanels();
    std::vector<int> shownWidths() const;
    QLabel* panel(int number) const;

    std::vector<QLabel*> panels;
    std::vector<int> widths;
    std::vector<bool> fitsText;
};

} // namespace backtrail::shell
