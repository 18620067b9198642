#pragma once

#include <QWidget>

#include <vector>

class QLabel;

namespace backtrail::shell {

/// A status bar of numbered panels (from 1) laid side by side from the left
/// edge, each as wide as it is told; panels beyond the right edge are cut off.
/// A panel docked at the right edge is the exception: see setPanelDockedRight.
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
    /// A panel docked at the right edge is shown there, at least as wide as its
    /// text needs (up to the bar's width), above the panels that reach under
    /// it; a panel that fits its text grows only up to its left edge. Without
    /// text it is hidden and takes no room. The panels from the left keep
    /// their places either way.
    void setPanelDockedRight(int panel, bool docked);
    /// Whether a panel is shown (a docked panel without text is not).
    bool panelShown(int panel) const;
    /// The left edge and width of a panel as shown, in pixels from the bar's left edge.
    int panelLeft(int panel) const;
    int shownPanelWidth(int panel) const;

signals:
    void panelTextChanged(int panel, const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placePanels();
    struct Place
    {
        int left;
        int width;
    };
    std::vector<Place> places() const;
    int textWidth(std::size_t index) const;
    bool docked(std::size_t index) const { return dockedRight[index]; }
    QLabel* panel(int number) const;

    std::vector<QLabel*> panels;
    std::vector<int> widths;
    std::vector<bool> fitsText;
    std::vector<bool> dockedRight;
};

} // namespace backtrail::shell
