#include "StateFile.h"

#include "engine/results/formats/TextOutput.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>

namespace backtrail::cli {

using namespace backtrail::engine;

namespace {

constexpr int kStateVersion = 1;
constexpr double kMostBytes = 9007199254740992.0; // 2^53: exact in JSON's numbers

std::int64_t byteCount(const QJsonValue& value)
{
    const double number = value.toDouble(-1);
    if (!value.isDouble() || !(number >= 0 && number <= kMostBytes) || number != double(std::int64_t(number)))
        return -1;
    return std::int64_t(number);
}

bool hashOf(const QJsonValue& value, std::uint64_t& hash)
{
    const QByteArray text = value.toString().toLatin1();
    if (text.size() != 16)
        return false;
    const auto [end, wrong] = std::from_chars(text.constData(), text.constData() + 16, hash, 16);
    return wrong == std::errc() && end == text.constData() + 16;
}

void appendHash(std::string& out, std::uint64_t hash)
{
    char digits[17] = {};
    const auto end = std::to_chars(digits, digits + 16, hash, 16).ptr;
    out += '"';
    out.append(std::size_t(16 - (end - digits)), '0');
    out.append(digits, end);
    out += '"';
}

} // namespace

bool ReadStateFile(const QByteArray& bytes, ScanStateFile& state, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (document.isNull()) {
        *error = QStringLiteral("not JSON: %1").arg(parseError.errorString());
        return false;
    }
    const QJsonObject top = document.object();
    const QJsonObject about = top.value(QStringLiteral("state")).toObject();
    if (about.value(QStringLiteral("program")).toString() != u"backtrail-scan"
        || !top.value(QStringLiteral("read")).isArray()) {
        *error = QStringLiteral("not a state that backtrail-scan --state wrote");
        return false;
    }
    if (about.value(QStringLiteral("version")).toInt() != kStateVersion) {
        *error = QStringLiteral("a state of another version (%1) of backtrail-scan")
                     .arg(about.value(QStringLiteral("version")).toInt());
        return false;
    }
    ScanStateFile read;
    if (!ReadSavedResults(top, read.results, error))
        return false;
    if (read.results.bySite || read.results.stopped) {
        *error = QStringLiteral("its results are grouped by site or were stopped, which no state holds");
        return false;
    }
    read.results.bySite = about.value(QStringLiteral("by_site")).toBool();
    for (const QJsonValue& value : top.value(QStringLiteral("read")).toArray()) {
        const QJsonObject item = value.toObject();
        ReadMark mark;
        mark.headBytes = byteCount(item.value(QStringLiteral("head_bytes")));
        mark.readBytes = byteCount(item.value(QStringLiteral("read_bytes")));
        mark.lastLineBytes = byteCount(item.value(QStringLiteral("last_line_bytes")));
        mark.fields = ResultsTextBytes(item.value(QStringLiteral("fields")).toString()).toStdString();
        mark.packedBytes = byteCount(item.value(QStringLiteral("gzip_bytes")));
        const bool packed = item.contains(QStringLiteral("gzip"));
        if (packed && (mark.packedBytes <= 0 || !hashOf(item.value(QStringLiteral("gzip")), mark.packedHash))) {
            *error = QStringLiteral("a mark of a gzip file read that no read can have left");
            return false;
        }
        if (!packed)
            mark.packedBytes = 0;
        // A content is marked once at least one whole line of it was read.
        if (!hashOf(item.value(QStringLiteral("head")), mark.headHash)
            || !hashOf(item.value(QStringLiteral("last_line")), mark.lastLineHash) || mark.headBytes <= 0
            || mark.headBytes > std::min(kHeadBytes, mark.readBytes) || mark.lastLineBytes <= 0
            || mark.lastLineBytes > mark.readBytes) {
            *error = QStringLiteral("a mark of a file read that no read can have left");
            return false;
        }
        read.marks.push_back(std::move(mark));
    }
    state = std::move(read);
    return true;
}

bool OpenStateFile(const QString& path, const SavedResults& wanted, ScanStateFile& state, QString* error)
{
    QFile file(path);
    if (!file.exists()) {
        state = ScanStateFile();
        state.results.settings = wanted.settings;
        state.results.details = wanted.details;
        state.results.bySite = wanted.bySite;
        state.results.part = ScanPart(wanted.settings.bRemoveDupes, wanted.details);
        return true;
    }
    QString why;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    if (!ReadStateFile(file.readAll(), state, &why)) {
        *error = QStringLiteral("%1: %2; it is left as it was").arg(path, why);
        return false;
    }
    if (const QString differs = SettingsDifference(wanted, state.results); !differs.isEmpty()) {
        *error = QStringLiteral("%1 was made with other settings (%2); a state goes on only with the settings it "
                                "was made with, and is left as it was")
                     .arg(path, differs);
        return false;
    }
    return true;
}

bool PlanStateReads(const QStringList& files, ScanStateFile& state, std::vector<FileRange>& ranges,
                    std::vector<Problem>& unreadable, QString* error)
{
    std::vector<std::pair<QString, QString>> failed;
    QString rewritten;
    const bool planned = PlanReads(files, state.marks, ranges, failed, &rewritten);
    for (auto& [path, why] : failed)
        unreadable.push_back({path, why});
    if (!planned)
        *error = QStringLiteral("%1: its first lines were read before, but not the line read last where it was: "
                                "the file was written anew, and what was read of it before cannot be taken out "
                                "of the results exactly. Nothing was scanned and the state is left as it was; "
                                "start a new state to read it.")
                     .arg(rewritten);
    return planned;
}

std::string StateMembers(const std::vector<ReadMark>& marks, bool bySite)
{
    std::string text = ",\n  \"state\": {\"program\": \"backtrail-scan\", \"version\": " + std::to_string(kStateVersion)
        + ", \"by_site\": " + (bySite ? "true" : "false") + "},\n  \"read\": [";
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const ReadMark& m = marks[i];
        text += i ? ",\n    {\"head\": " : "\n    {\"head\": ";
        appendHash(text, m.headHash);
        text += ", \"head_bytes\": " + std::to_string(m.headBytes) + ", \"read_bytes\": " + std::to_string(m.readBytes)
            + ", \"last_line\": ";
        appendHash(text, m.lastLineHash);
        text += ", \"last_line_bytes\": " + std::to_string(m.lastLineBytes) + ", \"fields\": ";
        AppendJsonString(text, m.fields);
        if (m.packedBytes > 0) {
            text += ", \"gzip\": ";
            appendHash(text, m.packedHash);
            text += ", \"gzip_bytes\": " + std::to_string(m.packedBytes);
        }
        text += '}';
    }
    text += marks.empty() ? "]" : "\n  ]";
    return text;
}

} // namespace backtrail::cli
