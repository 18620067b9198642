#include "BackgroundScan.h"

#include <QMetaObject>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <vector>

namespace backtrail::engine {

/// The scan's front end on the scan's thread: answers the file list from its
/// copy and passes everything else on to the target's thread. Called on the
/// target's thread (ShowResults), it passes each call straight on.
class BackgroundScan::Relay final : public ScanFrontEnd
{
public:
    Relay(ScanFrontEnd& frontEnd, QObject& owner, const std::atomic<bool>& stop, const std::atomic<bool>& gone)
        : target(frontEnd)
        , context(owner)
        , stopAsked(stop)
        , abandoned(gone)
    {
    }

    void copyFileList()
    {
        files.clear();
        for (int i = 0; i < target.fileCount(); ++i)
            files.push_back({target.fileSelected(i), target.fileFolder(i), target.fileName(i), target.fileRange(i)});
    }

    int fileCount() const override { return int(files.size()); }
    bool fileSelected(int index) const override { return files[std::size_t(index)].selected; }
    QString fileFolder(int index) const override { return files[std::size_t(index)].folder; }
    QString fileName(int index) const override { return files[std::size_t(index)].name; }
    FileRange fileRange(int index) const override { return files[std::size_t(index)].range; }
    bool showsProgress() const override { return true; }

    void setStatus(const QString& text) override
    {
        post([&frontEnd = target, text] { frontEnd.setStatus(text); });
    }
    void setProgress(double value, double maximum) override
    {
        post([&frontEnd = target, value, maximum] { frontEnd.setProgress(value, maximum); });
    }
    void yieldToEvents() override
    {
        if (scanner && stopAsked.load(std::memory_order_relaxed))
            scanner->StopScan();
    }
    void showStatistics(const QString& title, const QString& text) override
    {
        if (onTargetThread()) {
            target.showStatistics(title, text);
            return;
        }
        // The scan goes on (and ends) once the user has closed the box, or
        // at once when the scan's owner is going away.
        struct Box
        {
            std::mutex lock;
            std::condition_variable changed;
            bool closed = false;
        };
        auto box = std::make_shared<Box>();
        QMetaObject::invokeMethod(
            &context,
            [&frontEnd = target, box, title, text] {
                frontEnd.showStatistics(title, text);
                const std::lock_guard<std::mutex> hold(box->lock);
                box->closed = true;
                box->changed.notify_all();
            },
            Qt::QueuedConnection);
        std::unique_lock<std::mutex> hold(box->lock);
        while (!box->closed && !abandoned.load())
            box->changed.wait_for(hold, std::chrono::milliseconds(50));
    }
    void scanCompleted() override
    {
        post([&frontEnd = target] { frontEnd.scanCompleted(); });
    }
    void clearResults() override
    {
        post([&frontEnd = target] { frontEnd.clearResults(); });
    }
    void addResults(ResultTable rows) override
    {
        auto table = std::make_shared<ResultTable>(std::move(rows));
        post([&frontEnd = target, table] { frontEnd.addResults(std::move(*table)); });
    }
    void fileUnreadable(const QString& path, const QString& reason) override
    {
        post([&frontEnd = target, path, reason] { frontEnd.fileUnreadable(path, reason); });
    }

    ScanFrontEnd& target;
    QObject& context;
    Scanner* scanner = nullptr;

private:
    struct File
    {
        bool selected;
        QString folder;
        QString name;
        FileRange range;
    };

    bool onTargetThread() const { return QThread::currentThread() == context.thread(); }

    template<typename Call> void post(Call&& call)
    {
        if (onTargetThread())
            call();
        else
            QMetaObject::invokeMethod(&context, std::forward<Call>(call), Qt::QueuedConnection);
    }

    const std::atomic<bool>& stopAsked;
    const std::atomic<bool>& abandoned;
    std::vector<File> files;
};

BackgroundScan::BackgroundScan(ScanFrontEnd& target, QObject& context)
    : relay(std::make_unique<Relay>(target, context, stopAsked, abandoned))
    , scan(std::make_unique<Scanner>(*relay, settings))
{
    relay->scanner = scan.get();
}

BackgroundScan::~BackgroundScan()
{
    stopAsked.store(true);
    abandoned.store(true);
    if (worker.joinable())
        worker.join();
}

void BackgroundScan::useSettings(const ScanSettings& values)
{
    if (!active)
        settings = values;
}

bool BackgroundScan::start(const ScanSettings& values, std::function<void()> ended)
{
    if (active)
        return false;
    if (worker.joinable())
        worker.join();
    settings = values;
    stopAsked.store(false);
    relay->copyFileList();
    active = true;
    // Runs on the context's thread once the scan's thread has told the front
    // end its last word; dropped with the receiver when this object goes first.
    auto finish = [this, ended = std::move(ended)] {
        if (worker.joinable())
            worker.join();
        active = false;
        if (ended)
            ended();
    };
    try {
        worker = std::thread([this, finish]() mutable {
            scan->StartScan();
            QMetaObject::invokeMethod(&receiver, std::move(finish), Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        // No thread to be had: the scan runs here, as a last resort.
        scan->StartScan();
        finish();
    }
    return true;
}

} // namespace backtrail::engine
