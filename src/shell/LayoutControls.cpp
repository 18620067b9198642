#include "LayoutControls.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace backtrail::shell {

namespace {

// The margin the left column keeps to the client's left edge, kept on the right too.
constexpr float kEdgeMargin = 60;

// Back, Forward, Stop and Refresh at design: 915 wide, 45 apart, from 540.
constexpr float kNavLeft = 540;
constexpr float kNavWidth = 915;
constexpr float kNavGap = 45;
// The browser view's right margin inside its frame, which the button row keeps too.
constexpr float kPaneRightMargin = 100;

// Ends a frame at `limit` (in its container) when it reaches past it; a limit
// that the frame's start already passes (a window below the fixed offsets)
// leaves the rule's size as it is.
float fitTo(float start, float size, float limit)
{
    return limit > start ? std::min(size, limit - start) : size;
}

} // namespace

MainLayout LayoutControls(const LayoutInput& in)
{
    const float W = in.windowWidth;
    const float H = in.windowHeight;
    const float sbTop = in.statusBarTop;
    const float sbHeight = in.statusBarHeight;

    // The design places that the rules start from.
    MainLayout l;
    l.frmMain = {60, 900, in.frmMainWidth, 0};
    l.Frame1 = {0, 900, in.frame1Width, 0};
    l.frmBrowser = {0, 900, 0, 0};
    l.List1 = {120, 1080, 0, 0};
    l.lstResults = {120, 1080, 0, 0};
    l.Drive1 = {60, 1080, 3555, 315};
    // The folder list starts below the drive list (1080 + 315), which its design
    // place (1380) overlapped by a pixel; its bottom stays at 4170.
    l.Dir1 = {60, 1395, 3555, 2775};
    l.File1 = {60, 4200, 3555, 2820};
    l.Text1 = {540, 240, 4875, 315};
    l.Command3 = {5460, 240, 795, 315};
    l.WebBrowser1 = {120, 1140, 6135, 5595};
    l.Command8 = {4800, 60, 0, 795};

    // 1-3: the three status panels span W; the fifth lies beyond the edge, and the
    // fourth (the date range) docks at the right edge over the third by itself.
    const float p1Left = 0;
    l.panelWidth[0] = W / 4;
    l.panelWidth[1] = W - 2 * l.panelWidth[0];
    l.panelWidth[2] = W / 4;
    // 4: the progress bar sits inside the first panel.
    l.ProgressBar1 = {p1Left + 30, sbTop + 40, l.panelWidth[0] - 50, sbHeight - 40};
    // 5-7: the frames fill the height; the browser takes the width right of the left column.
    l.frmMain.height = std::fabs(H - sbHeight - l.frmMain.top - 600);
    // Measured from the outer size, the frames could reach under the status bar.
    l.frmMain.height = fitTo(l.frmMain.top, l.frmMain.height, sbTop);
    l.Frame1.height = l.frmMain.height;
    l.Frame1.left = l.frmMain.left;
    l.frmBrowser.left = l.frmMain.left + l.frmMain.width;
    // The results frame is 60 twips wider than the picker at design; it ends
    // where the browser frame begins rather than under it.
    l.Frame1.width = fitTo(l.Frame1.left, l.Frame1.width, l.frmBrowser.left);
    l.frmBrowser.height = l.frmMain.height;
    l.frmBrowser.width = std::fabs(W - l.frmBrowser.left - 100);
    const float clientWidth = in.clientWidth > 0 ? in.clientWidth : W;
    l.frmBrowser.width = fitTo(l.frmBrowser.left, l.frmBrowser.width, clientWidth - kEdgeMargin);
    // 8-9: the results list fills its frame.
    l.List1.height = std::fabs(l.Frame1.height - l.List1.top - 1000 - sbHeight - 300);
    l.List1.width = std::fabs(l.Frame1.width - 2 * l.List1.left);
    l.lstResults.height = l.List1.height;
    l.lstResults.width = l.List1.width;
    // 10: the file list takes the picker's remaining height.
    l.File1.height = std::fabs(l.frmMain.height - l.File1.top - 200 - sbHeight - 300);
    // 11: the address box stretches, Go follows it.
    l.Text1.width = std::fabs(l.frmBrowser.width - l.Text1.left - 300 - l.Command3.width);
    l.Command3.left = l.Text1.left + l.Text1.width + 100;
    // 12: the web view fills the browser frame.
    l.WebBrowser1.width = std::fabs(l.frmBrowser.width - l.WebBrowser1.left - 100);
    l.WebBrowser1.height = std::fabs(l.frmBrowser.height - l.WebBrowser1.top - sbHeight);
    // The button row keeps its design places while they fit; otherwise the
    // four buttons share the width left of the view's right margin.
    const float rowWidth = l.frmBrowser.width - kNavLeft - kPaneRightMargin;
    const float navWidth = std::min(kNavWidth, std::fabs(rowWidth - 3 * kNavGap) / 4);
    TwipsRect* row[] = {&l.Command4, &l.Command5, &l.Command6, &l.Command7};
    for (int i = 0; i < 4; ++i)
        *row[i] = {kNavLeft + float(i) * (navWidth + kNavGap), 600, navWidth, 435};
    // 13: the picker's lists, and the working list, fit the picker's width.
    for (TwipsRect* r : {&l.Drive1, &l.Dir1, &l.File1, &l.List1})
        r->width = std::fabs(l.frmMain.width - r->left - 100);
    // 14: the Visit button stretches to the right edge.
    l.Command8.width = std::fabs(W - l.Command8.left - 300);
    l.Command8.width = fitTo(l.Command8.left, l.Command8.width, clientWidth - kEdgeMargin);
    return l;
}

float ExpandedFrameWidth(float windowWidth)
{
    return std::fabs(windowWidth / 4 * 3);
}

} // namespace backtrail::shell
