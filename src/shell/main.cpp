#include "shell/windows/Program.h"

#include "engine/base/BuildInfo.h"
#include "engine/base/HugePages.h"
#include "engine/base/Settings.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <unistd.h>

namespace {

// Chromium refuses to start as root with its sandbox on. As root the program
// turns the sandbox off itself (this must happen before the application object
// exists); everyone else keeps it.
void allowWebViewAsRoot()
{
    if (geteuid() != 0 || qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        return;
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    std::fputs("backtrail: running as root, so the web view's sandbox is turned off\n", stderr);
}

} // namespace

int main(int argc, char* argv[])
{
    backtrail::engine::ReturnLargeBlocksWhenFreed();
    allowWebViewAsRoot();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(backtrail::build::kProductName));
    QApplication::setOrganizationName(QString::fromUtf8(backtrail::build::kCompanyName));
    QApplication::setApplicationVersion(QString::fromUtf8(backtrail::build::kVersion));
    // Lets the desktop match the program's windows with its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.backtrail"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Shows which outside pages send visitors to your web site."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Log files, or a folder, to show selected in the file list."),
                                 QStringLiteral("[FILE...]"));
    parser.process(app);

    backtrail::engine::IniSettingsStore store;
    backtrail::shell::Program::Setup setup;
    setup.store = &store;
    setup.startFiles = parser.positionalArguments();
    backtrail::shell::Program program(setup);
    return app.exec();
}
