#include "ScanCommand.h"
#include "../engine/PlainLineFields.h"

#include "engine/base/Settings.h"
#include "engine/results/SavedResults.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <random>
#include <sstream>
#include <sys/stat.h>

using namespace backtrail;

namespace {

struct Outcome
{
    int status;
    std::string out;
    std::string err;
};

class ScanCommand : public ::testing::Test
{
protected:
    Outcome run(QStringList arguments)
    {
        std::ostringstream out, err;
        const int status = cli::RunScanCommand(arguments, store, {out, err, false});
        return {status, out.str(), err.str()};
    }
    QString write(const QString& name, const std::string& bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.data(), qint64(bytes.size()));
        return path;
    }
    static QJsonObject json(const std::string& text)
    {
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        return doc.object();
    }

    QTemporaryDir dir;
    engine::IniSettingsStore store {dir.filePath(QStringLiteral("settings/Backtrail.ini"))};
};

// Lines and referrer lines of a log counted the plain way: a line with an
// address none of whose addresses is the own site's.
std::pair<int, int> PlainCounts(const QString& path, const QString& domain)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const std::string own = domain.toStdString();
    int lines = 0, links = 0;
    for (const QByteArray& line : bytes.split('\n')) {
        ++lines;
        std::string text = line.toStdString();
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        links += backtrail::testing::PlainFieldReferrer(text, {}, own, true).found;
    }
    if (bytes.endsWith('\n'))
        --lines; // the empty text after the last line end is no line
    return {lines, links};
}

// What the JSON of a scan of one sample log must say, whatever the sample.
void CheckJsonOfSample(const QJsonObject& o, const QString& path, const QString& domain)
{
    const auto [lines, links] = PlainCounts(path, domain);
    EXPECT_EQ(o[QStringLiteral("files_done")].toInt(), 1);
    EXPECT_EQ(o[QStringLiteral("lines_scanned")].toInt(), lines);
    EXPECT_EQ(o[QStringLiteral("links_found")].toInt(), links);
    const int removed = o[QStringLiteral("duplicates_removed")].toInt();
    const QJsonArray rows = o[QStringLiteral("rows")].toArray();
    EXPECT_GT(rows.size(), 0);
    EXPECT_EQ(o[QStringLiteral("unique_links")].toInt(), links - removed);
    EXPECT_EQ(rows.size(), links - removed);
    EXPECT_TRUE(o[QStringLiteral("status")].toString().startsWith(QStringLiteral("COMPLETE: 1 files done")));
    EXPECT_TRUE(o[QStringLiteral("unreadable")].toArray().isEmpty());
    int clicks = 0;
    for (const auto& value : rows) {
        const QJsonObject row = value.toObject();
        EXPECT_EQ(row[QStringLiteral("clicks")].toString().size(), 7);
        clicks += row[QStringLiteral("clicks")].toString().toInt();
        EXPECT_TRUE(row[QStringLiteral("referrer")].toString().contains(QStringLiteral("://")));
    }
    EXPECT_EQ(clicks, links); // every referrer line is a click of one row
}

TEST_F(ScanCommand, JsonOfTheBundledSampleLog)
{
    const QString sample = QStringLiteral(BACKTRAIL_BUNDLED_SAMPLE_LOG);
    const Outcome r = run({QStringLiteral("--domain"), QStringLiteral("www.example.org"), QStringLiteral("--format"),
                           QStringLiteral("json"), sample});
    ASSERT_EQ(r.status, 0) << r.err;
    CheckJsonOfSample(json(r.out), sample, QStringLiteral("www.example.org"));
    EXPECT_NE(r.err.find("COMPLETE: "), std::string::npos); // the completion text on stderr
}

TEST_F(ScanCommand, JsonOfTheSampleLog)
{
    const QString sample = QStringLiteral(BACKTRAIL_SAMPLE_LOG);
    if (!QFile::exists(sample))
        GTEST_SKIP() << "the real Apache sample is not beside the project: " << sample.toStdString();
    const Outcome r = run({QStringLiteral("--domain"), QStringLiteral("semicomplete.com"), QStringLiteral("--format"),
                           QStringLiteral("json"), sample});
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonObject o = json(r.out);
    CheckJsonOfSample(o, sample, QStringLiteral("semicomplete.com"));
    EXPECT_EQ(o[QStringLiteral("lines_scanned")].toInt(), 10000);
    EXPECT_EQ(o[QStringLiteral("links_found")].toInt(), 2872); // https:// referrers included by default
    const QJsonObject first = o[QStringLiteral("rows")].toArray()[0].toObject();
    EXPECT_TRUE(first[QStringLiteral("referrer")].toString().startsWith(QStringLiteral("http://www.google.ro/url?")));
    EXPECT_EQ(first[QStringLiteral("type")].toString(), QStringLiteral("HTM"));

    // People's clicks: Google's redirect addresses carry the site's address in
    // their query (percent-encoded, and four written out), and are Google's
    // clicks all the same.
    const Outcome people
        = run({QStringLiteral("--domain"), QStringLiteral("semicomplete.com"), QStringLiteral("--no-bots"),
               QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--quiet"), sample});
    ASSERT_EQ(people.status, 0) << people.err;
    const QJsonObject p = json(people.out);
    EXPECT_EQ(p[QStringLiteral("links_found")].toInt(), 882);
    int google = 0;
    for (const auto& row : p[QStringLiteral("rows")].toArray()) {
        const QUrl address(row.toObject()[QStringLiteral("referrer")].toString());
        if (address.host() == QStringLiteral("www.google.com"))
            google += row.toObject()[QStringLiteral("clicks")].toString().toInt();
    }
    EXPECT_EQ(google, 227);
}

// Where the visitors of the real sample come from, grouped by source: the
// totals a site owner reads first.
TEST_F(ScanCommand, SourcesOfTheSampleLog)
{
    const QString sample = QStringLiteral(BACKTRAIL_SAMPLE_LOG);
    if (!QFile::exists(sample))
        GTEST_SKIP() << "the real Apache sample is not beside the project: " << sample.toStdString();
    const Outcome r = run({QStringLiteral("--domain"), QStringLiteral("semicomplete.com"), QStringLiteral("--types"),
                           QStringLiteral("--by-source"), QStringLiteral("--details"), QStringLiteral("--format"),
                           QStringLiteral("json"), QStringLiteral("--quiet"), sample});
    ASSERT_EQ(r.status, 0) << r.err;
    std::map<std::string, int> byKind;
    std::map<std::string, int> bySource;
    int withWords = 0;
    for (const auto& value : json(r.out)[QStringLiteral("rows")].toArray()) {
        const QJsonObject row = value.toObject();
        const int clicks = row[QStringLiteral("clicks")].toString().toInt();
        const std::string kind = row[QStringLiteral("source_kind")].toString().toStdString();
        byKind[kind] += clicks;
        bySource[kind + ":" + row[QStringLiteral("source")].toString().toStdString()] += clicks;
        EXPECT_EQ(row[QStringLiteral("referrer")], row[QStringLiteral("source")]);
        EXPECT_EQ(row[QStringLiteral("type")].toString() == QStringLiteral("BOT"), kind == "crawler");
        for (const auto& words : row[QStringLiteral("keywords")].toArray())
            withWords += words.toObject()[QStringLiteral("clicks")].toInt();
    }
    EXPECT_EQ(byKind,
              (std::map<std::string, int> {{"crawler", 1990}, {"search", 586}, {"social", 37}, {"website", 259}}));
    EXPECT_EQ(bySource["crawler:search-engine"], 1069);
    EXPECT_EQ(bySource["crawler:feed-reader"], 302);
    EXPECT_EQ(bySource["crawler:seo"], 99);
    EXPECT_EQ(bySource["crawler:crawler (unknown kind)"], 481); // known only by an address in the user agent
    EXPECT_EQ(bySource["search:Google"], 553);
    EXPECT_EQ(bySource["search:DuckDuckGo"], 14);
    EXPECT_EQ(bySource["search:Google Images"], 8);
    EXPECT_EQ(bySource["social:StackOverflow"], 34);
    EXPECT_EQ(bySource["social:Twitter"], 3);
    EXPECT_GT(withWords, 0);

    // Merged results keep each crawler row's kind: grouped by source, the
    // merge prints what one scan of both files prints.
    const QString saved = dir.filePath(QStringLiteral("sample.json"));
    ASSERT_EQ(run({QStringLiteral("--domain"), QStringLiteral("semicomplete.com"), QStringLiteral("--types"),
                   QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--quiet"),
                   QStringLiteral("--output"), saved, sample})
                  .status,
              0);
    const Outcome merged = run({QStringLiteral("--merge"), QStringLiteral("--by-source"), QStringLiteral("--format"),
                                QStringLiteral("tsv"), QStringLiteral("--quiet"), saved, saved});
    const Outcome twice = run({QStringLiteral("--domain"), QStringLiteral("semicomplete.com"),
                               QStringLiteral("--types"), QStringLiteral("--by-source"), QStringLiteral("--format"),
                               QStringLiteral("tsv"), QStringLiteral("--quiet"), sample, sample});
    EXPECT_EQ(merged.out, twice.out);
    EXPECT_NE(merged.out.find("\tcrawler:feed-reader\n"), std::string::npos);

    // Lists of another folder, and a folder without them: a clear message and status 2.
    const Outcome missing = run(
        {QStringLiteral("--source-lists"), dir.filePath(QStringLiteral("none")), QStringLiteral("--quiet"), sample});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("SearchEngines.yml: "), std::string::npos) << missing.err;
    write(QStringLiteral("SearchEngines.yml"), "Find: [\n");
    write(QStringLiteral("Socials.yml"), "{}\n");
    write(QStringLiteral("AIAssistants.yml"), "{}\n");
    const Outcome malformed = run({QStringLiteral("--source-lists"), dir.path(), QStringLiteral("--quiet"), sample});
    EXPECT_EQ(malformed.status, 2);
    EXPECT_NE(malformed.err.find("SearchEngines.yml: "), std::string::npos) << malformed.err;
}

TEST_F(ScanCommand, SwitchesFormatsAndInvalidBytes)
{
    const std::string line = "1.1.1.1 - - [x] \"GET /a.gif HTTP/1.1\" 200 1 \"http://r.example/\xff<b>\" \"UA\"\n";
    const QString log = write(QStringLiteral("a.log"), line + line);
    Outcome r = run({QStringLiteral("--no-dupes"), QStringLiteral("--no-types"), QStringLiteral("--format=json"),
                     QStringLiteral("--quiet"), log});
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(r.err.empty());
    QJsonObject o = json(r.out);
    ASSERT_EQ(o[QStringLiteral("rows")].toArray().size(), 2);
    const QJsonObject row = o[QStringLiteral("rows")].toArray()[0].toObject();
    // The byte that is no UTF-8 is kept, as a lone surrogate.
    EXPECT_EQ(row[QStringLiteral("referrer")].toString(), QStringLiteral("http://r.example/") + QChar(0xDCFF) + "<b>");
    EXPECT_EQ(row[QStringLiteral("type")].toString(), QString());
    EXPECT_EQ(row[QStringLiteral("clicks")].toString(), QString());
    EXPECT_EQ(row[QStringLiteral("landing")].toString(), QStringLiteral("/a.gif"));

    r = run({QStringLiteral("--format"), QStringLiteral("html"), QStringLiteral("--quiet"), log});
    EXPECT_EQ(r.out, "<a href='http://r.example/\xff&lt;b&gt;'>0000002|http://r.example/\xff&lt;b&gt;</a><br>\r\n");

    r = run({QStringLiteral("--format"), QStringLiteral("tsv"), QStringLiteral("--quiet"), log});
    EXPECT_EQ(
        r.out,
        "type\tclicks\treferrer\tlanding\tfirst_seen\tlast_seen\tsource\nGIF\t0000002\thttp://r.example/\xEF\xBF\xBD<b>"
        "\t/a.gif\t\t\twebsite:r.example\n");

    r = run({QStringLiteral("--by-site"), QStringLiteral("--format"), QStringLiteral("tsv"), QStringLiteral("--quiet"),
             log});
    EXPECT_EQ(r.out,
              "type\tclicks\treferrer\tlanding\tfirst_seen\tlast_seen\tsource\n\t0000002\tr.example\t\t\t\twebsite:"
              "r.example\n");

    r = run({QStringLiteral("--quiet"), log});
    EXPECT_NE(r.out.find("Type  Clicks   Referrer"), std::string::npos);
    EXPECT_NE(r.out.find("GIF   0000002  http://r.example/"), std::string::npos);
}

TEST_F(ScanCommand, FoldersMissingFilesOutputFileAndUsage)
{
    const std::string line = "\"GET / HTTP/1.1\" \"http://r.example/\"\n";
    write(QStringLiteral("b.log"), line);
    write(QStringLiteral("A.log"), line);
    write(QStringLiteral(".hidden.log"), line);
    const QString output = dir.filePath(QStringLiteral("out.json"));
    Outcome r = run({QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--output"), output,
                     dir.filePath(QStringLiteral("missing.log")), dir.path()});
    EXPECT_EQ(r.status, 1); // one line on stderr for the missing file, the others scanned
    EXPECT_NE(r.err.find("missing.log: No such file or directory"), std::string::npos);
    EXPECT_TRUE(r.out.empty());
    QFile file(output);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject o = json(file.readAll().toStdString());
    EXPECT_EQ(o[QStringLiteral("files_done")].toInt(), 2); // a folder stands for its listed files
    EXPECT_EQ(o[QStringLiteral("links_found")].toInt(), 2);
    EXPECT_EQ(o[QStringLiteral("unreadable")].toArray().size(), 1);

    EXPECT_EQ(run({}).status, 2);
    EXPECT_EQ(run({QStringLiteral("--format"), QStringLiteral("xml"), dir.path()}).status, 2);
    EXPECT_EQ(run({QStringLiteral("--dupes"), QStringLiteral("--no-dupes"), dir.path()}).status, 2);
    EXPECT_EQ(run({QStringLiteral("--bogus"), dir.path()}).status, 2);
    r = run({QStringLiteral("--version")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("backtrail-scan ", 0), 0u);
    r = run({QStringLiteral("--help")});
    EXPECT_NE(r.out.find("--format"), std::string::npos);

    // An output folder that does not exist: a clear failure, nothing claimed written.
    r = run({QStringLiteral("--output"), dir.filePath(QStringLiteral("gone/out.txt")), dir.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos);
}

// A file that looks like no access log (binary bytes, or no line of a log's
// shape or with an address in its first 1,000) is named on stderr and
// scanned all the same, the exit status unchanged; a log is not named.
TEST_F(ScanCommand, AFileThatLooksLikeNoLogIsNamedAndScannedAllTheSame)
{
    std::string binary("\x7f"
                       "ELF\x02\x01\x01",
                       7);
    binary += std::string(300, '\0') + " see http://elf.example/ (x)\n";
    std::string prose;
    for (int i = 0; i < 1200; ++i)
        prose += "a line of words and nothing else\n";
    prose += "then http://late.example/ at last\n";
    const std::string log = "1.1.1.1 - - [01/Dec/2026:10:00:00 +0000] \"GET / HTTP/1.1\" 200 1 \"-\" \"Mozilla/5.0\"\n";
    const std::pair<QString, bool> files[] = {{write(QStringLiteral("ls"), binary), true},
                                              {write(QStringLiteral("notes.txt"), prose), true},
                                              {write(QStringLiteral("access.log"), log), false}};
    for (const auto& [path, named] : files) {
        const Outcome r = run({QStringLiteral("--quiet"), QStringLiteral("--format"), QStringLiteral("tsv"), path});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.find("looks like no access log") != std::string::npos, named) << r.err;
        EXPECT_EQ(r.out.find("example/") != std::string::npos, named) << r.out; // scanned all the same
    }
}

TEST_F(ScanCommand, MergedResultsPrintWhatOneScanOfAllTheFilesPrints)
{
    std::mt19937 random(4242);
    auto randomLog = [&] {
        std::string log;
        for (int i = int(random() % 300); i > 0; --i) {
            const std::string referrer = random() % 6 == 0 ? "-"
                : random() % 5 == 0                        ? "http://mine.example/x"
                : random() % 7 == 0                        ? "http://s" + std::to_string(random() % 3) + ".spam.test/"
                : random() % 9 == 0                        ? "http://latin.example/\xe9t\xe9" // bytes that are no UTF-8
                                                           : "http://r" + std::to_string(random() % 25) + ".example/";
            const char* const agents[] = {"UA (+http://bot.example/)", "Mozilla/5.0 (X11; Linux x86_64)",
                                          "Mozilla/5.0 (compatible; GPTBot/1.2)"};
            const char* const offsets[] = {"+0000", "+0200", "-0700"};
            const std::string time = random() % 8 == 0 ? "[x]"
                                                       : "[0" + std::to_string(1 + random() % 4) + "/Dec/2026:1"
                    + std::to_string(random() % 3) + ":00:00 " + offsets[random() % 3] + "]";
            log += "1.1.1.1 - - " + time + " \"GET /p" + std::to_string(random() % 4)
                + (random() % 3 ? ".html" : ".jpg") + " HTTP/1.1\" 200 1 \"" + referrer + "\" \"" + agents[random() % 3]
                + "\"\n";
        }
        return log;
    };
    // The user's own spam hosts, beside the settings.
    QDir(dir.path()).mkpath(QStringLiteral("settings"));
    write(QStringLiteral("settings/spam.txt"), "spam.test\n");
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        const QStringList scanArgs {QStringLiteral("--domain"),
                                    QStringLiteral("mine.example"),
                                    round % 2 ? QStringLiteral("--dupes") : QStringLiteral("--no-dupes"),
                                    round % 3 ? QStringLiteral("--types") : QStringLiteral("--no-types"),
                                    round % 4 < 2 ? QStringLiteral("--bots") : QStringLiteral("--no-bots"),
                                    round % 5 < 3 ? QStringLiteral("--spam") : QStringLiteral("--no-spam"),
                                    round % 4 == 3 ? QStringLiteral("--since=2026-12-02") : QStringLiteral("--https"),
                                    round % 5 == 4 ? QStringLiteral("--until=2026-12-03T11:00")
                                                   : QStringLiteral("--https")};
        // Details are written and merged, and asked of the merge too, or carried into it unasked.
        const QStringList detailArgs = round % 3 == 1 ? QStringList {QStringLiteral("--details")} : QStringList();
        const QStringList mergeDetailArgs = round % 2 ? QStringList() : detailArgs;
        QStringList logs;
        for (int f = 0; f < 4; ++f)
            logs << write(QStringLiteral("m%1-%2.log").arg(round).arg(f), randomLog());
        if (round % 4 == 0)
            logs.insert(1, dir.filePath(QStringLiteral("gone.log"))); // an unreadable file travels along
        auto json = [&](const QStringList& files, const QString& name) {
            const Outcome r = run(scanArgs + detailArgs
                                  + QStringList {QStringLiteral("--quiet"), QStringLiteral("--format"),
                                                 QStringLiteral("json"), QStringLiteral("--output"), dir.filePath(name)}
                                  + files);
            EXPECT_LE(r.status, 1) << r.err;
            return dir.filePath(name);
        };
        const QString a = json(logs.mid(0, 2), QStringLiteral("a.json"));
        const QString b = json(logs.mid(2, 1), QStringLiteral("b.json"));
        const QString c = json(logs.mid(3), QStringLiteral("c.json"));
        for (const QString& format : {QStringLiteral("json"), QStringLiteral("tsv"), QStringLiteral("html"),
                                      QStringLiteral("json --by-site")}) {
            const QStringList output = QStringList {QStringLiteral("--format")} + format.split(u' ');
            const Outcome whole = run(scanArgs + detailArgs + output + logs);
            ASSERT_LE(whole.status, 1) << whole.err;
            const Outcome merged
                = run(QStringList {QStringLiteral("--merge")} + mergeDetailArgs + output + QStringList {a, b, c});
            EXPECT_EQ(merged.out, whole.out) << format.toStdString();
            EXPECT_EQ(merged.err, whole.err);
            EXPECT_EQ(merged.status, whole.status);
        }
        // (a merge b) merge c and a merge (b merge c) alike.
        const QStringList mergeJson
            = QStringList {QStringLiteral("--merge"), QStringLiteral("--format"), QStringLiteral("json")} + detailArgs;
        run(mergeJson + QStringList {QStringLiteral("--output"), dir.filePath(QStringLiteral("ab.json")), a, b});
        run(mergeJson + QStringList {QStringLiteral("--output"), dir.filePath(QStringLiteral("bc.json")), b, c});
        const Outcome left = run(mergeJson + QStringList {dir.filePath(QStringLiteral("ab.json")), c});
        const Outcome right = run(mergeJson + QStringList {a, dir.filePath(QStringLiteral("bc.json"))});
        EXPECT_EQ(left.out, right.out);
        EXPECT_FALSE(left.out.empty());
    }
    // Results made with other settings, or grouped by site, are refused.
    const QString log = write(QStringLiteral("one.log"), randomLog());
    run({QStringLiteral("--https"), QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--output"),
         dir.filePath(QStringLiteral("on.json")), log});
    run({QStringLiteral("--no-https"), QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--output"),
         dir.filePath(QStringLiteral("off.json")), log});
    run({QStringLiteral("--by-site"), QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--output"),
         dir.filePath(QStringLiteral("site.json")), log});
    Outcome refused = run(
        {QStringLiteral("--merge"), dir.filePath(QStringLiteral("on.json")), dir.filePath(QStringLiteral("off.json"))});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("other settings"), std::string::npos) << refused.err;
    refused = run({QStringLiteral("--merge"), dir.filePath(QStringLiteral("site.json"))});
    EXPECT_EQ(refused.status, 2);
    refused = run({QStringLiteral("--merge"), log});
    EXPECT_EQ(refused.status, 2);
    // Lines read as another shape, and a shape that is none.
    run({QStringLiteral("--log-format=text"), QStringLiteral("--format"), QStringLiteral("json"),
         QStringLiteral("--output"), dir.filePath(QStringLiteral("text.json")), log});
    refused = run({QStringLiteral("--merge"), dir.filePath(QStringLiteral("on.json")),
                   dir.filePath(QStringLiteral("text.json"))});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("log format text"), std::string::npos) << refused.err;
    refused = run({QStringLiteral("--log-format=apache"), log});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("--log-format takes"), std::string::npos) << refused.err;
}

TEST_F(ScanCommand, CrawlersAndSpamTypedApartOrHiddenWithTheirCounts)
{
    QDir(dir.path()).mkpath(QStringLiteral("settings"));
    write(QStringLiteral("settings/spam.txt"), "Spam.Test\n");
    auto line = [](const std::string& referrer, const std::string& agent) {
        return "1.1.1.1 - - [x] \"GET /a.html HTTP/1.1\" 200 1 \"" + referrer + "\" \"" + agent + "\"\n";
    };
    const std::string browser = "Mozilla/5.0 (X11; Linux x86_64) Firefox/120.0";
    const QString log = write(QStringLiteral("visitors.log"),
                              line("http://people.example/", browser) + line("http://people.example/", browser)
                                  + line("http://people.example/", "Mozilla/5.0 (compatible; GPTBot/1.2)")
                                  + line("http://www.spam.test/", browser)
                                  + line("-", "UniversalFeedParser/4.2 +http://feedparser.org/"));
    const QStringList base {QStringLiteral("--domain"), QStringLiteral("mine.example"), QStringLiteral("--quiet"),
                            QStringLiteral("--format"), QStringLiteral("json")};
    auto types = [](const QJsonObject& o) {
        QStringList all;
        for (const auto& row : o[QStringLiteral("rows")].toArray())
            all << row.toObject()[QStringLiteral("type")].toString() + QStringLiteral(" ")
                    + row.toObject()[QStringLiteral("clicks")].toString() + QStringLiteral(" ")
                    + row.toObject()[QStringLiteral("referrer")].toString();
        return all;
    };
    Outcome r = run(base + QStringList {log});
    ASSERT_EQ(r.status, 0) << r.err;
    QJsonObject o = json(r.out);
    EXPECT_EQ(types(o),
              (QStringList {QStringLiteral("HTM 0000002 http://people.example/"),
                            QStringLiteral("BOT 0000001 http://people.example/"),
                            QStringLiteral("SPM 0000001 http://www.spam.test/"),
                            QStringLiteral("BOT 0000001 http://feedparser.org/")}));
    EXPECT_EQ(o[QStringLiteral("hidden_crawler_lines")].toInt(), 0);

    // Hidden: read and counted as scanned, no referrer lines, and the JSON says how many.
    r = run(base + QStringList {QStringLiteral("--no-bots"), QStringLiteral("--no-spam"), log});
    o = json(r.out);
    EXPECT_EQ(types(o), QStringList {QStringLiteral("HTM 0000002 http://people.example/")});
    EXPECT_EQ(o[QStringLiteral("lines_scanned")].toInt(), 5);
    EXPECT_EQ(o[QStringLiteral("links_found")].toInt(), 2);
    EXPECT_EQ(o[QStringLiteral("hidden_crawler_lines")].toInt(), 2);
    EXPECT_EQ(o[QStringLiteral("hidden_spam_lines")].toInt(), 1);
    EXPECT_TRUE(o[QStringLiteral("settings")].toObject()[QStringLiteral("hide_crawlers")].toBool());

    // Other lists: without crawler patterns only the address in the user agent tells a crawler.
    const QString noCrawlers = write(QStringLiteral("none.json"), "[]");
    const QString noSpam = write(QStringLiteral("none.txt"), "");
    r = run(base
            + QStringList {QStringLiteral("--crawler-list"), noCrawlers, QStringLiteral("--spam-list"), noSpam,
                           QStringLiteral("--by-site"), log});
    EXPECT_EQ(types(json(r.out)),
              (QStringList {QStringLiteral(" 0000003 people.example"),
                            QStringLiteral("SPM 0000001 spam.test"), // the user's own list
                            QStringLiteral("BOT 0000001 feedparser.org")}));

    EXPECT_EQ(run(base + QStringList {QStringLiteral("--bots"), QStringLiteral("--no-bots"), log}).status, 2);
    EXPECT_EQ(run(base + QStringList {QStringLiteral("--crawler-list"), dir.filePath(QStringLiteral("gone.json")), log})
                  .status,
              2);
    EXPECT_EQ(run(base + QStringList {QStringLiteral("--crawler-list"), noSpam, log}).status, 2); // no JSON list
    // A pattern that does not compile is named, not passed over.
    const QString badPattern
        = write(QStringLiteral("bad.json"), R"~([{"pattern": "Googlebot"}, {"pattern": "bot(?=x)"}, {"url": "x"}])~");
    r = run(base + QStringList {QStringLiteral("--crawler-list"), badPattern, log});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("entry 2: pattern 'bot(?=x)'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("entry 3: "), std::string::npos) << r.err;
    EXPECT_EQ(run({QStringLiteral("--merge"), QStringLiteral("--no-spam"), log}).status, 2);
}

TEST_F(ScanCommand, DateRangeEdgesTimeColumnsAndDetails)
{
    auto line = [](const std::string& time, const std::string& page) {
        return "1.1.1.1 - - [" + time + "] \"GET " + page + " HTTP/1.1\" 200 1 \"http://r.example/\" \"Mozilla/5.0\"\n";
    };
    // The first and the last second of 8 December on the server's clock, whatever its offset.
    const QString log = write(QStringLiteral("days.log"),
                              line("07/Dec/2026:23:59:59 +0000", "/a") + line("08/Dec/2026:00:00:00 -1200", "/b")
                                  + line("08/Dec/2026:23:59:59 +1400", "/b") + line("09/Dec/2026:00:00:00 +0000", "/c")
                                  + line("no time", "/d"));
    const QStringList base {QStringLiteral("--quiet"), QStringLiteral("--format"), QStringLiteral("json"),
                            QStringLiteral("--details")};
    Outcome r = run(base
                    + QStringList {QStringLiteral("--since"), QStringLiteral("2026-12-08"), QStringLiteral("--until"),
                                   QStringLiteral("2026-12-08"), log});
    ASSERT_EQ(r.status, 0) << r.err;
    QJsonObject o = json(r.out);
    EXPECT_EQ(o[QStringLiteral("lines_scanned")].toInt(), 5);
    EXPECT_EQ(o[QStringLiteral("links_found")].toInt(), 2);
    EXPECT_EQ(o[QStringLiteral("lines_outside_range")].toInt(), 3); // the day before, the day after, no time
    QJsonObject row = o[QStringLiteral("rows")].toArray()[0].toObject();
    // Compared as instants, 23:59:59 +1400 (09:59:59 UTC) comes before 00:00:00 -1200 (12:00 UTC).
    EXPECT_EQ(row[QStringLiteral("first_seen")].toString(), QStringLiteral("2026-12-08T23:59:59+14:00"));
    EXPECT_EQ(row[QStringLiteral("last_seen")].toString(), QStringLiteral("2026-12-08T00:00:00-12:00"));
    EXPECT_EQ(QJsonDocument(row[QStringLiteral("landings")].toArray()).toJson(QJsonDocument::Compact),
              QByteArray(R"([{"clicks":2,"path":"/b"}])"));
    EXPECT_EQ(QJsonDocument(row[QStringLiteral("days")].toArray()).toJson(QJsonDocument::Compact),
              QByteArray(R"([{"clicks":2,"date":"2026-12-08"}])"));

    // A date and time is that second; without a range every line counts, and a row without times has none.
    r = run(base + QStringList {QStringLiteral("--until"), QStringLiteral("2026-12-07T23:59:58"), log});
    EXPECT_EQ(json(r.out)[QStringLiteral("links_found")].toInt(), 0);
    r = run({QStringLiteral("--quiet"), QStringLiteral("--format"), QStringLiteral("tsv"), QStringLiteral("--no-dupes"),
             log});
    EXPECT_NE(r.out.find("\t/b\t2026-12-08T00:00:00-12:00\t2026-12-08T00:00:00-12:00\twebsite:"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\t/d\t\t\twebsite:"), std::string::npos) << r.out;
    r = run({QStringLiteral("--quiet"), log});
    EXPECT_NE(r.out.find("First Seen"), std::string::npos);

    for (const char* bad : {"2026-13-01", "08/Dec/2026", "2026-12-08T10", "2026-12-08Z", ""})
        EXPECT_EQ(run({QStringLiteral("--since"), QString::fromLatin1(bad), log}).status, 2) << bad;
    // An empty range is refused; one day, or one minute, is not.
    const Outcome empty = run({QStringLiteral("--since=2026-12-09"), QStringLiteral("--until=2026-12-08"), log});
    EXPECT_EQ(empty.status, 2);
    EXPECT_NE(empty.err.find("the date range is empty"), std::string::npos) << empty.err;
    EXPECT_EQ(run({QStringLiteral("--since=2026-12-08"), QStringLiteral("--until=2026-12-08"), log}).status, 0);
    EXPECT_EQ(run({QStringLiteral("--since=2026-12-08T10:00"), QStringLiteral("--until=2026-12-08T10:00"), log}).status,
              0);
    run({QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--output"),
         dir.filePath(QStringLiteral("plain.json")), log});
    EXPECT_EQ(run({QStringLiteral("--merge"), QStringLiteral("--details"), dir.filePath(QStringLiteral("plain.json"))})
                  .status,
              2);
    EXPECT_EQ(run({QStringLiteral("--merge"), QStringLiteral("--since=2026-12-08"),
                   dir.filePath(QStringLiteral("plain.json"))})
                  .status,
              2);
}

// Many rows are formatted on several threads: the output must be the one a
// single thread writes, row for row, and each row's landing pages and days
// those its lines add up to (thousands of pages and days, more than the
// writer keeps made up).
TEST_F(ScanCommand, ManyRowsPrintAlikeOnOneThreadAndOnSeveral)
{
    std::mt19937 random(5);
    std::string bytes;
    static const char* const kMonths[]
        = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // Each row's clicks per page and per date, by referrer and bot flag.
    std::map<std::pair<QString, bool>, std::pair<std::map<QString, int>, std::map<QString, int>>> want;
    for (int i = 0; i < 40000; ++i) {
        const int year = 1990 + int(random() % 40);
        const int month = 1 + int(random() % 12);
        const int day = 1 + int(random() % 28);
        const std::string page = "/p" + std::to_string(random() % 7 ? random() % 7 : random() % 9000);
        const std::string referrer = "http://r" + std::to_string(random() % 25000) + ".example/";
        const bool bot = random() % 5 == 0;
        char date[16];
        std::snprintf(date, sizeof date, "%02d/%s/%d", day, kMonths[month - 1], year);
        bytes += "1.1.1.1 - - [" + std::string(date) + ":10:00:00 +0000] \"GET " + page + " HTTP/1.1\" 200 1 \""
            + referrer + "\" \"" + (bot ? "Googlebot/2.1" : "Mozilla/5.0") + "\"\n";
        auto& [pages, days] = want[{QString::fromStdString(referrer), bot}];
        ++pages[QString::fromStdString(page)];
        ++days[QString::asprintf("%04d-%02d-%02d", year, month, day)];
    }
    const QString log = write(QStringLiteral("many.log"), bytes);
    for (const QStringList& extra : {QStringList {}, QStringList {QStringLiteral("--details")},
                                     QStringList {QStringLiteral("--details"), QStringLiteral("--by-site")}}) {
        const QStringList base
            = QStringList {QStringLiteral("--quiet"), QStringLiteral("--format"), QStringLiteral("json")} + extra;
        const Outcome one = run(base + QStringList {QStringLiteral("--threads"), QStringLiteral("1"), log});
        const Outcome several = run(base + QStringList {QStringLiteral("--threads"), QStringLiteral("3"), log});
        ASSERT_EQ(one.status, 0) << one.err;
        ASSERT_EQ(several.status, 0) << several.err;
        const QJsonObject o = json(several.out);
        if (extra.empty()) {
            EXPECT_GT(o[QStringLiteral("rows")].toArray().size(), 16384);
        }
        if (!extra.contains(QStringLiteral("--by-site"))) {
            EXPECT_EQ(o[QStringLiteral("rows")].toArray().size(), o[QStringLiteral("unique_links")].toInt());
        }
        EXPECT_TRUE(one.out == several.out) << extra.join(QLatin1Char(' ')).toStdString();
        if (extra.size() != 1)
            continue;
        std::size_t checked = 0;
        for (const auto& value : o[QStringLiteral("rows")].toArray()) {
            const QJsonObject row = value.toObject();
            const auto& [pages, days]
                = want[{row[QStringLiteral("referrer")].toString(), row[QStringLiteral("bot")].toBool()}];
            std::map<QString, int> gotPages;
            std::map<QString, int> gotDays;
            for (const auto& landing : row[QStringLiteral("landings")].toArray())
                gotPages[landing[QStringLiteral("path")].toString()] += landing[QStringLiteral("clicks")].toInt();
            for (const auto& date : row[QStringLiteral("days")].toArray())
                gotDays[date[QStringLiteral("date")].toString()] += date[QStringLiteral("clicks")].toInt();
            EXPECT_EQ(gotPages, pages) << row[QStringLiteral("referrer")].toString().toStdString();
            EXPECT_EQ(gotDays, days) << row[QStringLiteral("referrer")].toString().toStdString();
            ++checked;
        }
        EXPECT_EQ(checked, want.size());
    }
}

TEST_F(ScanCommand, ReportIsOnePageWhoseCodeItsPolicyAllowsAndWhoseDataCannotCloseItsElement)
{
    const QString log
        = write(QStringLiteral("hostile.log"),
                "1.1.1.1 - - [01/Dec/2026:10:00:00 +0000] \"GET / HTTP/1.1\" 200 1 "
                "\"http://a.example/</script><script>alert`1`</script><!--\" \"Mozilla/5.0 (X11; Linux x86_64)\"\n"
                "1.1.1.1 - - [02/Dec/2026:10:00:00 +0100] \"GET /x HTTP/1.1\" 200 1 "
                "\"http://b.example/\xff\" \"Googlebot/2.1\"\n");
    const QStringList base {QStringLiteral("--quiet"), QStringLiteral("--format"), QStringLiteral("report")};
    const Outcome one = run(base + QStringList {QStringLiteral("--threads"), QStringLiteral("1"), log});
    const Outcome several = run(base + QStringList {QStringLiteral("--threads"), QStringLiteral("3"), log});
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.out, several.out);
    const QByteArray page = QByteArray::fromStdString(one.out);

    // The page's one script and one style are what its policy allows by hash, and nothing else.
    auto between = [&](const QByteArray& open, const QByteArray& close) {
        const qsizetype from = page.indexOf(open);
        EXPECT_GE(from, 0) << open.toStdString();
        const qsizetype start = from + open.size();
        return page.mid(start, page.indexOf(close, start) - start);
    };
    auto allowed = [](const QByteArray& code) {
        return "'sha256-" + QCryptographicHash::hash(code, QCryptographicHash::Sha256).toBase64() + "'";
    };
    const QByteArray policy = between("http-equiv=\"Content-Security-Policy\" content=\"", "\"");
    EXPECT_TRUE(policy.startsWith("default-src 'none'; ")) << policy.toStdString();
    EXPECT_TRUE(policy.contains("script-src " + allowed(between("<script>", "</script>"))));
    EXPECT_TRUE(policy.contains("style-src " + allowed(between("<style>", "</style>"))));
    EXPECT_FALSE(policy.contains("unsafe"));
    EXPECT_EQ(page.count("<script"), 2);
    EXPECT_EQ(page.count("</script>"), 2);

    // The data cannot end its element, and read back it holds both referrers byte for byte.
    const QByteArray data = between("<script type=\"application/json\" id=\"data\">", "</script>");
    EXPECT_FALSE(data.contains('<'));
    const QJsonObject o = json(data.toStdString());
    // A column of numbers: each zigzag-coded, five bits a character, lowest
    // first, the characters from the 33rd on saying that more follows.
    auto numbers = [](const QString& text) {
        static const QString digits
            = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_");
        std::vector<std::int64_t> out;
        std::uint64_t code = 0;
        int shift = 0;
        for (const QChar c : text) {
            const auto digit = std::uint64_t(digits.indexOf(c));
            code |= (digit & 31) << shift;
            shift += 5;
            if (digit < 32) {
                out.push_back(std::int64_t(code >> 1) ^ -std::int64_t(code & 1));
                code = 0;
                shift = 0;
            }
        }
        return out;
    };
    const QJsonObject rows = o[QStringLiteral("rows")].toObject();
    const QJsonArray rests = rows[QStringLiteral("referrer")].toArray();
    const std::vector<std::int64_t> origins = numbers(rows[QStringLiteral("origin")].toString());
    const std::vector<std::int64_t> classes = numbers(rows[QStringLiteral("class")].toString());
    ASSERT_EQ(rests.size(), 2);
    ASSERT_EQ(origins.size(), 2u);
    ASSERT_EQ(classes.size(), 2u);
    std::map<QString, int> botOf; // the referrer, its origin and the rest, and its class's crawler flag
    for (qsizetype i = 0; i < rests.size(); ++i)
        botOf[o[QStringLiteral("origins")][origins[std::size_t(i)]].toString() + rests[i].toString()]
            = o[QStringLiteral("classes")][classes[std::size_t(i)]][1].toInt();
    EXPECT_EQ(botOf,
              (std::map<QString, int> {{QStringLiteral("http://a.example/</script><script>alert`1`</script><!--"), 0},
                                       {QStringLiteral("http://b.example/") + QChar(0xDCFF), 1}}));

    // Merged results make a report only when they carry their details.
    const Outcome saved = run({QStringLiteral("--quiet"), QStringLiteral("--format"), QStringLiteral("json"), log});
    const QString results = write(QStringLiteral("results.json"), saved.out);
    const Outcome merged = run(base + QStringList {QStringLiteral("--merge"), results});
    EXPECT_EQ(merged.status, int(cli::ExitStatus::Usage));
    EXPECT_NE(merged.err.find("--format report needs results that were written with --details"), std::string::npos);
}

TEST_F(ScanCommand, FollowsTheStoredSettings)
{
    store.write(u"data", u"strYourWebsite", QStringLiteral("r.example"));
    store.write(u"data", u"bHttps", QStringLiteral("1"));
    const QString log = write(QStringLiteral("a.log"), "\"http://r.example/\"\n\"https://s.example/\"\n");
    const Outcome r = run({QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--quiet"), log});
    const QJsonArray rows = json(r.out)[QStringLiteral("rows")].toArray();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].toObject()[QStringLiteral("referrer")].toString(), QStringLiteral("https://s.example/"));
}

TEST(RealExecutable, ScansTheSampleAndPrintsJson)
{
    QTemporaryDir config;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(BACKTRAIL_SCAN_EXE),
                  {QStringLiteral("--domain"), QStringLiteral("www.example.org"), QStringLiteral("--format"),
                   QStringLiteral("json"), QStringLiteral(BACKTRAIL_BUNDLED_SAMPLE_LOG)});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0);
    const QJsonObject o = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    CheckJsonOfSample(o, QStringLiteral(BACKTRAIL_BUNDLED_SAMPLE_LOG), QStringLiteral("www.example.org"));
    const auto lines = PlainCounts(QStringLiteral(BACKTRAIL_BUNDLED_SAMPLE_LOG), {}).first;
    EXPECT_TRUE(process.readAllStandardError().startsWith(
        QStringLiteral("COMPLETE: 1 files done : %1 lines scanned").arg(lines).toUtf8()));
}

} // namespace
