#include "../engine/TestSupport.h"
#include "ScanCommand.h"

#include "engine/base/Settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>

using namespace backtrail;

namespace {

struct Outcome
{
    int status;
    std::string out;
    std::string err;
};

class StateFile : public ::testing::Test
{
protected:
    Outcome run(const QStringList& arguments)
    {
        std::ostringstream out, err;
        const int status = cli::RunScanCommand(arguments, store, {out, err, false});
        return {status, out.str(), err.str()};
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    std::string read(const QString& name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("(none)");
    }
    void write(const QString& name, std::string_view bytes) { backtrail::testing::WriteBytes(path(name), bytes); }
    void append(const QString& name, std::string_view bytes)
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(bytes.data(), qint64(bytes.size()));
    }
    // The JSON without what tells one run from another: the files it read.
    static std::string results(std::string json)
    {
        std::string kept;
        std::istringstream lines(json);
        for (std::string line; std::getline(lines, line);) {
            if (line.find("\"files_done\"") == std::string::npos && line.find("\"status\"") == std::string::npos)
                kept += line + '\n';
        }
        return kept;
    }

    QTemporaryDir dir;
    engine::IniSettingsStore store {dir.filePath(QStringLiteral("settings/Backtrail.ini"))};
};

std::string RandomLines(std::mt19937& random, int count)
{
    std::string log;
    for (int i = 0; i < count; ++i) {
        const std::string referrer = random() % 6 == 0 ? "-"
            : random() % 5 == 0                        ? "http://mine.example/x"
            : random() % 9 == 0                        ? "http://latin.example/\xe9t\xe9"
                                                       : "http://r" + std::to_string(random() % 40) + ".example/";
        const char* const agents[] = {"UA (+http://bot.example/)", "Mozilla/5.0 (X11; Linux x86_64)"};
        log += "1.1.1.1 - - [0" + std::to_string(1 + random() % 4) + "/Dec/2026:1" + std::to_string(random() % 10)
            + ":00:0" + std::to_string(random() % 10) + " +0000] \"GET /p" + std::to_string(random() % 5)
            + (random() % 3 ? ".html" : ".jpg") + " HTTP/1.1\" 200 1 \"" + referrer + "\" \"" + agents[random() % 2]
            + "\"\n";
    }
    return log;
}

// A W3C log whose field names change now and then: lines after a change are
// read by the new names, also when a run begins between them.
std::string W3cLines(std::mt19937& random, int count)
{
    std::string log = "#Software: test\n#Fields: date time cs-uri-stem cs(Referer)\n";
    bool swapped = false;
    for (int i = 0; i < count; ++i) {
        if (random() % 40 == 0) {
            swapped = !swapped;
            log += swapped ? "#Fields: cs(Referer) date time cs-uri-stem\n"
                           : "#Fields: date time cs-uri-stem cs(Referer)\n";
        }
        const std::string date = "2026-12-0" + std::to_string(1 + random() % 4);
        const std::string time = "1" + std::to_string(random() % 10) + ":00:0" + std::to_string(random() % 10);
        const std::string page = "/w" + std::to_string(random() % 5);
        const std::string referrer = random() % 5 == 0 ? "-" : "http://w" + std::to_string(random() % 30) + ".example/";
        log += swapped ? referrer + " " + date + " " + time + " " + page + "\n"
                       : date + " " + time + " " + page + " " + referrer + "\n";
    }
    return log;
}

// A log written, rotated, copied, compressed and deleted at random, read by
// state runs now and then: every run prints what one scan of all the whole
// lines written so far prints, each line once.
TEST_F(StateFile, RunsOverRotatedLogsPrintWhatOneScanOfAllTheContentPrints)
{
    std::mt19937 random(2929);
    std::map<QString, int> done; // how often each kind of step was taken
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        const QString folder = QStringLiteral("r%1").arg(round);
        QDir(dir.path()).mkpath(folder);
        const QString state = folder + QStringLiteral("/state.json");
        const QStringList settings {QStringLiteral("--domain"),
                                    QStringLiteral("mine.example"),
                                    round % 2 ? QStringLiteral("--dupes") : QStringLiteral("--no-dupes"),
                                    round % 3 ? QStringLiteral("--details") : QStringLiteral("--types"),
                                    QStringLiteral("--threads"),
                                    QString::number(1 + round % 3)};
        // The whole log, to be cut into parts at random bytes.
        const bool w3c = round % 4 == 3;
        std::string whole
            = w3c ? W3cLines(random, 400 + int(random() % 400)) : RandomLines(random, 400 + int(random() % 400));
        std::size_t written = 0;
        // A W3C log's every file starts with the field names in force (the
        // scan reads each file by its own).
        auto startFile = [&] {
            if (!w3c || written == 0)
                return;
            const std::size_t at = whole.rfind("\n#Fields:", written - 1);
            whole.insert(written, whole.substr(at + 1, whole.find('\n', at + 1) - at));
        };
        // The files in the order their content was written: the oldest first.
        // `clean`: read to its end by the last state run, and unchanged since.
        struct File
        {
            QString name;
            bool clean = false;
        };
        std::vector<File> files;
        QString writing; // the file the server writes to
        int serial = 0;
        auto fresh = [&] { return folder + QStringLiteral("/f%1").arg(serial++); };
        auto find = [&](const QString& name) {
            return std::find_if(files.begin(), files.end(), [&](const File& f) { return f.name == name; });
        };
        QStringList log; // what happened, for a failure to tell
        auto note = [&](const QString& step) {
            log << step;
            ++done[step.section(u' ', 0, 0)];
        };
        auto stateRun = [&] {
            note(QStringLiteral("run"));
            QStringList args = settings
                + QStringList {QStringLiteral("--quiet"), QStringLiteral("--format"), QStringLiteral("json"),
                               QStringLiteral("--state"), path(state)};
            for (const File& f : files)
                args << path(f.name);
            if (!files.empty() && random() % 4 == 0) {
                args << path(files.back().name); // a file given twice
                ++done[QStringLiteral("twice")];
            }
            const Outcome r = run(args);
            ASSERT_EQ(r.status, 0) << r.err;
            // One scan of every whole line written so far.
            const std::size_t end = whole.rfind('\n', written == 0 ? 0 : written - 1);
            write(folder + QStringLiteral("/reference"), whole.substr(0, end == std::string::npos ? 0 : end + 1));
            const Outcome one
                = run(settings
                      + QStringList {QStringLiteral("--quiet"), QStringLiteral("--format"), QStringLiteral("json"),
                                     path(folder + QStringLiteral("/reference"))});
            ASSERT_EQ(one.status, 0) << one.err;
            const std::string got = results(r.out), wanted = results(one.out);
            if (got != wanted) {
                std::size_t at = 0;
                while (at < got.size() && at < wanted.size() && got[at] == wanted[at])
                    ++at;
                ADD_FAILURE() << "the state run differs from one scan at byte " << at << ": "
                              << got.substr(at > 80 ? at - 80 : 0, 240)
                              << "\n instead of: " << wanted.substr(at > 80 ? at - 80 : 0, 240)
                              << "\nafter: " << log.join(u' ').toStdString();
            }
            for (File& f : files)
                f.clean = true;
        };
        while (written < whole.size()) {
            const int step = int(random() % 10);
            if (step < 4 || writing.isEmpty()) {
                // The server writes a part, cut anywhere in a line.
                if (writing.isEmpty()) {
                    writing = fresh();
                    files.push_back({writing});
                    write(writing, "");
                    startFile();
                }
                std::size_t size = std::min(whole.size() - written, std::size_t(1 + random() % 6000));
                if (random() % 2) // most writes end with a line end
                    size = std::min(whole.size(), whole.find('\n', written + size - 1) + 1) - written;
                append(writing, std::string_view(whole).substr(written, size));
                written += size;
                note(QStringLiteral("append %1 %2").arg(writing).arg(size));
                find(writing)->clean = false;
            } else if (step == 4) {
                // Rotation by rename: the server goes on writing to the renamed
                // file until it opens a new one.
                const QString rotated = fresh();
                ASSERT_TRUE(QFile::rename(path(writing), path(rotated)));
                find(writing)->name = rotated;
                note(QStringLiteral("rename %1 %2").arg(writing, rotated));
                writing = rotated;
            } else if (step == 9 && written > 0 && whole[written - 1] == '\n') {
                writing.clear(); // the server opens a new file
                note(QStringLiteral("reopen"));
            } else if (step == 5 && written > 0 && whole[written - 1] == '\n') {
                // copytruncate: a copy takes the content, the file starts afresh.
                const QString copy = fresh();
                ASSERT_TRUE(QFile::copy(path(writing), path(copy)));
                const auto at = find(writing);
                const File kept {copy, at->clean};
                files.insert(at, kept);
                write(writing, "");
                startFile();
                find(writing)->clean = true;
                note(QStringLiteral("copytruncate %1 %2").arg(writing, copy));
            } else if (step == 6) {
                // A file the server is done with compressed, or copied under another name.
                for (File& f : files) {
                    if (f.name == writing || f.name.endsWith(u".gz"))
                        continue;
                    const std::string bytes = read(f.name);
                    if (done[QStringLiteral("gzip")] <= done[QStringLiteral("copy")]) {
                        QFile::remove(path(f.name));
                        f.name += QStringLiteral(".gz");
                        note(QStringLiteral("gzip %1").arg(f.name));
                        write(f.name, backtrail::testing::GzipMember(bytes, 6));
                    } else {
                        const QString copy = fresh();
                        write(copy, bytes);
                        note(QStringLiteral("copy %1 %2").arg(f.name, copy));
                        files.insert(find(f.name), File {copy, f.clean});
                    }
                    break;
                }
            } else if (step == 7) {
                // A file read to its end and done with is deleted: its results stay.
                for (auto f = files.begin(); f != files.end(); ++f) {
                    if (f->clean && f->name != writing) {
                        QFile::remove(path(f->name));
                        note(QStringLiteral("delete %1").arg(f->name));
                        files.erase(f);
                        break;
                    }
                }
            } else if (step == 8) {
                stateRun();
                if (::testing::Test::HasFatalFailure())
                    return;
            }
        }
        stateRun();
    }
    for (const char* step : {"append", "rename", "copytruncate", "gzip", "copy", "delete", "reopen", "run", "twice"})
        EXPECT_GT(done[QString::fromLatin1(step)], 0) << step;
}

// A state run that cannot go on leaves the state byte for byte as it was:
// other settings, a damaged or foreign state, a log written anew, a stop.
TEST_F(StateFile, RefusedOrStoppedRunsLeaveTheStateAsItWas)
{
    std::mt19937 random(7);
    const std::string first = RandomLines(random, 300);
    write(QStringLiteral("access.log"), first);
    const QStringList base {QStringLiteral("--quiet"), QStringLiteral("--state"), path(QStringLiteral("state.json"))};
    ASSERT_EQ(run(base + QStringList {path(QStringLiteral("access.log"))}).status, 0);
    append(QStringLiteral("access.log"), RandomLines(random, 50));
    const std::string kept = read(QStringLiteral("state.json"));
    auto refused = [&](const QStringList& more, int status, const char* says) {
        const Outcome r = run(base + more + QStringList {path(QStringLiteral("access.log"))});
        EXPECT_EQ(r.status, status) << more.join(u' ').toStdString() << r.err;
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
        EXPECT_EQ(read(QStringLiteral("state.json")), kept);
    };
    for (const char* other : {"--no-dupes", "--no-bots", "--no-spam", "--no-https", "--details", "--by-site",
                              "--since=2026-12-02", "--domain=other.example", "--log-format=text"})
        refused({QString::fromLatin1(other)}, 2, "other settings");
    // Damaged: cut short, counters no scan can have, a mark no read can have left, another program's JSON.
    const std::pair<std::string, std::string> damages[]
        = {{"\"lines_scanned\": ", "\"lines_scanned\": -5"}, {"\"links_found\": ", "\"links_found\": 1e20"},
           {"\"read_bytes\": ", "\"read_bytes\": 0.5"},      {"\"head\": \"", "\"head\": \"zz"},
           {"\"program\": \"", "\"program\": \"x"},          {"\"rows\": [", "\"rows\": [7, "}};
    for (const auto& [from, to] : damages) {
        std::string damaged = kept;
        const std::size_t at = damaged.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        const std::size_t end = damaged.find_first_of(",}]", at + from.size());
        damaged.replace(at, end - at, to);
        write(QStringLiteral("state.json"), damaged);
        const Outcome r = run(base + QStringList {path(QStringLiteral("access.log"))});
        EXPECT_EQ(r.status, 2) << to << r.err;
        EXPECT_EQ(read(QStringLiteral("state.json")), damaged);
    }
    // Cut short, and results that are no state.
    write(QStringLiteral("state.json"), kept.substr(0, kept.size() / 2));
    EXPECT_EQ(run(base + QStringList {path(QStringLiteral("access.log"))}).status, 2);
    run({QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--output"),
         path(QStringLiteral("state.json")), path(QStringLiteral("access.log"))});
    const std::string results = read(QStringLiteral("state.json"));
    EXPECT_EQ(run(base + QStringList {path(QStringLiteral("access.log"))}).status, 2);
    EXPECT_EQ(read(QStringLiteral("state.json")), results);
    write(QStringLiteral("state.json"), kept);
    // A stop (Ctrl+C) before the first line.
    cli::InterruptCount().store(1);
    const Outcome stopped = run(base + QStringList {path(QStringLiteral("access.log"))});
    cli::InterruptCount().store(0);
    EXPECT_EQ(stopped.status, int(cli::ExitStatus::Interrupted));
    EXPECT_EQ(read(QStringLiteral("state.json")), kept);
    // Written anew: the same first lines, then others.
    write(QStringLiteral("access.log"), first.substr(0, first.size() / 2) + RandomLines(random, 200));
    refused({}, 1, "written anew");
}

// A state damaged at random bytes never brings the scanner down: it is taken
// (what it says is still possible), or refused and left as it was.
TEST_F(StateFile, RandomlyDamagedStatesAreTakenOrRefused)
{
    std::mt19937 random(3);
    write(QStringLiteral("a.log"), RandomLines(random, 100));
    const QStringList args {QStringLiteral("--quiet"), QStringLiteral("--details"), QStringLiteral("--state"),
                            path(QStringLiteral("state.json")), path(QStringLiteral("a.log"))};
    ASSERT_EQ(run(args).status, 0);
    append(QStringLiteral("a.log"), RandomLines(random, 20));
    const std::string kept = read(QStringLiteral("state.json"));
    const char bytes[] = "0123456789-.e\"{}[],: \\u";
    for (int round = 0; round < 150; ++round) {
        std::string damaged = kept;
        for (int k = 1 + int(random() % 3); k > 0; --k) {
            const std::size_t at = random() % damaged.size();
            if (random() % 8 == 0)
                damaged.resize(at);
            else if (!damaged.empty())
                damaged[at] = bytes[random() % (sizeof bytes - 1)];
        }
        write(QStringLiteral("state.json"), damaged);
        const Outcome r = run(args);
        EXPECT_TRUE(r.status == 0 || r.status == 1 || r.status == 2) << r.status;
        if (r.status != 0) {
            EXPECT_EQ(read(QStringLiteral("state.json")), damaged) << r.err;
        }
    }
}

// A gzip file read to its end is known again by its size and ends as stored,
// without being inflated: a byte changed in its middle goes unseen by a state
// run, while a scan of it fails there.
TEST_F(StateFile, GzipFileReadToItsEndIsNotInflatedAgain)
{
    std::mt19937 random(5);
    std::string packed = backtrail::testing::GzipMember(RandomLines(random, 40000), 1);
    ASSERT_GT(packed.size(), std::size_t(300000));
    write(QStringLiteral("old.log.gz"), packed);
    const QStringList args {
        QStringLiteral("--quiet"), QStringLiteral("--format"),         QStringLiteral("json"),
        QStringLiteral("--state"), path(QStringLiteral("state.json")), path(QStringLiteral("old.log.gz"))};
    const Outcome first = run(args);
    ASSERT_EQ(first.status, 0) << first.err;
    packed[packed.size() / 2] = char(packed[packed.size() / 2] ^ 0x55);
    write(QStringLiteral("old.log.gz"), packed);
    const Outcome again = run(args);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(results(again.out) == results(first.out)) << again.err;
    EXPECT_EQ(run(QStringList {QStringLiteral("--quiet"), path(QStringLiteral("old.log.gz"))}).status, 1);
}

// Results whose numbers no scan can have made are refused by the reader that
// --merge and --state share, with what is wrong.
TEST_F(StateFile, ResultsWithImpossibleNumbersAreRefused)
{
    std::mt19937 random(11);
    write(QStringLiteral("a.log"), RandomLines(random, 200));
    ASSERT_EQ(run({QStringLiteral("--quiet"), QStringLiteral("--dupes"), QStringLiteral("--details"),
                   QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--output"),
                   path(QStringLiteral("a.json")), path(QStringLiteral("a.log"))})
                  .status,
              0);
    const std::string good = read(QStringLiteral("a.json"));
    const std::pair<std::string, std::string> damages[]
        = {{"\"lines_scanned\": ", "\"lines_scanned\": -5"},
           {"\"links_found\": ", "\"links_found\": 100000000000000000000"},
           {"\"files_done\": ", "\"files_done\": 1.5"},
           {"\"hidden_spam_lines\": ", "\"hidden_spam_lines\": 9000000"},
           {"\"clicks\": ", "\"clicks\": \"0000000\""},
           {"\"last_seen\": ", "\"last_seen\": \"2000-01-01T00:00:00+00:00\""},
           {"\"first_seen\": ", "\"first_seen\": \"2026-13-01T00:00:00+00:00\""},
           {"{\"path\": ", "{\"path\": \"/x\", \"clicks\": 99999}, {\"path\": "},
           {"\"rows\": [", "\"rows\": [[], "}};
    for (const auto& [from, to] : damages) {
        std::string damaged = good;
        const std::size_t at = damaged.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        const std::size_t end = from.back() == ' ' ? damaged.find_first_of(",}", at + from.size()) : at + from.size();
        damaged.replace(at, end - at, to);
        write(QStringLiteral("bad.json"), damaged);
        const Outcome r = run({QStringLiteral("--merge"), path(QStringLiteral("bad.json"))});
        EXPECT_EQ(r.status, 2) << to;
        EXPECT_NE(r.err.find("bad.json: "), std::string::npos) << r.err;
    }
    write(QStringLiteral("good.json"), good);
    EXPECT_EQ(run({QStringLiteral("--merge"), path(QStringLiteral("good.json"))}).status, 0);
}

} // namespace
