#include "DetailsWindow.h"

#include "Pictures.h"
#include "shell/skin/ModSkin.h"

#include "engine/aggregate/EntryDetails.h"

#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QDate>
#include <QFontMetrics>
#include <QFormLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSet>
#include <QSplitter>
#include <QStackedBarSeries>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

namespace backtrail::shell {

namespace {

// Days without clicks are drawn as empty bars while the chart spans at most
// two years; a longer span shows only the days with clicks.
constexpr std::int32_t kMaxFilledSpan = 731;
// The chart's width beside its plot area (the value axis, margins), in pixels.
constexpr int kChartFrame = 80;
// The value axis's steps at most.
constexpr std::uint64_t kValueSteps = 5;
// The skin's teal, for the bars.
constexpr QRgb kBarColour = 0x2f6f7e;

enum Page { MessagePage = 0, DetailsPage = 1 };

QString timeText(const engine::LineTime& time)
{
    return time.valid ? QString::fromStdString(time.iso()) : QStringLiteral("\u2014");
}

QDate dateOf(std::int32_t day)
{
    return QDate(1970, 1, 1).addDays(day);
}

// "Jan 27", or with its year "Jan 27, 2026", in English whatever the system's language.
QString shortDate(const QDate& date, bool withYear = false)
{
    return QLocale::c().toString(date, withYear ? QStringLiteral("MMM d, yyyy") : QStringLiteral("MMM d"));
}

QLabel* valueLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

DayAxisLabels ChartDayLabels(const std::vector<std::int32_t>& days, int room)
{
    DayAxisLabels axis;
    if (days.empty())
        return axis;
    const int bars = int(days.size());
    const int step = (bars + std::max(room, 1) - 1) / std::max(room, 1);
    QSet<QString> used;
    for (int bar = 0; bar < bars; bar += step) {
        const QDate date = dateOf(days[std::size_t(bar)]);
        QString label = shortDate(date);
        if (used.contains(label))
            label = shortDate(date, true);
        used.insert(label);
        axis.labels.emplace_back(bar, label);
    }
    const QDate first = dateOf(days.front());
    const QDate last = dateOf(days.back());
    const std::int64_t span = std::int64_t(days.back()) - days.front() + 1;
    if (span == 1)
        axis.title = shortDate(first, true);
    else if (first.year() == last.year())
        axis.title = QStringLiteral("%1 to %2 (%3 days)").arg(shortDate(first), shortDate(last, true)).arg(span);
    else
        axis.title = QStringLiteral("%1 to %2 (%3 days)").arg(shortDate(first, true), shortDate(last, true)).arg(span);
    return axis;
}

std::vector<engine::DayClicks> ChartDays(const std::vector<engine::DayClicks>& days, std::int32_t maxSpan)
{
    if (days.empty() || std::int64_t(days.back().day) - days.front().day >= maxSpan)
        return days;
    std::vector<engine::DayClicks> filled;
    filled.reserve(std::size_t(days.back().day - days.front().day + 1));
    auto next = days.begin();
    for (std::int32_t day = days.front().day; day <= days.back().day; ++day) {
        std::uint64_t clicks = 0;
        for (; next != days.end() && next->day == day; ++next)
            clicks += next->clicks;
        filled.push_back({day, clicks});
    }
    return filled;
}

DetailsWindow::DetailsWindow(const WindowBranding& values, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , branding(values)
{
    setObjectName(QStringLiteral("frmDetails"));
    setWindowTitle(QStringLiteral("Referrer Details"));
    setWindowIcon(ProgramIcon());

    // The row: its referrer (or site), clicks, first and last seen.
    header = new QWidget(this);
    header->setObjectName(QStringLiteral("fraHeader"));
    lblReferrerCaption = new QLabel(QStringLiteral("Referrer:"), header);
    lblReferrerCaption->setObjectName(QStringLiteral("lblReferrerCaption"));
    txtReferrer = new QLineEdit(header);
    txtReferrer->setObjectName(QStringLiteral("txtReferrer"));
    txtReferrer->setReadOnly(true);
    lblClicks = valueLabel(header, "lblClicks");
    lblFirstSeen = valueLabel(header, "lblFirstSeen");
    lblLastSeen = valueLabel(header, "lblLastSeen");
    lblSource = valueLabel(header, "lblSource");
    lblKeywords = valueLabel(header, "lblKeywords");
    lblKeywords->setTextFormat(Qt::PlainText);
    auto* form = new QFormLayout(header);
    form->setContentsMargins(0, 0, 0, 0);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->addRow(lblReferrerCaption, txtReferrer);
    form->addRow(QStringLiteral("Clicks:"), lblClicks);
    form->addRow(QStringLiteral("First seen:"), lblFirstSeen);
    form->addRow(QStringLiteral("Last seen:"), lblLastSeen);
    form->addRow(QStringLiteral("Source:"), lblSource);
    form->addRow(QStringLiteral("Search words:"), lblKeywords);

    // Its landing pages above, its days below.
    landings = new QStandardItemModel(0, 2, this);
    landings->setObjectName(QStringLiteral("lstLandingsModel"));
    landings->setHorizontalHeaderLabels({QStringLiteral("Landing Page"), QStringLiteral("Clicks")});
    lstLandings = new QTreeView(this);
    lstLandings->setObjectName(QStringLiteral("lstLandings"));
    lstLandings->setModel(landings);
    lstLandings->setRootIsDecorated(false);
    lstLandings->setItemsExpandable(false);
    lstLandings->setUniformRowHeights(true);
    lstLandings->setAllColumnsShowFocus(true);
    lstLandings->setAlternatingRowColors(true);
    lstLandings->setSelectionMode(QAbstractItemView::SingleSelection);
    lstLandings->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstLandings->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstLandings->setToolTip(QStringLiteral("Double-click a landing page to open it in the browser"));
    lstLandings->header()->setStretchLastSection(false);
    lstLandings->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lstLandings->header()->setSectionResizeMode(1, QHeaderView::Fixed);
    lstLandings->header()->resizeSection(1, 80);
    lstLandings->setSortingEnabled(true);
    lstLandings->sortByColumn(1, Qt::DescendingOrder);
    lstLandings->installEventFilter(this);
    connect(lstLandings, &QTreeView::doubleClicked, this, &DetailsWindow::activateLanding);

    chtDays = new QChartView(this);
    chtDays->setObjectName(QStringLiteral("chtDays"));
    chtDays->setRenderHint(QPainter::Antialiasing);
    chtDays->setMinimumHeight(200);
    chtDays->installEventFilter(this);
    // The pointer resting on a day's bar shows its date and clicks, also while another window is active.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    chtDays->viewport()->setMouseTracking(true);
    chtDays->viewport()->installEventFilter(this);
    QChart* chart = chtDays->chart();
    chart->legend()->hide();
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 4, 4));

    parts = new QSplitter(Qt::Vertical, this);
    parts->setObjectName(QStringLiteral("splDetails"));
    parts->setChildrenCollapsible(false);
    parts->addWidget(lstLandings);
    parts->addWidget(chtDays);
    parts->setStretchFactor(0, 2);
    parts->setStretchFactor(1, 3);

    lblMessage = new QLabel(this);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setAlignment(Qt::AlignCenter);
    lblMessage->setWordWrap(true);
    lblMessage->setMargin(24);

    body = new QStackedWidget(this);
    body->setObjectName(QStringLiteral("stkDetails"));
    body->insertWidget(MessagePage, lblMessage);
    body->insertWidget(DetailsPage, parts);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(10);
    layout->addWidget(header);
    layout->addWidget(body, 1);
    resize(760, 600);

    if (branding.bUseSkin)
        ApplySkin(this);
    showContent({});
}

void DetailsWindow::showContent(const DetailsContent& content)
{
    header->setVisible(content.selected);
    if (!content.selected) {
        lblMessage->setText(QStringLiteral("Select a row of the referrer list to see where its visitors landed "
                                           "and on which days."));
        body->setCurrentIndex(MessagePage);
        showLandings({});
        showDays({});
        return;
    }
    lblReferrerCaption->setText(content.site ? QStringLiteral("Site:") : QStringLiteral("Referrer:"));
    txtReferrer->setText(content.referrer);
    txtReferrer->setCursorPosition(0);
    lblClicks->setText(content.site && content.referrers > 1
                           ? QStringLiteral("%1 (from %2 referrers)").arg(content.clicks).arg(content.referrers)
                           : QString::number(content.clicks));
    lblFirstSeen->setText(timeText(content.details.firstSeen));
    lblLastSeen->setText(timeText(content.details.lastSeen));
    lblSource->setText(content.source);
    QStringList words;
    for (const engine::KeywordClicks& keyword : content.keywords)
        words << QStringLiteral("%1 (%2)").arg(QString::fromStdString(keyword.keyword)).arg(keyword.clicks);
    lblKeywords->setText(words.isEmpty() ? QStringLiteral("none") : words.join(QLatin1Char('\n')));
    if (content.details.landings.empty()) {
        lblMessage->setText(QStringLiteral("No landing pages or days were kept for this row. Results opened from "
                                           "a file have them only when backtrail-scan wrote them with --details."));
        body->setCurrentIndex(MessagePage);
    } else {
        body->setCurrentIndex(DetailsPage);
    }
    showLandings(content.details.landings);
    showDays(content.details.days, content.kindDays);
}

void DetailsWindow::showLandings(const std::vector<engine::LandingClicks>& rows)
{
    landings->removeRows(0, landings->rowCount());
    // Filled in the engine's order, most clicks first and equal clicks by
    // path; the view's sort is stable, so that order stays under equal keys.
    lstLandings->setSortingEnabled(false);
    for (const engine::LandingClicks& row : rows) {
        auto* path = new QStandardItem(QString::fromUtf8(row.path.data(), qsizetype(row.path.size())));
        path->setToolTip(path->text());
        auto* clicks = new QStandardItem;
        clicks->setData(QVariant::fromValue<qulonglong>(row.clicks), Qt::DisplayRole);
        clicks->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        landings->appendRow({path, clicks});
    }
    lstLandings->setSortingEnabled(true); // sorts by the header's column and order
}

void DetailsWindow::showDays(const std::vector<engine::DayClicks>& days,
                             const std::vector<DetailsContent::KindDays>& kinds)
{
    QChart* chart = chtDays->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    if (days.empty()) {
        chart->setTitle(QStringLiteral("No line of this row had a time."));
        return;
    }
    const std::vector<engine::DayClicks> shown = ChartDays(days, kMaxFilledSpan);
    QList<QDate> dates;
    chartDays.clear();
    std::uint64_t most = 0;
    for (const engine::DayClicks& day : shown) {
        dates << dateOf(day.day);
        chartDays.push_back(day.day);
        most = std::max(most, day.clicks);
    }
    // One bar a day; referrers of several kinds stack their clicks by kind.
    const bool stacked = kinds.size() > 1;
    QAbstractBarSeries* series = stacked ? static_cast<QAbstractBarSeries*>(new QStackedBarSeries)
                                         : static_cast<QAbstractBarSeries*>(new QBarSeries);
    series->setObjectName(QStringLiteral("serDays"));
    auto addSet = [&](const QString& name, const std::vector<engine::DayClicks>& clicksOf, QColor colour) {
        auto* set = new QBarSet(name);
        set->setColor(colour);
        set->setBorderColor(colour);
        auto next = clicksOf.begin();
        for (const engine::DayClicks& day : shown) {
            std::uint64_t clicks = 0;
            while (next != clicksOf.end() && next->day < day.day)
                ++next;
            for (; next != clicksOf.end() && next->day == day.day; ++next)
                clicks += next->clicks;
            set->append(qreal(clicks));
        }
        series->append(set);
    };
    if (stacked) {
        for (std::size_t k = 0; k < kinds.size(); ++k)
            addSet(kinds[k].kind, kinds[k].days, QColor::fromHsv(int(k * 360 / kinds.size()), 140, 170));
    } else {
        addSet(QStringLiteral("Clicks"), shown, QColor(kBarColour));
    }
    series->setBarWidth(shown.size() > 1 ? 0.8 : 0.3);
    chart->addSeries(series);
    chart->legend()->setVisible(stacked);

    // The bars stand at 0, 1, 2, ...; the axis names some of them, as many as fit.
    auto* dayAxis = new QCategoryAxis;
    dayAxis->setObjectName(QStringLiteral("axDays"));
    dayAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    dayAxis->setRange(-0.5, qreal(shown.size()) - 0.5);
    dayAxis->setStartValue(-0.5);
    dayAxis->setGridLineVisible(false);
    chart->addAxis(dayAxis, Qt::AlignBottom);
    series->attachAxis(dayAxis);
    labelDays();

    // Whole clicks on the value axis, in at most five steps of 1, 2 or 5 times
    // a power of ten: Qt Charts elides labels that crowd the axis's height.
    auto* clicks = new QValueAxis;
    clicks->setLabelFormat(QStringLiteral("%d"));
    clicks->setTitleText(QStringLiteral("Clicks"));
    std::uint64_t step = 1;
    for (int k = 0; most > step * kValueSteps; ++k)
        step = k % 3 == 1 ? step * 5 / 2 : step * 2;
    const std::uint64_t top = std::max<std::uint64_t>(1, (most + step - 1) / step * step);
    clicks->setRange(0, qreal(top));
    clicks->setTickCount(int(top / step) + 1);
    chart->addAxis(clicks, Qt::AlignLeft);
    series->attachAxis(clicks);
    chart->setTitle(QStringLiteral("Clicks per day"));
}

void DetailsWindow::labelDays()
{
    const QList<QAbstractAxis*> axes = chtDays->chart()->axes(Qt::Horizontal);
    auto* axis = axes.isEmpty() ? nullptr : qobject_cast<QCategoryAxis*>(axes.first());
    if (!axis)
        return;
    const QFontMetrics metrics(axis->labelsFont());
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("May 30, 2026")) + 8;
    const DayAxisLabels labels = ChartDayLabels(chartDays, std::max(1, (chtDays->width() - kChartFrame) / labelWidth));
    for (const QString& old : axis->categoriesLabels())
        axis->remove(old);
    for (const auto& [bar, text] : labels.labels)
        axis->append(text, qreal(bar));
    axis->setTitleText(labels.title);
}

QString DetailsWindow::dayTipAt(const QPoint& at) const
{
    QChart* chart = chtDays->chart();
    const QList<QAbstractSeries*> series = chart->series();
    auto* bars = series.isEmpty() ? nullptr : qobject_cast<QAbstractBarSeries*>(series.first());
    const QPointF scene = chtDays->mapToScene(at);
    if (!bars || !chart->plotArea().contains(scene))
        return {};
    const qreal x = chart->mapToValue(scene, bars).x();
    const int bar = qRound(x);
    if (bar < 0 || bar >= int(chartDays.size()) || std::abs(x - bar) > bars->barWidth() / 2)
        return {};
    qulonglong clicks = 0;
    QStringList kinds;
    for (const QBarSet* set : bars->barSets()) {
        clicks += qulonglong(set->at(bar));
        if (bars->count() > 1 && set->at(bar) > 0)
            kinds << QStringLiteral("%1 %2").arg(set->label()).arg(qulonglong(set->at(bar)));
    }
    const QString text
        = (clicks == 1 ? QStringLiteral("%1: %2 click") : QStringLiteral("%1: %2 clicks"))
              .arg(QLocale::c().toString(dateOf(chartDays[std::size_t(bar)]), QStringLiteral("ddd, MMM d, yyyy")))
              .arg(clicks);
    return kinds.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, kinds.join(QStringLiteral(", ")));
}

void DetailsWindow::activateLanding(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    emit landingPageActivated(landings->item(index.row(), 0)->text());
}

bool DetailsWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The date axis names as many days as its width has room for.
    if (watched == chtDays && event->type() == QEvent::Resize)
        labelDays();
    if (watched == chtDays->viewport() && event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = dayTipAt(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, chtDays->viewport());
        return true;
    }
    // Enter on a landing page opens it, as a double-click does.
    if (watched == lstLandings && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && lstLandings->currentIndex().isValid()) {
            activateLanding(lstLandings->currentIndex());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace backtrail::shell
