#include "RtfReader.h"
#include "RtfParser.h"

#include <QFile>
#include <QTextDocument>

namespace backtrail::shell {

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
    rtf::Parser parser(text, document);
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
