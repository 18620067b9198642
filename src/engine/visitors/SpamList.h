#pragma once

#include "engine/base/TextHash.h"
#include "engine/fields/AddressHost.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace backtrail::engine {

/// Hosts known to send referrer spam: a referrer is spam when its host is a
/// listed host or a subdomain of one ("a.spam-example.com" is spam when
/// "spam-example.com" is listed; "notspam-example.com" is not). Letter case is
/// ignored. A built list is only read, so one list may serve many threads.
class SpamList
{
public:
    /// No hosts: nothing is spam.
    SpamList() = default;
    /// The hosts of a text with one host a line (see addLines).
    explicit SpamList(std::string_view lines);
    /// The shipped spammers.txt and the user's own hosts (for example the lines
    /// of ReadUserSpamList).
    static SpamList Shipped(const QStringList& userHosts = {});

    /// Adds one host a line: surrounding blanks and blank lines are ignored; a
    /// line holding an address ("http://host/...") adds the address's host.
    void addLines(std::string_view lines);
    void addLines(const QStringList& lines);
    /// Adds one host (a line as addLines takes it); false when it names none.
    bool addHost(std::string_view host);

    /// True when the host (for example ReferrerHost of a referrer), in its
    /// normal form (NormalHost), is listed or is a subdomain of a listed host.
    bool isSpam(std::string_view host) const;

    std::size_t size() const { return hosts.size(); }

    /// A line's host as the list keeps it: the normal form (NormalHost) of the
    /// host of the line without surrounding blanks, read as a referrer's
    /// (ReferrerHost: no scheme, user information, port or path); empty when
    /// the line names none.
    static std::string NormalHost(std::string_view line);

private:
    struct HostHash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept { return std::size_t(TextHash(text)); }
    };
    void noteHost(std::string_view normal);
    std::unordered_set<std::string, HostHash, std::equal_to<>> hosts;
    // One bit for the last two labels of each listed host: a host whose bit
    // is clear is no spam (unless a single-label host is listed).
    std::vector<std::uint64_t> filter;
    bool singleLabelListed = false;
};

/// The user's own list of spam hosts: spam.txt in the folder of the settings
/// file (IniSettingsStore::fileName()).
QString UserSpamListPath(const QString& settingsFileName);

/// The lines of the user's list; a missing file has none. A file that exists
/// but cannot be read gives none too, with the reason in `error`.
QStringList ReadUserSpamList(const QString& path, QString* error = nullptr);

/// Adds a host to the user's list (the "Mark Site as Spam" command), creating
/// the file and its folder when needed; a host the file already lists is not
/// written again. False, with the reason in `error`, when the host is empty or
/// the file cannot be written.
bool AppendUserSpamHost(const QString& path, std::string_view host, QString* error = nullptr);

} // namespace backtrail::engine
