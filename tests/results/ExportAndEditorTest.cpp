// The export into the file list's folder, and starting the text editor.
#include "results/HtmlExport.h"
#include "results/TextEditor.h"

#include "engine/results/Classify.h"
#include "engine/scan/ScanState.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace backtrail;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void addEntry(engine::WorkingLists& lists, const char* referrer, std::uint32_t count)
{
    lists.List1.append(referrer);
    lists.List2.push_back(engine::ExtensionIndex(""));
    lists.landing.append("");
    lists.bot.push_back(0);
    lists.counts.push_back(count);
}

} // namespace

class ExportAndEditorTest : public QObject
{
    Q_OBJECT
private slots:
    void pathGetsOneSeparator();
    void writesEscapedLinesWithCountPrefix();
    void writesBareEntriesWithoutDuplicateRemoval();
    void failedWriteNamesPathAndReasonAndKeepsOldFile();
    void editorCommandLineQuotesThePath();
    void editorStartsDetachedWithTheWholePath();
    void missingEditorIsReported();
};

void ExportAndEditorTest::pathGetsOneSeparator()
{
    QCOMPARE(results::ExportPath("/var/log"), QStringLiteral("/var/log/referers.html"));
    QCOMPARE(results::ExportPath("/"), QStringLiteral("/referers.html"));
}

void ExportAndEditorTest::writesEscapedLinesWithCountPrefix()
{
    QTemporaryDir dir;
    engine::WorkingLists lists;
    addEntry(lists, "http://a.example/x", 3);
    addEntry(lists, "http://b.example/it's<b>", 1);
    lists.countsWritten = true;
    const results::ExportOutcome outcome = results::ExportReferrers(lists, dir.path());
    QVERIFY2(outcome.saved, qPrintable(outcome.error));
    QCOMPARE(results::ExportMessage(outcome), QStringLiteral("saved as ") + dir.path() + "/referers.html");
    QCOMPARE(readAll(dir.path() + "/referers.html"),
             QByteArray("<a href='http://a.example/x'>0000003|http://a.example/x</a><br>\r\n"
                        "<a href='http://b.example/it&#39;s&lt;b&gt;'>0000001|http://b.example/it&#39;s&lt;b&gt;"
                        "</a><br>\r\n"));
}

void ExportAndEditorTest::writesBareEntriesWithoutDuplicateRemoval()
{
    QTemporaryDir dir;
    engine::WorkingLists lists;
    addEntry(lists, "http://a.example/x", 1);
    addEntry(lists, "javascript:alert(1)", 1);
    const results::ExportOutcome outcome = results::ExportReferrers(lists, dir.path());
    QVERIFY(outcome.saved);
    // An address that is no web address is shown but not linked.
    QCOMPARE(readAll(outcome.path),
             QByteArray("<a href='http://a.example/x'>http://a.example/x</a><br>\r\n"
                        "<a href='#'>javascript:alert(1)</a><br>\r\n"));

    engine::WorkingLists empty;
    QVERIFY(results::ExportReferrers(empty, dir.path()).saved);
    QCOMPARE(readAll(outcome.path), QByteArray());
}

void ExportAndEditorTest::failedWriteNamesPathAndReasonAndKeepsOldFile()
{
    QTemporaryDir dir;
    engine::WorkingLists lists;
    addEntry(lists, "http://a.example/x", 1);
    // A folder that is gone.
    results::ExportOutcome outcome = results::ExportReferrers(lists, dir.path() + "/gone");
    QVERIFY(!outcome.saved);
    QVERIFY(!outcome.error.isEmpty());
    const QString message = results::ExportMessage(outcome);
    QVERIFY(!message.startsWith("saved as"));
    QVERIFY(message.contains(dir.path() + "/gone/referers.html"));
    QVERIFY(message.contains(outcome.error));

    // An old export stays whole when the new one cannot replace it: here a
    // folder of the same name stands where the file would go.
    QVERIFY(QDir(dir.path()).mkpath("blocked/referers.html"));
    outcome = results::ExportReferrers(lists, dir.path() + "/blocked");
    QVERIFY(!outcome.saved);
    QVERIFY(QFileInfo(dir.path() + "/blocked/referers.html").isDir());
}

void ExportAndEditorTest::editorCommandLineQuotesThePath()
{
    qputenv("BACKTRAIL_EDITOR", "my-editor --new-window");
    QCOMPARE(results::EditorCommandLine("/logs/a b.log"), QStringLiteral("my-editor --new-window \"/logs/a b.log\""));
    QCOMPARE(QProcess::splitCommand(results::EditorCommandLine("/logs/say \"hi\".log")),
             (QStringList {"my-editor", "--new-window", "/logs/say \"hi\".log"}));
    qunsetenv("BACKTRAIL_EDITOR");
    QCOMPARE(results::EditorCommandLine("/x"), QStringLiteral("xdg-open \"/x\""));
}

void ExportAndEditorTest::editorStartsDetachedWithTheWholePath()
{
    QTemporaryDir dir;
    const QString script = dir.path() + "/editor.sh";
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nprintf '%s|' \"$@\" > \"$0.args.tmp\" && mv \"$0.args.tmp\" \"$0.args\"\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("BACKTRAIL_EDITOR", QFile::encodeName(script));
    QString commandLine;
    QVERIFY(results::StartEditor(dir.path() + "/my log.txt", &commandLine));
    qunsetenv("BACKTRAIL_EDITOR");
    QTRY_VERIFY(QFile::exists(script + ".args"));
    QCOMPARE(readAll(script + ".args"), (dir.path() + "/my log.txt|").toUtf8());
}

void ExportAndEditorTest::missingEditorIsReported()
{
    qputenv("BACKTRAIL_EDITOR", "/nonexistent/editor-program");
    QString commandLine;
    QVERIFY(!results::StartEditor("/tmp/x.log", &commandLine));
    QCOMPARE(commandLine, QStringLiteral("/nonexistent/editor-program \"/tmp/x.log\""));
    qunsetenv("BACKTRAIL_EDITOR");
}

QTEST_GUILESS_MAIN(ExportAndEditorTest)
#include "ExportAndEditorTest.moc"
