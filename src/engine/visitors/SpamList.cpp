#include "SpamList.h"

#include "ShippedLists.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace backtrail::engine {

namespace {

constexpr char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

template<class OnLine> void forEachLine(std::string_view text, OnLine&& onLine)
{
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        onLine(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
}

} // namespace

std::string SpamList::NormalHost(std::string_view line)
{
    return engine::NormalHost(ReferrerHost(trimmed(line)));
}

SpamList::SpamList(std::string_view lines)
{
    addLines(lines);
}

SpamList SpamList::Shipped(const QStringList& userHosts)
{
    SpamList list(ShippedSpammersTxt());
    list.addLines(userHosts);
    return list;
}

void SpamList::addLines(std::string_view lines)
{
    forEachLine(lines, [this](std::string_view line) { addHost(line); });
}

void SpamList::addLines(const QStringList& lines)
{
    for (const QString& line : lines)
        addLines(line.toStdString());
}

bool SpamList::addHost(std::string_view host)
{
    std::string normal = NormalHost(host);
    if (normal.empty())
        return false;
    noteHost(normal);
    hosts.insert(std::move(normal));
    return true;
}

namespace {

// The last two labels of a host ("example.com" of "a.b.example.com"), or the
// host when it has one label. Every listed host that a host falls under
// shares these with it, unless the listed host is a single label.
std::string_view lastTwoLabels(std::string_view host)
{
    const std::size_t last = host.rfind('.');
    if (last == std::string_view::npos || last == 0)
        return host;
    const std::size_t before = host.rfind('.', last - 1);
    return before == std::string_view::npos ? host : host.substr(before + 1);
}

std::size_t filterBit(std::string_view text)
{
    // FNV-1a: the texts are short, and a hit is confirmed by the set.
    std::uint32_t hash = 2166136261u;
    for (const char c : text)
        hash = (hash ^ std::uint8_t(c)) * 16777619u;
    return (hash ^ (hash >> 16)) & 0xffff;
}

} // namespace

void SpamList::noteHost(std::string_view normal)
{
    if (normal.find('.') == std::string_view::npos)
        singleLabelListed = true;
    if (filter.empty())
        filter.assign(1024, 0);
    const std::size_t bit = filterBit(lastTwoLabels(normal));
    filter[bit / 64] |= std::uint64_t(1) << (bit % 64);
}

bool SpamList::isSpam(std::string_view host) const
{
    if (hosts.empty())
        return false;
    host = BareHost(host);
    if (host.empty())
        return false;
    // In lower case, on the stack for any host a name server would take.
    char buffer[256];
    std::string longer;
    char* lower = buffer;
    if (host.size() > sizeof buffer) {
        longer.resize(host.size());
        lower = longer.data();
    }
    for (std::size_t i = 0; i < host.size(); ++i)
        lower[i] = asciiLower(host[i]);
    const std::string_view name(lower, host.size());
    // Most hosts share their last two labels with no listed host: one look at the filter settles them.
    if (!singleLabelListed) {
        const std::size_t bit = filterBit(lastTwoLabels(name));
        if ((filter[bit / 64] & (std::uint64_t(1) << (bit % 64))) == 0)
            return false;
    }
    // The host itself, then each of its parent domains.
    for (std::string_view rest = name;;) {
        if (hosts.find(rest) != hosts.end())
            return true;
        const std::size_t dot = rest.find('.');
        if (dot == std::string_view::npos)
            return false;
        rest.remove_prefix(dot + 1);
    }
}

QString UserSpamListPath(const QString& settingsFileName)
{
    return QFileInfo(settingsFileName).dir().filePath(QStringLiteral("spam.txt"));
}

namespace {

// The bytes of a file; a missing file has none. False when it exists but cannot be read.
bool readWholeFile(const QString& path, QByteArray& bytes, QString* error)
{
    bytes.clear();
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    bytes = file.readAll();
    return true;
}

} // namespace

QStringList ReadUserSpamList(const QString& path, QString* error)
{
    QByteArray bytes;
    if (!readWholeFile(path, bytes, error))
        return {};
    QStringList lines;
    forEachLine(std::string_view(bytes.constData(), std::size_t(bytes.size())), [&](std::string_view line) {
        lines.push_back(QString::fromUtf8(line.data(), qsizetype(line.size())));
    });
    return lines;
}

bool AppendUserSpamHost(const QString& path, std::string_view host, QString* error)
{
    const std::string normal = SpamList::NormalHost(host);
    if (normal.empty()) {
        if (error)
            *error = QStringLiteral("no host to add");
        return false;
    }
    QByteArray bytes;
    if (!readWholeFile(path, bytes, error))
        return false;
    bool listed = false;
    forEachLine(std::string_view(bytes.constData(), std::size_t(bytes.size())),
                [&](std::string_view line) { listed = listed || SpamList::NormalHost(line) == normal; });
    if (listed)
        return true;
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("cannot create the folder %1").arg(folder);
        return false;
    }
    // A last line without its line end gets one first.
    std::string text;
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        text += '\n';
    text += normal;
    text += '\n';
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)
        || file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.flush()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace backtrail::engine
