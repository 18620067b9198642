#include "TestSupport.h"

#include "engine/input/FileRoutines.h"

#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace backtrail::engine;
using backtrail::testing::WriteBytes;

namespace {

TEST(xfileLines, CountsByTheLineRuleWithoutALimit)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log"));
    const std::vector<std::pair<std::string, std::int64_t>> cases = {
        {"", 0}, {"a", 1}, {"a\n", 1}, {"a\r\nb\rc\nd", 4}, {"a\n\rb", 3}, {"\r\n\r\n", 2}, {"\r", 1},
    };
    for (const auto& [bytes, lines] : cases) {
        WriteBytes(path, bytes);
        EXPECT_EQ(xfileLines(path), lines) << bytes;
    }
    // Past the old 16-bit limit, and a CR LF pair split across two read blocks.
    std::string big;
    for (int i = 0; i < 40000; ++i)
        big += "line\n";
    big.resize((std::size_t(1) << 20) - 1);
    big += "\r\nend";
    WriteBytes(path, big);
    EXPECT_EQ(xfileLines(path), std::int64_t(std::count(big.begin(), big.end(), '\n')) + 1);
    EXPECT_EQ(xfileLines(dir.filePath(QStringLiteral("missing"))), 0);
}

TEST(xfileLines, AgreesWithAPlainCountOnRandomBytes)
{
    // Bytes that differ from a LF in one bit (0x0B, 0x8A, 0x0E) next to LF, CR and NUL.
    const std::string alphabet("\n\r\n\0\x0b\x8a\x0e\xff"
                               "a",
                               9);
    auto plainCount = [](const std::string& bytes) {
        std::int64_t lines = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i)
            if (bytes[i] == '\r' || (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')))
                ++lines;
        const bool open = !bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r';
        return lines + (open ? 1 : 0);
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log"));
    std::mt19937 random(2015);
    for (int round = 0; round < 300; ++round) {
        // Mostly short files; some longer than 255 eight-byte words; now and then one past a read block.
        const std::size_t size = round % 50 == 0 ? (std::size_t(1) << 20) + random() % 5000
            : round % 3 == 0                     ? 2040 + random() % 200
                                                 : random() % 70;
        // Some files are LF-free but for one end, some almost all LF.
        const int lfShare = int(random() % 3);
        std::string bytes(size, 'a');
        for (char& c : bytes) {
            c = alphabet[random() % alphabet.size()];
            if (lfShare == 0 && c == '\n')
                c = 'a';
            else if (lfShare == 2 && random() % 4 != 0)
                c = '\n';
        }
        WriteBytes(path, bytes);
        ASSERT_EQ(xfileLines(path), plainCount(bytes)) << "round " << round << ", " << size << " bytes";
    }
}

TEST(xdirExists, OrdinaryVisibleFilesOnly)
{
    QTemporaryDir dir;
    WriteBytes(dir.filePath(QStringLiteral("access.log")), "x");
    WriteBytes(dir.filePath(QStringLiteral(".hidden")), "x");
    ASSERT_EQ(::mkfifo(dir.filePath(QStringLiteral("pipe")).toLocal8Bit().constData(), 0600), 0);
    EXPECT_TRUE(xdirExists(dir.filePath(QStringLiteral("access.log"))));
    EXPECT_FALSE(xdirExists(dir.filePath(QStringLiteral(".hidden"))));
    EXPECT_FALSE(xdirExists(dir.filePath(QStringLiteral("pipe"))));
    EXPECT_FALSE(xdirExists(dir.path()));
    EXPECT_FALSE(xdirExists(dir.filePath(QStringLiteral("missing"))));
    EXPECT_EQ(xfileLines(dir.filePath(QStringLiteral("pipe"))), 0); // never waits for a writer

    EXPECT_EQ(xfileExists(QStringLiteral("/var/log/access.log")), QStringLiteral("access.log"));
    EXPECT_EQ(xfileExists(QStringLiteral("access.log")), QStringLiteral("access.log"));
    EXPECT_EQ(xfileExists(QString()), QString());

    EXPECT_EQ(ListLogFiles(dir.path()), QStringList {QStringLiteral("access.log")});
}

TEST(ListLogFiles, SortedByNameIgnoringCase)
{
    QTemporaryDir dir;
    for (const char* name : {"b.log", "A.log", "a.log", "C.log"})
        WriteBytes(dir.filePath(QString::fromLatin1(name)), "x");
    QDir(dir.path()).mkdir(QStringLiteral("sub"));
    EXPECT_EQ(ListLogFiles(dir.path()),
              (QStringList {QStringLiteral("A.log"), QStringLiteral("a.log"), QStringLiteral("b.log"),
                            QStringLiteral("C.log")}));
}

} // namespace
