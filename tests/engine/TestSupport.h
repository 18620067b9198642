#pragma once

#include "engine/ResultTable.h"
#include "engine/ScanDriver.h"
#include "engine/ScanFrontEnd.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
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

} // namespace backtrail::testing
