#pragma once

// What the main window's test suites share: log lines to scan, files to
// write them to, the end of a scan, and the texts of a results column.

#include "results/ResultsModel.h"
#include "shell/MainWindow.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTest>

// A combined-format log line from a visitor sent by `referrer` to `page`.
inline QByteArray logLine(const QByteArray& page, const QByteArray& referrer)
{
    return "10.1.2.3 - - [17/May/2015:10:05:03 +0000] \"GET " + page + " HTTP/1.1\" 200 512 \"" + referrer
        + "\" \"Mozilla/5.0 (X11; Linux x86_64)\"\n";
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

inline QStringList columnTexts(const backtrail::results::ResultsModel& model, int column)
{
    QStringList texts;
    for (int r = 0; r < model.rowCount(); ++r)
        texts << model.cellText(r, column);
    return texts;
}

// Waits until the window's scan (on a thread of its own) has ended and told
// the window all it found; false when it has not after a minute.
inline bool scanEnds(const backtrail::shell::MainWindow& window)
{
    return QTest::qWaitFor([&] { return !window.scanRunning(); }, 60000);
}
