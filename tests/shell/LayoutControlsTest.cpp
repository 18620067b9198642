// The main window's layout rules, computed from window sizes alone.
#include "LayoutControls.h"

#include <QTest>

#include <random>
#include <vector>

using namespace backtrail::shell;

namespace {

// The design size: client area 13455 by 9210 twips, plus 600 twips of caption and menu.
LayoutInput designInput()
{
    LayoutInput in;
    in.windowWidth = 13455;
    in.windowHeight = 9810;
    in.statusBarTop = 9210 - 315;
    return in;
}

struct Named
{
    const char* name;
    TwipsRect r;
};

bool inside(const TwipsRect& r, float width, float height)
{
    return r.left >= 0 && r.top >= 0 && r.width > 0 && r.height > 0 && r.left + r.width <= width
        && r.top + r.height <= height;
}

bool overlap(const TwipsRect& a, const TwipsRect& b)
{
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height
        && b.top < a.top + a.height;
}

// The first control that lies outside its container or on another control of
// it, in words; empty when every one fits.
QString misfit(const std::vector<Named>& controls, float width, float height, const char* container)
{
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (!inside(controls[i].r, width, height))
            return QStringLiteral("%1 lies outside %2").arg(controls[i].name, container);
        for (std::size_t j = i + 1; j < controls.size(); ++j)
            if (overlap(controls[i].r, controls[j].r))
                return QStringLiteral("%1 overlaps %2").arg(controls[i].name, controls[j].name);
    }
    return {};
}

} // namespace

class LayoutControlsTest : public QObject
{
    Q_OBJECT
private slots:
    void designSize();
    void widerWindowWidensOnlyTheBrowserSide();
    void tallerWindowLengthensTheListsAndFrames();
    void windowBelowTheFixedOffsetsGetsPositiveSizes();
    void expandedFramesMoveTheBrowser();
    void everyControlFitsFromTheDesignSizeUp();
};

void LayoutControlsTest::designSize()
{
    const MainLayout l = LayoutControls(designInput());
    QCOMPARE(l.panelWidth[0], 13455.0f / 4);
    QCOMPARE(l.panelWidth[1], 13455.0f - 2 * (13455.0f / 4));
    QCOMPARE(l.panelWidth[2], 13455.0f / 4);
    QCOMPARE(l.ProgressBar1.left, 30.0f);
    QCOMPARE(l.ProgressBar1.top, 8895.0f + 40);
    QCOMPARE(l.ProgressBar1.width, 13455.0f / 4 - 50);
    QCOMPARE(l.ProgressBar1.height, 275.0f);
    QCOMPARE(l.frmMain.height, 9810.0f - 315 - 900 - 600);
    QCOMPARE(l.Frame1.height, l.frmMain.height);
    QCOMPARE(l.Frame1.left, 60.0f);
    QCOMPARE(l.frmBrowser.left, 60.0f + 3735);
    QCOMPARE(l.frmBrowser.width, 13455.0f - 3795 - 100);
    QCOMPARE(l.List1.height, l.Frame1.height - 1080 - 1000 - 315 - 300);
    QCOMPARE(l.Frame1.width, 3735.0f); // it ends where the browser frame begins
    QCOMPARE(l.lstResults.width, 3735.0f - 240); // from Frame1's width
    QCOMPARE(l.lstResults.height, l.List1.height);
    QCOMPARE(l.List1.width, 3735.0f - 120 - 100); // re-fitted against frmMain by rule 13
    QCOMPARE(l.File1.height, l.frmMain.height - 4200 - 200 - 315 - 300);
    QCOMPARE(l.Text1.width, l.frmBrowser.width - 540 - 300 - 795);
    QCOMPARE(l.Command3.left, 540 + l.Text1.width + 100);
    QCOMPARE(l.WebBrowser1.width, l.frmBrowser.width - 120 - 100);
    QCOMPARE(l.WebBrowser1.height, l.frmBrowser.height - 1140 - 315);
    QCOMPARE(l.Drive1.width, 3735.0f - 60 - 100);
    QCOMPARE(l.Dir1.width, l.Drive1.width);
    QCOMPARE(l.File1.width, l.Drive1.width);
    QCOMPARE(l.Command8.width, 13455.0f - 4800 - 300);
    // Places the rules do not touch keep their design values.
    QCOMPARE(l.Drive1.top, 1080.0f);
    QCOMPARE(l.Command3.top, 240.0f);
}

void LayoutControlsTest::widerWindowWidensOnlyTheBrowserSide()
{
    const MainLayout a = LayoutControls(designInput());
    LayoutInput wider = designInput();
    wider.windowWidth += 1000;
    const MainLayout b = LayoutControls(wider);
    QCOMPARE(b.frmBrowser.width - a.frmBrowser.width, 1000.0f);
    QCOMPARE(b.WebBrowser1.width - a.WebBrowser1.width, 1000.0f);
    QCOMPARE(b.Text1.width - a.Text1.width, 1000.0f);
    QCOMPARE(b.Command8.width - a.Command8.width, 1000.0f);
    QCOMPARE(b.Command3.left - a.Command3.left, 1000.0f);
    QCOMPARE(b.frmMain.width, a.frmMain.width);
    QCOMPARE(b.Frame1.width, a.Frame1.width);
    QCOMPARE(b.lstResults.width, a.lstResults.width);
    QCOMPARE(b.File1.width, a.File1.width);
    QCOMPARE(b.frmBrowser.left, a.frmBrowser.left);
}

void LayoutControlsTest::tallerWindowLengthensTheListsAndFrames()
{
    const MainLayout a = LayoutControls(designInput());
    LayoutInput taller = designInput();
    taller.windowHeight += 1000;
    taller.statusBarTop += 1000;
    const MainLayout b = LayoutControls(taller);
    for (auto member : {&MainLayout::frmMain, &MainLayout::Frame1, &MainLayout::frmBrowser, &MainLayout::File1,
                        &MainLayout::List1, &MainLayout::lstResults, &MainLayout::WebBrowser1})
        QCOMPARE((b.*member).height - (a.*member).height, 1000.0f);
    QCOMPARE(b.ProgressBar1.top - a.ProgressBar1.top, 1000.0f);
    QCOMPARE(b.Command3.top, a.Command3.top);
    QCOMPARE(b.Command8.top, a.Command8.top);
    QCOMPARE(b.Command8.width, a.Command8.width);
}

void LayoutControlsTest::windowBelowTheFixedOffsetsGetsPositiveSizes()
{
    LayoutInput tiny;
    tiny.windowWidth = 1200;
    tiny.windowHeight = 1000;
    tiny.statusBarTop = 100;
    const MainLayout l = LayoutControls(tiny);
    // The frames get the height of the shortfall: |1000 - 315 - 900 - 600|.
    QCOMPARE(l.frmMain.height, 815.0f);
    QCOMPARE(l.frmBrowser.width, std::fabs(1200.0f - 3795 - 100));
    QCOMPARE(l.Command8.width, std::fabs(1200.0f - 4800 - 300));
    for (const TwipsRect& r : {l.frmMain, l.Frame1, l.frmBrowser, l.List1, l.lstResults, l.File1, l.Drive1, l.Dir1,
                               l.Text1, l.WebBrowser1, l.Command8})
        QVERIFY(r.width >= 0 && r.height >= 0);
}

void LayoutControlsTest::expandedFramesMoveTheBrowser()
{
    QCOMPARE(ExpandedFrameWidth(8000), 6000.0f);
    QCOMPARE(ExpandedFrameWidth(-8000), 6000.0f);
    LayoutInput in = designInput();
    in.frmMainWidth = in.frame1Width = ExpandedFrameWidth(in.windowWidth);
    const MainLayout l = LayoutControls(in);
    QCOMPARE(l.frmBrowser.left, 60 + in.frmMainWidth);
    QCOMPARE(l.frmBrowser.width, std::fabs(13455 - l.frmBrowser.left - 100));
    QCOMPARE(l.File1.width, in.frmMainWidth - 160);
    QCOMPARE(l.lstResults.width, in.frame1Width - 240);
}

void LayoutControlsTest::everyControlFitsFromTheDesignSizeUp()
{
    // Client areas from the design size up, window managers' frames of several
    // sizes (the rules count from the outer size), Expand and Contract.
    std::mt19937 random(20261208);
    for (int run = 0; run < 4000; ++run) {
        const bool design = run < 2;
        const float border = float(random() % 6), title = float(random() % 41), menu = float(20 + random() % 11);
        const float clientWidth = design ? 897 : float(897 + random() % 1700);
        const float clientHeight = design ? 614 : float(614 + random() % 1000); // below the menu bar
        LayoutInput in;
        in.windowWidth = (clientWidth + 2 * border) * 15;
        in.windowHeight = (clientHeight + menu + title + 2 * border) * 15;
        in.clientWidth = clientWidth * 15;
        in.statusBarTop = (clientHeight - 21) * 15;
        const bool expanded = run % 2 == 1;
        if (expanded)
            in.frmMainWidth = in.frame1Width = ExpandedFrameWidth(in.windowWidth);
        const MainLayout l = LayoutControls(in);
        const QString where = QStringLiteral(" at %1x%2 with a %3/%4/%5 frame, %6")
                                  .arg(clientWidth)
                                  .arg(clientHeight)
                                  .arg(border)
                                  .arg(title)
                                  .arg(menu)
                                  .arg(expanded ? "expanded" : "contracted");
        // The client area above the status bar: the top row, the left column, the browser.
        for (const TwipsRect& left : {l.frmMain, l.Frame1}) {
            const QString clientMisfit
                = misfit({{"Command10", {60, 60, 1635, 800}},
                          {"cmdGo", {1920, 60, 800, 800}},
                          {"cmdStop", {2760, 60, 795, 795}},
                          {"cmdOpts", {3780, 60, 795, 795}},
                          {"Command8", l.Command8},
                          {"left frame", left},
                          {"frmBrowser", l.frmBrowser}},
                         in.clientWidth, in.statusBarTop, "the client area above the status bar");
            QVERIFY2(clientMisfit.isEmpty(), qPrintable(clientMisfit + where));
        }
        const QString pickerMisfit = misfit({{"cmdSelAll", {60, 240, 1695, 795}},
                                             {"Command1", {1800, 240, 1755, 795}},
                                             {"Drive1", l.Drive1},
                                             {"Dir1", l.Dir1},
                                             {"File1", l.File1}},
                                            l.frmMain.width, l.frmMain.height, "frmMain");
        QVERIFY2(pickerMisfit.isEmpty(), qPrintable(pickerMisfit + where));
        const QString resultsMisfit = misfit({{"Command9", {120, 240, 795, 795}},
                                              {"cmdHtml", {960, 240, 795, 795}},
                                              {"cmdExpnd", {1800, 240, 1935, 795}},
                                              {"lstResults", l.lstResults}},
                                             l.Frame1.width, l.Frame1.height, "Frame1");
        QVERIFY2(resultsMisfit.isEmpty(), qPrintable(resultsMisfit + where));
        const QString browserMisfit = misfit({{"SkinLabel1", {120, 300, 375, 315}},
                                              {"Text1", l.Text1},
                                              {"Command3", l.Command3},
                                              {"Command4", l.Command4},
                                              {"Command5", l.Command5},
                                              {"Command6", l.Command6},
                                              {"Command7", l.Command7},
                                              {"WebBrowser1", l.WebBrowser1}},
                                             l.frmBrowser.width, l.frmBrowser.height, "frmBrowser");
        QVERIFY2(browserMisfit.isEmpty(), qPrintable(browserMisfit + where));
        // The button row keeps its design places wherever they fit.
        if (!expanded)
            QCOMPARE(l.Command7.left, 3420.0f);
        QVERIFY(l.Command4.width >= 0.6f * 915 || expanded);
    }
}

QTEST_APPLESS_MAIN(LayoutControlsTest)
#include "LayoutControlsTest.moc"
