#include "FollowedFiles.h"

#include "ScanCommand.h"

#include <QDir>

#include <algorithm>
#include <chrono>
#include <sys/stat.h>
#include <thread>

namespace backtrail::cli {

namespace {

QString pathOf(const Entry& entry)
{
    return QDir(entry.folder).filePath(entry.name);
}

} // namespace

FollowedFiles::Signature FollowedFiles::signatureOf(const QString& path)
{
    struct stat info;
    if (::stat(path.toLocal8Bit().constData(), &info) != 0)
        return {};
    return {std::uint64_t(info.st_ino), std::int64_t(info.st_size),
            std::int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

void FollowedFiles::note(const std::vector<Entry>& entries)
{
    for (const Entry& entry : entries)
        seen[pathOf(entry)] = signatureOf(pathOf(entry));
}

void FollowedFiles::keepChanged(std::vector<Entry>& entries)
{
    std::vector<Entry> changed;
    for (Entry& entry : entries) {
        const QString path = pathOf(entry);
        const Signature now = signatureOf(path);
        const auto was = seen.find(path);
        if (was != seen.end() && was->second == now)
            continue;
        seen[path] = now;
        changed.push_back(std::move(entry));
    }
    entries = std::move(changed);
}

bool FollowedFiles::wait(double seconds)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until
        = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    const Clock::duration step = std::chrono::milliseconds(50);
    while (InterruptCount().load() == 0) {
        const Clock::time_point now = Clock::now();
        if (now >= until)
            return true;
        std::this_thread::sleep_for(std::min(Clock::duration(until - now), step));
    }
    return false;
}

} // namespace backtrail::cli
