#include "ScanCommand.h"

#include "TextOutput.h"

#include "engine/base/BuildInfo.h"
#include "engine/results/Classify.h"
#include "engine/results/Export.h"
#include "engine/input/FileRoutines.h"
#include "engine/results/Grouping.h"
#include "engine/fields/LineTime.h"
#include "engine/fields/OwnSite.h"
#include "engine/results/SavedResults.h"
#include "engine/scan/ScanDriver.h"
#include "engine/scan/ScanFrontEnd.h"
#include "engine/base/Settings.h"
#include "engine/visitors/SpamList.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <ostream>
#include <span>
#include <thread>
#include <tuple>

namespace backtrail::cli {

using namespace backtrail::engine;

std::atomic<int>& InterruptCount()
{
    static std::atomic<int> count {0};
    return count;
}

namespace {

enum class Format { Table, Tsv, Json, Html };

struct Entry
{
    QString folder;
    QString name;
};

struct Problem
{
    QString path;
    QString error;
};

std::string utf8(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

// The scanner's side of a scan: the files named on the command line as the
// file list, the status line remembered, progress drawn on a terminal.
class CliFrontEnd final : public ScanFrontEnd
{
public:
    CliFrontEnd(std::vector<Entry> files, CommandStreams& io)
        : entries(std::move(files))
        , streams(io)
    {
    }

    void attach(Scanner& s) { scanner = &s; }

    int fileCount() const override { return int(entries.size()); }
    bool fileSelected(int index) const override { return index >= 0 && index < int(entries.size()); }
    QString fileFolder(int index) const override { return entries[std::size_t(index)].folder; }
    QString fileName(int index) const override
    {
        currentFile = entries[std::size_t(index)].name;
        return currentFile;
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
        AppendPlainCell(bar, utf8(currentFile).substr(0, 40));
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
    void addResults(ResultTable table) override { rows = std::move(table); }
    void fileUnreadable(const QString& path, const QString& reason) override
    {
        endBar();
        streams.err << "backtrail-scan: " << utf8(path) << ": " << utf8(reason) << '\n';
        problems.push_back({path, reason});
    }

    void endBar()
    {
        if (barShown)
            streams.err << "\r\x1b[K" << std::flush;
        barShown = false;
    }

    QString status;
    std::vector<Problem> problems;
    ResultTable rows;

private:
    std::vector<Entry> entries;
    CommandStreams& streams;
    Scanner* scanner = nullptr;
    mutable QString currentFile;
    bool barShown = false;
};

// Output goes to the stream or, with --output, to a file that is replaced
// only when everything was written.
class Output
{
public:
    Output(std::ostream& stream, const QString& path)
        : out(stream)
    {
        if (!path.isEmpty()) {
            file = std::make_unique<QSaveFile>(path);
            ok = file->open(QIODevice::WriteOnly);
        }
    }
    void write(std::string& text)
    {
        if (file)
            ok = ok && file->write(text.data(), qint64(text.size())) == qint64(text.size());
        else
            out.write(text.data(), std::streamsize(text.size()));
        text.clear();
    }
    // Writes when enough has gathered, so output of any size streams in bounded memory.
    void writeSome(std::string& text)
    {
        if (text.size() >= (std::size_t(1) << 16))
            write(text);
    }
    bool finish(QString* error)
    {
        if (!file) {
            out.flush();
            return bool(out);
        }
        if (ok && file->commit())
            return true;
        *error = file->errorString();
        file->cancelWriting();
        return false;
    }

private:
    std::ostream& out;
    std::unique_ptr<QSaveFile> file;
    bool ok = true;
};

std::string jsonString(const QString& value)
{
    std::string text;
    AppendJsonString(text, utf8(value));
    return text;
}

void writeTable(Output& output, const ResultTable& rows)
{
    std::size_t clicksWidth = 6;
    for (std::size_t i = 0; i < rows.size(); ++i)
        clicksWidth = std::max(clicksWidth, rows.row(i).clicks.size());
    std::size_t referrerWidth = 8;
    std::vector<std::string> referrers(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        AppendPlainCell(referrers[i], rows.row(i).referrer);
        referrerWidth = std::max(referrerWidth, std::min<std::size_t>(DisplayWidth(referrers[i]), 100));
    }
    auto pad = [](std::string& line, std::size_t width, std::size_t used) {
        line.append(width > used ? width - used : 0, ' ');
        line += "  ";
    };
    std::string text = "Type";
    pad(text, 4, 4);
    text += "Clicks";
    pad(text, clicksWidth, 6);
    text += "Referrer";
    pad(text, referrerWidth, 8);
    std::size_t landingWidth = 12;
    std::vector<std::string> landings(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        AppendPlainCell(landings[i], rows.row(i).landing);
        landingWidth = std::max(landingWidth, std::min<std::size_t>(DisplayWidth(landings[i]), 60));
    }
    constexpr std::size_t kTimeWidth = 25; // 2026-12-08T17:13:23+02:00
    text += "Landing Page";
    pad(text, landingWidth, 12);
    text += "First Seen";
    pad(text, kTimeWidth, 10);
    text += "Last Seen\n";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ResultRow row = rows.row(i);
        text += row.type;
        pad(text, 4, row.type.size());
        text += row.clicks;
        pad(text, clicksWidth, row.clicks.size());
        text += referrers[i];
        pad(text, referrerWidth, DisplayWidth(referrers[i]));
        text += landings[i];
        pad(text, landingWidth, DisplayWidth(landings[i]));
        const std::string first = row.firstSeen.iso();
        text += first;
        pad(text, kTimeWidth, first.size());
        text += row.lastSeen.iso();
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        text += '\n';
        output.writeSome(text);
    }
    output.write(text);
}

void writeTsv(Output& output, const ResultTable& rows)
{
    std::string text = "type\tclicks\treferrer\tlanding\tfirst_seen\tlast_seen\n";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ResultRow row = rows.row(i);
        for (const std::string_view cell : {row.type, row.clicks, row.referrer, row.landing}) {
            AppendPlainCell(text, cell);
            text += '\t';
        }
        text += row.firstSeen.iso();
        text += '\t';
        text += row.lastSeen.iso();
        text += '\n';
        output.writeSome(text);
    }
    output.write(text);
}

// Writes texts to an output on a thread of its own, in the order given,
// holding at most a few of them at once.
class BatchWriter
{
public:
    explicit BatchWriter(Output& to)
        : output(to)
        , thread([this] { run(); })
    {
    }
    ~BatchWriter() { finish(); }
    BatchWriter(const BatchWriter&) = delete;
    BatchWriter& operator=(const BatchWriter&) = delete;

    /// Hands the text over (leaving it empty, its memory kept for the next).
    void write(std::string& text)
    {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [&] { return waiting.size() < kMostWaiting; });
        std::string spare = spares.empty() ? std::string() : std::move(spares.back());
        if (!spares.empty())
            spares.pop_back();
        waiting.push_back(std::move(text));
        text = std::move(spare);
        text.clear();
        changed.notify_all();
    }
    /// Waits until everything handed over is written.
    void finish()
    {
        if (!thread.joinable())
            return;
        {
            const std::lock_guard<std::mutex> hold(lock);
            done = true;
        }
        changed.notify_all();
        thread.join();
    }

private:
    static constexpr std::size_t kMostWaiting = 2;
    void run()
    {
        std::unique_lock<std::mutex> hold(lock);
        for (;;) {
            changed.wait(hold, [&] { return done || !waiting.empty(); });
            if (waiting.empty())
                return;
            std::string text = std::move(waiting.front());
            waiting.pop_front();
            hold.unlock();
            output.write(text);
            hold.lock();
            spares.push_back(std::move(text));
            changed.notify_all();
        }
    }

    Output& output;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::string> waiting;
    std::vector<std::string> spares;
    bool done = false;
    std::thread thread; // last: it starts when everything else is ready
};

// What many rows repeat, made once for each thread that formats rows:
// the text of a landing page item up to its clicks, and a day's date, by
// number in small direct-mapped caches.
struct Repeated
{
    static constexpr std::size_t kSlots = 4096;
    struct Page
    {
        std::uint32_t number = UINT32_MAX;
        std::string text; // {"path": "...", "clicks":<space>
    };
    struct Day
    {
        std::int32_t day = 0;
        bool made = false;
        std::array<char, 10> text {};
    };
    std::vector<Page> pages = std::vector<Page>(kSlots);
    std::vector<Day> days = std::vector<Day>(kSlots);
};

void writeJson(Output& output, const Scanner& scanner, const ResultTable& rows, const QString& status,
               const std::vector<Problem>& problems, const ScanSettings& settings, bool bySite, bool details,
               const std::vector<std::vector<std::size_t>>& siteMembers, int threads)
{
    const ScanState& state = scanner.state();
    const ScanCounters& c = state.counters;
    // What a merge needs: the settings, and each entry's bot flag and file type
    // (rows grouped by site have no entries of their own).
    auto flag = [](bool on) { return on ? "true" : "false"; };
    std::string text = "{\n  \"settings\": {\"domain\": ";
    AppendJsonString(text, utf8(settings.strYourWebsite));
    text += std::string(", \"dupes\": ") + flag(settings.bRemoveDupes) + ", \"types\": " + flag(settings.bGetFileTypes)
        + ", \"https\": " + flag(settings.bHttps) + ", \"hide_crawlers\": " + flag(settings.bHideCrawlers)
        + ", \"hide_spam\": " + flag(settings.bHideSpam) + ", \"since\": " + jsonString(settings.strDateSince)
        + ", \"until\": " + jsonString(settings.strDateUntil) + ", \"details\": " + flag(details)
        + ", \"by_site\": " + flag(bySite) + "},\n  \"stopped\": " + flag(c.StopRequested) + ",\n  \"files_done\": "
        + std::to_string(c.FilesDone) + ",\n  \"lines_scanned\": " + std::to_string(c.LinesScanned)
        + ",\n  \"links_found\": " + std::to_string(c.LinksFound)
        + ",\n  \"hidden_crawler_lines\": " + std::to_string(state.HiddenCrawlerLines)
        + ",\n  \"hidden_spam_lines\": " + std::to_string(state.HiddenSpamLines)
        + ",\n  \"lines_outside_range\": " + std::to_string(state.OutsideRangeLines)
        + ",\n  \"duplicates_removed\": " + std::to_string(state.DuplicatesRemoved) + ",\n  \"unique_links\": "
        + std::to_string(std::int64_t(c.LinksFound) - state.DuplicatesRemoved) + ",\n  \"status\": ";
    AppendJsonString(text, utf8(status));
    text += ",\n  \"rows\": [";
    using namespace std::string_view_literals;
    auto appendRow = [&](std::string& out, std::size_t i, Repeated& repeated) {
        const ResultRow row = rows.row(i);
        out += i ? ",\n    {\"type\": "sv : "\n    {\"type\": "sv;
        AppendJsonString(out, row.type);
        out += ", \"clicks\": "sv;
        AppendJsonString(out, row.clicks);
        out += ", \"referrer\": "sv;
        AppendJsonString(out, row.referrer);
        out += ", \"landing\": "sv;
        AppendJsonString(out, row.landing);
        out += ", \"first_seen\": \""sv;
        const std::size_t firstAt = out.size();
        row.firstSeen.appendIso(out);
        const std::size_t firstLength = out.size() - firstAt;
        out += "\", \"last_seen\": \""sv;
        if (row.lastSeen == row.firstSeen && firstLength <= 32) {
            // Most rows were seen once: the same text again.
            char same[32];
            out.copy(same, firstLength, firstAt);
            out.append(same, firstLength);
        } else {
            row.lastSeen.appendIso(out);
        }
        out += '"';
        if (!bySite && i < state.lists.size()) {
            out += state.lists.isBot(i) ? ", \"bot\": true, \"ext\": "sv : ", \"bot\": false, \"ext\": "sv;
            AppendJsonString(out, ExtensionCode(i < state.lists.List2.size() ? state.lists.List2[i] : 255));
        }
        if (details) {
            auto appendNumber = [&out](std::uint64_t number) {
                char digits[24];
                out.append(digits, std::size_t(std::to_chars(digits, digits + sizeof digits, number).ptr - digits));
            };
            bool firstItem = true;
            auto appendLanding = [&](std::string_view path, std::uint64_t clicks) {
                out += firstItem ? "{\"path\": "sv : ", {\"path\": "sv;
                firstItem = false;
                AppendJsonString(out, path);
                out += ", \"clicks\": "sv;
                appendNumber(clicks);
                out += '}';
            };
            auto appendLandingNumber = [&](std::uint32_t page, std::uint64_t clicks) {
                Repeated::Page& cached = repeated.pages[page % Repeated::kSlots];
                if (cached.number != page) {
                    cached.number = page;
                    cached.text.assign("{\"path\": "sv);
                    AppendJsonString(cached.text, state.details.landingName(page));
                    cached.text += ", \"clicks\": "sv;
                }
                if (!firstItem)
                    out += ", "sv;
                firstItem = false;
                out += cached.text;
                appendNumber(clicks);
                out += '}';
            };
            auto appendDay = [&](std::int32_t day, std::uint64_t clicks) {
                out += firstItem ? "{\"date\": \""sv : ", {\"date\": \""sv;
                firstItem = false;
                Repeated::Day& cached = repeated.days[std::uint32_t(day) % Repeated::kSlots];
                if (!cached.made || cached.day != day) {
                    std::string date;
                    AppendDayText(date, day);
                    cached.made = date.size() == cached.text.size();
                    cached.day = day;
                    std::copy_n(date.begin(), std::min(date.size(), cached.text.size()), cached.text.begin());
                    if (!cached.made)
                        out += date;
                }
                if (cached.made)
                    out.append(cached.text.data(), cached.text.size());
                out += "\", \"clicks\": "sv;
                appendNumber(clicks);
                out += '}';
            };
            // A referrer row's own entry is read in place; a site row sums its referrers'.
            const bool inPlace = !bySite && state.detailsCollected;
            const RowDetails d = inPlace
                ? RowDetails()
                : scanner.details(bySite && i < siteMembers.size() ? std::span<const std::size_t>(siteMembers[i])
                                                                   : std::span<const std::size_t>(&i, 1));
            out += ", \"landings\": ["sv;
            if (inPlace)
                state.details.visitLandingNumbers(i, appendLandingNumber);
            for (const LandingClicks& landing : d.landings)
                appendLanding(landing.path, landing.clicks);
            out += "], \"days\": ["sv;
            firstItem = true;
            if (inPlace)
                state.details.visitDays(i, appendDay);
            for (const DayClicks& day : d.days)
                appendDay(day.day, day.clicks);
            out += ']';
        }
        out += '}';
    };
    // A large answer's rows are formatted in batches, the second half of each
    // batch on another thread, and written in order.
    constexpr std::size_t kBatchRows = 4096;
    Repeated repeated;
    if (threads < 2 || rows.size() <= kBatchRows) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            appendRow(text, i, repeated);
            output.writeSome(text);
        }
    } else {
        // A third thread writes the batches formatted before while the next
        // is formatted: a pipe takes its bytes about as slowly as they are made.
        BatchWriter writer(output);
        std::string second;
        Repeated repeatedSecond;
        for (std::size_t begin = 0; begin < rows.size();) {
            const std::size_t middle = std::min(rows.size(), begin + kBatchRows);
            const std::size_t end = std::min(rows.size(), middle + kBatchRows);
            std::thread helper([&] {
                for (std::size_t i = middle; i < end; ++i)
                    appendRow(second, i, repeatedSecond);
            });
            for (std::size_t i = begin; i < middle; ++i)
                appendRow(text, i, repeated);
            helper.join();
            writer.write(text);
            writer.write(second);
            begin = end;
        }
        writer.finish();
    }
    text += rows.size() ? "\n  ],\n  \"unreadable\": [" : "],\n  \"unreadable\": [";
    for (std::size_t i = 0; i < problems.size(); ++i) {
        text += i ? ",\n    {\"path\": " : "\n    {\"path\": ";
        AppendJsonString(text, utf8(problems[i].path));
        text += ", \"error\": ";
        AppendJsonString(text, utf8(problems[i].error));
        text += '}';
    }
    text += problems.empty() ? "]\n}\n" : "\n  ]\n}\n";
    output.write(text);
}

void writeHtml(Output& output, const WorkingLists& lists)
{
    std::string text;
    for (std::size_t i = 0; i < lists.size(); ++i) {
        text += BuildExportLine(lists.entryText(i));
        text += "\r\n";
        output.writeSome(text);
    }
    output.write(text);
}

// A pair of --X/--no-X switches: the store's value unless one of them is given.
bool switchValue(const QCommandLineParser& parser, const QString& name, bool stored, QString* conflict)
{
    const bool on = parser.isSet(name);
    const bool off = parser.isSet(QStringLiteral("no-") + name);
    if (on && off)
        *conflict = QStringLiteral("--%1 and --no-%1 exclude each other").arg(name);
    return on ? true : off ? false : stored;
}

} // namespace

int RunScanCommand(const QStringList& arguments, const SettingsStore& store, CommandStreams streams)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Scans web-server access logs for the outside pages that send visitors to the site,\n"
                       "and prints one row per referring address with its clicks and the type of file asked for."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version."));
    const QCommandLineOption domain(QStringLiteral("domain"),
                                    QStringLiteral("Own domain. ") + QLatin1String(engine::kOwnDomainHelp),
                                    QStringLiteral("TEXT"));
    const QCommandLineOption format(QStringLiteral("format"),
                                    QStringLiteral("Output format: table (default), tsv, json or html."),
                                    QStringLiteral("FORMAT"), QStringLiteral("table"));
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("Write the output to FILE (replaced only when complete)."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption bySite(QStringLiteral("by-site"),
                                    QStringLiteral("One row per referring site, crawlers apart, clicks summed."));
    const QCommandLineOption quiet(QStringLiteral("quiet"), QStringLiteral("No progress and no completion text."));
    const QCommandLineOption merge(QStringLiteral("merge"),
                                   QStringLiteral("Merge results that --format json wrote (the FILEs), in this order, "
                                                  "into what one scan of all their files gives; results written with "
                                                  "--details keep them. The results keep every byte of the logs: a "
                                                  "byte that is no UTF-8 is written as a lone surrogate, \\udc80 to "
                                                  "\\udcff."));
    const QCommandLineOption threads(QStringLiteral("threads"),
                                     QStringLiteral("Read with N threads (default: one for each core; 1: one after "
                                                    "another on one thread)."),
                                     QStringLiteral("N"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(domain);
    const std::pair<const char*, const char*> switches[] = {
        {"dupes", "Remove duplicates and count clicks"},
        {"types", "Give each row a type code"},
        {"https", "Also find https:// referrers"},
    };
    for (const auto& [name, text] : switches) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(text) + "."));
        parser.addOption(QCommandLineOption(QStringLiteral("no-") + QString::fromLatin1(name),
                                            QStringLiteral("Do not: ") + QString::fromLatin1(text).toLower() + "."));
    }
    // Crawlers and referrer spam are shown unless hidden: --no-bots and --no-spam hide them.
    const std::pair<const char*, const char*> visitors[] = {
        {"bots", "crawlers' lines (typed BOT)"},
        {"spam", "referrer spam (typed SPM)"},
    };
    for (const auto& [name, text] : visitors) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QStringLiteral("Show ") + text + "."));
        parser.addOption(QCommandLineOption(
            QStringLiteral("no-") + QString::fromLatin1(name),
            QStringLiteral("Hide ") + text + QStringLiteral(": such lines are scanned but are no referrer lines.")));
    }
    const QCommandLineOption crawlerList(
        QStringLiteral("crawler-list"),
        QStringLiteral("Tell crawlers by the patterns of FILE (a crawler-user-agents JSON list) instead of the "
                       "shipped list."),
        QStringLiteral("FILE"));
    const QCommandLineOption spamList(QStringLiteral("spam-list"),
                                      QStringLiteral("Tell referrer spam by the hosts of FILE (one a line) instead of "
                                                     "the shipped list; the user's spam.txt is read as well."),
                                      QStringLiteral("FILE"));
    parser.addOption(crawlerList);
    parser.addOption(spamList);
    const QCommandLineOption since(QStringLiteral("since"),
                                   QStringLiteral("Only lines from DATE on (2026-12-08 is the whole day; "
                                                  "2026-12-08T10:00 or 2026-12-08T10:00:30 that second), by the time "
                                                  "the line writes."),
                                   QStringLiteral("DATE"));
    const QCommandLineOption until(QStringLiteral("until"),
                                   QStringLiteral("Only lines up to DATE (2026-12-08 includes all of that day)."),
                                   QStringLiteral("DATE"));
    const QCommandLineOption details(QStringLiteral("details"),
                                     QStringLiteral("In JSON, give each row its landing pages and its clicks per "
                                                    "day."));
    parser.addOption(since);
    parser.addOption(until);
    parser.addOption(details);
    parser.addOption(format);
    parser.addOption(output);
    parser.addOption(bySite);
    parser.addOption(quiet);
    parser.addOption(threads);
    parser.addOption(merge);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Log files to scan, in this order; a folder stands for all its files."),
                                 QStringLiteral("FILE..."));

    auto usageError = [&](const QString& message) {
        streams.err << "backtrail-scan: " << utf8(message) << "\nTry 'backtrail-scan --help'.\n";
        return int(ExitStatus::Usage);
    };
    if (!parser.parse(QStringList {QStringLiteral("backtrail-scan")} + arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        streams.out << utf8(parser.helpText());
        return int(ExitStatus::Ok);
    }
    if (parser.isSet(version)) {
        streams.out << "backtrail-scan " << build::kVersion << '\n';
        return int(ExitStatus::Ok);
    }

    ScanSettings settings = ReadScanSettings(store);
    QString conflict;
    settings.bRemoveDupes = switchValue(parser, QStringLiteral("dupes"), settings.bRemoveDupes, &conflict);
    settings.bGetFileTypes = switchValue(parser, QStringLiteral("types"), settings.bGetFileTypes, &conflict);
    settings.bHttps = switchValue(parser, QStringLiteral("https"), settings.bHttps, &conflict);
    settings.bHideCrawlers = !switchValue(parser, QStringLiteral("bots"), !settings.bHideCrawlers, &conflict);
    settings.bHideSpam = !switchValue(parser, QStringLiteral("spam"), !settings.bHideSpam, &conflict);
    if (!conflict.isEmpty())
        return usageError(conflict);
    if (parser.isSet(domain))
        settings.strYourWebsite = parser.value(domain);
    for (const auto& [option, value, isEnd] :
         {std::tuple(&since, &settings.strDateSince, false), std::tuple(&until, &settings.strDateUntil, true)}) {
        if (!parser.isSet(*option))
            continue;
        if (!ParseRangeBound(utf8(parser.value(*option)), isEnd))
            return usageError(QStringLiteral("--%1 takes a date (2026-12-08) or a date and time (2026-12-08T10:00 "
                                             "or 2026-12-08T10:00:30), not '%2'")
                                  .arg(option->names().first(), parser.value(*option)));
        *value = parser.value(*option);
    }
    if (const std::optional<std::int64_t> from = ParseRangeBound(utf8(settings.strDateSince), false),
        to = ParseRangeBound(utf8(settings.strDateUntil), true);
        from && to && *from > *to)
        return usageError(QStringLiteral("the date range is empty: --since %1 comes after --until %2")
                              .arg(settings.strDateSince, settings.strDateUntil));
    const QString formatName = parser.value(format);
    Format chosen;
    if (formatName == u"table")
        chosen = Format::Table;
    else if (formatName == u"tsv")
        chosen = Format::Tsv;
    else if (formatName == u"json")
        chosen = Format::Json;
    else if (formatName == u"html")
        chosen = Format::Html;
    else
        return usageError(QStringLiteral("unknown format '%1' (use table, tsv, json or html)").arg(formatName));
    int threadCount = 0;
    if (parser.isSet(threads)) {
        bool number = false;
        threadCount = parser.value(threads).toInt(&number);
        if (!number || threadCount < 1 || threadCount > 1024)
            return usageError(
                QStringLiteral("--threads takes a number from 1 to 1024, not '%1'").arg(parser.value(threads)));
    }
    const QStringList paths = parser.positionalArguments();
    if (paths.isEmpty())
        return usageError(QStringLiteral("no log file given"));

    const bool merging = parser.isSet(merge);
    SavedResults merged;
    if (merging) {
        for (const QString& name :
             {QStringLiteral("domain"), QStringLiteral("dupes"), QStringLiteral("no-dupes"), QStringLiteral("types"),
              QStringLiteral("no-types"), QStringLiteral("https"), QStringLiteral("no-https"), QStringLiteral("bots"),
              QStringLiteral("no-bots"), QStringLiteral("spam"), QStringLiteral("no-spam"), QStringLiteral("since"),
              QStringLiteral("until"), QStringLiteral("threads")}) {
            if (parser.isSet(name))
                return usageError(
                    QStringLiteral("--%1 does not go with --merge: the results carry their settings").arg(name));
        }
        QString why;
        if (!MergeSavedResults(paths, merged, &why)) {
            streams.err << "backtrail-scan: " << utf8(why) << '\n';
            return int(ExitStatus::Usage);
        }
        settings = merged.settings;
        if (parser.isSet(details) && !merged.details)
            return usageError(QStringLiteral("--details needs results that were written with --details"));
    }

    // The file list: each file as given, each folder as all the files it lists.
    std::vector<Entry> entries;
    std::vector<Problem> missing;
    for (const QString& path : merging ? QStringList() : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            for (const QString& name : ListLogFiles(path))
                entries.push_back({path, name});
        } else if (!info.exists()) {
            missing.push_back({path, QStringLiteral("No such file or directory")});
        } else if (!xdirExists(path)) {
            missing.push_back(
                {path,
                 info.isFile() ? QStringLiteral("hidden file, not scanned") : QStringLiteral("not an ordinary file")});
        } else {
            const QString folder = path.contains(u'/') ? path.left(path.lastIndexOf(u'/')) : QStringLiteral(".");
            entries.push_back({folder.isEmpty() ? QStringLiteral("") : folder, xfileExists(path)});
        }
    }

    // The lists that tell crawlers and spam: the shipped ones, or the files given.
    CrawlerList crawlers = CrawlerList::Shipped();
    if (parser.isSet(crawlerList)) {
        QFile file(parser.value(crawlerList));
        if (!file.open(QIODevice::ReadOnly)) {
            streams.err << "backtrail-scan: " << utf8(file.fileName()) << ": " << utf8(file.errorString()) << '\n';
            return int(ExitStatus::Usage);
        }
        const QByteArray json = file.readAll();
        crawlers = CrawlerList::FromJson(std::string_view(json.constData(), std::size_t(json.size())));
        if (!crawlers.error().isEmpty()) {
            streams.err << "backtrail-scan: " << utf8(file.fileName()) << ": " << utf8(crawlers.error()) << '\n';
            return int(ExitStatus::Usage);
        }
        // A pattern that does not compile would tell no crawler, without a word.
        for (const CrawlerList::Rejected& entry : crawlers.rejected()) {
            streams.err << "backtrail-scan: " << utf8(file.fileName()) << ": entry " << entry.entry + 1 << ": "
                        << (entry.pattern.empty() ? std::string() : "pattern '" + entry.pattern + "': ") << entry.reason
                        << '\n';
        }
        if (!crawlers.rejected().empty())
            return int(ExitStatus::Usage);
    }
    QString spamError;
    const QStringList userSpam
        = store.fileName().isEmpty() ? QStringList() : ReadUserSpamList(UserSpamListPath(store.fileName()), &spamError);
    if (!spamError.isEmpty())
        streams.err << "backtrail-scan: " << utf8(spamError) << '\n';
    auto spamHosts = std::make_shared<SpamList>();
    if (parser.isSet(spamList)) {
        QFile file(parser.value(spamList));
        if (!file.open(QIODevice::ReadOnly)) {
            streams.err << "backtrail-scan: " << utf8(file.fileName()) << ": " << utf8(file.errorString()) << '\n';
            return int(ExitStatus::Usage);
        }
        const QByteArray lines = file.readAll();
        spamHosts->addLines(std::string_view(lines.constData(), std::size_t(lines.size())));
        spamHosts->addLines(userSpam);
    } else {
        *spamHosts = SpamList::Shipped(userSpam);
    }

    const bool quietRun = parser.isSet(quiet);
    streams.progressBar = streams.progressBar && !quietRun;
    CliFrontEnd frontEnd(std::move(entries), streams);
    for (const Problem& problem : missing)
        frontEnd.fileUnreadable(problem.path, problem.error);
    Scanner scanner(frontEnd, settings);
    scanner.setThreads(threadCount);
    scanner.setVisitorLists(crawlers, std::move(spamHosts));
    // Results written with their details carry them into the merge.
    const bool withDetails = parser.isSet(details) || (merging && merged.details);
    scanner.setCollectDetails(withDetails);
    frontEnd.attach(scanner);
    if (merging)
        scanner.ShowResults(std::move(merged.part), merged.filesDone, merged.unreadable);
    else
        scanner.StartScan();
    frontEnd.endBar();

    const ScanState& state = scanner.state();
    std::vector<std::vector<std::size_t>> siteMembers;
    if (parser.isSet(bySite))
        frontEnd.rows = GroupBySite(frontEnd.rows, &siteMembers);
    const ResultTable& rows = frontEnd.rows;
    Output out(streams.out, parser.value(output));
    switch (chosen) {
    case Format::Table:
        writeTable(out, rows);
        break;
    case Format::Tsv:
        writeTsv(out, rows);
        break;
    case Format::Json:
        writeJson(out, scanner, rows, frontEnd.status, frontEnd.problems, settings, parser.isSet(bySite), withDetails,
                  siteMembers, scanner.threadCount());
        break;
    case Format::Html:
        writeHtml(out, state.lists);
        break;
    }
    QString writeError;
    if (!out.finish(&writeError)) {
        streams.err << "backtrail-scan: cannot write " << utf8(parser.value(output)) << ": " << utf8(writeError)
                    << '\n';
        return int(ExitStatus::FileProblem);
    }
    if (!quietRun)
        streams.err << utf8(frontEnd.status) << '\n';
    if (state.counters.StopRequested)
        return int(ExitStatus::Interrupted);
    return frontEnd.problems.empty() ? int(ExitStatus::Ok) : int(ExitStatus::FileProblem);
}

} // namespace backtrail::cli
