// The parser's reading of a document: groups, text in its code page, and
// the formats of characters and paragraphs.
#include "RtfParser.h"

#include <QStringDecoder>
#include <QTextDocument>
#include <QTextOption>

namespace backtrail::shell::rtf {

namespace {

// The characters 0x80 to 0x9F of Windows code page 1252; the rest of the
// code page is Latin-1. Unassigned places read as the replacement character.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

} // namespace

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

} // namespace backtrail::shell::rtf
