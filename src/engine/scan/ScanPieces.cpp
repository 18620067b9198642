#include "ScanDriver.h"
#include "ScanWork.h"

#include "engine/base/HugePages.h"
#include "engine/input/FilePieces.h"
#include "engine/input/LineEnds.h"
#include "engine/input/LineScanner.h"
#include "engine/input/LogSource.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace backtrail::engine {

using namespace scanwork;

void Scanner::runTask(const Task& task, TaskResult& result, bool yieldWhileReading, int helpers)
{
    QString error;
    std::unique_ptr<LogSource> source
        = task.whole ? LogSource::open(task.path, &error) : OpenPiece(task.path, task.piece, &error);
    if (!source) {
        result.error = error;
        return;
    }
    result.opened = true;
    // A part of a file read as one piece: the bytes of its window, after the
    // prefix's field names (whose lines are no lines of the file).
    std::unique_ptr<LogSource> window;
    std::int64_t prefixLines = 0;
    if (task.whole && !task.bounds.whole()) {
        if (task.bounds.end >= 0 && task.bounds.end <= task.bounds.begin) {
            // Nothing new: the file is not read (a gzip file not inflated).
            window = std::move(source);
            source = LogSource::fromBytes(std::string_view());
        } else if (source->compressed()) {
            window = OpenWindow(std::move(source), task.bounds.begin, task.bounds.end);
        } else {
            source.reset();
            window = OpenPiece(task.path, FilePiece {task.bounds.begin, task.bounds.end}, &error);
            if (!window) {
                result.error = error;
                return;
            }
        }
        if (task.bounds.end < 0 || task.bounds.end > task.bounds.begin)
            source = LogSource::fromBytes(task.bounds.prefix, window.get());
        prefixLines = std::count(task.bounds.prefix.begin(), task.bounds.prefix.end(), '\n');
    }
    if (helpers > 0 && source->compressed() && task.lineLimit < 0 && !window) {
        scanInPieces(task, result, std::move(source), helpers);
        return;
    }
    // Each task asks its own copy: the copy's cache of answers is the task's alone.
    CrawlerList crawlers = crawlerList;
    const bool compressed = source->compressed();
    reserveEntries(result.part, compressed, task.bytes);
    const bool readToEnd
        = scanLines(task, *source, result, !task.whole && task.piece.begin > 0, yieldWhileReading, crawlers);
    result.part.lines -= std::min(prefixLines, result.part.lines);
    if (readToEnd && !result.stopped)
        noteEntries(result.part, compressed, task.bytes);
    result.bytesRead.store(source->fileBytesRead(), std::memory_order_relaxed);
    if (result.stopped)
        return;
    if (!readToEnd) {
        result.error = source->errorText();
        return;
    }
    result.readToEnd = true;
}

namespace {

// The inflated bytes of a gzip file are cut into pieces of about this size.
constexpr std::size_t kInflatedPiece = std::size_t(32) << 20;
// Pieces taken and not yet merged, at most.
constexpr std::size_t kPiecesInFlight = 4;
// A thread's buffer for the pieces it takes, kept from piece to piece: in
// huge pages, whose first touch costs far less than that of 8,000 small ones.
using PieceBuffer = std::vector<char, HugePageAllocator<char>>;

} // namespace

void Scanner::scanInPieces(const Task& task, TaskResult& result, std::unique_ptr<LogSource> source, int helpers)
{
    // The threads that take pieces inflate them as they take them.
    source->readOnCallerThread();
    // Pieces are taken from the stream under `readLock`, one thread at a time
    // and in order; the merging side is under `lock` (taken inside readLock).
    std::mutex readLock;
    std::string carried; // read and not yet in a piece
    bool allTaken = false; // the stream is taken to its end or to a failure
    bool readFailed = false;
    bool firstPiece = true;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::unique_ptr<TaskResult>> pieces;
    std::size_t merged = 0;
    bool stopped = false;
    bool failed = false; // a piece that read on from the stream failed
    QString failure;
    bool readAgain = false; // a piece needed W3C field names that an earlier one set
    W3cFields fieldsSoFar;

    // Takes the next piece into `buffer` (under readLock): whole lines of
    // the stream, or, when no line end comes within the longest line kept
    // whole (or the file names W3C fields first), the rest of the stream,
    // read on as one piece. Each thread reads into a buffer of its own, kept
    // from piece to piece; its size is its capacity, `used` the piece.
    const std::size_t pieceSize = pieceBytes > 0 ? std::size_t(pieceBytes) : kInflatedPiece;
    const std::size_t block = std::min(pieceSize, std::size_t(1) << 20);
    auto takePiece = [&](PieceBuffer& buffer) -> std::unique_ptr<LogSource> {
        if (buffer.size() < pieceSize + block)
            buffer.resize(pieceSize + block);
        std::size_t used = carried.size();
        std::memcpy(buffer.data(), carried.data(), used);
        carried.clear();
        auto bytes = [&] { return std::string_view(buffer.data(), used); };
        const bool first = std::exchange(firstPiece, false);
        // The bytes before this hold no line end to cut after (but for a CR
        // at its very end, whose next byte was not known yet).
        std::size_t searched = 0;
        for (;;) {
            if (used >= pieceSize) {
                // A piece is cut only below the longest line kept whole, so
                // that every line in it is whole.
                const bool namesFields = first && buffer.front() == '#';
                if (namesFields || used >= kMaxLineBytes) {
                    allTaken = true;
                    return LogSource::fromBytes(bytes(), source.get());
                }
                const std::size_t from = searched > 0 ? searched - 1 : 0;
                if (const std::size_t cut = AfterLastLineEnd(bytes().substr(from), false); cut > 0) {
                    carried.assign(buffer.data() + from + cut, used - from - cut);
                    used = from + cut;
                    return LogSource::fromBytes(bytes());
                }
                searched = used;
            }
            if (buffer.size() < used + block)
                buffer.resize(buffer.size() * 2);
            const std::int64_t got = source->read(buffer.data() + used, block);
            result.bytesRead.store(source->fileBytesRead(), std::memory_order_relaxed);
            if (got <= 0) {
                allTaken = true;
                readFailed = got < 0;
                // Before a failure only whole lines are read, as in one piece.
                if (readFailed)
                    used = AfterLastLineEnd(bytes(), true);
                return LogSource::fromBytes(bytes());
            }
            used += std::size_t(got);
        }
    };

    // Merges the pieces read so far in order (under lock).
    auto mergeReady = [&] {
        while (merged < pieces.size() && pieces[merged]->ready.load() && !stopped && !failed) {
            TaskResult& r = *pieces[merged];
            if (merged > 0 && r.needsEarlierFields && fieldsSoFar.count > 0)
                readAgain = true;
            if (r.namedFields || merged == 0)
                fieldsSoFar = r.endFields;
            if (merged == 0)
                result.noLogReason = r.noLogReason;
            result.namedFields = result.namedFields || r.namedFields;
            result.part.merge(std::move(r.part));
            stopped = r.stopped;
            if (!r.stopped && !r.readToEnd) {
                failed = true;
                failure = r.error;
            }
            pieces[merged].reset();
            ++merged;
        }
    };

    auto work = [&](CrawlerList crawlers) {
        PieceBuffer buffer;
        for (;;) {
            std::unique_lock<std::mutex> reading(readLock);
            if (allTaken)
                return;
            TaskResult* into = nullptr;
            std::size_t index = 0;
            {
                std::unique_lock<std::mutex> hold(lock);
                changed.wait(hold, [&] {
                    return stopped || failed || stopFlag.load(std::memory_order_relaxed)
                        || pieces.size() < merged + kPiecesInFlight;
                });
                if (stopped || failed || stopFlag.load(std::memory_order_relaxed))
                    return;
                index = pieces.size();
                pieces.push_back(std::make_unique<TaskResult>(task.collapse, task.details));
                into = pieces.back().get();
            }
            const std::unique_ptr<LogSource> piece = takePiece(buffer);
            // A piece that reads on from the stream holds it until it is done.
            if (piece->inMemory())
                reading.unlock();
            const bool complete = scanLines(task, *piece, *into, index > 0, false, crawlers);
            into->readToEnd = complete && !into->stopped;
            if (!complete)
                into->error = piece->errorText();
            {
                const std::lock_guard<std::mutex> hold(lock);
                into->ready.store(true);
                mergeReady();
            }
            changed.notify_all();
        }
    };

    std::vector<std::thread> pool;
    for (int h = 0; h < helpers; ++h) {
        try {
            pool.emplace_back(work, crawlerList);
        } catch (const std::system_error&) {
            break;
        }
    }
    work(crawlerList);
    for (std::thread& t : pool)
        t.join();
    mergeReady();
    result.endFields = fieldsSoFar;
    result.bytesRead.store(source->fileBytesRead(), std::memory_order_relaxed);
    // Taking pieces ended with a stop between two of them: what was read is
    // a prefix of the lines all the same.
    if (!stopped && !failed && !allTaken)
        stopped = true;
    if (!stopped && !failed && readFailed) {
        failed = true;
        failure = source->errorText();
    }
    if (readAgain) {
        // The file is read again in one piece (up to the line where a stop ended it).
        Task again = task;
        again.lineLimit = stopped ? result.part.lines : -1;
        TaskResult redo(task.collapse, task.details);
        runTask(again, redo, false);
        result.part = std::move(redo.part);
        result.endFields = redo.endFields;
        result.namedFields = redo.namedFields;
        stopped = redo.stopped;
        failed = !redo.stopped && !redo.readToEnd;
        failure = redo.error;
    }
    result.stopped = stopped;
    if (failed)
        result.error = failure;
    else if (!stopped)
        result.readToEnd = true;
}

} // namespace backtrail::engine
