#pragma once

#include "LogSource.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace backtrail::engine {

/// A run of whole lines of a plain log file: the bytes [begin, end), where end
/// -1 stands for the end of the file as it is when the piece is read.
struct FilePiece
{
    std::int64_t begin = 0;
    std::int64_t end = -1;
};

/// The part of a log a scan reads, in the bytes the log holds (after
/// decompression): [begin, end), end -1 for the end of the file. `prefix`
/// (whole lines) is read before them and its lines are not counted: the W3C
/// field names in force at `begin`, which the lines after it are read by.
struct FileRange
{
    std::int64_t begin = 0;
    std::int64_t end = -1;
    std::string prefix;

    bool whole() const { return begin == 0 && end < 0 && prefix.empty(); }
};

/// Cuts a plain file into pieces of about `pieceBytes` each, every cut just
/// after a line end (LF, CR LF or a lone CR), so that the pieces read one
/// after another give the same lines as the whole file. The last piece runs to
/// the file's end. One piece for a file that cannot be read or is small.
std::vector<FilePiece> CutAtLineEnds(const QString& path, std::int64_t pieceBytes);

/// Opens one piece of a plain file for reading, as LogSource::open opens a file.
std::unique_ptr<LogSource> OpenPiece(const QString& path, const FilePiece& piece, QString* error);

/// A source that reads `inner` (plain or decompressed) from byte `begin` to
/// byte `end` (-1: to its end), skipping what comes before `begin`: a part of
/// a gzip file, which can only be read from its start.
std::unique_ptr<LogSource> OpenWindow(std::unique_ptr<LogSource> inner, std::int64_t begin, std::int64_t end);

} // namespace backtrail::engine
