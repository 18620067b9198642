#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace backtrail::engine {

/// The bytes of one log file, read from the start in large blocks. A file whose
/// first two bytes are the gzip magic is read decompressed, with the members
/// that log rotation writes one after another taken as one stream.
class LogSource
{
public:
    virtual ~LogSource();
    LogSource(const LogSource&) = delete;
    LogSource& operator=(const LogSource&) = delete;

    /// Opens an ordinary file for reading; anything else (a folder, a named pipe,
    /// a device) is refused without being waited on. Null with `error` set on failure.
    static std::unique_ptr<LogSource> open(const QString& path, QString* error);

    /// Opens an ordinary file for sequential reading as open() does: its
    /// descriptor, or -1 with `error` set for anything else or a failure.
    static int openOrdinaryFile(const QString& path, QString* error);

    /// Reads up to `size` bytes: the count read, 0 at the end, -1 on a failure
    /// (errorText() says which). Bytes read before a failure stay valid.
    virtual std::int64_t read(char* buffer, std::size_t size) = 0;
    virtual bool compressed() const = 0;
    /// All the bytes, when the source holds them in memory.
    virtual std::optional<std::string_view> inMemory() const { return std::nullopt; }
    /// Keeps all the work of reading on the thread that reads (no gzip
    /// stream is inflated ahead on a thread of its own). Before the first read.
    void readOnCallerThread() { ownThread = false; }
    QString errorText() const { return error; }
    /// Bytes taken from the file so far (compressed bytes for a gzip file).
    std::int64_t fileBytesRead() const { return taken; }

    /// A source that hands out `bytes` and then, when `rest` is given, what
    /// `rest` reads (both must outlive it): a piece of a stream read before.
    static std::unique_ptr<LogSource> fromBytes(std::string_view bytes, LogSource* rest = nullptr);

    /// True when the file starts with the gzip magic bytes 1F 8B.
    static bool isGzipFile(const QString& path);

protected:
    explicit LogSource(int fd);
    std::int64_t readRaw(char* buffer, std::size_t size);
    int fd;
    QString error;
    std::int64_t taken = 0;
    bool ownThread = true;
};

} // namespace backtrail::engine
