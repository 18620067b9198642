#include "../engine/TestSupport.h"
#include "ScanCommand.h"

#include "engine/base/Settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

using namespace backtrail;

namespace {

std::string Lines(int from, int count)
{
    std::string log;
    for (int i = from; i < from + count; ++i)
        log += "1.1.1.1 - - [01/Dec/2026:10:00:00 +0000] \"GET /p HTTP/1.1\" 200 1 \"http://r" + std::to_string(i % 7)
            + ".example/\" \"" + (i % 5 == 0 ? "python-requests/2.31" : "Mozilla/5.0") + "\"\n";
    return log;
}

std::string ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

// Waits, with a generous deadline, until the file holds `text`.
bool Holds(const QString& path, const std::string& text)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (ReadAll(path).find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// --follow reads what is appended to a log and what a new file in a folder
// holds, replaces the output each time with what one scan of it all prints
// (crawler rows with their kind of crawler as their source), keeps the state
// with it, and ends at Ctrl+C.
TEST(FollowedFiles, OutputFollowsTheLogsUntilCtrlC)
{
    QTemporaryDir dir;
    const engine::IniSettingsStore store {dir.filePath(QStringLiteral("settings/Backtrail.ini"))};
    QDir(dir.path()).mkpath(QStringLiteral("logs"));
    const QString log = dir.filePath(QStringLiteral("logs/access.log"));
    backtrail::testing::WriteBytes(log, Lines(0, 30));
    const QString output = dir.filePath(QStringLiteral("out.json"));
    const QString state = dir.filePath(QStringLiteral("state.json"));
    const QStringList settings {QStringLiteral("--quiet"), QStringLiteral("--dupes"), QStringLiteral("--format"),
                                QStringLiteral("json")};
    std::ostringstream out, err;
    int status = -1;
    std::thread following([&] {
        status = cli::RunScanCommand(settings
                                         + QStringList {QStringLiteral("--follow"), QStringLiteral("--interval"),
                                                        QStringLiteral("0.05"), QStringLiteral("--output"), output,
                                                        QStringLiteral("--state"), state,
                                                        dir.filePath(QStringLiteral("logs"))},
                                     store, {out, err, false});
    });
    EXPECT_TRUE(Holds(output, "\"lines_scanned\": 30,"));
    {
        QFile file(log);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(QByteArray::fromStdString(Lines(30, 20)));
    }
    EXPECT_TRUE(Holds(output, "\"lines_scanned\": 50,"));
    backtrail::testing::WriteBytes(dir.filePath(QStringLiteral("logs/other.log")), Lines(50, 5));
    EXPECT_TRUE(Holds(output, "\"lines_scanned\": 55,"));
    // Ctrl+C: a last round reads what came meanwhile.
    {
        QFile file(log);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(QByteArray::fromStdString(Lines(55, 5)));
    }
    cli::InterruptCount().store(1);
    following.join();
    cli::InterruptCount().store(0);
    EXPECT_EQ(status, int(cli::ExitStatus::Interrupted)) << err.str();

    // What one scan of all the lines prints, and the state goes on from there.
    backtrail::testing::WriteBytes(dir.filePath(QStringLiteral("all.log")), Lines(0, 60));
    std::ostringstream once, onceErr;
    cli::RunScanCommand(settings + QStringList {dir.filePath(QStringLiteral("all.log"))}, store,
                        {once, onceErr, false});
    const std::string followed = ReadAll(output);
    const std::size_t rows = followed.find("\"rows\"");
    ASSERT_NE(rows, std::string::npos);
    EXPECT_EQ(followed.substr(rows), once.str().substr(once.str().find("\"rows\"")));
    std::ostringstream next, nextErr;
    EXPECT_EQ(cli::RunScanCommand(
                  settings + QStringList {QStringLiteral("--state"), state, dir.filePath(QStringLiteral("logs"))},
                  store, {next, nextErr, false}),
              0);
    EXPECT_NE(next.str().find("\"lines_scanned\": 60,"), std::string::npos) << next.str();
}

} // namespace
