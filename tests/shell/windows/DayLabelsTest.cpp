// The date axis of the details window's chart, against a plain reading of
// its rule on random days and widths.
#include "shell/windows/DetailsWindow.h"

#include <QDate>
#include <QLocale>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

using namespace backtrail;

class DayLabelsTest : public QObject
{
    Q_OBJECT

private slots:
    void labelsFitTheRoomAndNameTheirBars();
};

void DayLabelsTest::labelsFitTheRoomAndNameTheirBars()
{
    QRandomGenerator random(27);
    const QDate epoch(1970, 1, 1);
    for (int round = 0; round < 2000; ++round) {
        // Days by date, close together or years apart.
        std::vector<std::int32_t> days;
        std::int32_t day = std::int32_t(random.bounded(19000, 21000));
        const int count = random.bounded(1, 400);
        const int gap = random.bounded(2) ? 1 : random.bounded(1, 30);
        for (int i = 0; i < count; ++i) {
            days.push_back(day);
            day += random.bounded(1, gap + 1);
        }
        const int room = random.bounded(1, 40);
        const shell::DayAxisLabels axis = shell::ChartDayLabels(days, room);

        const int step = (count + room - 1) / room;
        QVERIFY(!axis.labels.empty() && int(axis.labels.size()) <= room);
        QSet<QString> seen;
        QSet<QString> shortSeen;
        for (std::size_t k = 0; k < axis.labels.size(); ++k) {
            const auto& [bar, text] = axis.labels[k];
            QCOMPARE(bar, int(k) * step);
            const QDate date = epoch.addDays(days[std::size_t(bar)]);
            const QString plain = QLocale::c().toString(date, "MMM d");
            // The year only where an earlier label of another year reads the same.
            QCOMPARE(text, shortSeen.contains(plain) ? plain + date.toString(", yyyy") : plain);
            shortSeen.insert(plain);
            QVERIFY2(!seen.contains(text), qPrintable(text));
            seen.insert(text);
        }
        QVERIFY(int(axis.labels.size()) * step >= count); // every bar lies within a step of a label
        const QDate first = epoch.addDays(days.front());
        const QDate last = epoch.addDays(days.back());
        // The title gives the span once, each year in it once.
        const QString firstYear = QStringLiteral(", %1").arg(first.year());
        const QString lastYear = QStringLiteral(", %1").arg(last.year());
        QCOMPARE(axis.title.count(lastYear), 1);
        QCOMPARE(axis.title.count(firstYear), 1);
        if (days.front() == days.back())
            QCOMPARE(axis.title, QLocale::c().toString(first, "MMM d, yyyy"));
        else
            QVERIFY(axis.title.endsWith(QStringLiteral("(%1 days)").arg(days.back() - days.front() + 1)));
    }
}

QTEST_GUILESS_MAIN(DayLabelsTest)
#include "DayLabelsTest.moc"
