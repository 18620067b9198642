#pragma once

#include "engine/ScanFrontEnd.h"

#include <QIcon>
#include <QMainWindow>
#include <QStringList>

#include <memory>

class QAction;
class QGroupBox;
class QProgressBar;
class QToolButton;
class QTreeView;

namespace backtrail::engine {
class Scanner;
class SettingsStore;
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

/// The windows the main window opens besides itself: Options, Help, About and
/// the browser window. The program hands them in once they exist; without
/// them the main window runs on its own and offers nothing that needs them.
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
    /// The main window closes: Options and Help close with it. Returns true
    /// when the browser window stays open, so the program goes on with it.
    virtual bool mainWindowClosing() = 0;
};

/// What the main window is started with.
struct MainWindowSetup
{
    engine::SettingsStore* store = nullptr; ///< the settings store (must be set)
    QString startPage; ///< the browser pane's first page; empty means the web site
    SecondaryWindows* windows = nullptr; ///< the other windows, where they exist
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

    engine::Scanner& scanner() { return *scan; }
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
    QAction* mnuFileExit;
    QAction* mnuActionStart;
    QAction* mnuActionStop;
    QAction* mnuActionToggle;
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
    void mnuFileExit_Click();
    void mnuHelpItem_Click();
    void mnuAboutItem_Click();

    // The scan's front end.
    int fileCount() const override;
    bool fileSelected(int index) const override;
    QString fileFolder(int index) const override;
    QString fileName(int index) const override;
    void setStatus(const QString& text) override;
    void setProgress(double value, double maximum) override;
    void yieldToEvents() override;
    void showStatistics(const QString& title, const QString& text) override;
    void scanCompleted() override;
    void clearResults() override;
    void addResults(engine::ResultTable rows) override;
    void fileUnreadable(const QString& path, const QString& reason) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildTopRow(QWidget* client);
    void buildResultsFrame(QWidget* client);
    void buildMenus();
    void showMessage(const QString& text);
    void openSelectedReferrer(bool reportFailure);
    QString selectedReferrer(bool* found) const;
    void updateSortIndicator();

    engine::SettingsStore& store;
    SecondaryWindows* windows;
    QString startPage;
    QWidget* client;
    results::ResultsModel* results;
    std::unique_ptr<engine::Scanner> scan;
    QIcon imgExpand;
    QIcon imgContract;
    float frmMainWidth = 3735; // twips; only Expand/Contract change the frame widths
    float frame1Width = 3795;
    QStringList unreadableFiles;
    bool closeAfterScan = false;
    bool exiting = false;
};

} // namespace backtrail::shell
