#pragma once

// The rich-text reader's parser, shared by its files: the state of a group
// of the document, and the parser that reads control words and text into a
// QTextDocument. Private to RtfReader.

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QList>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>

#include <algorithm>
#include <optional>

class QTextDocument;

namespace backtrail::shell::rtf {

// Twips to pixels at 96 dots per inch: 1,440 twips to the inch, 15 to a pixel.
constexpr double kTwipsPerPixel = 15.0;
// No page is wider than 22 inches; longer distances come from damaged files and
// are held to it, so that laying the document out stays quick.
constexpr int kWidestPageTwips = 22 * 1440;

inline int pageDistance(int twips)
{
    return std::clamp(twips, -kWidestPageTwips, kWidestPageTwips);
}

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

/// The code page of an RTF character set number (\fcharsetN); 0 for none known.
int codePageOfCharset(int charset);
/// True for destinations that hold no text to show, even when not marked with "\*".
bool isHiddenDestination(const QByteArray& word);

inline bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace backtrail::shell::rtf
