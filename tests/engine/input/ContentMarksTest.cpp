// What a look at a log finds (its last whole line, its last W3C field list,
// whether it continues content read before) against the plain answer worked
// out on the whole text, on logs of several megabytes whose long lines and
// field lists cross the blocks the look reads in.
#include "TestSupport.h"

#include "engine/base/TextHash.h"
#include "engine/input/ContentMarks.h"

#include <gtest/gtest.h>

#include <random>

using namespace backtrail::engine;
using namespace backtrail::testing;

namespace {

std::string RandomText(std::mt19937& random, std::size_t size, bool w3c)
{
    std::string text = w3c ? "#Fields: date time cs(Referer)\n" : "";
    while (text.size() < size) {
        const int kind = int(random() % 40);
        if (kind == 0)
            text += "#Fields: f" + std::to_string(random() % 1000) + " cs(Referer)\n";
        else if (kind == 1)
            text += std::string(1 + random() % 400000, char('a' + random() % 26)) + "\n"; // a long line
        else
            text += "line " + std::to_string(random()) + std::string(random() % 200, 'x') + "\n";
    }
    text.resize(size); // the last line may lack its end
    return text;
}

// The plain answers: just after the last line end (0: none), that last line,
// and the last field list that starts a line before it.
struct Plain
{
    std::int64_t end = 0;
    std::string lastLine;
    std::string fields;
};

Plain PlainLook(const std::string& text)
{
    Plain p;
    const std::size_t last = text.rfind('\n');
    if (last == std::string::npos)
        return p;
    p.end = std::int64_t(last + 1);
    const std::size_t before = last == 0 ? std::string::npos : text.rfind('\n', last - 1);
    const std::size_t start = before == std::string::npos ? 0 : before + 1;
    p.lastLine = text.substr(start, last + 1 - start);
    for (std::size_t at = 0; at < last; at = text.find('\n', at) + 1) {
        if (text.compare(at, 8, "#Fields:") == 0)
            p.fields = text.substr(at, text.find('\n', at) + 1 - at);
    }
    return p;
}

TEST(ContentMarks, LookFindsWhatThePlainAnswerFinds)
{
    std::mt19937 random(17);
    QTemporaryDir dir;
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        const bool w3c = round % 3 == 0;
        const bool gzip = round % 4 == 1;
        const std::string whole = RandomText(random, 100 + random() % (std::size_t(5) << 20), w3c);
        // What was read before: the text up to a line end somewhere.
        const Plain all = PlainLook(whole);
        std::size_t cut = all.end > 0 ? std::size_t(random() % std::uint64_t(all.end)) : 0;
        cut = whole.rfind('\n', cut);
        const std::string earlier = cut == std::string::npos ? std::string() : whole.substr(0, cut + 1);
        const QString path = dir.filePath(QStringLiteral("r%1.log").arg(round));
        auto put = [&](const std::string& text) { WriteBytes(path, gzip ? GzipMember(text, 1) : text); };

        ReadPlan first;
        QString error;
        put(earlier);
        ASSERT_TRUE(PlanRead(path, {}, first, &error)) << error.toStdString();
        const Plain before = PlainLook(earlier);
        if (before.end == 0) {
            EXPECT_EQ(first.finding, ReadFinding::NoLine);
            continue;
        }
        EXPECT_EQ(first.finding, ReadFinding::New);
        EXPECT_EQ(first.range.begin, 0);
        EXPECT_EQ(first.range.end, before.end);
        EXPECT_EQ(first.mark.readBytes, before.end);
        EXPECT_EQ(first.mark.lastLineBytes, std::int64_t(before.lastLine.size()));
        EXPECT_EQ(first.mark.lastLineHash, TextHash(before.lastLine));
        EXPECT_EQ(first.mark.fields, before.fields);

        // Grown: read on from where it was read, by the field names in force there.
        put(whole);
        ReadPlan next;
        ASSERT_TRUE(PlanRead(path, {first.mark}, next, &error)) << error.toStdString();
        EXPECT_EQ(next.finding, ReadFinding::Known);
        EXPECT_EQ(next.range.begin, before.end);
        EXPECT_EQ(next.range.end, all.end);
        EXPECT_EQ(next.range.prefix, before.fields);
        EXPECT_EQ(next.mark.readBytes, all.end);
        EXPECT_EQ(next.mark.lastLineHash, TextHash(all.lastLine));
        EXPECT_EQ(next.mark.fields, all.fields);

        // Written anew past its head: the last line read is not where it was.
        if (before.end > kHeadBytes + 2) {
            std::string changed = whole;
            changed[std::size_t(before.end) - 2] ^= 1;
            put(changed);
            ReadPlan again;
            ASSERT_TRUE(PlanRead(path, {first.mark}, again, &error));
            EXPECT_EQ(again.finding, ReadFinding::Rewritten);
        }
    }
}

} // namespace
