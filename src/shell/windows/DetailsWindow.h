#pragma once

#include "WindowBranding.h"

#include "engine/results/RowSources.h"
#include "engine/scan/ScanDriver.h"

#include <QWidget>

#include <cstdint>
#include <vector>

class QChartView;
class QLabel;
class QLineEdit;
class QSplitter;
class QStackedWidget;
class QStandardItemModel;
class QTreeView;

namespace backtrail::shell {

/// What the details window shows of one row of the results table.
struct DetailsContent
{
    bool selected = false; ///< a row is selected; without one the window says how to pick one
    bool site = false; ///< a site row of the grouped list: its referrers summed
    QString referrer; ///< the referring address, or the site of a site row
    std::uint64_t clicks = 0;
    std::size_t referrers = 0; ///< the scan's rows the row stands for
    engine::RowDetails details;
    QString source; ///< where its visitors came from, as the Source column shows it
    std::vector<engine::KeywordClicks> keywords; ///< a search engine's search words, most clicks first
    /// The clicks per day of each kind of source among the row's referrers
    /// (by date), when they are of more than one kind: the chart stacks them.
    struct KindDays
    {
        QString kind;
        std::vector<engine::DayClicks> days;
    };
    std::vector<KindDays> kindDays;
};

/// The days a chart of clicks per day shows: every day from the first to the
/// last, those without clicks at 0, while the span is at most `maxSpan` days;
/// a longer span shows only the days with clicks. `days` is by date.
std::vector<engine::DayClicks> ChartDays(const std::vector<engine::DayClicks>& days, std::int32_t maxSpan);

/// What the date axis under a chart of day bars shows: a label under every
/// step-th bar ("Jan 27"; a day whose label another year already has also
/// names its year), at most `room` labels, the first under the first bar;
/// and the axis title that gives the span once, with its year or years
/// ("Jan 27 to Mar 3, 2026 (36 days)"). `days` are the bars' days, ascending.
struct DayAxisLabels
{
    std::vector<std::pair<int, QString>> labels; ///< bar index and its label
    QString title;
};
DayAxisLabels ChartDayLabels(const std::vector<std::int32_t>& days, int room);

/// The details window "Referrer Details" (objectName "frmDetails"): the
/// referrer or site of a row, its clicks, when it was first and last seen, its
/// landing pages with their clicks, and a bar chart of its clicks per day.
class DetailsWindow : public QWidget
{
    Q_OBJECT

public:
    explicit DetailsWindow(const WindowBranding& branding, QWidget* parent = nullptr);

    /// Shows a row, or the window's empty state when none is selected or the
    /// row has no landing pages.
    void showContent(const DetailsContent& content);

    QLabel* lblReferrerCaption;
    QLineEdit* txtReferrer;
    QLabel* lblClicks;
    QLabel* lblFirstSeen;
    QLabel* lblLastSeen;
    QLabel* lblSource;
    QLabel* lblKeywords; ///< the search words with their clicks, one a line
    QLabel* lblMessage; ///< the empty state's text
    QTreeView* lstLandings;
    QStandardItemModel* landings;
    QChartView* chtDays;

signals:
    /// A landing page was double-clicked (or Enter pressed on it): its path.
    void landingPageActivated(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showLandings(const std::vector<engine::LandingClicks>& rows);
    void showDays(const std::vector<engine::DayClicks>& days, const std::vector<DetailsContent::KindDays>& kinds = {});
    void activateLanding(const QModelIndex& index);
    /// Labels the date axis for the chart's present width.
    void labelDays();
    /// The tooltip of the day bar under a point of the chart, or none.
    QString dayTipAt(const QPoint& at) const;

    WindowBranding branding;
    QWidget* header;
    QStackedWidget* body;
    QSplitter* parts;
    std::vector<std::int32_t> chartDays; // the days of the chart's bars
};

} // namespace backtrail::shell
