#include "TestSupport.h"

#include "engine/input/LogSource.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <random>
#include <thread>

using namespace backtrail::engine;
using backtrail::testing::WriteBytes;

namespace {

/// The text compressed by the gzip program at the given level, as one member.
std::string gzipMember(const std::string& plain, int level)
{
    return backtrail::testing::GzipMember(plain, level);
}

/// Random log text: lines of random length with address-like, binary and
/// line-end bytes, now and then a long run that compresses well.
std::string randomLog(std::mt19937& random, std::size_t size)
{
    static const char letters[] = "abcxyz019 .:/-\"[]\t\r\n\x00\xff";
    static const std::string alphabet(letters, sizeof letters - 1);
    const std::string words[]
        = {"GET /index.html HTTP/1.1", "\"http://www.example.org/page\"", "200 5123", "Mozilla/5.0 (X11; Linux)"};
    std::string text;
    while (text.size() < size) {
        switch (random() % 4) {
        case 0:
            text += words[random() % std::size(words)];
            break;
        case 1:
            text.append(random() % 2000, alphabet[random() % alphabet.size()]);
            break;
        default:
            for (std::size_t n = random() % 120; n > 0; --n)
                text += alphabet[random() % alphabet.size()];
        }
        text += random() % 3 ? "\n" : "\r\n";
    }
    text.resize(size);
    return text;
}

struct ReadResult
{
    std::string bytes;
    bool failed = false;
    QString error;
    std::int64_t fileBytes = 0;
};

/// Reads a file through LogSource in reads of random sizes, up to its end or
/// failure; half the time with as many other files open as there are cores, so
/// that a gzip file is inflated by the reader itself rather than ahead of it.
ReadResult readAll(const QString& path, std::mt19937& random)
{
    ReadResult result;
    QString error;
    std::vector<std::unique_ptr<LogSource>> others;
    if (random() % 2) {
        for (unsigned i = 0; i < std::max(1u, std::thread::hardware_concurrency()); ++i)
            others.push_back(LogSource::open(path, &error));
    }
    const std::unique_ptr<LogSource> source = LogSource::open(path, &error);
    EXPECT_TRUE(source) << error.toStdString();
    if (!source)
        return result;
    EXPECT_TRUE(source->compressed());
    std::vector<char> buffer(std::size_t(1) << 20);
    const std::size_t largest[] = {7, 4096, buffer.size()};
    const std::size_t limit = largest[random() % std::size(largest)];
    for (;;) {
        const std::int64_t got = source->read(buffer.data(), 1 + random() % limit);
        if (got < 0) {
            result.failed = true;
            break;
        }
        if (got == 0)
            break;
        result.bytes.append(buffer.data(), std::size_t(got));
    }
    // The end or the failure stays put on further reads.
    EXPECT_EQ(source->read(buffer.data(), buffer.size()), result.failed ? -1 : 0);
    result.error = source->errorText();
    result.fileBytes = source->fileBytesRead();
    return result;
}

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

TEST(GzipSource, GivesThePlainBytesOfWholeCutAndDamagedFiles)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("access.log.gz"));
    std::mt19937 random(20240611);
    int unnoticed = 0;
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // Small texts, texts around the reader's input and output block sizes, large ones.
        const std::size_t sizes[]
            = {std::size_t(random() % 300), std::size_t(random() % 300000), std::size_t(500000 + random() % 3000000)};
        const std::string plain = randomLog(random, sizes[random() % std::size(sizes)]);

        // The text in 1 to 5 members, as log rotation appends them; a member may be empty.
        std::vector<std::size_t> cuts {0, plain.size()};
        for (std::size_t n = random() % 5; n > 0; --n)
            cuts.push_back(plain.empty() ? 0 : random() % plain.size());
        std::sort(cuts.begin(), cuts.end());
        std::string packed;
        std::vector<std::size_t> memberEnds; // in packed
        std::vector<std::size_t> plainEnds; // in plain, for the same members
        for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
            packed += gzipMember(plain.substr(cuts[i], cuts[i + 1] - cuts[i]), 1 + int(random() % 9));
            memberEnds.push_back(packed.size());
            plainEnds.push_back(cuts[i + 1]);
        }

        // Whole, with or without the zero padding some tools append.
        std::string whole = packed;
        if (random() % 2)
            whole.append(1 + random() % 2000, '\0');
        WriteBytes(path, whole);
        ReadResult read = readAll(path, random);
        EXPECT_FALSE(read.failed) << read.error.toStdString();
        EXPECT_TRUE(read.bytes == plain) << "got " << read.bytes.size() << " of " << plain.size() << " bytes";
        EXPECT_EQ(read.fileBytes, std::int64_t(whole.size()));

        // Cut inside a member (past the magic bytes): every member before the cut
        // whole, then a prefix of the text, then the failure.
        std::size_t cut = 2 + random() % (packed.size() - 2);
        while (std::find(memberEnds.begin(), memberEnds.end(), cut) != memberEnds.end())
            --cut;
        WriteBytes(path, packed.substr(0, cut));
        read = readAll(path, random);
        EXPECT_TRUE(read.failed);
        EXPECT_FALSE(read.error.isEmpty());
        EXPECT_TRUE(startsWith(plain, read.bytes)) << "got " << read.bytes.size() << " bytes, not a prefix";
        const std::size_t member
            = std::size_t(std::upper_bound(memberEnds.begin(), memberEnds.end(), cut) - memberEnds.begin());
        const std::size_t wholeMembers = member == 0 ? 0 : plainEnds[member - 1];
        EXPECT_GE(read.bytes.size(), wholeMembers);
        // All that can be inflated before the cut comes out, in reads of any size.
        const ReadResult again = readAll(path, random);
        EXPECT_TRUE(again.bytes == read.bytes) << again.bytes.size() << " bytes, then " << read.bytes.size();

        // One byte changed past a member's header, in its data or its checked
        // trailer: the members before it whole, then the failure. A few such
        // changes leave a valid stream with the same text (bits that only pad
        // a block, say); the text must then come out whole.
        const std::size_t damaged = random() % memberEnds.size();
        const std::size_t memberStart = damaged == 0 ? 0 : memberEnds[damaged - 1];
        std::string broken = packed;
        const std::size_t at = memberStart + 10 + random() % (memberEnds[damaged] - memberStart - 10);
        broken[at] = char(broken[at] ^ (1 + random() % 255));
        WriteBytes(path, broken);
        read = readAll(path, random);
        if (read.failed) {
            EXPECT_FALSE(read.error.isEmpty());
            const std::string before = plain.substr(0, damaged == 0 ? 0 : plainEnds[damaged - 1]);
            EXPECT_TRUE(startsWith(read.bytes, before)) << "got " << read.bytes.size() << " of " << before.size();
        } else {
            EXPECT_TRUE(read.bytes == plain) << "byte " << at << " of member " << damaged << " changed unnoticed";
            ++unnoticed;
        }
    }
    EXPECT_LT(unnoticed, 5) << "most damage is noticed";
}

} // namespace
