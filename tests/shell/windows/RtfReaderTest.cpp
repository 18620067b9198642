// The rich-text reader on the help document, on a word processor's output
// and on the awkward corners of the format.
#include "shell/windows/RtfReader.h"

#include <QFile>
#include <QStringDecoder>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

using namespace backtrail::shell;

namespace {

QString textOf(const QByteArray& rtf)
{
    QTextDocument document;
    RtfReader::read(rtf, &document);
    // The raw text keeps line separators and no-break spaces as they are.
    return document.toRawText().replace(QChar::ParagraphSeparator, u'\n');
}

// The format of the first fragment that holds `text`.
QTextCharFormat formatOf(const QTextDocument& document, const QString& text)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().text().contains(text))
                return it.fragment().charFormat();
        }
    }
    return {};
}

QTextBlock blockWith(const QTextDocument& document, const QString& text)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block.text().contains(text))
            return block;
    }
    return {};
}

} // namespace

class RtfReaderTest : public QObject
{
    Q_OBJECT

private slots:
    void helpDocumentReadsAsText();
    void wordProcessorOutputKeepsTextAndFormats();
    void characters_data();
    void characters();
    void groupsScopeTheirFormatting();
    void brokenInputNeverFails();
    void textThatIsNotRtfShowsAsItIs();
    void outsizeDistancesStayOnThePage();
};

void RtfReaderTest::helpDocumentReadsAsText()
{
    QTextDocument document;
    QVERIFY(RtfReader::readFile(QStringLiteral(BACKTRAIL_HELP_RTF), &document));
    const QString text = document.toPlainText();
    for (const char* expected : {"What Backtrail does", "Scanning log files", "Options", "The results",
                                 "Exporting the list", "backtrail-scan [options] FILE...", "--no-dupes",
                                 "--format FORMAT", "--output FILE", "--quiet", "Show at Startup", "referers.html"})
        QVERIFY2(text.contains(QLatin1String(expected)), expected);
    // Nothing of the markup or of the skipped destinations shows.
    QVERIFY(!text.contains(u'\\'));
    QVERIFY(!text.contains(u'{'));
    QVERIFY(!text.contains(QLatin1String("Verdana")));
    QCOMPARE(text.count(QLatin1String("Backtrail Help")), 1); // the title, not the document info
    QVERIFY(text.contains(QChar(0x2013))); // \endash
    QVERIFY(text.contains(QStringLiteral("program\u2019s")));

    const QTextCharFormat title = formatOf(document, QStringLiteral("Backtrail Help"));
    QCOMPARE(title.fontWeight(), int(QFont::Bold));
    QCOMPARE(title.fontPointSize(), 18.0);
    QCOMPARE(title.foreground().color(), QColor(36, 95, 108));
    QCOMPARE(formatOf(document, QStringLiteral("Every time a visitor")).fontFamilies().toStringList(),
             QStringList {QStringLiteral("Verdana")});
    const QTextBlock option = blockWith(document, QStringLiteral("--https, --no-https"));
    QCOMPARE(option.blockFormat().leftMargin(), 24.0);
    QCOMPARE(formatOf(document, QStringLiteral("--https, --no-https")).fontFamilies().toStringList(),
             QStringList {QStringLiteral("DejaVu Sans Mono")});
    QCOMPARE(option.next().text(),
             QStringLiteral("Also find https:// referrers (the default), or find http:// referrers only."));
    QCOMPARE(option.next().blockFormat().leftMargin(), 48.0);
}

void RtfReaderTest::wordProcessorOutputKeepsTextAndFormats()
{
    QTextDocument document;
    QVERIFY(RtfReader::readFile(QStringLiteral(BACKTRAIL_RTF_FIXTURES "/pandoc-sample.rtf"), &document));
    QStringList blocks;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (!block.text().isEmpty())
            blocks << block.text();
    }
    const QStringList expected = {
        QStringLiteral("Referrer report"),
        QStringLiteral("Backtrail found 42 referrers in three log files."),
        QStringLiteral("\u2022\tCaf\u00e9 \u00dcn\u00efcode \u2013 \u201cquoted\u201d text"),
        QStringLiteral("\u2022\tA link to the example site"),
        QStringLiteral("\u2022\tCode such as backtrail-scan --quiet"),
        QStringLiteral("A quoted remark with struck words."),
        QStringLiteral("1.\tFirst step"),
        QStringLiteral("2.\tSecond step"),
        QStringLiteral("Price: 10 \u20ac \u2014 done."),
    };
    QCOMPARE(blocks, expected);

    QCOMPARE(formatOf(document, QStringLiteral("Referrer report")).fontPointSize(), 18.0);
    QCOMPARE(formatOf(document, QStringLiteral("42 referrers")).fontWeight(), int(QFont::Bold));
    QVERIFY(formatOf(document, QStringLiteral("three")).fontItalic());
    QVERIFY(!formatOf(document, QStringLiteral(" log files.")).fontItalic());
    QVERIFY(formatOf(document, QStringLiteral("struck")).fontStrikeOut());
    QCOMPARE(formatOf(document, QStringLiteral("backtrail-scan")).fontFamilies().toStringList(),
             QStringList {QStringLiteral("Courier")});
    const QTextCharFormat link = formatOf(document, QStringLiteral("the example site"));
    QVERIFY(link.isAnchor());
    QCOMPARE(link.anchorHref(), QStringLiteral("http://www.example.org/page"));
    QVERIFY(link.fontUnderline());
    const QTextBlock bullet = blockWith(document, QStringLiteral("First step"));
    QCOMPARE(bullet.blockFormat().leftMargin(), 24.0);
    QCOMPARE(bullet.blockFormat().textIndent(), -24.0);
    QCOMPARE(bullet.blockFormat().tabPositions().size(), 1);
    QCOMPARE(bullet.blockFormat().tabPositions().at(0).position, 24.0);
}

void RtfReaderTest::characters_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::newRow("code page byte") << QByteArray(R"({\rtf1\ansi\ansicpg1252 caf\'e9 \'80\'96})")
                                    << QStringLiteral("caf\u00e9 \u20ac\u2013");
    QTest::newRow("unicode with fallback") << QByteArray(R"({\rtf1 a\u8364?b})") << QStringLiteral("a\u20acb");
    QTest::newRow("no fallback") << QByteArray(R"({\rtf1\uc0\u8364 b})") << QStringLiteral("\u20acb");
    QTest::newRow("two fallbacks") << QByteArray(R"({\rtf1\uc2\u8364\'80\'80b})") << QStringLiteral("\u20acb");
    QTest::newRow("negative unicode") << QByteArray(R"({\rtf1\u-3913?})") << QStringLiteral("\uf0b7");
    QTest::newRow("surrogate pair") << QByteArray(R"({\rtf1\u-10179?\u-8704?})") << QStringLiteral("\U0001F600");
    QTest::newRow("escaped symbols") << QByteArray(R"({\rtf1 \{a\}\\b\~c})") << QStringLiteral("{a}\\b\u00a0c");
    QTest::newRow("line and tab") << QByteArray(R"({\rtf1 a\line b\tab c})") << QStringLiteral("a\u2028b\tc");
    QTest::newRow("paragraphs") << QByteArray("{\\rtf1 one\\par two\\par\r\nthree \\par\r\n four}")
                                << QStringLiteral("one\ntwo\nthree \n four"); // a blank after a line end is text
    QTest::newRow("unknown words") << QByteArray(R"({\rtf1\foo12 a\bar b\zzz-5 c})") << QStringLiteral("abc");
    QTest::newRow("ignorable destination")
        << QByteArray(R"({\rtf1 a{\*\unknown hidden {nested}}b})") << QStringLiteral("ab");
    QTest::newRow("style sheet and info")
        << QByteArray(R"({\rtf1{\stylesheet{\s0 Normal;}}{\info{\title T}{\author A}}text})") << QStringLiteral("text");
    QTest::newRow("picture") << QByteArray(R"({\rtf1 a{\pict\pngblip 89504e47}b})") << QStringLiteral("ab");
    QTest::newRow("binary data") << QByteArray("{\\rtf1 a{\\*\\blob\\bin4 }{\\x}b}") << QStringLiteral("ab");
    QTest::newRow("named characters") << QByteArray(R"({\rtf1\lquote x\rquote \ldblquote y\rdblquote \emdash})")
                                      << QStringLiteral("\u2018x\u2019\u201cy\u201d\u2014");
    QTest::newRow("font table names hidden")
        << QByteArray(R"({\rtf1{\fonttbl{\f0\fnil Arial;}{\f1{\*\panose 0000}Courier New;}}\f1 code})")
        << QStringLiteral("code");
}

void RtfReaderTest::characters()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(textOf(rtf), text);
}

void RtfReaderTest::groupsScopeTheirFormatting()
{
    QTextDocument document;
    RtfReader::read(R"({\rtf1{\colortbl;\red200\green10\blue20;}plain {\b\i\ul\fs32\cf1 loud} quiet\b bold\b0  off)"
                    R"( \b again\plain  reset})",
                    &document);
    QCOMPARE(document.toPlainText(), QStringLiteral("plain loud quietbold off again reset"));
    const QTextCharFormat loud = formatOf(document, QStringLiteral("loud"));
    QCOMPARE(loud.fontWeight(), int(QFont::Bold));
    QVERIFY(loud.fontItalic());
    QVERIFY(loud.fontUnderline());
    QCOMPARE(loud.fontPointSize(), 16.0);
    QCOMPARE(loud.foreground().color(), QColor(200, 10, 20));
    const QTextCharFormat quiet = formatOf(document, QStringLiteral(" quiet"));
    QCOMPARE(quiet.fontWeight(), int(QFont::Normal));
    QCOMPARE(quiet.fontPointSize(), 12.0);
    QCOMPARE(formatOf(document, QStringLiteral("bold")).fontWeight(), int(QFont::Bold));
    QCOMPARE(formatOf(document, QStringLiteral(" off")).fontWeight(), int(QFont::Normal));
    QCOMPARE(formatOf(document, QStringLiteral(" reset")).fontWeight(), int(QFont::Normal));

    RtfReader::read(R"({\rtf1\pard\qc centred\par\pard\li720\sb150 indented\par})", &document);
    QCOMPARE(blockWith(document, QStringLiteral("centred")).blockFormat().alignment(), Qt::AlignHCenter);
    const QTextBlockFormat indented = blockWith(document, QStringLiteral("indented")).blockFormat();
    QCOMPARE(indented.alignment(), Qt::AlignLeft);
    QCOMPARE(indented.leftMargin(), 48.0);
    QCOMPARE(indented.topMargin(), 10.0);
}

void RtfReaderTest::brokenInputNeverFails()
{
    QCOMPARE(textOf(R"({\rtf1 text}}} more})"), QStringLiteral("text more"));
    QCOMPARE(textOf(R"({\rtf1 {\b unclosed)"), QStringLiteral("unclosed"));
    QCOMPARE(textOf(R"({\rtf1 cut\'4)"), QStringLiteral("cut"));
    QCOMPARE(textOf(R"({\rtf1 end\)"), QStringLiteral("end"));
    QCOMPARE(textOf(R"({\rtf1\bin999999 x})"), QString());
    QCOMPARE(textOf(R"({\rtf1\fs99999999999999 big})"), QStringLiteral("big"));
    QCOMPARE(textOf(R"({\rtf1\u99999 a})"), QStringLiteral("")); // out of range; its fallback "a" is dropped
    QCOMPARE(textOf(R"({\rtf1\cf99 uncoloured})"), QStringLiteral("uncoloured"));
    QTextDocument document;
    QVERIFY(!RtfReader::readFile(QStringLiteral("/nonexistent/Help.rtf"), &document));
    QVERIFY(document.isEmpty());
}

void RtfReaderTest::textThatIsNotRtfShowsAsItIs()
{
    QTextDocument document;
    QVERIFY(!RtfReader::read("Just a note.\nSecond line.", &document));
    QCOMPARE(document.toPlainText(), QStringLiteral("Just a note.\nSecond line."));
    QVERIFY(RtfReader::read("\xEF\xBB\xBF\r\n{\\rtf1 marked}", &document));
    QCOMPARE(document.toPlainText(), QStringLiteral("marked"));
    QVERIFY(!RtfReader::read(QByteArray(), &document));
    QVERIFY(document.isEmpty());
}

// Indents, spacing and tab stops beyond any page (here from a damaged file)
// are held to the widest page a word processor makes, 22 inches, so that
// laying the document out stays quick.
void RtfReaderTest::outsizeDistancesStayOnThePage()
{
    QTextDocument document;
    RtfReader::read(R"({\rtf1\li-99999999\ri360\fi-360\sb120\sa6000000000000000000000)"
                    R"(\tx2147483647 one\par two\par})",
                    &document);
    document.setTextWidth(600);
    QVERIFY(document.size().height() < 10000);
    const QTextBlockFormat format = blockWith(document, QStringLiteral("one")).blockFormat();
    constexpr double widestPage = 22 * 96;
    QCOMPARE(format.bottomMargin(), widestPage);
    QCOMPARE(format.leftMargin(), -widestPage);
    QCOMPARE(format.topMargin(), 8.0);
    QCOMPARE(format.tabPositions().value(0).position, widestPage);
}

QTEST_MAIN(RtfReaderTest)
#include "RtfReaderTest.moc"
