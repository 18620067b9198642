#include "CsvExport.h"

#include "ResultsModel.h"

#include "engine/results/Export.h"

#include <QByteArray>

#include <algorithm>
#include <array>

namespace backtrail::results {

namespace {

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool looksLikeFormula(std::string_view text)
{
    return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

} // namespace

std::string CsvField(std::string_view text)
{
    // Log bytes that are not UTF-8 are written as the table shows them: the
    // decoder's replacement characters, so that the file is UTF-8 throughout.
    std::string valid;
    if (!isAscii(text)) {
        valid = QString::fromUtf8(text.data(), qsizetype(text.size())).toUtf8().toStdString();
        text = valid;
    }
    std::string body;
    if (looksLikeFormula(text))
        body += '\'';
    body += text;
    const bool quoted = body.find_first_of(",\"\r\n") != std::string::npos
        || (!body.empty() && (body.front() == ' ' || body.back() == ' '));
    if (!quoted)
        return body;
    std::string field;
    field.reserve(body.size() + 2);
    field += '"';
    for (const char c : body) {
        if (c == '"')
            field += '"';
        field += c;
    }
    field += '"';
    return field;
}

std::string CsvRecord(std::span<const std::string_view> fields)
{
    std::string record;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            record += ',';
        record += CsvField(fields[i]);
    }
    record += "\r\n";
    return record;
}

std::string ResultsCsv(const ResultsModel& model)
{
    std::array<std::string, ResultsModel::ColumnCount> captions;
    std::array<std::string_view, ResultsModel::ColumnCount> fields;
    for (int c = 0; c < ResultsModel::ColumnCount; ++c) {
        captions[std::size_t(c)] = model.headerData(c, Qt::Horizontal).toString().toStdString();
        fields[std::size_t(c)] = captions[std::size_t(c)];
    }
    std::string csv = CsvRecord(fields);
    // The times are written as the table shows them, from texts made per row.
    std::array<std::string, ResultsModel::ColumnCount> times;
    for (int r = 0; r < model.rowCount(); ++r) {
        for (int c = 0; c < ResultsModel::ColumnCount; ++c) {
            if (ResultsModel::IsTimeColumn(c)) {
                times[std::size_t(c)] = model.cellTime(r, c).iso();
                fields[std::size_t(c)] = times[std::size_t(c)];
            } else {
                fields[std::size_t(c)] = model.cellBytes(r, c);
            }
        }
        csv += CsvRecord(fields);
    }
    return csv;
}

CsvOutcome ExportResultsCsv(const ResultsModel& model, const QString& path)
{
    CsvOutcome outcome;
    outcome.saved = engine::WriteFileAtomically(path, ResultsCsv(model), &outcome.error);
    return outcome;
}

} // namespace backtrail::results
