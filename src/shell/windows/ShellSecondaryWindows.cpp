#include "ShellSecondaryWindows.h"

#include "DateRangeDialog.h"
#include "DetailsWindow.h"
#include "ShellWindows.h"
#include "modLivery.h"
#include "shell/skin/ModSkin.h"
#include "shell/skin/ProcessFlags.h"
#include "shell/skin/SkinEngine.h"

#include "engine/scan/ScanDriver.h"
#include "results/ResultsModel.h"

#include <algorithm>

namespace backtrail::shell {

WindowBranding BrandingFromLivery(const Livery& livery)
{
    return {livery.strProgramName, livery.strCompanyName, livery.strWebsite, livery.bUseSkin};
}

DetailsContent DetailsOfSelection(MainWindow& main)
{
    DetailsContent content;
    const int row = main.selectedRow();
    const results::ResultsModel& model = *main.resultsModel();
    // A running scan owns what the details are read from (its rows are gone meanwhile anyway).
    if (row < 0 || main.scanRunning())
        return content;
    content.selected = true;
    content.site = model.groupedBySite();
    content.referrer = model.cellText(row, results::ResultsModel::ReferrerColumn);
    // A row without clicks stands for one line.
    const QString clicks = model.cellText(row, results::ResultsModel::ClicksColumn);
    content.clicks = clicks.isEmpty() ? 1 : clicks.toULongLong();
    const std::vector<std::size_t> entries = model.entriesOf(row);
    content.referrers = entries.size();
    content.details = main.scanner().details(entries);
    content.source = model.cellText(row, results::ResultsModel::SourceColumn);
    content.keywords = model.keywordsOf(row);
    // A site row whose referrers are of several kinds: each kind's days, for a stacked chart.
    std::vector<std::pair<engine::SourceKind, std::vector<std::size_t>>> byKind;
    for (const std::size_t entry : entries) {
        const engine::SourceKind kind = model.entrySource(entry).kind;
        auto found = std::find_if(byKind.begin(), byKind.end(), [kind](const auto& k) { return k.first == kind; });
        if (found == byKind.end())
            found = byKind.insert(byKind.end(), {kind, {}});
        found->second.push_back(entry);
    }
    if (byKind.size() > 1) {
        for (const auto& [kind, members] : byKind)
            content.kindDays.push_back(
                {QString::fromUtf8(engine::SourceKindName(kind).data(), qsizetype(engine::SourceKindName(kind).size())),
                 main.scanner().details(members).days});
    }
    return content;
}

ShellSecondaryWindows::ShellSecondaryWindows(engine::SettingsStore& settingsStore, BrowserWindowHooks hooks)
    : store(settingsStore)
    , browser(std::move(hooks))
{
}

void ShellSecondaryWindows::showOptions()
{
    ShowOptionsDialog(store, BrandingFromLivery(Branding()));
}

void ShellSecondaryWindows::showHelp()
{
    ShowHelpWindow(store, BrandingFromLivery(Branding()));
}

void ShellSecondaryWindows::showAbout()
{
    ShowAboutWindow(BrandingFromLivery(Branding()));
}

void ShellSecondaryWindows::showBrowserWindow()
{
    if (browser.show)
        browser.show();
}

void ShellSecondaryWindows::applySkin(QWidget* window)
{
    ApplySkin(window);
}

bool ShellSecondaryWindows::editDateRange(QWidget* parent, const LogDays& logs)
{
    DateRangeDialog dialog(store, BrandingFromLivery(Branding()), parent, logs.first, logs.last);
    return dialog.exec() == QDialog::Accepted;
}

void ShellSecondaryWindows::showDetails(MainWindow& main)
{
    DetailsWindow* window = ShowDetailsWindow(BrandingFromLivery(Branding()));
    // Tied afresh each time: the window may have followed another main window, or be new.
    QObject::disconnect(followSelection);
    QObject::disconnect(openLanding);
    followSelection = QObject::connect(&main, &MainWindow::selectedRowChanged, window,
                                       [window, &main] { window->showContent(DetailsOfSelection(main)); });
    openLanding = QObject::connect(window, &DetailsWindow::landingPageActivated, &main, &MainWindow::OpenLandingPage);
    window->showContent(DetailsOfSelection(main));
}

bool ShellSecondaryWindows::mainWindowClosing()
{
    UnloadOptionsDialog();
    UnloadHelpWindow();
    UnloadDetailsWindow();
    if (browser.visible && browser.visible()) {
        MainWindowClosed() = true;
        return true;
    }
    if (Branding().bUseSkin)
        SkinEngine::Instance().stop();
    return false;
}

} // namespace backtrail::shell
