#pragma once

#include "ScanProgress.h"

#include "engine/input/ContentMarks.h"
#include "engine/scan/ScanFrontEnd.h"

#include <QDate>
#include <QIcon>
#include <QMainWindow>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QFontMetrics;
class QMenu;
class QGroupBox;
class QProgressBar;
class QToolButton;
class QTreeView;

namespace backtrail::engine {
class BackgroundScan;
class Scanner;
class SettingsStore;
struct ScanSettings;
} // namespace backtrail::engine

namespace backtrail::results {
class LogFilePicker;
class ResultsModel;
} // namespace backtrail::results

namespace backtrail::browser {
class BrowserPane;
}

namespace backtrail::shell {

class StatusBar;
class MainWindow;

/// The status bar's text for the date range the scans take: "Dates:
/// 2026-12-01 to 2026-12-08", "Dates: from 2026-12-01", "Dates: to
/// 2026-12-08"; empty for all dates. A bound the scan cannot read is open, as
/// the scan takes it.
QString DateRangePanelText(const engine::ScanSettings& settings);

/// The results table's column widths in pixels for a font, before the user sets any.
std::vector<int> DefaultColumnWidths(const QFontMetrics& metrics);
/// The widths as the settings keep them ("40,62,300,...") and back; no widths
/// unless the text holds `count` widths a user could have set.
QString ColumnWidthsText(const std::vector<int>& widths);
std::vector<int> ParseColumnWidths(const QString& text, int count);

/// The browser pane's first page, made on this machine: how to show a
/// referrer in the pane. It names nothing that loads from the network.
QString StartPageHtml(const QString& programName);

/// The first and last day (on the server's clock) of the lines behind a scan's
/// rows: the earliest First Seen and the latest Last Seen. Null when no row has a time.
struct LogDays
{
    QDate first;
    QDate last;
};
LogDays LogDaysOf(const engine::ResultTable& rows);

/// The windows the main window opens besides itself: Options, Help, About,
/// the browser window, the Date Range dialog and the details window. The
/// program hands them in once they exist; without them the main window runs
/// on its own and offers nothing that needs them.
class SecondaryWindows
{
public:
    virtual ~SecondaryWindows() = default;
    /// Shows the Options dialog above all windows, without blocking.
    virtual void showOptions() = 0;
    virtual void showHelp() = 0;
    virtual void showAbout() = 0;
    /// Shows the browser window on the web site.
    virtual void showBrowserWindow() = 0;
    /// Dresses a window in the program's skin.
    virtual void applySkin(QWidget* window) = 0;
    /// Shows the Date Range dialog over `parent` and waits for it; true when
    /// Ok set the range that scans take from the next one on. `logs` are the
    /// first and last day of the last scan's rows (LogDaysOf), for the open ends.
    virtual bool editDateRange(QWidget* parent, const LogDays& logs) = 0;
    /// Shows the details window, which follows the main window's selected row.
    virtual void showDetails(MainWindow& main) = 0;
    /// The main window closes: Options and Help close with it. Returns true
    /// when the browser window stays open, so the program goes on with it.
    virtual bool mainWindowClosing() = 0;
};

/// What the main window is started with.
struct MainWindowSetup
{
    engine::SettingsStore* store = nullptr; ///< the settings store (must be set)
    QString startPage; ///< the browser pane's first page; empty means the program's own page (StartPageHtml)
    SecondaryWindows* windows = nullptr; ///< the other windows, where they exist
    QStringList startFiles; ///< log files (or a folder) named on the command line, shown in the picker
    /// Asks where "Export CSV..." writes, given a suggested path; empty means
    /// cancelled. Unset, a save dialog asks the user.
    std::function<QString(QWidget* parent, const QString& suggested)> csvFileName;
    /// Asks which results file "Open Results..." shows; empty means cancelled.
    /// Unset, an open dialog asks the user.
    std::function<QString(QWidget* parent)> resultsFileName;
    /// Asks where "Export Report..." writes, given a suggested path; empty
    /// means cancelled. Unset, a save dialog asks the user.
    std::function<QString(QWidget* parent, const QString& suggested)> reportFileName;
};

/// The main window: the top button row, the log file picker and the results
/// sharing the left column, the browser pane on the right, the status bar with
/// its progress bar, and the menus. It runs scans as the scan's front end.
class MainWindow final : public QMainWindow, public engine::ScanFrontEnd
{
    Q_OBJECT
public:
    explicit MainWindow(const MainWindowSetup& setup, QWidget* parent = nullptr);
    ~MainWindow() override;

    /// The start-up steps: branding, captions, columns, the remembered folder,
    /// the settings, the status panels, the layout and the start page.
    void Form_Load();
    /// Sizes and places the controls for the window's present size.
    void LayoutControls();

    /// The status bar's panel that shows the date range, docked at its right edge.
    static constexpr int kDatesPanel = 4;

    /// The scanner; read it only while no scan runs (see scanRunning()).
    engine::Scanner& scanner();
    /// True from a Scan click until the scan's last word has reached the window.
    bool scanRunning() const;
    results::ResultsModel* resultsModel() const { return results; }

    // The top button row.
    QToolButton* Command10;
    QToolButton* cmdGo;
    QToolButton* cmdStop;
    QToolButton* cmdOpts;
    QToolButton* Command8;
    // The left column: the picker and the results, one shown at a time.
    results::LogFilePicker* frmMain;
    QGroupBox* Frame1;
    QToolButton* Command9;
    QToolButton* cmdHtml;
    QToolButton* cmdExpnd;
    QTreeView* lstResults;
    // The right side and the bottom edge.
    browser::BrowserPane* frmBrowser;
    StatusBar* StatusBar1;
    QProgressBar* ProgressBar1;
    // Menu items.
    QAction* mnuFileExportCsv;
    QAction* mnuFileExportReport;
    QAction* mnuFileOpenResults;
    QAction* mnuFileExit;
    QAction* mnuActionStart;
    QAction* mnuActionStop;
    QAction* mnuActionToggle;
    QAction* mnuActionGroup;
    QAction* mnuActionGroupSource;
    QAction* mnuActionHideCrawlers;
    QAction* mnuActionHideSpam;
    QAction* mnuActionFollow;
    QAction* mnuActionDateRange;
    QAction* mnuActionDetails;
    // The results table's context menu.
    QMenu* mnuResults;
    QAction* mnuResultsOpen;
    QAction* mnuResultsOpenLanding;
    QAction* mnuResultsDetails;
    QAction* mnuResultsMarkSpam;
    QAction* MnuOptionsItem;
    QAction* mnuHelpItem;
    QAction* mnuAboutItem;

    void cmdGo_Click();
    void cmdStop_Click();
    void Command10_Click();
    void cmdExpnd_Click();
    void cmdHtml_Click();
    void Command9_Click();
    void cmdOpts_Click();
    void Command8_Click();
    void lstResults_Click();
    void lstResults_DblClick();
    void lstResults_ColumnClick(int section);
    void lstResults_ContextMenu(const QPoint& position);
    void lstResults_Find();
    void lstResults_FindNext();
    void mnuResultsOpenLanding_Click();
    /// Opens a landing page of the own site (its path) in the browser pane;
    /// says so when the own domain or the path makes no address.
    void OpenLandingPage(const QString& path);
    /// The row of the results table in view order that is selected, or -1.
    int selectedRow() const;
    /// Date Range...: the dialog sets the range, the status bar shows it.
    void mnuActionDateRange_Click();
    /// Shows in the status bar the date range that the scans take.
    void showDateRange();
    /// Details and Referrer Details: the details window of the selected row.
    void mnuActionDetails_Click();
    void mnuActionGroup_Click(bool checked);
    void mnuActionGroupSource_Click(bool checked);
    /// Shows only the rows of one kind of source (a ResultsModel::KindFilter).
    void mnuActionKind_Click(int filter);
    /// "12 of 340 rows shown" in the status bar, while a kind filter hides
    /// rows (and with `evenAll` when none does).
    void showRowsInView(bool evenAll = false);
    void mnuActionHideCrawlers_Click(bool checked);
    void mnuActionHideSpam_Click(bool checked);
    /// Follow Logs: after a scan, the list follows the scanned logs as they
    /// grow or rotate (remembered in the settings).
    void mnuActionFollow_Click(bool checked);
    /// How often the followed logs are looked at (5 s unless a test sets it).
    void setFollowInterval(int milliseconds);
    /// Adds the selected row's site to the user's spam list (spam.txt beside
    /// the settings) and types the rows again with it.
    void mnuResultsMarkSpam_Click();
    void mnuFileExportCsv_Click();
    /// Writes the scan's rows as one web page to share (what backtrail-scan
    /// --format report writes) and offers to show it in the browser pane.
    void mnuFileExportReport_Click();
    void mnuFileOpenResults_Click();
    /// Shows the results that backtrail-scan --format json wrote (on this
    /// machine or another) as if this window had scanned. False, after a
    /// message that says why, when the file holds no such results.
    bool OpenResults(const QString& path);
    /// Shows the folder of log files (or a folder) in the picker and selects
    /// them, as a drop on the window or the command line asks.
    void OpenLogFiles(const QStringList& paths);
    void mnuFileExit_Click();
    void mnuHelpItem_Click();
    void mnuAboutItem_Click();

    // The scan's front end.
    int fileCount() const override;
    bool fileSelected(int index) const override;
    QString fileFolder(int index) const override;
    QString fileName(int index) const override;
    engine::FileRange fileRange(int index) const override;
    void setStatus(const QString& text) override;
    void setProgress(double value, double maximum) override;
    void yieldToEvents() override;
    /// What follows a scan once it has ended: the unreadable files said, a close carried out.
    void scanEnded();
    void showStatistics(const QString& title, const QString& text) override;
    void scanCompleted() override;
    void clearResults() override;
    void addResults(engine::ResultTable rows) override;
    void fileUnreadable(const QString& path, const QString& reason) override;

signals:
    /// Another row of the results table is selected, or none is, or the rows
    /// changed under the selection (a scan, grouping by site).
    void selectedRowChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildTopRow(QWidget* client);
    void buildResultsFrame(QWidget* client);
    void buildMenus();
    void buildResultsMenu();
    void showMessage(const QString& text);
    void openSelectedReferrer(bool reportFailure);
    QString selectedReferrer(bool* found) const;
    /// Shows `address` in the URL box and loads it; the third panel says so until the load ends.
    void openAddress(const QString& address);
    static QString connectingText(const QString& address) { return QStringLiteral("connecting ") + address; }
    void updateSortIndicator();
    /// The columns' widths (remembered, or fitted to the font) and elision.
    void setUpColumns();
    void saveColumnWidths();
    /// Makes a change of the rows in view with the table's sideways scroll kept.
    void keepingScroll(const std::function<void()>& change);
    QTimer* columnsTimer = nullptr; // saves the widths once a resize has paused
    /// Gives the scanner the shipped lists and the user's spam.txt as it is now.
    void useVisitorLists();
    /// Stores a switch of the Action menu; a failed write is said once.
    void storeSwitch(const char* key, bool on);
    void relayoutIfFrameChanged();
    /// Where an export goes: what `hook` answers when a test set one, else
    /// what the user picks in a save dialog (`filter`, `suffix` added when
    /// none is typed); empty when cancelled.
    QString askSavePath(const std::function<QString(QWidget*, const QString&)>& hook, const QString& title,
                        const QString& suggested, const QString& filter, const QString& suffix);

    engine::SettingsStore& store;
    SecondaryWindows* windows;
    QString startPage;
    std::function<QString(QWidget*, const QString&)> csvFileName;
    std::function<QString(QWidget*)> resultsFileName;
    std::function<QString(QWidget*, const QString&)> reportFileName;
    QStringList startFiles;
    QWidget* client;
    results::ResultsModel* results;
    std::unique_ptr<engine::BackgroundScan> scan;
    QIcon imgExpand;
    QIcon imgContract;
    float frmMainWidth = 3735; // twips; only Expand/Contract change the frame widths
    float frame1Width = 3795;
    QSize laidOutFrameSize; // the outer size the last layout worked from
    QString findText; // what Find looked for last; Find Next looks for it again
    std::vector<std::pair<QString, QString>> unreadableFiles; // each file that could not be read, and why
    /// The unreadable files for a message, one "path: why" a line.
    QString unreadableText() const;
    QString scanStatus; // the last status text of the scan ("COMPLETE: ...")
    ScanProgress progress; // the progress bar's share of the scan that runs
    /// Starts the progress bar's count over the files a scan reads.
    void startProgress(const QStringList& paths);
    bool closeAfterScan = false;
    bool exiting = false;

    // Following the logs of the last scan (MainWindowFollow.cpp).
    /// Before a scan: with Follow Logs on, what to read of each selected file.
    void planFollowedScan();
    /// After a scan: with Follow Logs on and the scan complete, follows its files.
    void startFollowing();
    /// Follow Logs switched on after a scan: follows its files from what they hold now.
    void followLastScan();
    void stopFollowing();
    /// Stop, or Follow Logs switched off: following ends, the menu and the status bar say so.
    void endFollowing();
    QString followingText() const;
    QString stoppedFollowingText() const;
    /// The files of the picker that a scan reads.
    QStringList selectedPaths() const;
    /// Reads on in the followed files, if anything was added.
    void followLogs();
    /// After a round: the selected row (by referrer and type) selected again, the new lines said.
    void followRoundEnded(const QString& referrer, const QString& type, bool selected, std::int64_t before);
    QTimer* followTimer;
    QStringList followPaths; // the files followed, as the scan read them
    QStringList lastScanPaths; // the files the last scan read
    std::vector<engine::ReadMark> followMarks; // what was read of their contents
    std::vector<engine::FileRange> followRanges; // during a scan: the part of each file entry to read
    std::int64_t followNewLines = 0; // lines read since following began
    bool followRound = false; // a scan of what the followed files added is running
};

} // namespace backtrail::shell
