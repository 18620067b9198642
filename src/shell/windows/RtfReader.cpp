#include "RtfReader.h"

#include <QColor>
#include <QFile>
#include <QHash>
#include <QList>
#include <QStringDecoder>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

#include <optional>

namespace backtrail::shell {

namespace {

// Twips to pixels at 96 dots per inch: 1,440 twips to the inch, 15 to a pixel.
constexpr double kTwipsPerPixel = 15.0;
// No page is wider than 22 inches; longer distances come from damaged files and
// are held to it, so that laying the document out stays quick.
constexpr int kWidestPageTwips = 22 * 1440;

int pageDistance(int twips)
{
    return std::clamp(twips, -kWidestPageTwips, kWidestPageTwips);
}

// The characters 0x80 to 0x9F of Windows code page 1252; the rest of the
// code page is Latin-1. Unassigned places read as the replacement character.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

enum class Destination {
    Text, // shown
    Skip, // read past
    FontTable,
    ColorTable,
    FieldInstruction,
};

struct CharState
{
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int vertical = 0; // 0 normal, 1 superscript, 2 subscript
    int halfPoints = 24;
    int font = -1;
    int color = 0;
    int background = 0;
    QString href;

    bool operator==(const CharState&) const = default;
};

struct ParaState
{
    Qt::Alignment alignment = Qt::AlignLeft;
    int leftIndent = 0; // twips
    int rightIndent = 0;
    int firstIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    QList<int> tabStops; // twips from the left margin
};

struct Group
{
    CharState chars;
    ParaState para;
    Destination destination = Destination::Text;
    int unicodeSkip = 1; // \ucN: fallback characters that follow each \uN
};

class Parser
{
public:
    Parser(const QByteArray& input, QTextDocument* target)
        : data(input)
        , cursor(target)
    {
    }

    void run();

private:
    // Lexing
    void controlWord(const QByteArray& word, std::optional<int> parameter);
    void controlSymbol(char symbol);
    void openGroup();
    void closeGroup();

    // Output
    void textByte(unsigned char byte);
    void textChar(QChar ch);
    void flushRun();
    void endParagraph();
    QTextCharFormat charFormat(const CharState& state) const;
    QTextBlockFormat blockFormat(const ParaState& state) const;
    QChar decodeByte(unsigned char byte) const;
    Group& top() { return groups.last(); }
    const Group& top() const { return groups.last(); }

    const QByteArray& data;
    qsizetype pos = 0;
    QTextCursor cursor;

    QList<Group> groups {Group {}};
    bool nextIsIgnorable = false; // "\*" seen, waiting for its control word
    int skipFallback = 0; // fallback characters of a \uN still to drop

    // Document tables
    QHash<int, QString> fontNames;
    QHash<int, int> fontCodePages;
    int defaultFont = -1;
    int codePage = 1252;
    QList<std::optional<QColor>> colors;
    int pendingRed = 0, pendingGreen = 0, pendingBlue = 0;
    bool pendingColorSet = false;
    int tableFont = -1;
    QString tableFontName;

    // Hyperlink fields
    QString fieldInstruction;
    QString lastHyperlink;

    // The run of text waiting for output, all in one format.
    QString pending;
    CharState pendingState;
};

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int codePageOfCharset(int charset)
{
    switch (charset) {
    case 0:
    case 1:
        return 1252;
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    default:
        return 0;
    }
}

// Destinations that hold no text to show, even when not marked with "\*".
bool isHiddenDestination(const QByteArray& word)
{
    static const QList<QByteArray> hidden = {
        "stylesheet",
        "info",
        "pict",
        "header",
        "headerl",
        "headerr",
        "headerf",
        "footer",
        "footerl",
        "footerr",
        "footerf",
        "footnote",
        "object",
        "objdata",
        "themedata",
        "listtable",
        "listoverridetable",
        "revtbl",
        "rsidtbl",
        "generator",
        "xmlnstbl",
        "mmathPr",
        "filetbl",
        "pgdsctbl",
        "datastore",
        "latentstyles",
        "colorschememapping",
        "nonshppict",
        "shppict",
        "private",
        "userprops",
        "bkmkstart",
        "bkmkend",
        "xe",
        "tc",
        "txe",
        "annotation",
        "atnid",
        "atnauthor",
        "fldtype",
        "do",
    };
    return hidden.contains(word);
}

void Parser::run()
{
    const qsizetype size = data.size();
    while (pos < size) {
        const char c = data[pos++];
        switch (c) {
        case '{':
            openGroup();
            break;
        case '}':
            closeGroup();
            break;
        case '\\': {
            if (pos >= size)
                break;
            const char next = data[pos];
            if (isLetter(next)) {
                const qsizetype start = pos;
                while (pos < size && isLetter(data[pos]))
                    ++pos;
                const QByteArray word = data.mid(start, pos - start);
                std::optional<int> parameter;
                if (pos < size && (data[pos] == '-' || isDigit(data[pos]))) {
                    const bool negative = data[pos] == '-';
                    if (negative)
                        ++pos;
                    long long value = 0;
                    bool digits = false;
                    while (pos < size && isDigit(data[pos])) {
                        // A parameter is a signed 16- or 32-bit number; longer digit runs saturate.
                        if (value < 100000000000LL)
                            value = value * 10 + (data[pos] - '0');
                        digits = true;
                        ++pos;
                    }
                    if (digits) {
                        value = negative ? -value : value;
                        value = std::clamp(value, -2147483647LL, 2147483647LL);
                        parameter = static_cast<int>(value);
                    }
                }
                if (pos < size && data[pos] == ' ')
                    ++pos; // the delimiting space belongs to the control word
                controlWord(word, parameter);
            } else {
                ++pos;
                controlSymbol(next);
            }
            break;
        }
        case '\r':
        case '\n':
            break;
        default:
            textByte(static_cast<unsigned char>(c));
            break;
        }
    }
    flushRun();
    cursor.setBlockFormat(blockFormat(top().para));
}

void Parser::openGroup()
{
    skipFallback = 0;
    const Group copy = top();
    groups.append(copy);
}

void Parser::closeGroup()
{
    skipFallback = 0;
    nextIsIgnorable = false;
    if (groups.size() <= 1)
        return; // an unbalanced "}" closes nothing
    const Group closing = groups.takeLast();
    if (closing.destination == Destination::FieldInstruction && top().destination != Destination::FieldInstruction) {
        // HYPERLINK "address" gives the field's shown text its link.
        const QString instruction = fieldInstruction.trimmed();
        lastHyperlink.clear();
        if (instruction.startsWith(QLatin1String("HYPERLINK"), Qt::CaseInsensitive)) {
            const qsizetype open = instruction.indexOf(u'"');
            const qsizetype close = open < 0 ? -1 : instruction.indexOf(u'"', open + 1);
            if (close > open)
                lastHyperlink = instruction.mid(open + 1, close - open - 1);
            else
                lastHyperlink = instruction.mid(9).trimmed();
        }
        fieldInstruction.clear();
    }
    if (closing.destination == Destination::FontTable && top().destination != Destination::FontTable)
        tableFontName.clear();
}

QChar Parser::decodeByte(unsigned char byte) const
{
    if (byte < 0x80)
        return QChar(byte);
    int page = codePage;
    if (const int font = top().chars.font; fontCodePages.contains(font) && fontCodePages.value(font) != 0)
        page = fontCodePages.value(font);
    if (page == 1252) {
        if (byte < 0xA0)
            return QChar(kCp1252High[byte - 0x80]);
        return QChar(byte);
    }
    QStringDecoder decoder(QByteArray("windows-" + QByteArray::number(page)).constData());
    if (decoder.isValid()) {
        const char raw = static_cast<char>(byte);
        const QString decoded = decoder.decode(QByteArrayView(&raw, 1));
        if (decoded.size() == 1)
            return decoded.at(0);
    }
    return QChar(byte); // Latin-1 as the last resort
}

void Parser::textByte(unsigned char byte)
{
    if (skipFallback > 0) {
        --skipFallback;
        return;
    }
    Group& group = top();
    switch (group.destination) {
    case Destination::Skip:
        return;
    case Destination::FontTable:
        if (byte == ';') {
            if (tableFont >= 0)
                fontNames.insert(tableFont, tableFontName.trimmed());
            tableFontName.clear();
        } else {
            tableFontName.append(decodeByte(byte));
        }
        return;
    case Destination::ColorTable:
        if (byte == ';') {
            if (pendingColorSet)
                colors.append(QColor(pendingRed, pendingGreen, pendingBlue));
            else
                colors.append(std::nullopt); // the "auto" colour
            pendingRed = pendingGreen = pendingBlue = 0;
            pendingColorSet = false;
        }
        return;
    case Destination::FieldInstruction:
        fieldInstruction.append(decodeByte(byte));
        return;
    case Destination::Text:
        break;
    }
    if (byte == '\t') {
        textChar(u'\t');
        return;
    }
    textChar(decodeByte(byte));
}

void Parser::textChar(QChar ch)
{
    Group& group = top();
    if (group.destination == Destination::FieldInstruction) {
        fieldInstruction.append(ch);
        return;
    }
    if (group.destination != Destination::Text)
        return;
    if (!(group.chars == pendingState))
        flushRun();
    pendingState = group.chars;
    pending.append(ch);
}

void Parser::flushRun()
{
    if (pending.isEmpty())
        return;
    cursor.insertText(pending, charFormat(pendingState));
    pending.clear();
}

void Parser::endParagraph()
{
    if (top().destination != Destination::Text)
        return;
    flushRun();
    cursor.setBlockFormat(blockFormat(top().para));
    cursor.insertBlock(blockFormat(top().para), charFormat(top().chars));
}

QTextCharFormat Parser::charFormat(const CharState& state) const
{
    QTextCharFormat format;
    const int font = state.font >= 0 ? state.font : defaultFont;
    if (const auto name = fontNames.find(font); name != fontNames.end() && !name->isEmpty())
        format.setFontFamilies(QStringList {*name});
    format.setFontPointSize(std::max(1, state.halfPoints) / 2.0);
    format.setFontWeight(state.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(state.italic);
    format.setFontUnderline(state.underline);
    format.setFontStrikeOut(state.strike);
    if (state.vertical == 1)
        format.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (state.vertical == 2)
        format.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (state.color > 0 && state.color < colors.size() && colors.at(state.color))
        format.setForeground(*colors.at(state.color));
    if (state.background > 0 && state.background < colors.size() && colors.at(state.background))
        format.setBackground(*colors.at(state.background));
    if (!state.href.isEmpty()) {
        format.setAnchor(true);
        format.setAnchorHref(state.href);
    }
    return format;
}

QTextBlockFormat Parser::blockFormat(const ParaState& state) const
{
    QTextBlockFormat format;
    format.setAlignment(state.alignment);
    format.setLeftMargin(state.leftIndent / kTwipsPerPixel);
    format.setRightMargin(state.rightIndent / kTwipsPerPixel);
    format.setTextIndent(state.firstIndent / kTwipsPerPixel);
    format.setTopMargin(state.spaceBefore / kTwipsPerPixel);
    format.setBottomMargin(state.spaceAfter / kTwipsPerPixel);
    QList<QTextOption::Tab> tabs;
    for (const int stop : state.tabStops)
        tabs.append(QTextOption::Tab(stop / kTwipsPerPixel, QTextOption::LeftTab));
    if (!tabs.isEmpty())
        format.setTabPositions(tabs);
    return format;
}

void Parser::controlSymbol(char symbol)
{
    switch (symbol) {
    case '\'': {
        // \'hh: one byte of the code page, given in two hexadecimal digits. A
        // cut-off escape takes its one digit along and shows nothing.
        int value = 0;
        int digits = 0;
        while (digits < 2 && pos < data.size() && hexValue(data[pos]) >= 0) {
            value = value * 16 + hexValue(data[pos]);
            ++pos;
            ++digits;
        }
        if (digits == 2)
            textByte(static_cast<unsigned char>(value));
        return;
    }
    case '*':
        nextIsIgnorable = true;
        return;
    case '{':
    case '}':
    case '\\':
        textByte(static_cast<unsigned char>(symbol));
        return;
    case '~':
        textChar(QChar(0x00A0));
        return;
    case '_':
        textChar(QChar(0x2011));
        return;
    case '-': // optional hyphen: shown only where a line breaks
        return;
    case '\r':
    case '\n':
        endParagraph();
        return;
    case '\t':
        textChar(u'\t');
        return;
    default:
        return; // \| \: and other symbols carry nothing to show
    }
}

void Parser::controlWord(const QByteArray& word, std::optional<int> parameter)
{
    Group& group = top();
    const int value = parameter.value_or(1);
    const bool on = !parameter || *parameter != 0;

    if (nextIsIgnorable) {
        nextIsIgnorable = false;
        if (word == "fldinst") {
            group.destination = Destination::FieldInstruction;
            fieldInstruction.clear();
        } else {
            group.destination = Destination::Skip;
        }
        return;
    }

    // \binN is followed by N bytes of raw data, in any destination.
    if (word == "bin") {
        pos = std::min(data.size(), pos + std::max(0, value));
        return;
    }

    if (group.destination == Destination::Skip)
        return;

    if (group.destination == Destination::FontTable) {
        if (word == "f") {
            tableFont = value;
            tableFontName.clear();
        } else if (word == "fcharset") {
            if (tableFont >= 0)
                fontCodePages.insert(tableFont, codePageOfCharset(value));
        } else if (word == "cpg") {
            if (tableFont >= 0)
                fontCodePages.insert(tableFont, value);
        }
        return;
    }
    if (group.destination == Destination::ColorTable) {
        if (word == "red")
            pendingRed = std::clamp(value, 0, 255);
        else if (word == "green")
            pendingGreen = std::clamp(value, 0, 255);
        else if (word == "blue")
            pendingBlue = std::clamp(value, 0, 255);
        else
            return;
        pendingColorSet = true;
        return;
    }

    // Destinations
    if (word == "fonttbl") {
        group.destination = Destination::FontTable;
        tableFont = -1;
        tableFontName.clear();
        return;
    }
    if (word == "colortbl") {
        group.destination = Destination::ColorTable;
        colors.clear();
        pendingColorSet = false;
        return;
    }
    if (word == "fldinst") {
        group.destination = Destination::FieldInstruction;
        fieldInstruction.clear();
        return;
    }
    if (word == "fldrslt") {
        group.chars.href = lastHyperlink;
        return;
    }
    if (word == "field") {
        lastHyperlink.clear();
        return;
    }
    if (isHiddenDestination(word)) {
        group.destination = Destination::Skip;
        return;
    }

    // Document
    if (word == "ansicpg") {
        codePage = value;
        return;
    }
    if (word == "mac") {
        codePage = 10000;
        return;
    }
    if (word == "pc") {
        codePage = 437;
        return;
    }
    if (word == "pca") {
        codePage = 850;
        return;
    }
    if (word == "deff") {
        defaultFont = value;
        return;
    }

    // Characters
    if (word == "par" || word == "sect" || word == "page" || word == "row") {
        endParagraph();
        return;
    }
    if (word == "line") {
        textChar(QChar(QChar::LineSeparator));
        return;
    }
    if (word == "tab" || word == "cell") {
        textChar(u'\t');
        return;
    }
    if (word == "u") {
        // \uN: a UTF-16 unit as a signed 16-bit number, then \ucN fallback characters.
        int unit = value;
        if (unit < 0)
            unit += 65536;
        if (unit >= 0 && unit <= 0xFFFF)
            textChar(QChar(static_cast<char16_t>(unit)));
        skipFallback = group.unicodeSkip;
        return;
    }
    if (word == "uc") {
        group.unicodeSkip = std::max(0, value);
        return;
    }
    static const QHash<QByteArray, char16_t> named = {
        {"emdash", 0x2014}, {"endash", 0x2013}, {"emspace", 0x2003}, {"enspace", 0x2002},   {"qmspace", 0x2005},
        {"bullet", 0x2022}, {"lquote", 0x2018}, {"rquote", 0x2019},  {"ldblquote", 0x201C}, {"rdblquote", 0x201D},
        {"zwj", 0x200D},    {"zwnj", 0x200C},   {"zwbo", 0x200B},    {"zwnbo", 0xFEFF},
    };
    if (const auto found = named.find(word); found != named.end()) {
        if (skipFallback > 0) {
            --skipFallback;
            return;
        }
        textChar(QChar(*found));
        return;
    }

    // Character formatting
    CharState& chars = group.chars;
    if (word == "plain") {
        const QString href = chars.href;
        chars = CharState {};
        chars.href = href;
    } else if (word == "b") {
        chars.bold = on;
    } else if (word == "i") {
        chars.italic = on;
    } else if (word == "ul" || word == "uld" || word == "uldb" || word == "ulw" || word == "uldash" || word == "ulth") {
        chars.underline = on;
    } else if (word == "ulnone") {
        chars.underline = false;
    } else if (word == "strike" || word == "striked") {
        chars.strike = on;
    } else if (word == "super") {
        chars.vertical = on ? 1 : 0;
    } else if (word == "sub") {
        chars.vertical = on ? 2 : 0;
    } else if (word == "nosupersub") {
        chars.vertical = 0;
    } else if (word == "fs") {
        if (parameter && *parameter > 0)
            chars.halfPoints = std::min(*parameter, 3276);
    } else if (word == "f") {
        chars.font = value;
    } else if (word == "cf") {
        chars.color = value;
    } else if (word == "cb" || word == "highlight" || word == "chcbpat") {
        chars.background = value;
    }
    // Paragraph formatting
    else if (word == "pard") {
        group.para = ParaState {};
    } else if (word == "ql") {
        group.para.alignment = Qt::AlignLeft;
    } else if (word == "qc") {
        group.para.alignment = Qt::AlignHCenter;
    } else if (word == "qr") {
        group.para.alignment = Qt::AlignRight;
    } else if (word == "qj") {
        group.para.alignment = Qt::AlignJustify;
    } else if (word == "li") {
        group.para.leftIndent = pageDistance(value);
    } else if (word == "ri") {
        group.para.rightIndent = pageDistance(value);
    } else if (word == "fi") {
        group.para.firstIndent = pageDistance(value);
    } else if (word == "sb") {
        group.para.spaceBefore = pageDistance(std::max(0, value));
    } else if (word == "sa") {
        group.para.spaceAfter = pageDistance(std::max(0, value));
    } else if (word == "tx") {
        if (value > 0 && group.para.tabStops.size() < 64)
            group.para.tabStops.append(pageDistance(value));
    }
    // Every other control word is ignored.
}

} // namespace

bool RtfReader::read(const QByteArray& rtf, QTextDocument* document)
{
    if (!document)
        return false;
    document->clear();
    QByteArray text = rtf;
    // A byte-order mark or blank lines before the opening brace are tolerated.
    qsizetype start = 0;
    if (text.startsWith("\xEF\xBB\xBF"))
        start = 3;
    while (start < text.size()
           && (text[start] == ' ' || text[start] == '\r' || text[start] == '\n' || text[start] == '\t'))
        ++start;
    if (!QByteArrayView(text).sliced(start).startsWith("{\\rtf")) {
        document->setPlainText(QString::fromUtf8(rtf));
        return false;
    }
    if (start > 0)
        text = text.mid(start);
    Parser parser(text, document);
    parser.run();
    return true;
}

bool RtfReader::readFile(const QString& path, QTextDocument* document)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (document)
            document->clear();
        return false;
    }
    return read(file.readAll(), document);
}

} // namespace backtrail::shell
