#include "MainWindow.h"

#include "LayoutControls.h"
#include "StatusBar.h"
#include "modLivery.h"

#include "browser/BrowserPane.h"
#include "browser/WebBrowser.h"
#include "engine/base/Settings.h"
#include "engine/scan/BackgroundScan.h"
#include "engine/scan/ScanDriver.h"
#include "results/DirListBox.h"
#include "results/DriveListBox.h"
#include "results/FileListBox.h"
#include "results/LogFilePicker.h"
#include "results/PictureButton.h"
#include "results/ResultsModel.h"

#include <QActionGroup>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QResizeEvent>
#include <QToolButton>
#include <QTreeView>

#include <cmath>

namespace backtrail::shell {

namespace {

// 15 twips to a pixel at 96 dots per inch: the unit of the window's design.
constexpr float kTwipsPerPixel = 15.0f;
// The client area at the design size, 13455 by 9210 twips.
constexpr int kDesignClientWidth = 897;
constexpr int kDesignClientHeight = 614;
constexpr int kStatusBarHeight = 21; // 315 twips
constexpr float kNavButtonWidth = 915; // Back, Forward, Stop and Refresh at design
// The progress bar's range: value and maximum arrive in lines and are scaled to it.
constexpr int kProgressSteps = 10000;

int px(float twips)
{
    return int(std::lround(twips / kTwipsPerPixel));
}

QRect pixels(const TwipsRect& r)
{
    return QRect(px(r.left), px(r.top), px(r.width), px(r.height));
}

// A button with a 24 by 24 picture above its caption, placed in twips.
QToolButton* pictureButton(QWidget* parent, const char* name, const QString& caption, const QString& tip,
                           const QIcon& icon, int left, int top, int width, int height)
{
    QToolButton* button = results::MakePictureButton(parent, name, caption, tip, icon);
    button->setGeometry(pixels({float(left), float(top), float(width), float(height)}));
    return button;
}

QIcon themed(const char* name, QStyle::StandardPixmap fallback, const QStyle* style)
{
    return QIcon::fromTheme(QString::fromLatin1(name), style->standardIcon(fallback));
}

} // namespace

MainWindow::MainWindow(const MainWindowSetup& setup, QWidget* parent)
    : QMainWindow(parent)
    , store(*setup.store)
    , windows(setup.windows)
    , startPage(setup.startPage)
    , csvFileName(setup.csvFileName)
    , resultsFileName(setup.resultsFileName)
    , reportFileName(setup.reportFileName)
    , startFiles(setup.startFiles)
    , scan(std::make_unique<engine::BackgroundScan>(*this, *this))
{
    // The details window shows each row's landing pages and days.
    scan->scanner().setCollectDetails(true);
    followTimer = new QTimer(this);
    followTimer->setInterval(5000);
    connect(followTimer, &QTimer::timeout, this, &MainWindow::followLogs);
    setObjectName(QStringLiteral("Form1"));
    // The window's design measures fit a compact 8-point face, as desktop tools commonly use.
    QFont compact = font();
    if (compact.pointSizeF() > 8.5)
        compact.setPointSizeF(8.5);
    setFont(compact);
    LoadBranding();
    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    buildTopRow(client);
    frmMain = new results::LogFilePicker(store, Branding().strProgramName, client);
    frmMain->setGeometry(pixels({60, 900, 3735, 7020}));
    buildResultsFrame(client);

    frmBrowser = new browser::BrowserPane(client);
    frmBrowser->setGeometry(pixels({3795, 900, 6375, 7020}));

    StatusBar1 = new StatusBar(3, client);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    // The scan's status line is read as a whole: its last figure, the unique links, matters most.
    StatusBar1->setPanelFitsText(2, true);
    // The browser's status text and the scan's status line share the second panel; the last write wins.
    connect(frmBrowser, &browser::BrowserPane::statusTextChanged, this,
            [this](const QString& text) { StatusBar1->setPanelText(2, text); });
    // "connecting ..." lasts as long as the load, whether it succeeds or fails.
    connect(frmBrowser->WebBrowser1, &browser::WebBrowser::DownloadComplete, this, [this] {
        if (StatusBar1->panelText(3).startsWith(connectingText(QString())))
            StatusBar1->setPanelText(3, QString());
    });
    ProgressBar1 = new QProgressBar(client);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, kProgressSteps);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    buildMenus();
    buildResultsMenu();
    // Log files or a folder dropped anywhere on the window go to the picker.
    setAcceptDrops(true);
    resize(kDesignClientWidth, kDesignClientHeight + menuBar()->sizeHint().height());
}

MainWindow::~MainWindow()
{
    if (columnsTimer && columnsTimer->isActive())
        saveColumnWidths();
}

QString StartPageHtml(const QString& programName)
{
    const QString name = programName.toHtmlEscaped();
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><style>"
                          "body{font-family:sans-serif;font-size:10pt;color:#333;margin:24px;max-width:36em}"
                          "h1{font-size:14pt;color:#245f6c}li{margin:4px 0}</style></head><body>"
                          "<h1>Referrers open here</h1><ol>"
                          "<li>Select log files on the left and press <b>Scan</b>.</li>"
                          "<li>In the referrer list, double-click a row, or select it and press <b>Open</b>: the "
                          "page that sent the visitor opens in this pane.</li>"
                          "<li>Or type an address in the URL box above and press <b>Go</b>.</li></ol>"
                          "<p>%1 loads nothing from the network until you open a page.</p></body></html>")
        .arg(name);
}

void MainWindow::buildTopRow(QWidget* parent)
{
    const QStyle* s = style();
    Command10 = pictureButton(parent, "Command10", QStringLiteral("Toggle View"),
                              QStringLiteral("Switch between the log files and the referrer list"),
                              themed("view-list-details", QStyle::SP_FileDialogDetailedView, s), 60, 60, 1635, 800);
    cmdGo = pictureButton(parent, "cmdGo", QStringLiteral("Scan"), QStringLiteral("Scan the selected log files"),
                          themed("system-search", QStyle::SP_MediaPlay, s), 1920, 60, 800, 800);
    cmdStop = pictureButton(parent, "cmdStop", QStringLiteral("Stop"), QStringLiteral("Stop Scanning Files"),
                            themed("process-stop", QStyle::SP_MediaStop, s), 2760, 60, 795, 795);
    cmdOpts = pictureButton(parent, "cmdOpts", QStringLiteral("Options"), QStringLiteral("Options"),
                            themed("preferences-system", QStyle::SP_FileDialogInfoView, s), 3780, 60, 795, 795);
    Command8 = pictureButton(parent, "Command8", QStringLiteral("Visit"), QStringLiteral("Visit us!"),
                             themed("applications-internet", QStyle::SP_DriveNetIcon, s), 4800, 60, 8355, 795);
    Command8->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    connect(Command10, &QToolButton::clicked, this, &MainWindow::Command10_Click);
    connect(cmdGo, &QToolButton::clicked, this, &MainWindow::cmdGo_Click);
    connect(cmdStop, &QToolButton::clicked, this, &MainWindow::cmdStop_Click);
    connect(cmdOpts, &QToolButton::clicked, this, &MainWindow::cmdOpts_Click);
    connect(Command8, &QToolButton::clicked, this, &MainWindow::Command8_Click);
    cmdOpts->setEnabled(windows != nullptr);
}

void MainWindow::buildResultsFrame(QWidget* parent)
{
    const QStyle* s = style();
    imgExpand = themed("go-next", QStyle::SP_ArrowRight, s);
    imgContract = themed("go-previous", QStyle::SP_ArrowLeft, s);

    Frame1 = new QGroupBox(QStringLiteral("Referrer List"), parent);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(pixels({60, 900, 3795, 7020}));
    Frame1->hide();
    Command9 = pictureButton(Frame1, "Command9", QStringLiteral("Open"),
                             QStringLiteral("Open the selected referrer in the browser"),
                             themed("document-open", QStyle::SP_DialogOpenButton, s), 120, 240, 795, 795);
    cmdHtml
        = pictureButton(Frame1, "cmdHtml", QStringLiteral("Export"), QStringLiteral("Export the referers list to HTML"),
                        themed("document-save-as", QStyle::SP_DialogSaveButton, s), 960, 240, 795, 795);
    cmdExpnd = pictureButton(Frame1, "cmdExpnd", QStringLiteral("Expand"), QStringLiteral("Expand"), imgExpand, 1800,
                             240, 1935, 795);

    results = new results::ResultsModel(this);
    results->setObjectName(QStringLiteral("lstResultsModel"));
    lstResults = new QTreeView(Frame1);
    lstResults->setObjectName(QStringLiteral("lstResults"));
    lstResults->setModel(results);
    lstResults->setRootIsDecorated(false);
    lstResults->setItemsExpandable(false);
    lstResults->setUniformRowHeights(true);
    lstResults->setAllColumnsShowFocus(true);
    lstResults->setAlternatingRowColors(true);
    lstResults->setSelectionMode(QAbstractItemView::SingleSelection);
    lstResults->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstResults->setSortingEnabled(false);
    lstResults->header()->setSectionsClickable(true);
    lstResults->header()->setSectionsMovable(false);
    lstResults->header()->setStretchLastSection(false);
    lstResults->setGeometry(pixels({120, 1080, 3555, 5060}));

    lstResults->setContextMenuPolicy(Qt::CustomContextMenu);
    lstResults->installEventFilter(this);
    connect(lstResults, &QTreeView::customContextMenuRequested, this, &MainWindow::lstResults_ContextMenu);
    connect(lstResults, &QTreeView::clicked, this, &MainWindow::lstResults_Click);
    connect(lstResults, &QTreeView::doubleClicked, this, &MainWindow::lstResults_DblClick);
    connect(lstResults->header(), &QHeaderView::sectionClicked, this, &MainWindow::lstResults_ColumnClick);
    // A sort keeps the selected row; new rows or a switch of grouping take the selection away.
    connect(lstResults->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::selectedRowChanged);
    connect(results, &QAbstractItemModel::modelReset, this, &MainWindow::selectedRowChanged);
    connect(Command9, &QToolButton::clicked, this, &MainWindow::Command9_Click);
    connect(cmdHtml, &QToolButton::clicked, this, &MainWindow::cmdHtml_Click);
    connect(cmdExpnd, &QToolButton::clicked, this, &MainWindow::cmdExpnd_Click);
}

void MainWindow::buildMenus()
{
    auto addMenu = [this](const char* name, const QString& caption) {
        QMenu* menu = menuBar()->addMenu(caption);
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    auto addItem = [this](QMenu* menu, const char* name, const QString& caption, void (MainWindow::*handler)()) {
        QAction* item = menu->addAction(caption);
        item->setObjectName(QString::fromLatin1(name));
        connect(item, &QAction::triggered, this, handler);
        return item;
    };
    QMenu* file = addMenu("MenuFile", QStringLiteral("&File"));
    mnuFileExportCsv
        = addItem(file, "mnuFileExportCsv", QStringLiteral("Export &CSV..."), &MainWindow::mnuFileExportCsv_Click);
    mnuFileExportReport = addItem(file, "mnuFileExportReport", QStringLiteral("Export &Report..."),
                                  &MainWindow::mnuFileExportReport_Click);
    mnuFileOpenResults = addItem(file, "mnuFileOpenResults", QStringLiteral("&Open Results..."),
                                 &MainWindow::mnuFileOpenResults_Click);
    file->addSeparator();
    mnuFileExit = addItem(file, "mnuFileExit", QStringLiteral("E&xit"), &MainWindow::mnuFileExit_Click);
    QMenu* action = addMenu("mnuAction", QStringLiteral("&Action"));
    mnuActionStart = addItem(action, "mnuActionStart", QStringLiteral("&Start Scan"), &MainWindow::cmdGo_Click);
    mnuActionStop = addItem(action, "mnuActionStop", QStringLiteral("S&top Scan"), &MainWindow::cmdStop_Click);
    mnuActionToggle = addItem(action, "mnuActionToggle", QStringLiteral("Toggle &View"), &MainWindow::Command10_Click);
    action->addSeparator();
    mnuActionGroup = action->addAction(QStringLiteral("Group by S&ite"));
    mnuActionGroup->setObjectName(QStringLiteral("mnuActionGroup"));
    mnuActionGroup->setCheckable(true);
    connect(mnuActionGroup, &QAction::toggled, this, &MainWindow::mnuActionGroup_Click);
    mnuActionGroupSource = action->addAction(QStringLiteral("Group by So&urce"));
    mnuActionGroupSource->setObjectName(QStringLiteral("mnuActionGroupSource"));
    mnuActionGroupSource->setCheckable(true);
    connect(mnuActionGroupSource, &QAction::toggled, this, &MainWindow::mnuActionGroupSource_Click);
    // Which rows are in view by their source's kind, without a new scan.
    QMenu* kinds = action->addMenu(QStringLiteral("S&how"));
    kinds->setObjectName(QStringLiteral("mnuActionKind"));
    auto* kindGroup = new QActionGroup(kinds);
    using Filter = results::ResultsModel::KindFilter;
    const std::pair<const char*, Filter> kindItems[]
        = {{"&All", Filter::All},           {"&People", Filter::People},    {"&Search", Filter::Search},
           {"S&ocial", Filter::Social},     {"A&I assistants", Filter::Ai}, {"&Websites", Filter::Websites},
           {"&Crawlers", Filter::Crawlers}, {"Spa&m", Filter::Spam}};
    for (const auto& [caption, filter] : kindItems) {
        QAction* item = kinds->addAction(QString::fromLatin1(caption));
        item->setObjectName(QStringLiteral("mnuActionKind")
                            + QString::fromLatin1(caption).remove(QLatin1Char(' ')).remove(QLatin1Char('&')));
        item->setCheckable(true);
        item->setChecked(filter == Filter::All);
        kindGroup->addAction(item);
        connect(item, &QAction::triggered, this, [this, filter = filter] { mnuActionKind_Click(int(filter)); });
    }
    // Crawlers' lines and referrer spam, shown typed BOT and SPM, or hidden
    // from the next scan on; remembered in the settings.
    auto addSwitch = [&](const char* name, const QString& caption, void (MainWindow::*handler)(bool)) {
        QAction* item = action->addAction(caption);
        item->setObjectName(QString::fromLatin1(name));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, handler);
        return item;
    };
    mnuActionHideCrawlers = addSwitch("mnuActionHideCrawlers", QStringLiteral("Hide &Crawlers"),
                                      &MainWindow::mnuActionHideCrawlers_Click);
    mnuActionHideSpam
        = addSwitch("mnuActionHideSpam", QStringLiteral("Hide Spa&m"), &MainWindow::mnuActionHideSpam_Click);
    mnuActionFollow = addSwitch("mnuActionFollow", QStringLiteral("&Follow Logs"), &MainWindow::mnuActionFollow_Click);
    mnuActionDateRange = addItem(action, "mnuActionDateRange", QStringLiteral("&Date Range..."),
                                 &MainWindow::mnuActionDateRange_Click);
    action->addSeparator();
    mnuActionDetails
        = addItem(action, "mnuActionDetails", QStringLiteral("Referrer D&etails"), &MainWindow::mnuActionDetails_Click);
    QMenu* options = addMenu("MnuOptions", QStringLiteral("&Options"));
    MnuOptionsItem = addItem(options, "MnuOptionsItem", QStringLiteral("&Options"), &MainWindow::cmdOpts_Click);
    QMenu* help = addMenu("mnuHelp", QStringLiteral("&Help"));
    mnuHelpItem = addItem(help, "mnuHelpItem", QStringLiteral("View &Help"), &MainWindow::mnuHelpItem_Click);
    QMenu* about = addMenu("mnuAbout", QStringLiteral("A&bout"));
    mnuAboutItem
        = addItem(about, "mnuAboutItem", QStringLiteral("&About this software"), &MainWindow::mnuAboutItem_Click);
    for (QAction* item : {MnuOptionsItem, mnuHelpItem, mnuAboutItem, mnuActionDateRange, mnuActionDetails})
        item->setEnabled(windows != nullptr);
}

void MainWindow::Form_Load()
{
    LoadBranding();
    const Livery& livery = Branding();
    setWindowTitle(ProgramCaption());
    frmBrowser->setCaptionBase(ProgramCaption());
    Command8->setText(QStringLiteral("Visit ") + livery.strWebsite);

    setUpColumns();

    frmMain->RestoreRememberedFolder();
    engine::LoadSettings(store);
    mnuActionHideCrawlers->setChecked(engine::Globals().bHideCrawlers);
    mnuActionHideSpam->setChecked(engine::Globals().bHideSpam);
    mnuActionFollow->setChecked(
        engine::TextToBool(store.read(QString::fromLatin1(engine::keys::kData),
                                      QString::fromLatin1(engine::keys::kFollowLogs), QStringLiteral("0"))));
    StatusBar1->addPanel();
    StatusBar1->addPanel();
    // The fourth panel says which dates the scans take, at the right edge whatever the others show.
    StatusBar1->setPanelDockedRight(kDatesPanel, true);
    showDateRange();
    LayoutControls();
    // Nothing is loaded from the network until the user asks for a page.
    if (startPage.isEmpty())
        frmBrowser->WebBrowser1->ShowLocalPage(StartPageHtml(livery.strProgramName));
    else
        frmBrowser->WebBrowser1->Navigate(startPage);
    // Files named on the command line win over the remembered folder.
    if (!startFiles.isEmpty())
        OpenLogFiles(startFiles);

    if (windows) {
        const QString showHelp = store.read(QString::fromLatin1(engine::keys::kSettings),
                                            QString::fromLatin1(engine::keys::kShowHelp), QStringLiteral("1"));
        if (showHelp == u"1")
            windows->showHelp();
        if (livery.bUseSkin)
            windows->applySkin(this);
        if (engine::Globals().strYourWebsite == QString::fromLatin1(engine::kPlaceholderDomain))
            cmdOpts_Click();
    }
}

void MainWindow::LayoutControls()
{
    LayoutInput in;
    const QRect outer = frameGeometry();
    laidOutFrameSize = outer.size();
    in.windowWidth = float(outer.width()) * kTwipsPerPixel;
    in.windowHeight = float(outer.height()) * kTwipsPerPixel;
    in.statusBarHeight = float(kStatusBarHeight) * kTwipsPerPixel;
    in.statusBarTop = float(client->height() - kStatusBarHeight) * kTwipsPerPixel;
    in.clientWidth = float(client->width()) * kTwipsPerPixel;
    in.frmMainWidth = frmMainWidth;
    in.frame1Width = frame1Width;
    const MainLayout l = shell::LayoutControls(in);

    // The status bar stays docked along the bottom edge at the client's full width.
    StatusBar1->setGeometry(0, client->height() - kStatusBarHeight, client->width(), kStatusBarHeight);
    for (int panel = 1; panel <= 3; ++panel)
        StatusBar1->setPanelWidth(panel, px(l.panelWidth[panel - 1]));
    ProgressBar1->setGeometry(pixels(l.ProgressBar1));
    ProgressBar1->raise();

    frmMain->setGeometry(pixels(l.frmMain));
    Frame1->setGeometry(pixels(l.Frame1));
    frmBrowser->setGeometry(pixels(l.frmBrowser));
    lstResults->setGeometry(pixels(l.lstResults));
    frmMain->Drive1->setGeometry(pixels(l.Drive1));
    frmMain->Dir1->setGeometry(pixels(l.Dir1));
    frmMain->File1->setGeometry(pixels(l.File1));
    frmBrowser->Text1->setGeometry(pixels(l.Text1));
    frmBrowser->Command3->setGeometry(pixels(l.Command3));
    // Buttons narrower than their design show their picture alone, the tooltip saying what they do.
    const auto navStyle = l.Command4.width < kNavButtonWidth ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon;
    const std::pair<QToolButton*, TwipsRect> row[] = {{frmBrowser->Command4, l.Command4},
                                                      {frmBrowser->Command5, l.Command5},
                                                      {frmBrowser->Command6, l.Command6},
                                                      {frmBrowser->Command7, l.Command7}};
    for (const auto& [button, place] : row) {
        button->setGeometry(pixels(place));
        button->setToolButtonStyle(navStyle);
    }
    frmBrowser->WebBrowser1->setGeometry(pixels(l.WebBrowser1));
    Command8->setGeometry(pixels(l.Command8));
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (!isMinimized())
        LayoutControls();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    relayoutIfFrameChanged();
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    relayoutIfFrameChanged();
}

void MainWindow::relayoutIfFrameChanged()
{
    // The load lays the window out before it is shown, when it has no window
    // manager's frame yet; the rules count from the outer size, so the window
    // is laid out again once the frame is known (its arrival moves the window).
    if (!isMinimized() && frameGeometry().size() != laidOutFrameSize)
        LayoutControls();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Restoring a minimized window lays it out once more.
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        LayoutControls();
}

} // namespace backtrail::shell
