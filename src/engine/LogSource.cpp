#include "LogSource.h"

#include <isa-l/igzip_lib.h>

#include <algorithm>
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

/// Inflates the gzip members of a file one after another with ISA-L. After a
/// complete member, a following 1F byte starts the next member; any other byte
/// ends the stream there, so the zero padding some tools append is ignored.
/// On damage or a cut file, the bytes inflated before it are handed out first
/// and the failure is reported by the read after them.
class GzipSource final : public LogSource
{
public:
    explicit GzipSource(int file)
        : LogSource(file)
        , state(std::make_unique<inflate_state>())
        , input(kInputSize)
    {
        isal_inflate_init(state.get());
        state->crc_flag = ISAL_GZIP;
    }

    bool compressed() const override { return true; }

    std::int64_t read(char* buffer, std::size_t size) override
    {
        if (failed)
            return -1;
        if (finished)
            return 0;
        inflate_state& s = *state;
        s.next_out = reinterpret_cast<std::uint8_t*>(buffer);
        s.avail_out = std::uint32_t(std::min<std::size_t>(size, 1u << 30));
        const std::uint32_t wanted = s.avail_out;
        while (s.avail_out == wanted) {
            if (s.avail_in == 0) {
                const std::int64_t got = readRaw(reinterpret_cast<char*>(input.data()), input.size());
                if (got < 0)
                    return fail(wanted);
                if (got == 0) {
                    if (betweenMembers) {
                        finished = true;
                        break;
                    }
                    error = QStringLiteral("the compressed data ends early");
                    return fail(wanted);
                }
                s.next_in = input.data();
                s.avail_in = std::uint32_t(got);
            }
            if (betweenMembers) {
                // Another member follows only when it starts with the gzip magic;
                // anything else after a complete member is trailing padding.
                if (s.next_in[0] != 0x1f) {
                    finished = true;
                    break;
                }
                betweenMembers = false;
            }
            const int result = isal_inflate(&s);
            if (result != ISAL_DECOMP_OK && result != ISAL_END_INPUT) {
                error = QStringLiteral("the compressed data is damaged");
                return fail(wanted);
            }
            if (s.block_state == ISAL_BLOCK_FINISH) {
                // The member and its checked trailer are done: start afresh on
                // the input that follows it.
                betweenMembers = true;
                std::uint8_t* const nextIn = s.next_in;
                const std::uint32_t availIn = s.avail_in;
                std::uint8_t* const nextOut = s.next_out;
                const std::uint32_t availOut = s.avail_out;
                isal_inflate_reset(&s);
                s.crc_flag = ISAL_GZIP;
                s.next_in = nextIn;
                s.avail_in = availIn;
                s.next_out = nextOut;
                s.avail_out = availOut;
            }
        }
        return std::int64_t(wanted - s.avail_out);
    }

private:
    /// The bytes this read inflated before the failure, or -1 when there are none.
    std::int64_t fail(std::uint32_t wanted)
    {
        failed = true;
        const std::int64_t made = std::int64_t(wanted - state->avail_out);
        return made > 0 ? made : -1;
    }

    static constexpr std::size_t kInputSize = 256 * 1024;
    std::unique_ptr<inflate_state> state;
    std::vector<std::uint8_t> input;
    bool betweenMembers = false;
    bool finished = false;
    bool failed = false;
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
