// Arbitrary bytes as rich text for the help window's reader: no crash, no
// sanitizer report, no hang; the document is laid out as the help window
// would lay it out; the bytes count as rich text exactly when they start with
// "{\rtf" (after a byte-order mark and blanks); and reading the same bytes
// again gives the same document.

#include "FuzzSupport.h"

#include "shell/windows/RtfReader.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QTextDocument>

#include <cstdlib>
#include <memory>

namespace {

using backtrail::fuzz::ByteReader;

bool LooksLikeRtf(std::string_view bytes)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    while (!bytes.empty() && (bytes[0] == ' ' || bytes[0] == '\r' || bytes[0] == '\n' || bytes[0] == '\t'))
        bytes.remove_prefix(1);
    return bytes.substr(0, 5) == "{\\rtf";
}

} // namespace

// Fontconfig keeps its font patterns for the life of the process; the leak
// checker would take them for leaks at exit.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Fonts and layout need a GUI application; no window is ever shown.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "fuzz_rtf";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const bool rtf = LooksLikeRtf(std::string_view(bytes.constData(), size));

    QTextDocument document;
    FUZZ_CHECK(backtrail::shell::RtfReader::read(bytes, &document) == rtf);
    document.setTextWidth(600);
    FUZZ_CHECK(document.size().width() >= 0);
    const QString first = document.toPlainText();

    FUZZ_CHECK(backtrail::shell::RtfReader::read(bytes, &document) == rtf);
    FUZZ_CHECK(document.toPlainText() == first);
    return 0;
}
