#pragma once

namespace backtrail::shell {

/// A control's place in twips (15 twips to a pixel at 96 dots per inch),
/// relative to its container: the client area, or the frame it lies in.
struct TwipsRect
{
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
};

/// What the main window's layout depends on, in twips.
struct LayoutInput
{
    float windowWidth = 0; ///< W: the window's outer width, frame included
    float windowHeight = 0; ///< H: the window's outer height, caption and menu bar included
    float statusBarTop = 0; ///< top of the status bar docked along the client area's bottom edge
    float clientWidth = 0; ///< the client area's width; 0 when not known (taken as W)
    float statusBarHeight = 315;
    float frmMainWidth = 3735; ///< the frame widths, which only Expand/Contract change
    float frame1Width = 3795;
};

/// Sizes and places of every control the layout touches. Everything it does
/// not touch keeps its design place.
struct MainLayout
{
    float panelWidth[3] = {}; ///< the status bar's first three panels
    TwipsRect ProgressBar1; ///< in the client area, over the first panel
    TwipsRect frmMain;
    TwipsRect Frame1;
    TwipsRect frmBrowser;
    TwipsRect List1; ///< in Frame1 (the working list has no widget; its rules feed lstResults)
    TwipsRect lstResults;
    TwipsRect Drive1; ///< in frmMain
    TwipsRect Dir1;
    TwipsRect File1;
    TwipsRect Text1; ///< in frmBrowser
    TwipsRect Command3;
    TwipsRect Command4; ///< Back, Forward, Stop and Refresh: their design row, shared out when the frame is narrower
    TwipsRect Command5;
    TwipsRect Command6;
    TwipsRect Command7;
    TwipsRect WebBrowser1;
    TwipsRect Command8; ///< the Visit button in the top row
};

/// The main window's layout for a window size: the rules run in a fixed order,
/// later ones reading what earlier ones set, in single precision. Every size
/// that a small window could make negative is taken as its absolute value, so
/// a window below the fixed offsets still gets positive sizes.
///
/// The rules count W and H from the outer size, so a window manager's frame
/// makes them larger than the client area. Where that would put a frame under
/// the status bar or past the client's right edge, the frame ends there; the
/// browser frame's button row shares out the width it has when its design row
/// does not fit (after Expand, say).
MainLayout LayoutControls(const LayoutInput& input);

/// The width of both left frames after Expand: three quarters of the window's
/// outer width, as an absolute value.
float ExpandedFrameWidth(float windowWidth);

/// The width of both left frames after Contract: the picker's design width.
inline constexpr float kNarrowFrameWidth = 3735;

} // namespace backtrail::shell
