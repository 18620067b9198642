#pragma once

#include <QSaveFile>
#include <QString>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace backtrail::engine {

// Output goes to the stream or, with --output, to a file that is replaced
// only when everything was written.
class Output
{
public:
    Output(std::ostream& stream, const QString& path)
        : out(stream)
    {
        if (!path.isEmpty()) {
            file = std::make_unique<QSaveFile>(path);
            ok = file->open(QIODevice::WriteOnly);
        }
    }
    void write(std::string& text)
    {
        if (file)
            ok = ok && file->write(text.data(), qint64(text.size())) == qint64(text.size());
        else
            out.write(text.data(), std::streamsize(text.size()));
        text.clear();
    }
    // Writes when enough has gathered, so output of any size streams in bounded memory.
    void writeSome(std::string& text)
    {
        if (text.size() >= (std::size_t(1) << 16))
            write(text);
    }
    bool finish(QString* error)
    {
        if (!file) {
            out.flush();
            return bool(out);
        }
        if (ok && file->commit())
            return true;
        *error = file->errorString();
        file->cancelWriting();
        return false;
    }

private:
    std::ostream& out;
    std::unique_ptr<QSaveFile> file;
    bool ok = true;
};

// Writes texts to an output on a thread of its own, in the order given,
// holding at most a few of them at once.
class BatchWriter
{
public:
    explicit BatchWriter(Output& to)
        : output(to)
        , thread([this] { run(); })
    {
    }
    ~BatchWriter() { finish(); }
    BatchWriter(const BatchWriter&) = delete;
    BatchWriter& operator=(const BatchWriter&) = delete;

    /// Hands the text over (leaving it empty, its memory kept for the next).
    void write(std::string& text)
    {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [&] { return waiting.size() < kMostWaiting; });
        std::string spare = spares.empty() ? std::string() : std::move(spares.back());
        if (!spares.empty())
            spares.pop_back();
        waiting.push_back(std::move(text));
        text = std::move(spare);
        text.clear();
        changed.notify_all();
    }
    /// Waits until everything handed over is written.
    void finish()
    {
        if (!thread.joinable())
            return;
        {
            const std::lock_guard<std::mutex> hold(lock);
            done = true;
        }
        changed.notify_all();
        thread.join();
    }

private:
    static constexpr std::size_t kMostWaiting = 2;
    void run()
    {
        std::unique_lock<std::mutex> hold(lock);
        for (;;) {
            changed.wait(hold, [&] { return done || !waiting.empty(); });
            if (waiting.empty())
                return;
            std::string text = std::move(waiting.front());
            waiting.pop_front();
            hold.unlock();
            output.write(text);
            hold.lock();
            spares.push_back(std::move(text));
            changed.notify_all();
        }
    }

    Output& output;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::string> waiting;
    std::vector<std::string> spares;
    bool done = false;
    std::thread thread; // last: it starts when everything else is ready
};

} // namespace backtrail::engine
