// The parser's control words and symbols, and the tables they name.
#include "RtfParser.h"

#include <algorithm>

namespace backtrail::shell::rtf {

namespace {

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

} // namespace

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

} // namespace backtrail::shell::rtf
