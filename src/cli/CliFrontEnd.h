#pragma once

#include "ScanCommand.h"

#include "engine/results/ResultTable.h"
#include "engine/results/formats/Formats.h"
#include "engine/results/formats/TextOutput.h"
#include "engine/scan/ScanDriver.h"
#include "engine/scan/ScanFrontEnd.h"

#include <QString>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace backtrail::cli {

/// A log file to scan: its folder and its name.
struct Entry
{
    QString folder;
    QString name;
};

/// A file that could not be scanned, and why.
using Problem = engine::UnreadableFile;

// The scanner's side of a scan: the files named on the command line as the
// file list, the status line remembered, progress drawn on a terminal.
class CliFrontEnd final : public engine::ScanFrontEnd
{
public:
    CliFrontEnd(std::vector<Entry> files, CommandStreams& io)
        : entries(std::move(files))
        , streams(io)
    {
    }

    void attach(engine::Scanner& s) { scanner = &s; }

    int fileCount() const override { return int(entries.size()); }
    bool fileSelected(int index) const override { return index >= 0 && index < int(entries.size()); }
    QString fileFolder(int index) const override { return entries[std::size_t(index)].folder; }
    QString fileName(int index) const override
    {
        currentFile = entries[std::size_t(index)].name;
        return currentFile;
    }
    engine::FileRange fileRange(int index) const override
    {
        return std::size_t(index) < ranges.size() ? ranges[std::size_t(index)] : engine::FileRange();
    }
    void setStatus(const QString& text) override { status = text; }
    void setProgress(double value, double maximum) override
    {
        if (!streams.progressBar)
            return;
        constexpr int kWidth = 30;
        const double share = maximum > 0 ? std::clamp(value / maximum, 0.0, 1.0) : 0.0;
        const int filled = int(share * kWidth);
        std::string bar = "\r[" + std::string(std::size_t(filled), '#') + std::string(std::size_t(kWidth - filled), ' ')
            + "] " + std::to_string(int(share * 100)) + "% ";
        engine::AppendPlainCell(bar, engine::Utf8(currentFile).substr(0, 40));
        bar += "\x1b[K";
        streams.err << bar << std::flush;
        barShown = true;
    }
    bool showsProgress() const override { return streams.progressBar; }
    void yieldToEvents() override
    {
        if (scanner && InterruptCount().load() > 0)
            scanner->StopScan();
    }
    void showStatistics(const QString&, const QString&) override { }
    void scanCompleted() override { }
    void clearResults() override { }
    void addResults(engine::ResultTable table) override { rows = std::move(table); }
    void fileUnreadable(const QString& path, const QString& reason) override
    {
        endBar();
        streams.err << "backtrail-scan: " << engine::Utf8(path) << ": " << engine::Utf8(reason) << '\n';
        problems.push_back({path, reason});
    }

    void fileLooksLikeNoLog(const QString& path, const QString& reason) override
    {
        endBar();
        streams.err << "backtrail-scan: warning: " << engine::Utf8(path) << " looks like no access log ("
                    << engine::Utf8(reason) << "); it is scanned all the same\n";
    }

    void endBar()
    {
        if (barShown)
            streams.err << "\r\x1b[K" << std::flush;
        barShown = false;
    }

    QString status;
    std::vector<Problem> problems;
    std::vector<engine::FileRange> ranges; ///< the part of each file to read (--state); empty: all of each
    engine::ResultTable rows;

private:
    std::vector<Entry> entries;
    CommandStreams& streams;
    engine::Scanner* scanner = nullptr;
    mutable QString currentFile;
    bool barShown = false;
};

} // namespace backtrail::cli
