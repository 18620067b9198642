#include "ContentMarks.h"

#include "engine/base/TextHash.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace backtrail::engine {

namespace {

constexpr std::size_t kBlock = std::size_t(1) << 20;
// A "#Fields:" line longer than this is no field list a server writes.
constexpr std::size_t kLongestFields = std::size_t(64) << 10;

class StreamHash
{
public:
    StreamHash() { XXH3_64bits_reset(&state); }
    void add(std::string_view bytes) { XXH3_64bits_update(&state, bytes.data(), bytes.size()); }
    std::uint64_t value() const { return XXH3_64bits_digest(&state); }
    void restart() { XXH3_64bits_reset(&state); }

private:
    XXH3_state_t state;
};

// What a pass over a log's bytes from some point on finds: its last line end
// and the line before it, the bytes at the candidates' last lines, and the last
// W3C field list.
class Look
{
public:
    struct Window
    {
        std::int64_t begin = 0;
        std::int64_t end = 0;
        StreamHash hash;
    };

    explicit Look(std::int64_t origin)
        : pos(origin)
        , lineStartKnown(origin == 0)
    {
        if (origin == 0)
            carry = "\n"; // the file's start is a line start
    }

    void add(std::string_view block)
    {
        const std::int64_t at = pos;
        for (const std::unique_ptr<Window>& w : windows) {
            const std::int64_t from = std::max(w->begin, at);
            const std::int64_t to = std::min(w->end, at + std::int64_t(block.size()));
            if (from < to)
                w->hash.add(block.substr(std::size_t(from - at), std::size_t(to - from)));
        }
        findFields(block);
        const void* lf = ::memrchr(block.data(), '\n', block.size());
        if (!lf) {
            line.add(block);
            lineBytes += std::int64_t(block.size());
        } else {
            const std::size_t p = std::size_t(static_cast<const char*>(lf) - block.data());
            const void* before = p > 0 ? ::memrchr(block.data(), '\n', p) : nullptr;
            if (before) {
                const std::size_t q = std::size_t(static_cast<const char*>(before) - block.data());
                lastHash = TextHash(block.substr(q + 1, p - q));
                lastBytes = std::int64_t(p - q);
                lastKnown = true;
            } else {
                line.add(block.substr(0, p + 1));
                lastHash = line.value();
                lastBytes = lineBytes + std::int64_t(p + 1);
                lastKnown = lineStartKnown;
            }
            lastEnd = at + std::int64_t(p + 1);
            lineStartKnown = true;
            line.restart();
            line.add(block.substr(p + 1));
            lineBytes = std::int64_t(block.size() - p - 1);
        }
        pos += std::int64_t(block.size());
    }

    std::vector<std::unique_ptr<Window>> windows;
    std::int64_t pos;
    std::int64_t lastEnd = -1; ///< just after the last line end seen
    std::uint64_t lastHash = 0;
    std::int64_t lastBytes = 0;
    bool lastKnown = false; ///< the last line's start was seen
    std::string fields; ///< the last whole "#Fields:" line seen

private:
    void findFields(std::string_view block)
    {
        static constexpr std::string_view kFields = "\n#Fields:";
        if (capturing) {
            const std::size_t end = block.find('\n');
            capture.append(block.substr(0, end == std::string_view::npos ? block.size() : end + 1));
            if (end != std::string_view::npos) {
                capturing = false;
                if (capture.size() <= kLongestFields)
                    fields = capture;
            }
            if (capture.size() > kLongestFields)
                capturing = false;
            if (capturing)
                return;
        }
        // A field list that begins in the bytes before this block: the carry
        // holds their last bytes.
        std::string joined = carry;
        joined.append(block.substr(0, std::min(block.size(), kFields.size())));
        if (const std::size_t hit = joined.find(kFields); hit != std::string::npos && hit < carry.size())
            startCapture(block, std::ptrdiff_t(hit + 1) - std::ptrdiff_t(carry.size()));
        for (std::size_t hit = block.find(kFields); hit != std::string_view::npos; hit = block.find(kFields, hit + 1))
            startCapture(block, std::ptrdiff_t(hit + 1));
        const std::size_t keep = std::min(block.size(), kFields.size() - 1);
        carry = std::string(carry + std::string(block.substr(block.size() - keep)));
        carry.erase(0, carry.size() > kFields.size() - 1 ? carry.size() - (kFields.size() - 1) : 0);
    }
    // A field list starts at `start` of the block (negative: in the carry before it).
    void startCapture(std::string_view block, std::ptrdiff_t start)
    {
        capture.clear();
        if (start < 0)
            capture = carry.substr(carry.size() - std::size_t(-start));
        const std::string_view rest = block.substr(std::size_t(std::max<std::ptrdiff_t>(start, 0)));
        const std::size_t end = rest.find('\n');
        capture.append(rest.substr(0, end == std::string_view::npos ? rest.size() : end + 1));
        capturing = end == std::string_view::npos && capture.size() <= kLongestFields;
        if (end != std::string_view::npos && capture.size() <= kLongestFields)
            fields = capture;
    }

    StreamHash line; // the line under way
    std::int64_t lineBytes = 0;
    bool lineStartKnown;
    std::string carry;
    std::string capture;
    bool capturing = false;
};

// Bytes at each end of a gzip file that, with its size, tell it from another.
constexpr std::int64_t kPackedEnds = std::int64_t(64) << 10;

// The size and a hash of the first and last kPackedEnds bytes of a file as
// stored; {0, 0} when it cannot be read.
std::pair<std::int64_t, std::uint64_t> packedSignature(const QString& path)
{
    const int fd = LogSource::openOrdinaryFile(path, nullptr);
    if (fd < 0)
        return {0, 0};
    struct stat info;
    std::string ends;
    std::int64_t size = 0;
    if (::fstat(fd, &info) == 0) {
        size = std::int64_t(info.st_size);
        const std::int64_t first = std::min(size, kPackedEnds);
        const std::int64_t lastFrom = std::max(first, size - kPackedEnds);
        ends.resize(std::size_t(first + (size - lastFrom)));
        if (::pread(fd, ends.data(), std::size_t(first), 0) != first
            || ::pread(fd, ends.data() + first, std::size_t(size - lastFrom), lastFrom) != size - lastFrom)
            size = 0;
    }
    ::close(fd);
    return {size, size > 0 ? TextHash(ends) : 0};
}

// Reads a source to its end into the look. False on a failure.
bool readAll(LogSource& source, Look& look, std::string& buffer, QString* error)
{
    for (;;) {
        const std::int64_t got = source.read(buffer.data(), buffer.size());
        if (got < 0) {
            *error = source.errorText();
            return false;
        }
        if (got == 0)
            return true;
        look.add(std::string_view(buffer.data(), std::size_t(got)));
    }
}

} // namespace

bool PlanRead(const QString& path, const std::vector<ReadMark>& marks, ReadPlan& plan, QString* error)
{
    plan = ReadPlan();
    std::unique_ptr<LogSource> source = LogSource::open(path, error);
    if (!source)
        return false;
    source->readOnCallerThread(); // only its head: nothing inflated ahead
    std::string buffer(kBlock, '\0');
    std::size_t headSize = 0;
    while (headSize < std::size_t(kHeadBytes)) {
        const std::int64_t got = source->read(buffer.data() + headSize, std::size_t(kHeadBytes) - headSize);
        if (got < 0) {
            *error = source->errorText();
            return false;
        }
        if (got == 0)
            break;
        headSize += std::size_t(got);
    }
    const std::string head(buffer.data(), headSize);
    if (head.empty())
        return true;
    const bool compressed = source->compressed();
    std::pair<std::int64_t, std::uint64_t> packed {0, 0};
    if (compressed) {
        // A gzip file read to its end before: nothing new, and not inflated again.
        packed = packedSignature(path);
        for (std::size_t i = 0; i < marks.size() && packed.first > 0; ++i) {
            const ReadMark& m = marks[i];
            if (m.packedBytes == packed.first && m.packedHash == packed.second && m.headBytes > 0
                && m.headBytes <= std::int64_t(head.size())
                && TextHash(std::string_view(head).substr(0, std::size_t(m.headBytes))) == m.headHash) {
                plan.finding = ReadFinding::Known;
                plan.known = int(i);
                plan.mark = m;
                plan.range = FileRange {m.readBytes, m.readBytes, std::string()};
                return true;
            }
        }
    }

    // The marks whose first bytes are this file's, and from where the file
    // must be looked at: the earliest of their last lines, else its start.
    std::vector<int> candidates;
    std::int64_t from = -1;
    // Most marks share a head size (4 KiB): each size's hash is made once.
    std::map<std::int64_t, std::uint64_t> headHashes;
    auto headHash = [&](std::int64_t bytes) {
        const auto [at, added] = headHashes.try_emplace(bytes, 0);
        if (added)
            at->second = TextHash(std::string_view(head).substr(0, std::size_t(bytes)));
        return at->second;
    };
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const ReadMark& m = marks[i];
        if (m.headBytes <= 0 || m.headBytes > std::int64_t(head.size()) || m.lastLineBytes <= 0
            || m.lastLineBytes > m.readBytes || headHash(m.headBytes) != m.headHash)
            continue;
        candidates.push_back(int(i));
        const std::int64_t start = m.readBytes - m.lastLineBytes;
        from = from < 0 ? start : std::min(from, start);
    }
    from = std::max<std::int64_t>(from, 0);

    // A gzip file is inflated from its start; a plain one is read from `from`.
    if (compressed)
        from = 0;
    source.reset();
    auto look = [&](std::int64_t origin) -> std::optional<Look> {
        Look seen(origin);
        for (const int i : candidates) {
            auto w = std::make_unique<Look::Window>();
            w->begin = marks[std::size_t(i)].readBytes - marks[std::size_t(i)].lastLineBytes;
            w->end = marks[std::size_t(i)].readBytes;
            seen.windows.push_back(std::move(w));
        }
        std::unique_ptr<LogSource> bytes
            = origin == 0 ? LogSource::open(path, error) : OpenPiece(path, FilePiece {origin, -1}, error);
        if (!bytes || !readAll(*bytes, seen, buffer, error))
            return std::nullopt;
        return seen;
    };
    std::optional<Look> seen = look(from);
    if (!seen)
        return false;

    // The content read before that this continues: the furthest read mark
    // whose last line is still where it was.
    for (std::size_t c = 0; c < candidates.size(); ++c) {
        const ReadMark& m = marks[std::size_t(candidates[c])];
        const Look::Window& w = *seen->windows[c];
        if (seen->pos < m.readBytes || w.hash.value() != m.lastLineHash)
            continue;
        if (plan.known < 0 || m.readBytes > marks[std::size_t(plan.known)].readBytes)
            plan.known = candidates[c];
    }
    if (plan.known >= 0) {
        const ReadMark& m = marks[std::size_t(plan.known)];
        plan.finding = ReadFinding::Known;
        plan.mark = m;
        plan.range = FileRange {m.readBytes, std::max(seen->lastEnd, m.readBytes), m.fields};
        if (seen->lastEnd > m.readBytes) {
            plan.mark.readBytes = seen->lastEnd;
            plan.mark.lastLineHash = seen->lastHash;
            plan.mark.lastLineBytes = seen->lastBytes;
            if (!seen->fields.empty())
                plan.mark.fields = seen->fields;
        }
        if (compressed && seen->lastEnd == seen->pos) {
            plan.mark.packedBytes = packed.first;
            plan.mark.packedHash = packed.second;
        }
        return true;
    }
    if (!candidates.empty()) {
        plan.finding = ReadFinding::Rewritten;
        plan.known = candidates.front();
        return true;
    }
    if (seen->lastEnd <= 0)
        return true; // not one whole line yet
    plan.finding = ReadFinding::New;
    plan.range = FileRange {0, seen->lastEnd, std::string()};
    ReadMark& m = plan.mark;
    m.headBytes = std::min<std::int64_t>(kHeadBytes, seen->lastEnd);
    m.headHash = TextHash(std::string_view(head).substr(0, std::size_t(m.headBytes)));
    m.readBytes = seen->lastEnd;
    m.lastLineHash = seen->lastHash;
    m.lastLineBytes = seen->lastBytes;
    m.fields = seen->fields;
    if (compressed && seen->lastEnd == seen->pos) {
        m.packedBytes = packed.first;
        m.packedHash = packed.second;
    }
    return true;
}

bool PlanReads(const QStringList& paths, std::vector<ReadMark>& marks, std::vector<FileRange>& ranges,
               std::vector<std::pair<QString, QString>>& unreadable, QString* rewritten)
{
    ranges.clear();
    for (const QString& path : paths) {
        ReadPlan plan;
        QString why;
        if (!PlanRead(path, marks, plan, &why)) {
            // Not read at all: what was read of it before stays.
            ranges.push_back(FileRange {0, 0, {}});
            unreadable.emplace_back(path, why);
            continue;
        }
        switch (plan.finding) {
        case ReadFinding::NoLine:
            ranges.push_back(FileRange {0, 0, {}});
            break;
        case ReadFinding::New:
            marks.push_back(plan.mark);
            ranges.push_back(plan.range);
            break;
        case ReadFinding::Known:
            marks[std::size_t(plan.known)] = plan.mark;
            ranges.push_back(plan.range);
            break;
        case ReadFinding::Rewritten:
            *rewritten = path;
            return false;
        }
    }
    return true;
}

} // namespace backtrail::engine
