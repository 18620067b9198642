// Scans whose files change under them, and files far larger or more numerous
// than usual: the scan must neither crash nor lose count of what it read.
#include "DriverFixture.h"

#include "engine/input/FileRoutines.h"
#include "engine/input/LineScanner.h"
#include "engine/scan/ScanDriver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

using namespace backtrail::engine;
using backtrail::testing::combinedLine;
using backtrail::testing::Driver;
using backtrail::testing::ScanInconsistency;
using backtrail::testing::Str;

namespace {

// Appends bytes to a file in one write, as a web server appends a log line.
void appendBytes(const QString& path, const std::string& bytes)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    ::close(fd);
}

std::string referrerLines(int first, int count)
{
    std::string lines;
    for (int i = first; i < first + count; ++i)
        lines += combinedLine("/p", "http://g" + std::to_string(i % 97) + ".example/");
    return lines;
}

bool hasReferrer(const ResultTable& rows, std::string_view referrer)
{
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows.row(i).referrer == referrer)
            return true;
    return false;
}

TEST_F(Driver, ALogThatGrowsWhileItIsReadIsReadToItsNewEnd)
{
    const QString path = dir.filePath(QStringLiteral("growing.log"));
    addFile(QStringLiteral("growing.log"), referrerLines(0, 2000));
    int lines = 2000;
    Scanner scanner(frontEnd, settings);
    scanner.setYieldInterval(std::chrono::nanoseconds(0));
    scanner.setThreads(1); // the sequential reading, which yields every few hundred lines
    // Each of the first 40 yields appends 600 more lines (more than the reader
    // reads between two yields), some with a new referrer.
    frontEnd.onYield = [&] {
        if (frontEnd.yields > 40)
            return;
        appendBytes(path,
                    referrerLines(lines, 599)
                        + combinedLine("/new", "http://late" + std::to_string(lines) + ".example/"));
        lines += 600;
    };
    scanner.StartScan();
    const ScanState& state = scanner.state();
    ASSERT_GT(frontEnd.yields, 40) << "the scan yielded too seldom to grow the file";
    EXPECT_EQ(state.counters.LinesScanned, lines);
    EXPECT_EQ(state.counters.LinksFound, lines);
    EXPECT_EQ(state.counters.FilesDone, 1);
    EXPECT_EQ(ScanInconsistency(state, frontEnd.rows, true), "");
    EXPECT_TRUE(frontEnd.unreadable.empty());
    EXPECT_TRUE(hasReferrer(frontEnd.rows, "http://late" + std::to_string(lines - 600) + ".example/"));
    EXPECT_TRUE(frontEnd.lastStatus().startsWith(QStringLiteral("COMPLETE: 1 files done : %1 lines").arg(lines)));
}

TEST_F(Driver, ALogAppendedByAnotherThreadWhileItIsRead)
{
    const QString path = dir.filePath(QStringLiteral("busy.log"));
    constexpr int kInitial = 20000;
    addFile(QStringLiteral("busy.log"), referrerLines(0, kInitial));
    std::atomic<bool> scanning {false};
    std::atomic<bool> done {false};
    std::atomic<int> appended {0};
    // The writer appends whole lines, one write each, until the scan has ended.
    std::thread writer([&] {
        while (!scanning && !done)
            std::this_thread::yield();
        const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        for (int i = 0; fd >= 0 && !done && i < 200000; ++i) {
            const std::string line = combinedLine("/t", "http://thread" + std::to_string(i % 31) + ".example/");
            if (::write(fd, line.data(), line.size()) == ssize_t(line.size()))
                appended = i + 1;
        }
        if (fd >= 0)
            ::close(fd);
    });
    Scanner scanner(frontEnd, settings);
    scanner.setYieldInterval(std::chrono::nanoseconds(0));
    scanner.setThreads(1); // the sequential reading, which yields every few hundred lines
    frontEnd.onYield = [&] { scanning = true; };
    scanner.StartScan();
    done = true;
    writer.join();

    const ScanState& state = scanner.state();
    EXPECT_GE(state.counters.LinesScanned, kInitial);
    EXPECT_LE(state.counters.LinesScanned, kInitial + appended.load());
    // Every whole line holds a referrer; only a line still being written when
    // the end was reached may be cut before its address.
    EXPECT_GE(state.counters.LinksFound, state.counters.LinesScanned - 1);
    EXPECT_LE(state.counters.LinksFound, state.counters.LinesScanned);
    EXPECT_EQ(state.counters.FilesDone, 1);
    EXPECT_EQ(ScanInconsistency(state, frontEnd.rows, true), "");
    std::printf("appended %d lines while the scan read %d\n", appended.load(), state.counters.LinesScanned);
}

TEST_F(Driver, ALogTruncatedWhileItIsReadEndsThereAndTheNextFileIsRead)
{
    constexpr int kLines = 30000; // about 3.6 MB: several read blocks
    const QString path = dir.filePath(QStringLiteral("rotated.log"));
    addFile(QStringLiteral("rotated.log"), referrerLines(0, kLines));
    addFile(QStringLiteral("next.log"), combinedLine("/n", "http://next.example/"));
    Scanner scanner(frontEnd, settings);
    scanner.setYieldInterval(std::chrono::nanoseconds(0));
    scanner.setThreads(1); // the sequential reading, which yields every few hundred lines
    // Log rotation by copy and truncate: the file is emptied at the first yield after reading began.
    bool truncated = false;
    frontEnd.onYield = [&] {
        if (!truncated && scanner.state().counters.LinesScanned > 0) {
            truncated = true;
            ASSERT_TRUE(QFile::resize(path, 0));
        }
    };
    scanner.StartScan();
    ASSERT_TRUE(truncated);
    const ScanState& state = scanner.state();
    // What was read before the truncation (the block in hand) is kept and counted.
    EXPECT_GT(state.counters.LinesScanned, 512);
    EXPECT_LT(state.counters.LinesScanned, kLines);
    // One referrer line per line, except the unfinished last line of the block in hand,
    // which is cut short and may end before its address.
    const int ownLinks = state.counters.LinksFound - 1; // next.log's one link
    EXPECT_GE(ownLinks, state.counters.LinesScanned - 2);
    EXPECT_LE(ownLinks, state.counters.LinesScanned - 1);
    EXPECT_EQ(state.counters.FilesDone, 2);
    EXPECT_TRUE(hasReferrer(frontEnd.rows, "http://next.example/"));
    EXPECT_EQ(ScanInconsistency(state, frontEnd.rows, true), "");
    EXPECT_TRUE(frontEnd.unreadable.empty());
    EXPECT_EQ(frontEnd.completed, 1);
}

TEST_F(Driver, ALogTruncatedWhileItsLinesAreCountedIsReadAsItIsNow)
{
    // A file larger than one counting block, cut to its first 100 lines after the first block.
    const std::string lines = referrerLines(0, 12000);
    const QString path = dir.filePath(QStringLiteral("cut.log"));
    addFile(QStringLiteral("cut.log"), lines);
    const std::string kept = referrerLines(0, 100);
    Scanner scanner(frontEnd, settings);
    scanner.setYieldInterval(std::chrono::nanoseconds(0));
    scanner.setThreads(1); // the sequential reading, which yields every few hundred lines
    bool truncated = false;
    frontEnd.onYield = [&] {
        if (!truncated) {
            truncated = true;
            ASSERT_TRUE(QFile::resize(path, qint64(kept.size())));
        }
    };
    scanner.StartScan();
    ASSERT_TRUE(truncated);
    EXPECT_EQ(scanner.state().counters.LinesScanned, 100);
    EXPECT_EQ(scanner.state().counters.LinksFound, 100);
    EXPECT_EQ(ScanInconsistency(scanner.state(), frontEnd.rows, true), "");
    // The bar's range came from the longer file: it never passes its maximum.
    for (const auto& [value, maximum] : frontEnd.progress)
        EXPECT_LE(value, maximum);
}

TEST_F(Driver, TenThousandFilesInOneFolder)
{
    constexpr int kFiles = 10000;
    for (int i = 0; i < kFiles; ++i) {
        const QString name = QStringLiteral("access-%1.log").arg(i, 5, 10, QLatin1Char('0'));
        backtrail::testing::WriteBytes(dir.filePath(name),
                                       combinedLine("/p", "http://f" + std::to_string(i % 100) + ".example/"));
    }
    const auto listed = std::chrono::steady_clock::now();
    const QStringList names = ListLogFiles(dir.path());
    ASSERT_EQ(names.size(), kFiles);
    EXPECT_EQ(names.front(), QStringLiteral("access-00000.log"));
    EXPECT_EQ(names.back(), QStringLiteral("access-09999.log"));
    for (const QString& name : names)
        frontEnd.files.push_back({name, true});
    settings.bDisplayStats = false;
    Scanner scanner(frontEnd, settings);
    const auto started = std::chrono::steady_clock::now();
    scanner.StartScan();
    const auto ended = std::chrono::steady_clock::now();
    const ScanState& state = scanner.state();
    EXPECT_EQ(state.counters.FilesDone, kFiles);
    EXPECT_EQ(state.counters.LinesScanned, kFiles);
    EXPECT_EQ(state.counters.LinksFound, kFiles);
    EXPECT_EQ(frontEnd.rows.size(), 100u);
    EXPECT_EQ(ScanInconsistency(state, frontEnd.rows, true), "");
    // Each file is announced once as it is finished.
    EXPECT_EQ(std::count_if(frontEnd.statuses.begin(), frontEnd.statuses.end(),
                            [](const QString& s) { return s.startsWith(QStringLiteral("Finished ")); }),
              kFiles);
    using ms = std::chrono::milliseconds;
    std::printf("listing %d files: %lld ms, scanning them: %lld ms\n", kFiles,
                static_cast<long long>(std::chrono::duration_cast<ms>(started - listed).count()),
                static_cast<long long>(std::chrono::duration_cast<ms>(ended - started).count()));
}

// Hands out `nulBytes` NUL bytes, then a line end and one referrer line, and
// counts the reads and their sizes.
class NulRunSource final : public LogSource
{
public:
    explicit NulRunSource(std::int64_t nulBytes)
        : LogSource(-1)
        , left(nulBytes)
    {
    }
    std::int64_t read(char* buffer, std::size_t size) override
    {
        ++reads;
        largestRequest = std::max(largestRequest, size);
        if (left > 0) {
            const std::size_t n = std::size_t(std::min<std::int64_t>(left, std::int64_t(size)));
            std::memset(buffer, 0, n);
            left -= std::int64_t(n);
            return std::int64_t(n);
        }
        const std::size_t n = std::min(tail.size() - tailAt, size);
        std::memcpy(buffer, tail.data() + tailAt, n);
        tailAt += n;
        return std::int64_t(n);
    }
    bool compressed() const override { return false; }

    int reads = 0;
    std::size_t largestRequest = 0;

private:
    std::int64_t left;
    std::string tail = "\nhttp://after.example/ GET /\n";
    std::size_t tailAt = 0;
};

TEST(LongNulRun, IsOneCappedLineReadInBoundedBlocks)
{
    // 640 MiB of NUL bytes: the reader keeps 64 MiB of it as one line, skips
    // the rest without growing its buffer past the cap, and reads each byte
    // once: the reads are the growth steps up to the cap plus one per 64 MiB
    // after it, so the work stays linear in the run's length.
    constexpr std::int64_t kRun = std::int64_t(640) << 20;
    NulRunSource source(kRun);
    LineScanner lineScanner;
    std::vector<std::size_t> lengths;
    std::string last;
    ASSERT_TRUE(lineScanner.run(source, [&](std::string_view line, const LineMarks&) {
        lengths.push_back(line.size());
        last.assign(line.substr(0, 64));
        return true;
    }));
    ASSERT_EQ(lengths.size(), 2u);
    EXPECT_EQ(lengths[0], kMaxLineBytes);
    EXPECT_EQ(last, "http://after.example/ GET /");
    EXPECT_LE(source.largestRequest, kMaxLineBytes);
    // 1 MiB doubled up to 64 MiB is 7 steps, then 64 MiB per read, then the tail and the end.
    EXPECT_LE(source.reads, 7 + int(kRun / std::int64_t(kMaxLineBytes)) + 3);
}

// A file past 4 GiB whose middle is a hole (it reads as NUL bytes): a few lines
// at its start, then the NUL run as one over-long line, then lines beyond the
// 4 GiB offset. Sizes, offsets and counts must not wrap at 32 bits.
TEST_F(Driver, AFileLargerThanFourGigabytes)
{
    constexpr qint64 kTailOffset = (qint64(1) << 32) + 4093;
    const QString path = dir.filePath(QStringLiteral("huge.log"));
    const std::string head = referrerLines(0, 3) + combinedLine("/start", "http://before.example/");
    std::string tail = "\n";
    for (int i = 0; i < 5; ++i)
        tail += combinedLine("/end", "http://after" + std::to_string(i) + ".example/");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(head.data(), qint64(head.size())), qint64(head.size()));
        if (!file.seek(kTailOffset) || file.write(tail.data(), qint64(tail.size())) != qint64(tail.size())) {
            file.remove();
            GTEST_SKIP() << "this file system cannot hold a file past 4 GiB";
        }
    }
    const qint64 size = QFileInfo(path).size();
    ASSERT_EQ(size, kTailOffset + qint64(tail.size()));
    // The head's 4 lines, the NUL run up to the tail's first LF, the tail's 5 lines.
    constexpr std::int64_t kLines = 4 + 1 + 5;
    const auto started = std::chrono::steady_clock::now();

    // The reader hands out the NUL run as one line of kMaxLineBytes and skips the rest.
    {
        QString error;
        const std::unique_ptr<LogSource> source = LogSource::open(path, &error);
        ASSERT_TRUE(source) << error.toStdString();
        LineScanner lineScanner;
        std::vector<std::size_t> lengths;
        ASSERT_TRUE(lineScanner.run(*source, [&](std::string_view line, const LineMarks&) {
            lengths.push_back(line.size());
            return true;
        }));
        ASSERT_EQ(lengths.size(), std::size_t(kLines));
        EXPECT_EQ(lengths[4], kMaxLineBytes);
        EXPECT_EQ(source->fileBytesRead(), size);
    }
    const auto readEnd = std::chrono::steady_clock::now();

    frontEnd.files.push_back({QStringLiteral("huge.log"), true});
    settings.bDisplayStats = false;
    Scanner scanner(frontEnd, settings);
    scanner.StartScan();
    const auto scanEnd = std::chrono::steady_clock::now();
    const ScanState& state = scanner.state();
    EXPECT_EQ(state.counters.LinesScanned, kLines);
    EXPECT_EQ(state.counters.LinksFound, 9);
    EXPECT_EQ(state.counters.FilesDone, 1);
    EXPECT_EQ(ScanInconsistency(state, frontEnd.rows, true), "");
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(hasReferrer(frontEnd.rows, "http://after" + std::to_string(i) + ".example/")) << i;
    EXPECT_TRUE(hasReferrer(frontEnd.rows, "http://before.example/"));
    // The bar's range is the file's bytes, counted as they are read.
    ASSERT_FALSE(frontEnd.progress.empty());
    EXPECT_DOUBLE_EQ(frontEnd.progress.back().second, double(size) + 1.01);
    // Its highest value (duplicate removal sets it back to 0 afterwards) is every byte read.
    const auto highest = std::max_element(frontEnd.progress.begin(), frontEnd.progress.end());
    EXPECT_DOUBLE_EQ(highest->first, double(size));
    EXPECT_TRUE(frontEnd.unreadable.empty());

    using ms = std::chrono::milliseconds;
    std::printf("%lld bytes: read in %lld ms, then counted and scanned in %lld ms\n", static_cast<long long>(size),
                static_cast<long long>(std::chrono::duration_cast<ms>(readEnd - started).count()),
                static_cast<long long>(std::chrono::duration_cast<ms>(scanEnd - readEnd).count()));
}

} // namespace
