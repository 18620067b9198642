#include "DesignGrid.h"

#include <QFont>
#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace backtrail::shell {

namespace {

constexpr double kTwipsPerPixel = 15.0;
// Line height and average character width of the font the positions were made for.
constexpr double kDesignLineHeight = 13.0;
constexpr double kDesignCharWidth = 5.5;

} // namespace

DesignGrid::DesignGrid(double scale)
    : factor(scale > 0 ? scale : 1.0)
{
}

DesignGrid::DesignGrid(const QFont& font)
{
    const QFontMetricsF metrics(font);
    factor = std::max({1.0, metrics.height() / kDesignLineHeight, metrics.averageCharWidth() / kDesignCharWidth});
}

int DesignGrid::px(int twips) const
{
    return int(std::lround(twips / kTwipsPerPixel * factor));
}

QRect DesignGrid::rect(int left, int top, int width, int height) const
{
    // Edges are rounded, not sizes, so neighbours that touch in twips touch on screen.
    const int x = px(left);
    const int y = px(top);
    return QRect(x, y, std::max(1, px(left + width) - x), std::max(1, px(top + height) - y));
}

} // namespace backtrail::shell
