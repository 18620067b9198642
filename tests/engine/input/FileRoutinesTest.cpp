#include "TestSupport.h"

#include "engine/input/FileRoutines.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace backtrail::engine;
using backtrail::testing::WriteBytes;

namespace {

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
