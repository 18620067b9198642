#pragma once

#include <QRect>

class QFont;

namespace backtrail::shell {

/// Places controls from design positions given in twips (1,440 to the inch,
/// 15 to a pixel at 96 dots per inch). The positions were laid out for a font
/// whose lines are 13 pixels high; with a larger font everything grows by the
/// same factor, so captions keep fitting their boxes.
class DesignGrid
{
public:
    explicit DesignGrid(double scale = 1.0);
    /// A grid for controls that show text in this font.
    explicit DesignGrid(const QFont& font);

    double scale() const { return factor; }
    int px(int twips) const;
    QRect rect(int left, int top, int width, int height) const;

private:
    double factor;
};

} // namespace backtrail::shell
