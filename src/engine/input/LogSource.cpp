#include "LogSource.h"

#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace backtrail::engine {

namespace {

/// LogSource objects alive in the process.
std::atomic<int> openSources {0};

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

class BytesSource final : public LogSource
{
public:
    BytesSource(std::string_view text, LogSource* next)
        : LogSource(-1)
        , bytes(text)
        , rest(next)
    {
    }
    std::int64_t read(char* buffer, std::size_t size) override
    {
        if (at < bytes.size()) {
            const std::size_t count = std::min(size, bytes.size() - at);
            std::memcpy(buffer, bytes.data() + at, count);
            at += count;
            return std::int64_t(count);
        }
        if (!rest)
            return 0;
        const std::int64_t got = rest->read(buffer, size);
        if (got < 0)
            error = rest->errorText();
        return got;
    }
    bool compressed() const override { return rest && rest->compressed(); }
    std::optional<std::string_view> inMemory() const override
    {
        if (rest)
            return std::nullopt;
        return bytes;
    }

private:
    std::string_view bytes;
    std::size_t at = 0;
    LogSource* rest;
};

/// Reads up to `size` bytes of a file: the count, 0 at its end, -1 with errno set.
ssize_t readFile(int fd, void* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

/// Inflates the gzip members of a file one after another with ISA-L. After a
/// complete member, a following 1F byte starts the next member; any other byte
/// ends the stream there, so the zero padding some tools append is ignored.
/// On damage or a cut file, the bytes inflated before it are handed out first
/// and the failure is reported by the read after them.
class Inflater
{
public:
    explicit Inflater(int file)
        : fd(file)
        , state(std::make_unique<inflate_state>())
        , input(kInputSize)
    {
        isal_inflate_init(state.get());
        state->crc_flag = ISAL_GZIP;
    }

    /// As LogSource::read.
    std::int64_t read(char* buffer, std::size_t size)
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
            if (s.avail_in == 0 && !inputEnded) {
                const ssize_t got = readFile(fd, input.data(), input.size());
                if (got < 0) {
                    error = systemError(errno);
                    return fail(wanted);
                }
                if (got == 0) {
                    inputEnded = true;
                } else {
                    taken += got;
                    s.next_in = input.data();
                    s.avail_in = std::uint32_t(got);
                }
            }
            if (s.avail_in == 0 && inputEnded && betweenMembers) {
                finished = true;
                break;
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
            // With the file read to its end, the inflater may still hold
            // bytes it has not handed out: the data ends early only when it
            // has none left.
            const std::uint32_t roomBefore = s.avail_out;
            const int result = isal_inflate(&s);
            if (result != ISAL_DECOMP_OK && result != ISAL_END_INPUT) {
                error = QStringLiteral("the compressed data is damaged");
                return fail(wanted);
            }
            if (inputEnded && s.avail_in == 0 && s.avail_out == roomBefore && s.block_state != ISAL_BLOCK_FINISH) {
                error = QStringLiteral("the compressed data ends early");
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

    /// Compressed bytes taken from the file so far.
    std::int64_t taken = 0;
    QString error;

private:
    /// The bytes this read inflated before the failure, or -1 when there are none.
    std::int64_t fail(std::uint32_t wanted)
    {
        failed = true;
        const std::int64_t made = std::int64_t(wanted - state->avail_out);
        return made > 0 ? made : -1;
    }

    static constexpr std::size_t kInputSize = 256 * 1024;
    int fd;
    std::unique_ptr<inflate_state> state;
    std::vector<std::uint8_t> input;
    bool betweenMembers = false;
    bool inputEnded = false; // the file is read to its end
    bool finished = false;
    bool failed = false;
};

/// A gzip file inflated ahead of the reader by a thread of its own, so that
/// inflating and scanning share the time of two cores: the thread fills a
/// small ring of large blocks, the reader copies them out. It is started only
/// while fewer files are open than there are cores (when the scan reads a file
/// on every core, a thread more would only take turns with them); otherwise,
/// the reader inflates as it reads.
class GzipSource final : public LogSource
{
public:
    explicit GzipSource(int file)
        : LogSource(file)
        , inflater(file)
    {
    }

    ~GzipSource() override
    {
        if (!worker.joinable())
            return;
        {
            const std::lock_guard<std::mutex> hold(lock);
            stopping = true;
        }
        changed.notify_all();
        worker.join();
    }

    bool compressed() const override { return true; }

    std::int64_t read(char* buffer, std::size_t size) override
    {
        if (!started)
            start();
        if (!worker.joinable())
            return readHere(buffer, size);
        if (ended)
            return failed ? -1 : 0;
        if (!holding) {
            std::unique_lock<std::mutex> hold(lock);
            changed.wait(hold, [&] { return filled > 0; });
            holding = true;
            at = 0;
        }
        Block& block = ring[consumed];
        taken = block.taken;
        const std::size_t count = std::min(size, block.size - at);
        std::memcpy(buffer, block.bytes.get() + at, count);
        at += count;
        if (at == block.size) {
            if (block.last) {
                ended = true;
                failed = block.failed;
                error = block.error;
            }
            {
                const std::lock_guard<std::mutex> hold(lock);
                --filled;
            }
            changed.notify_all();
            consumed = (consumed + 1) % kBlocks;
            holding = false;
        }
        if (count > 0 || !ended)
            return std::int64_t(count);
        return failed ? -1 : 0;
    }

private:
    static constexpr std::size_t kBlocks = 4;
    static constexpr std::size_t kBlockSize = std::size_t(512) << 10;

    struct Block
    {
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0;
        std::int64_t taken = 0; // compressed bytes taken when the block was full
        bool last = false; // the end of the stream or its failure
        bool failed = false;
        QString error;
    };

    void start()
    {
        started = true;
        if (!ownThread || openSources.load() >= int(std::thread::hardware_concurrency()))
            return;
        try {
            for (Block& block : ring)
                block.bytes.reset(new char[kBlockSize]); // left untouched until inflated into
            worker = std::thread([this] { inflateAhead(); });
        } catch (const std::exception&) {
            // No memory or no thread: inflate as the reader reads.
        }
    }

    std::int64_t readHere(char* buffer, std::size_t size)
    {
        const std::int64_t got = inflater.read(buffer, size);
        taken = inflater.taken;
        if (got < 0)
            error = inflater.error;
        return got;
    }

    void inflateAhead()
    {
        for (std::size_t next = 0;; next = (next + 1) % kBlocks) {
            {
                std::unique_lock<std::mutex> hold(lock);
                changed.wait(hold, [&] { return stopping || filled < kBlocks; });
                if (stopping)
                    return;
            }
            // The reader leaves this block alone until it is counted as filled.
            Block& block = ring[next];
            block.size = 0;
            while (block.size < kBlockSize) {
                const std::int64_t got = inflater.read(block.bytes.get() + block.size, kBlockSize - block.size);
                if (got <= 0) {
                    block.last = true;
                    block.failed = got < 0;
                    block.error = inflater.error;
                    break;
                }
                block.size += std::size_t(got);
            }
            block.taken = inflater.taken;
            {
                const std::lock_guard<std::mutex> hold(lock);
                ++filled;
            }
            changed.notify_all();
            if (block.last)
                return;
        }
    }

    Inflater inflater; // used by the worker alone once it runs
    std::array<Block, kBlocks> ring;
    std::mutex lock;
    std::condition_variable changed;
    std::size_t filled = 0; // blocks inflated and not yet read out, under the lock
    bool stopping = false; // under the lock
    std::thread worker;
    // The reader's side.
    bool started = false;
    bool holding = false; // ring[consumed] is being read out
    std::size_t consumed = 0;
    std::size_t at = 0;
    bool ended = false;
    bool failed = false;
};

} // namespace

LogSource::LogSource(int file)
    : fd(file)
{
    ++openSources;
}

LogSource::~LogSource()
{
    --openSources;
    if (fd >= 0)
        ::close(fd);
}

std::int64_t LogSource::readRaw(char* buffer, std::size_t size)
{
    const ssize_t got = readFile(fd, buffer, size);
    if (got < 0) {
        error = systemError(errno);
        return -1;
    }
    taken += got;
    return got;
}

std::unique_ptr<LogSource> LogSource::fromBytes(std::string_view bytes, LogSource* rest)
{
    return std::make_unique<BytesSource>(bytes, rest);
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

int LogSource::openOrdinaryFile(const QString& path, QString* error)
{
    const QByteArray name = path.toLocal8Bit();
    // O_NONBLOCK: opening a named pipe must never wait for a writer.
    const int file = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (file < 0) {
        if (error)
            *error = systemError(errno);
        return -1;
    }
    struct stat info;
    if (::fstat(file, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(file);
        if (error)
            *error = QStringLiteral("not an ordinary file");
        return -1;
    }
    ::fcntl(file, F_SETFL, ::fcntl(file, F_GETFL) & ~O_NONBLOCK);
    ::posix_fadvise(file, 0, 0, POSIX_FADV_SEQUENTIAL);
    return file;
}

std::unique_ptr<LogSource> LogSource::open(const QString& path, QString* error)
{
    const int file = openOrdinaryFile(path, error);
    if (file < 0)
        return nullptr;

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
