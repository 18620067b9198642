// backtrail-scan: the command-line scanner, for batch use on servers.

#include "ScanCommand.h"

#include "engine/base/BuildInfo.h"
#include "engine/base/HugePages.h"
#include "engine/base/Settings.h"

#include <QCoreApplication>

#include <csignal>
#include <fcntl.h>
#include <iostream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The first Ctrl+C asks the scan to stop (what was found is still printed);
// the second ends the program at once.
extern "C" void onInterrupt(int)
{
    if (backtrail::cli::InterruptCount().fetch_add(1) >= 1)
        ::_exit(int(backtrail::cli::ExitStatus::Interrupted));
}

} // namespace

int main(int argc, char** argv)
{
    backtrail::engine::ReturnLargeBlocksWhenFreed();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(backtrail::build::kProductName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(backtrail::build::kVersion));
    std::signal(SIGINT, onInterrupt);
    std::ios::sync_with_stdio(false);
    // A large answer written into a pipe goes out in fewer, larger turns
    // with the reader when the pipe holds more than its default 64 KB.
    struct stat out;
    if (::fstat(STDOUT_FILENO, &out) == 0 && S_ISFIFO(out.st_mode))
        ::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const backtrail::engine::IniSettingsStore store;
    backtrail::cli::CommandStreams streams {std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1};
    // A table on a terminal fits its width.
    if (::isatty(STDOUT_FILENO) == 1) {
        struct winsize size
        {
        };
        if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
            streams.outWidth = size.ws_col;
        else if (const QByteArray columns = qgetenv("COLUMNS"); columns.toInt() > 0)
            streams.outWidth = std::size_t(columns.toInt());
        else
            streams.outWidth = 80;
    }
    const int status = backtrail::cli::RunScanCommand(arguments, store, streams);
    std::cout.flush();
    return status;
}
