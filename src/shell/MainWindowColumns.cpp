// The results table's columns: widths that leave every column in sight, as
// the user last set them (kept in the settings), long addresses elided in the
// middle, and the sideways scroll kept while rows are filtered or grouped.
#include "MainWindow.h"

#include "engine/base/Settings.h"
#include "results/ResultsModel.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTreeView>

namespace backtrail::shell {

namespace {

// The setting (in the Settings section) that keeps the widths, in pixels, one a column.
constexpr char kColumnWidths[] = "columnWidths";
// A remembered width outside these is no width a user set.
constexpr int kNarrowestColumn = 8;
constexpr int kWidestColumn = 4000;

} // namespace

std::vector<int> DefaultColumnWidths(const QFontMetrics& metrics)
{
    using Model = results::ResultsModel;
    const int character = metrics.averageCharWidth();
    // The cell's margins and the header's sort mark.
    auto fit
        = [&](const char* text) { return metrics.horizontalAdvance(QString::fromLatin1(text)) + 3 * character + 12; };
    std::vector<int> widths(Model::ColumnCount);
    widths[Model::TypeColumn] = fit("Type");
    widths[Model::ClicksColumn] = std::max(fit("0000000"), fit("Clicks"));
    widths[Model::ReferrerColumn] = 44 * character;
    widths[Model::LandingColumn] = 26 * character;
    widths[Model::FirstSeenColumn] = fit("2026-12-08T17:13:23+02:00");
    widths[Model::LastSeenColumn] = widths[Model::FirstSeenColumn];
    widths[Model::SourceColumn] = 28 * character;
    return widths;
}

QString ColumnWidthsText(const std::vector<int>& widths)
{
    QStringList texts;
    for (const int width : widths)
        texts << QString::number(width);
    return texts.join(u',');
}

std::vector<int> ParseColumnWidths(const QString& text, int count)
{
    const QStringList texts = text.split(u',');
    if (texts.size() != count)
        return {};
    std::vector<int> widths;
    for (const QString& part : texts) {
        bool number = false;
        const int width = part.trimmed().toInt(&number);
        if (!number || width < kNarrowestColumn || width > kWidestColumn)
            return {};
        widths.push_back(width);
    }
    return widths;
}

void MainWindow::setUpColumns()
{
    lstResults->setTextElideMode(Qt::ElideMiddle); // the whole address is the cell's tooltip
    const QString section = QString::fromLatin1(engine::keys::kSettings);
    std::vector<int> widths = ParseColumnWidths(store.read(section, QString::fromLatin1(kColumnWidths), QString()),
                                                results::ResultsModel::ColumnCount);
    if (widths.empty())
        widths = DefaultColumnWidths(lstResults->fontMetrics());
    for (int column = 0; column < int(widths.size()); ++column)
        lstResults->setColumnWidth(column, widths[std::size_t(column)]);
    // A width the user sets is kept once the dragging has paused.
    columnsTimer = new QTimer(this);
    columnsTimer->setSingleShot(true);
    columnsTimer->setInterval(500);
    connect(columnsTimer, &QTimer::timeout, this, &MainWindow::saveColumnWidths);
    connect(lstResults->header(), &QHeaderView::sectionResized, columnsTimer, qOverload<>(&QTimer::start));
}

void MainWindow::saveColumnWidths()
{
    if (columnsTimer)
        columnsTimer->stop();
    std::vector<int> widths;
    for (int column = 0; column < results::ResultsModel::ColumnCount; ++column)
        widths.push_back(lstResults->columnWidth(column));
    // A store that refuses it loses only the widths: nothing to tell the user.
    store.write(QString::fromLatin1(engine::keys::kSettings), QString::fromLatin1(kColumnWidths),
                ColumnWidthsText(widths));
}

void MainWindow::keepingScroll(const std::function<void()>& change)
{
    QScrollBar* sideways = lstResults->horizontalScrollBar();
    const int at = sideways->value();
    change();
    lstResults->doItemsLayout();
    sideways->setValue(at);
}

} // namespace backtrail::shell
