#include "DriverFixture.h"

#include "engine/results/Classify.h"
#include "engine/scan/ScanDriver.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <sys/stat.h>
#include <unistd.h>

using namespace backtrail::engine;
using backtrail::testing::combinedLine;
using backtrail::testing::Driver;
using backtrail::testing::FakeFrontEnd;
using backtrail::testing::Str;
using backtrail::testing::WriteBytes;

namespace {

TEST_F(Driver, ReportsTotalsAfterACompleteScan)
{
    addFile(QStringLiteral("a.log"),
            combinedLine("/a.jpg", "http://one.example/") + combinedLine("/b", "http://one.example/")
                + combinedLine("/c", "http://mysite.example/internal") + "no address here\n");
    addFile(QStringLiteral("skipped.log"), combinedLine("/x", "http://never.example/"), false);
    addFile(QStringLiteral("b.log"), combinedLine("/d.zip", "http://two.example/"));
    Scanner scanner(frontEnd, settings);
    ASSERT_TRUE(scanner.StartScan());

    const QString completion = QStringLiteral(
        "COMPLETE: 2 files done : 5 lines scanned : 3 links found : 1 duplicates removed : 2 unique links");
    EXPECT_EQ(frontEnd.lastStatus(), completion);
    EXPECT_TRUE(std::count(frontEnd.statuses.begin(), frontEnd.statuses.end(),
                           QStringLiteral("Finished 1 files : Scanned 4 lines : found 2 links")));
    ASSERT_EQ(frontEnd.statistics.size(), 1u);
    EXPECT_EQ(frontEnd.statistics[0].first, QStringLiteral("Scan Finished"));
    EXPECT_EQ(
        frontEnd.statistics[0].second,
        QStringLiteral("2 files done\r\n5 lines scanned\r\n3 links found\r\n1 duplicates removed\r\n2 unique links"));
    EXPECT_EQ(frontEnd.completed, 1);
    ASSERT_EQ(frontEnd.rows.size(), 2u);
    EXPECT_EQ(Str(frontEnd.rows.row(0).clicks), "0000002");
    EXPECT_EQ(Str(frontEnd.rows.row(0).referrer), "http://one.example/");
    EXPECT_EQ(Str(frontEnd.rows.row(0).type), "JPG"); // the first line's remainder decides
    EXPECT_EQ(Str(frontEnd.rows.row(0).landing), "/a.jpg");
    EXPECT_EQ(Str(frontEnd.rows.row(1).type), "ZIP");
    // The bar never passes its maximum and starts each file at 0.01.
    for (const auto& [value, maximum] : frontEnd.progress)
        EXPECT_LE(value, maximum);
}

TEST_F(Driver, NoFileSelectedStillCompletesWithZeros)
{
    settings.bDisplayStats = false;
    Scanner scanner(frontEnd, settings);
    scanner.StartScan();
    EXPECT_EQ(frontEnd.lastStatus(),
              QStringLiteral("COMPLETE: 0 files done : 0 lines scanned : 0 links found : 0 "
                             "duplicates removed : 0 unique links"));
    EXPECT_TRUE(frontEnd.statistics.empty());
    EXPECT_EQ(frontEnd.completed, 1);
}

TEST_F(Driver, StopInTheFirstOfThreeFilesKeepsWhatWasReadAndReportsNothing)
{
    std::string first;
    for (int i = 0; i < 30000; ++i)
        first += combinedLine("/p", "http://r" + std::to_string(i % 50) + ".example/");
    addFile(QStringLiteral("1.log"), first);
    addFile(QStringLiteral("2.log"), combinedLine("/p", "http://second.example/"));
    addFile(QStringLiteral("3.log"), "");
    Scanner scanner(frontEnd, settings);
    int linesAtStop = -1;
    frontEnd.onYield = [&] {
        // The first yield inside the first file's reading: press Stop.
        if (linesAtStop < 0 && scanner.state().counters.LinesScanned > 0) {
            scanner.StopScan();
            linesAtStop = scanner.state().counters.LinesScanned;
        }
    };
    scanner.setYieldInterval(std::chrono::nanoseconds(0));
    scanner.setThreads(1); // the sequential reading, which yields every few hundred lines
    scanner.StartScan();
    ASSERT_GT(linesAtStop, 0);
    ASSERT_LT(linesAtStop, 30000);
    const ScanState& state = scanner.state();
    EXPECT_EQ(state.counters.LinesScanned, linesAtStop); // the reader stops before its next line
    EXPECT_EQ(state.counters.FilesDone, 1); // only the empty third file counts as done
    EXPECT_TRUE(std::count(frontEnd.statuses.begin(), frontEnd.statuses.end(), QStringLiteral("Cancelled")) >= 2);
    EXPECT_EQ(frontEnd.completed, 0);
    EXPECT_TRUE(frontEnd.statistics.empty());
    EXPECT_FALSE(frontEnd.lastStatus().startsWith(QStringLiteral("COMPLETE")));
    EXPECT_GT(frontEnd.rows.size(), 0u); // the rows show what was read before the stop
}

TEST_F(Driver, ASecondScanStartsClean)
{
    addFile(QStringLiteral("a.log"), combinedLine("/p", "http://one.example/"));
    Scanner scanner(frontEnd, settings);
    scanner.StartScan();
    scanner.StartScan();
    EXPECT_EQ(scanner.state().counters.LinksFound, 1);
    EXPECT_EQ(scanner.state().counters.FilesDone, 1);
    EXPECT_EQ(frontEnd.rows.size(), 1u);
    EXPECT_EQ(frontEnd.clears, 2);
}

TEST_F(Driver, AStartWhileScanningIsIgnored)
{
    std::string log;
    for (int i = 0; i < 20000; ++i)
        log += combinedLine("/p", "http://one.example/");
    addFile(QStringLiteral("a.log"), log);
    Scanner scanner(frontEnd, settings);
    bool nestedStarted = true;
    frontEnd.onYield = [&] {
        if (scanner.running())
            nestedStarted = scanner.StartScan();
    };
    scanner.StartScan();
    EXPECT_FALSE(nestedStarted);
    EXPECT_EQ(scanner.state().counters.LinesScanned, 20000);
}

TEST_F(Driver, BadInputIsReadSafelyAndNothingIsLost)
{
    // Binary noise with NUL bytes and invalid UTF-8 around a referrer line.
    std::string binary(4096, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 7919) % 256);
    // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict, wrongly) inside
    // libstdc++ about a chain of string concatenations here.
    binary += '\n';
    binary += combinedLine("/\xff\xfe", "http://bin.example/\xc3\x28");
    binary.append("\0\0\0", 3);
    addFile(QStringLiteral("binary.log"), binary);
    // A 50 MB line holding an address at its end.
    std::string huge(50u << 20, 'x');
    huge += " http://huge.example/\n";
    addFile(QStringLiteral("huge.log"), huge);
    // Listed, then deleted before the scan reaches it.
    frontEnd.files.push_back({QStringLiteral("deleted.log"), true});
    // A named pipe: skipped, never waited on.
    ASSERT_EQ(::mkfifo(dir.filePath(QStringLiteral("pipe")).toLocal8Bit().constData(), 0600), 0);
    frontEnd.files.push_back({QStringLiteral("pipe"), true});
    // A folder where a file was listed: cannot be read as a log.
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    frontEnd.files.push_back({QStringLiteral("folder"), true});

    Scanner scanner(frontEnd, settings);
    scanner.StartScan();
    const ScanState& state = scanner.state();
    EXPECT_EQ(state.counters.FilesDone, 2);
    EXPECT_EQ(state.counters.LinksFound, 2);
    bool sawBin = false, sawHuge = false;
    for (std::size_t i = 0; i < frontEnd.rows.size(); ++i) {
        sawBin |= Str(frontEnd.rows.row(i).referrer) == "http://bin.example/\xc3\x28";
        sawHuge |= Str(frontEnd.rows.row(i).referrer) == "http://huge.example/";
    }
    EXPECT_TRUE(sawBin); // bytes kept as read
    EXPECT_TRUE(sawHuge);
    EXPECT_TRUE(frontEnd.unreadable.empty());
}

TEST_F(Driver, AFileThatFailsWhileBeingReadIsReportedAndNotCounted)
{
    // The process's own memory file is an ordinary file whose first read fails.
    frontEnd.folder = QStringLiteral("/proc/self");
    frontEnd.files = {{QStringLiteral("mem"), true}};
    Scanner scanner(frontEnd, settings);
    scanner.StartScan();
    EXPECT_EQ(scanner.state().counters.FilesDone, 0);
    ASSERT_EQ(frontEnd.unreadable.size(), 1u);
    EXPECT_EQ(frontEnd.unreadable[0].first, QStringLiteral("/proc/self/mem"));
    EXPECT_FALSE(frontEnd.unreadable[0].second.isEmpty());
    EXPECT_EQ(frontEnd.completed, 1); // the scan itself still completes
}

TEST_F(Driver, AFileThatCannotBeOpenedIsReportedAndNotCounted)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "file modes do not deny reads to root";
    addFile(QStringLiteral("locked.log"), combinedLine("/p", "http://one.example/"));
    ::chmod(dir.filePath(QStringLiteral("locked.log")).toLocal8Bit().constData(), 0);
    addFile(QStringLiteral("ok.log"), combinedLine("/p", "http://two.example/"));
    Scanner scanner(frontEnd, settings);
    scanner.StartScan();
    EXPECT_EQ(scanner.state().counters.FilesDone, 1);
    ASSERT_EQ(frontEnd.unreadable.size(), 1u);
    EXPECT_TRUE(frontEnd.unreadable[0].first.endsWith(QStringLiteral("locked.log")));
}

TEST_F(Driver, ADamagedCompressedLogKeepsItsLinesAndIsReported)
{
    // gzip of two referrer lines, cut short inside its data.
    QProcess gzip;
    gzip.start(QStringLiteral("gzip"), {QStringLiteral("-n"), QStringLiteral("-c")});
    ASSERT_TRUE(gzip.waitForStarted());
    std::string plain;
    for (int i = 0; i < 2000; ++i)
        plain += combinedLine("/p" + std::to_string(i), "http://z" + std::to_string(i) + ".example/");
    gzip.write(plain.data(), qint64(plain.size()));
    gzip.closeWriteChannel();
    ASSERT_TRUE(gzip.waitForFinished());
    const QByteArray packed = gzip.readAllStandardOutput();
    addFile(QStringLiteral("whole.log.gz"), packed.toStdString());
    addFile(QStringLiteral("cut.log.gz"), packed.left(packed.size() / 2).toStdString());
    settings.bRemoveDupes = false;
    Scanner scanner(frontEnd, settings);
    scanner.StartScan();
    const ScanState& state = scanner.state();
    EXPECT_EQ(state.counters.FilesDone, 1);
    EXPECT_GT(state.counters.LinksFound, 2000);
    EXPECT_LT(state.counters.LinksFound, 4000);
    EXPECT_EQ(state.counters.LinksFound, std::int32_t(state.lists.size()));
    ASSERT_EQ(frontEnd.unreadable.size(), 1u);
    EXPECT_TRUE(frontEnd.unreadable[0].first.endsWith(QStringLiteral("cut.log.gz")));
}

TEST(DriverSample, TheRealCombinedLog)
{
    const QFileInfo sample(QStringLiteral(BACKTRAIL_SAMPLE_LOG));
    if (!sample.isFile())
        GTEST_SKIP() << "the real Apache sample is not beside the project: " << sample.filePath().toStdString();
    // With https on (the default) and off: the https:// referrers are the difference.
    for (const bool https : {true, false}) {
        SCOPED_TRACE(https ? "https on" : "https off");
        FakeFrontEnd frontEnd;
        frontEnd.folder = sample.absolutePath();
        frontEnd.files.push_back({sample.fileName(), true});
        ScanSettings settings;
        settings.strYourWebsite = QStringLiteral("semicomplete.com");
        settings.bHttps = https;
        Scanner scanner(frontEnd, settings);
        scanner.StartScan();
        const ScanState& state = scanner.state();
        EXPECT_EQ(state.counters.LinesScanned, 10000);
        // Lines whose referrer field (or, failing that, user agent) holds an
        // http:// (or https://) address that is not the site's.
        EXPECT_EQ(state.counters.LinksFound, https ? 2872 : 2604);
        EXPECT_EQ(std::int64_t(state.counters.LinksFound) - state.DuplicatesRemoved,
                  std::int64_t(frontEnd.rows.size()));
        std::size_t bots = 0;
        std::size_t secure = 0;
        for (std::size_t i = 0; i < frontEnd.rows.size(); ++i) {
            const auto row = frontEnd.rows.row(i);
            const bool isHttps = row.referrer.substr(0, 8) == "https://";
            EXPECT_TRUE(row.referrer.substr(0, 7) == "http://" || (https && isHttps));
            EXPECT_EQ(row.referrer.find('"'), std::string_view::npos);
            bots += row.type == "BOT";
            secure += isHttps;
        }
        EXPECT_GT(bots, 0u);
        EXPECT_EQ(secure > 0, https);
        // The first referrer line: Google's redirect, the site's address percent-encoded in its query.
        EXPECT_EQ(Str(frontEnd.rows.row(0).referrer).rfind("http://www.google.ro/url?", 0), 0u);
        EXPECT_NE(Str(frontEnd.rows.row(0).referrer).find("url=http%3A%2F%2Fwww.semicomplete.com"), std::string::npos);
    }
}

} // namespace

namespace {

std::string gzipBytes(const std::string& plain)
{
    QProcess gzip;
    gzip.start(QStringLiteral("gzip"), {QStringLiteral("-n"), QStringLiteral("-c")});
    gzip.waitForStarted();
    gzip.write(plain.data(), qint64(plain.size()));
    gzip.closeWriteChannel();
    gzip.waitForFinished();
    return gzip.readAllStandardOutput().toStdString();
}

std::vector<std::string> rowTexts(const ResultTable& rows)
{
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ResultRow row = rows.row(i);
        texts.push_back(Str(row.type) + "|" + Str(row.clicks) + "|" + Str(row.referrer) + "|" + Str(row.landing));
    }
    return texts;
}

TEST_F(Driver, CompressedLogsGiveTheSameRowsAsTheirText)
{
    std::string first, second;
    for (int i = 0; i < 300; ++i) {
        first += combinedLine("/a" + std::to_string(i % 7) + ".pdf", "http://r" + std::to_string(i % 13) + ".example/");
        second += combinedLine("/b.gif", "https://s" + std::to_string(i % 5) + ".example/");
    }
    // CR LF line ends inside the compressed stream.
    std::string crlf;
    for (const char c : second)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    settings.bHttps = true;

    addFile(QStringLiteral("1.log"), first);
    addFile(QStringLiteral("2.log"), crlf);
    Scanner plainScanner(frontEnd, settings);
    plainScanner.StartScan();
    const std::vector<std::string> expected = rowTexts(frontEnd.rows);
    const std::int32_t lines = plainScanner.state().counters.LinesScanned;

    // One member per file, then both as two members of one rotated file, mixed with plain text.
    frontEnd.files.clear();
    addFile(QStringLiteral("1.log.gz"), gzipBytes(first));
    addFile(QStringLiteral("2.log"), crlf);
    Scanner mixed(frontEnd, settings);
    mixed.StartScan();
    EXPECT_EQ(rowTexts(frontEnd.rows), expected);
    EXPECT_EQ(mixed.state().counters.LinesScanned, lines);

    frontEnd.files.clear();
    addFile(QStringLiteral("both.log.2.gz"), gzipBytes(first) + gzipBytes(crlf));
    Scanner members(frontEnd, settings);
    members.StartScan();
    EXPECT_EQ(rowTexts(frontEnd.rows), expected);
    EXPECT_EQ(members.state().counters.LinesScanned, lines);
    EXPECT_EQ(members.state().counters.FilesDone, 1);
    // The bar of a compressed file counts its compressed bytes: all of them at its end.
    const double bytes = double(QFileInfo(dir.filePath(QStringLiteral("both.log.2.gz"))).size());
    EXPECT_TRUE(std::count(frontEnd.progress.begin(), frontEnd.progress.end(), std::make_pair(bytes, bytes + 1.01)));
}

TEST_F(Driver, LandingPagesOfCombinedCommonW3cAndOtherLines)
{
    settings.bRemoveDupes = false;
    addFile(QStringLiteral("mixed.log"),
            combinedLine("/combined.html", "http://a.example/") +
                // A common-format line with an address appended unquoted: it has no
                // referrer field, so no referrer.
                "10.0.0.2 - - [x] \"POST /common?id=1 HTTP/1.0\" 200 1 http://b.example/\n"
                "#Fields: date time cs-uri-stem cs-uri-query cs(Referer)\n"
                "2024-01-01 10:00:00 /w3c.asp id=2 http://c.example/\n"
                "2024-01-01 10:00:01 /plain.asp - http://d.example/\n"
                "#Fields: date cs-uri-stem cs(Referer)\n"
                "2024-01-01 /changed.htm http://e.example/\n"
                "2024-01-01 /short http://f.example/ extra-field\n"
                "something http://g.example/\n");
    Scanner scanner(frontEnd, settings);
    scanner.StartScan();
    std::vector<std::string> landings;
    for (std::size_t i = 0; i < frontEnd.rows.size(); ++i)
        landings.push_back(Str(frontEnd.rows.row(i).landing));
    EXPECT_EQ(landings,
              (std::vector<std::string> {"/combined.html", "/w3c.asp?id=2", "/plain.asp", "/changed.htm", "", ""}));
}

} // namespace
