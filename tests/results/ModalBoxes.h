#pragma once

// Closes the message boxes a window opens while a test drives it, and keeps
// what they said. Boxes are modal: the window waits in the box's own event
// loop, where the watcher's timer still fires.

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#if __has_include(<QTest>)
#include <QTest>
#define BACKTRAIL_MODAL_BOXES_IN_QTEST 1
#endif
#include <QTimer>

#include <memory>

#include <unistd.h>

struct ClosedBox
{
    QString title;
    QString text;
};

// How many watchers are alive: while none is, a message box is unexpected.
inline int& LiveModalBoxWatchers()
{
    static int count = 0;
    return count;
}

class ModalBoxWatcher
{
public:
    ModalBoxWatcher(const ModalBoxWatcher&) = delete;
    ModalBoxWatcher& operator=(const ModalBoxWatcher&) = delete;
    ~ModalBoxWatcher() { --LiveModalBoxWatchers(); }
    ModalBoxWatcher()
    {
        ++LiveModalBoxWatchers();
        QObject::connect(&timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box || !box->isVisible())
                return;
            boxes.push_back({box->windowTitle(), box->text()});
            box->done(QMessageBox::Ok);
        });
        timer.start(10);
    }
    std::vector<ClosedBox> boxes;

private:
    QTimer timer;
};

// A message box that opens while no watcher expects one fails the running test
// and is closed, so that a test never waits for a box that nobody answers.
inline void FailOnUnexpectedBoxes()
{
    static QTimer* guard = nullptr;
    if (guard)
        return;
    guard = new QTimer(QCoreApplication::instance());
    QObject::connect(guard, &QTimer::timeout, [] {
        if (LiveModalBoxWatchers() > 0)
            return;
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        const QByteArray what = "a message box that the test did not expect: " + box->text().toUtf8();
        box->done(QMessageBox::Ok);
#ifdef BACKTRAIL_MODAL_BOXES_IN_QTEST
        if (QTest::currentTestFunction()) {
            QTest::qFail(what.constData(), __FILE__, __LINE__);
            return;
        }
#endif
        qWarning("%s", what.constData());
    });
    guard->start(50);
}
Q_COREAPP_STARTUP_FUNCTION(FailOnUnexpectedBoxes)

// Everything a GUI test needs before the application object exists: its own
// configuration, cache and runtime folders, and the web view's settings for a
// machine without a GPU (and, as root, without Chromium's sandbox).
inline void PrepareGuiTestEnvironment()
{
    static QTemporaryDir home;
    const QString base = home.path();
    for (const char* name : {"config", "cache", "runtime", "data"})
        QDir(base).mkpath(QString::fromLatin1(name));
    QFile::setPermissions(base + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(base + "/config"));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(base + "/cache"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(base + "/data"));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(base + "/runtime"));
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}
