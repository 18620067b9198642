#include "FilePieces.h"

#include "LineEnds.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace backtrail::engine {

namespace {

class PieceSource final : public LogSource
{
public:
    PieceSource(int file, const FilePiece& piece)
        : LogSource(file)
        , left(piece.end < 0 ? -1 : piece.end - piece.begin)
    {
        if (::lseek(fd, piece.begin, SEEK_SET) < 0)
            error = QString::fromLocal8Bit(std::strerror(errno));
    }
    std::int64_t read(char* buffer, std::size_t size) override
    {
        if (left == 0)
            return 0;
        if (left > 0)
            size = std::size_t(std::min<std::int64_t>(std::int64_t(size), left));
        const std::int64_t got = readRaw(buffer, size);
        if (got > 0 && left > 0)
            left -= got;
        return got;
    }
    bool compressed() const override { return false; }

private:
    std::int64_t left; // bytes of the piece not yet read; -1: up to the file's end
};

class WindowSource final : public LogSource
{
public:
    WindowSource(std::unique_ptr<LogSource> source, std::int64_t begin, std::int64_t end)
        : LogSource(-1)
        , inner(std::move(source))
        , skip(begin)
        , left(end < 0 ? -1 : std::max<std::int64_t>(0, end - begin))
    {
    }
    std::int64_t read(char* buffer, std::size_t size) override
    {
        while (skip > 0) {
            // Skipped in the caller's buffer: it is about to be filled anyway.
            const std::int64_t got = inner->read(buffer, std::size_t(std::min<std::int64_t>(std::int64_t(size), skip)));
            taken = inner->fileBytesRead();
            if (got <= 0)
                return fail(got);
            skip -= got;
        }
        if (left == 0)
            return 0;
        if (left > 0)
            size = std::size_t(std::min<std::int64_t>(std::int64_t(size), left));
        const std::int64_t got = inner->read(buffer, size);
        taken = inner->fileBytesRead();
        if (got < 0)
            return fail(got);
        if (left > 0)
            left -= got;
        return got;
    }
    bool compressed() const override { return inner->compressed(); }

private:
    std::int64_t fail(std::int64_t got)
    {
        if (got < 0) {
            error = inner->errorText();
            return -1;
        }
        // The file ends before the window begins: nothing of it is there.
        return 0;
    }
    std::unique_ptr<LogSource> inner;
    std::int64_t skip;
    std::int64_t left;
};

// The offset just after the first line end at or after `from`; -1 when the
// file ends first.
std::int64_t nextLineStart(int file, std::int64_t from)
{
    char block[64 * 1024];
    for (std::int64_t at = from;;) {
        const ssize_t got = ::pread(file, block, sizeof block, at);
        if (got <= 0)
            return -1;
        const std::string_view bytes(block, std::size_t(got));
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (!IsLineEnd(bytes[i]))
                continue;
            if (const std::size_t next = NextLineStart(bytes, i, false))
                return at + std::int64_t(next);
            // A CR that ends the block: the byte after it tells whether it is a CR LF.
            char after = 0;
            if (::pread(file, &after, 1, at + std::int64_t(i) + 1) != 1)
                return -1;
            return at + std::int64_t(i) + 1 + (after == '\n' ? 1 : 0);
        }
        at += got;
    }
}

} // namespace

std::vector<FilePiece> CutAtLineEnds(const QString& path, std::int64_t pieceBytes)
{
    std::vector<FilePiece> pieces;
    const int file = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info;
    if (file < 0 || ::fstat(file, &info) != 0 || !S_ISREG(info.st_mode) || pieceBytes <= 0
        || info.st_size <= pieceBytes) {
        if (file >= 0)
            ::close(file);
        return {FilePiece()};
    }
    std::int64_t begin = 0;
    while (begin + pieceBytes < info.st_size) {
        const std::int64_t cut = nextLineStart(file, begin + pieceBytes);
        if (cut < 0 || cut >= info.st_size)
            break;
        pieces.push_back({begin, cut});
        begin = cut;
    }
    pieces.push_back({begin, -1});
    ::close(file);
    return pieces;
}

std::unique_ptr<LogSource> OpenPiece(const QString& path, const FilePiece& piece, QString* error)
{
    const int file = LogSource::openOrdinaryFile(path, error);
    if (file < 0)
        return nullptr;
    auto source = std::make_unique<PieceSource>(file, piece);
    if (!source->errorText().isEmpty()) {
        if (error)
            *error = source->errorText();
        return nullptr;
    }
    return source;
}

std::unique_ptr<LogSource> OpenWindow(std::unique_ptr<LogSource> inner, std::int64_t begin, std::int64_t end)
{
    return std::make_unique<WindowSource>(std::move(inner), begin, end);
}

} // namespace backtrail::engine
