#include "Export.h"

#include "engine/fields/LogReader.h"

#include <QSaveFile>

namespace backtrail::engine {

std::string StripTypeTags(std::string_view entry)
{
    std::string text(entry);
    for (const std::string_view tag : {"[img]", "[zip]", "[exe]", "[htm]", "[bot]"}) {
        const CaseInsensitiveFinder finder(tag);
        std::string out;
        std::size_t from = 0;
        for (std::size_t at = finder.find(text); at != std::string_view::npos; at = finder.find(text, from)) {
            out.append(text, from, at - from);
            from = at + tag.size();
        }
        out.append(text, from);
        text = std::move(out);
    }
    const std::size_t blank = text.find(' ');
    if (blank != std::string::npos)
        text.erase(blank, 1);
    return text;
}

std::string ExportLinkTarget(std::string_view entry)
{
    const std::size_t bar = entry.find('|');
    if (bar != std::string_view::npos)
        entry.remove_prefix(bar + 1);
    std::string target = StripTypeTags(entry);
    if (!StartsWithIgnoringCase(target, "http://") && !StartsWithIgnoringCase(target, "https://"))
        return "#";
    return target;
}

std::string HtmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 16);
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string BuildExportLine(std::string_view entry)
{
    std::string line = "<a href='";
    line += HtmlEscape(ExportLinkTarget(entry));
    line += "'>";
    line += HtmlEscape(entry);
    line += "</a><br>";
    return line;
}

std::string BuildExport(const WorkingLists& lists)
{
    std::string out;
    for (std::size_t i = 0; i < lists.size(); ++i) {
        out += BuildExportLine(lists.entryText(i));
        out += "\r\n";
    }
    return out;
}

bool WriteFileAtomically(const QString& path, std::string_view bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()) || !file.commit()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

bool WriteExport(const WorkingLists& lists, const QString& path, QString* error)
{
    return WriteFileAtomically(path, BuildExport(lists), error);
}

} // namespace backtrail::engine
