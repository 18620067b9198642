#pragma once

#include "engine/results/ResultTable.h"
#include "engine/scan/ScanDriver.h"
#include "engine/scan/ScanFrontEnd.h"
#include "engine/scan/ScanState.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace backtrail::testing {

/// Writes bytes to a file, replacing it.
inline void WriteBytes(const QString& path, std::string_view bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write test file");
    file.write(bytes.data(), qint64(bytes.size()));
}

/// The text compressed by the gzip program at the given level, as one member.
inline std::string GzipMember(const std::string& plain, int level = 6)
{
    QProcess gzip;
    gzip.start(QStringLiteral("gzip"), {QStringLiteral("-n"), QStringLiteral("-c"), QStringLiteral("-%1").arg(level)});
    if (!gzip.waitForStarted())
        throw std::runtime_error("cannot start gzip");
    gzip.write(plain.data(), qint64(plain.size()));
    gzip.closeWriteChannel();
    if (!gzip.waitForFinished() || gzip.exitCode() != 0)
        throw std::runtime_error("gzip failed");
    return gzip.readAllStandardOutput().toStdString();
}

/// A front end that records what the scan tells it; the file list is a folder
/// with named entries, each selected or not.
class FakeFrontEnd : public engine::ScanFrontEnd
{
public:
    struct File
    {
        QString name;
        bool selected = true;
    };

    QString folder;
    std::vector<File> files;
    std::vector<QString> statuses;
    std::vector<std::pair<double, double>> progress;
    std::vector<std::pair<QString, QString>> statistics;
    std::vector<std::pair<QString, QString>> unreadable;
    int completed = 0;
    int yields = 0;
    int clears = 0;
    engine::ResultTable rows;
    /// Runs at every yield; tests use it to press Stop or to change the file list mid-scan.
    std::function<void()> onYield;

    int fileCount() const override { return int(files.size()); }
    bool fileSelected(int index) const override
    {
        return index < int(files.size()) && files[std::size_t(index)].selected;
    }
    QString fileFolder(int) const override { return folder; }
    QString fileName(int index) const override { return files[std::size_t(index)].name; }
    void setStatus(const QString& text) override { statuses.push_back(text); }
    void setProgress(double value, double maximum) override { progress.emplace_back(value, maximum); }
    void yieldToEvents() override
    {
        ++yields;
        if (onYield)
            onYield();
    }
    void showStatistics(const QString& title, const QString& text) override { statistics.emplace_back(title, text); }
    void scanCompleted() override { ++completed; }
    void clearResults() override
    {
        ++clears;
        rows.clear();
    }
    void addResults(engine::ResultTable table) override { rows = std::move(table); }
    void fileUnreadable(const QString& path, const QString& reason) override { unreadable.emplace_back(path, reason); }

    QString lastStatus() const { return statuses.empty() ? QString() : statuses.back(); }
};

inline std::string Str(std::string_view view)
{
    return std::string(view);
}

/// What must hold after any scan, whatever happened to its files meanwhile:
/// the working lists line up, and the rows add up to the links found. Returns
/// an empty text when all holds, else what did not.
inline std::string ScanInconsistency(const engine::ScanState& state, const engine::ResultTable& rows, bool dupesRemoved)
{
    const engine::WorkingLists& lists = state.lists;
    const std::size_t n = lists.List1.size();
    if (lists.List2.size() != n || lists.landing.size() != n || lists.bot.size() != n)
        return "working lists differ in length";
    if (std::int64_t(n) != std::int64_t(state.counters.LinksFound) - (dupesRemoved ? state.DuplicatesRemoved : 0))
        return "entries " + std::to_string(n) + " against " + std::to_string(state.counters.LinksFound)
            + " links found less " + std::to_string(state.DuplicatesRemoved) + " duplicates";
    if (rows.size() != n)
        return "rows " + std::to_string(rows.size()) + " against entries " + std::to_string(n);
    if (dupesRemoved) {
        std::int64_t clicks = 0;
        for (std::size_t i = 0; i < rows.size(); ++i)
            clicks += std::stoll(std::string(rows.row(i).clicks));
        if (clicks != state.counters.LinksFound)
            return "clicks add up to " + std::to_string(clicks) + ", not " + std::to_string(state.counters.LinksFound);
    }
    if (state.progress.value > state.progress.maximum)
        return "progress past its maximum";
    return {};
}

} // namespace backtrail::testing
