#include "LogSource.h"

#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace backtrail::engine {

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

class PlainSource final : public LogSource
{
public:
    explicit PlainSource(int file)
        : LogSource(file)
    {
    }
    std::int64_t read(char* buffer, std::size_t size) override { return readRaw(buffer, size); }
    bool compressed() const override { return false; }
};

class GzipSource final : public LogSource
{
public:
    explicit GzipSource(int file)
        : LogSource(file)
        , input(kInputSize)
    {
        std::memset(&stream, 0, sizeof stream);
        // 16 + 15: a gzip wrapper around a deflate stream with the largest window.
        ready = inflateInit2(&stream, 16 + 15) == Z_OK;
        if (!ready)
            error = QStringLiteral("cannot start decompression");
    }
    ~GzipSource() override { inflateEnd(&stream); }

    bool compressed() const override { return true; }

    std::int64_t read(char* buffer, std::size_t size) override
    {
        if (!ready)
            return -1;
        if (finished)
            return 0;
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = uInt(std::min<std::size_t>(size, 1u << 30));
        const uInt wanted = stream.avail_out;
        while (stream.avail_out == wanted) {
            if (stream.avail_in == 0) {
                const std::int64_t got = readRaw(reinterpret_cast<char*>(input.data()), input.size());
                if (got < 0)
                    return -1;
                if (got == 0) {
                    if (betweenMembers) {
                        finished = true;
                        return 0;
                    }
                    error = QStringLiteral("the compressed data ends early");
                    return -1;
                }
                stream.next_in = input.data();
                stream.avail_in = uInt(got);
            }
            if (betweenMembers) {
                // Another member follows only when it starts with the gzip magic;
                // anything else after a complete member is trailing padding.
                if (stream.avail_in >= 1 && stream.next_in[0] != 0x1f) {
                    finished = true;
                    break;
                }
                betweenMembers = false;
            }
            const int result = inflate(&stream, Z_NO_FLUSH);
            if (result == Z_STREAM_END) {
                betweenMembers = true;
                inflateReset(&stream);
                continue;
            }
            if (result != Z_OK && result != Z_BUF_ERROR) {
                error = QStringLiteral("the compressed data is damaged");
                return -1;
            }
        }
        return std::int64_t(wanted - stream.avail_out);
    }

private:
    static constexpr std::size_t kInputSize = 256 * 1024;
    z_stream stream;
    std::vector<Bytef> input;
    bool ready = false;
    bool betweenMembers = false;
    bool finished = false;
};

} // namespace

LogSource::LogSource(int file)
    : fd(file)
{
}

LogSource::~LogSource()
{
    if (fd >= 0)
        ::close(fd);
}

std::int64_t LogSource::readRaw(char* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0) {
            taken += got;
            return got;
        }
        if (errno == EINTR)
            continue;
        error = systemError(errno);
        return -1;
    }
}

bool LogSource::isGzipFile(const QString& path)
{
    const int file = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (file < 0)
        return false;
    struct stat info;
    unsigned char magic[2] = {0, 0};
    const bool gzip = ::fstat(file, &info) == 0 && S_ISREG(info.st_mode) && ::pread(file, magic, 2, 0) == 2
        && magic[0] == 0x1f && magic[1] == 0x8b;
    ::close(file);
    return gzip;
}

std::unique_ptr<LogSource> LogSource::open(const QString& path, QString* error)
{
    const QByteArray name = path.toLocal8Bit();
    // O_NONBLOCK: opening a named pipe must never wait for a writer.
    const int file = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (file < 0) {
        if (error)
            *error = systemError(errno);
        return nullptr;
    }
    struct stat info;
    if (::fstat(file, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(file);
        if (error)
            *error = QStringLiteral("not an ordinary file");
        return nullptr;
    }
    ::fcntl(file, F_SETFL, ::fcntl(file, F_GETFL) & ~O_NONBLOCK);
    ::posix_fadvise(file, 0, 0, POSIX_FADV_SEQUENTIAL);

    unsigned char magic[2] = {0, 0};
    const bool gzip = ::pread(file, magic, 2, 0) == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
    std::unique_ptr<LogSource> source;
    if (gzip)
        source = std::make_unique<GzipSource>(file);
    else
        source = std::make_unique<PlainSource>(file);
    if (!source->errorText().isEmpty()) {
        if (error)
            *error = source->errorText();
        return nullptr;
    }
    return source;
}

} // namespace backtrail::engine
