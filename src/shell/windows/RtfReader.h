#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace backtrail::shell {

/// Reads rich text (RTF) into a text document, for the help window.
///
/// The reader knows the common subset that word processors write: groups,
/// paragraphs (\par, alignment, indents, spacing), \line, \tab, bold, italic,
/// underline, strike-through, super- and subscript, font sizes, the font and
/// colour tables, \'hh characters in the document's ANSI code page, \uN
/// characters with their \ucN fallbacks, a few named characters (\emdash,
/// \bullet, quotes, ...), hyperlink fields and \binN data. Destinations it does
/// not show (style sheet, document info, pictures, headers, anything marked
/// \*) are skipped, and every control word it does not know is ignored, so an
/// unusual document still shows its text. Text that does not start with
/// "{\rtf" is shown as plain text.
class RtfReader
{
public:
    /// Replaces the document's content with the rich text. False when the text
    /// is not RTF (the document then holds it as plain text).
    static bool read(const QByteArray& rtf, QTextDocument* document);

    /// Reads an RTF file into the document. False, with the document left
    /// empty, when the file cannot be opened.
    static bool readFile(const QString& path, QTextDocument* document);
};

} // namespace backtrail::shell
