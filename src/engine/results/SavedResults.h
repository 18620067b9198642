#pragma once

#include "engine/aggregate/ScanPart.h"
#include "engine/base/Settings.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>

namespace backtrail::engine {

/// A scan's results as `backtrail-scan --format json` writes them, read back:
/// the settings the scan ran with, its counters, its entries with their bot
/// flags, types and landing pages, and the files it could not read. Results
/// of several machines merge into what one scan of all their files gives.
struct SavedResults
{
    ScanSettings settings; ///< own domain, duplicate removal, types and https as the scan had them
    bool bySite = false; ///< rows grouped by site: their entries are gone, so they do not merge
    bool bySource = false; ///< rows grouped by source: likewise
    bool stopped = false; ///< the scan was stopped before its end
    bool details = false; ///< each row carries its landing pages and days (--details)
    std::int32_t filesDone = 0;
    ScanPart part;
    QList<QPair<QString, QString>> unreadable; ///< path and reason
};

/// A text of the results as the log's bytes: its UTF-8, where a lone
/// surrogate U+DC80 to U+DCFF stands for the byte 0x80 to 0xFF that was no
/// UTF-8 in the log (as the scanner writes such bytes).
QByteArray ResultsTextBytes(const QString& text);

/// Reads results from JSON text. False, with `error` saying what is wrong,
/// when the text is not such results.
bool ReadSavedResults(const QByteArray& json, SavedResults& results, QString* error);
/// The same, from the JSON's top object read before.
bool ReadSavedResults(const QJsonObject& top, SavedResults& results, QString* error);

/// What differs between the settings two results were made with, as "own
/// domain 'b.example', not 'a.example'" says it (`next`'s value first); empty
/// when they are the same.
QString SettingsDifference(const SavedResults& first, const SavedResults& next);

/// Reads and merges result files in the given order: what one scan of the
/// first one's files followed by the next one's would have found. False, with
/// `error` naming the file, when one cannot be read, was grouped by site or
/// stopped, or was made with other settings than the first.
bool MergeSavedResults(const QStringList& paths, SavedResults& merged, QString* error);

} // namespace backtrail::engine
