#include "ReferrerText.h"
#include "engine/base/AsciiCase.h"
#include "engine/fields/AddressHost.h"

#include <QByteArray>
#include <QStringDecoder>

#include <libpsl.h>

#include <algorithm>

namespace backtrail::engine {

namespace {

const psl_ctx_t* publicSuffixes()
{
    // The newest of libpsl's built-in list and Debian's publicsuffix file.
    static const psl_ctx_t* const psl = [] {
        const psl_ctx_t* latest = psl_latest(nullptr);
        return latest ? latest : psl_builtin();
    }();
    return psl;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = AsciiLower(c);
    return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

} // namespace

bool IsPublicSuffix(std::string_view domain)
{
    const psl_ctx_t* psl = publicSuffixes();
    if (!psl || domain.empty())
        return false;
    // A log may hold any bytes: libpsl is asked only about host names of
    // letters, digits, dots and hyphens (an internationalised suffix written
    // in Unicode is then none; written in punycode it is one).
    const bool plain = std::all_of(domain.begin(), domain.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
    });
    if (!plain)
        return false;
    const std::string text(domain);
    return psl_is_public_suffix2(psl, text.c_str(), PSL_TYPE_ICANN | PSL_TYPE_NO_STAR_RULE) != 0;
}

std::string PercentDecoded(std::string_view text, bool plusIsBlank)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += (plusIsBlank && c == '+') ? ' ' : c;
        }
    }
    return out;
}

std::string WordsAsUtf8(std::string_view bytes, const std::vector<std::string>& charsets)
{
    // Most search words are ASCII: they need no decoder.
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(bytes);
    const QByteArray raw = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString asUtf8 = utf8(raw);
    if (!utf8.hasError())
        return std::string(bytes);
    for (const std::string& charset : charsets) {
        if (charset == "utf-8" || charset == "utf8")
            continue;
        QStringDecoder decoder(charset.c_str(), QStringDecoder::Flag::Stateless);
        if (!decoder.isValid())
            continue;
        const QString text = decoder(raw);
        if (!decoder.hasError())
            return text.toUtf8().toStdString();
    }
    return asUtf8.toUtf8().toStdString();
}

ReferrerParts SplitReferrer(std::string_view referrer)
{
    ReferrerParts parts;
    const std::string_view address = AfterScheme(referrer);
    parts.app = AsciiLowered(referrer.substr(0, 14)) == "android-app://";
    std::size_t at = 0;
    parts.host = NormalHost(AddressHost(address, &at));
    at += referrer.size() - address.size();
    // Whatever follows the authority ends where the path, query or fragment starts.
    at = std::min(referrer.find_first_of("/?#", at), referrer.size());
    parts.pathOnward = referrer.substr(at);
    const std::size_t pathEnd = std::min(referrer.find_first_of("?#", at), referrer.size());
    if (at < referrer.size() && referrer[at] == '/')
        parts.path = referrer.substr(at, pathEnd - at);
    if (pathEnd < referrer.size() && referrer[pathEnd] == '?') {
        const std::size_t queryEnd = std::min(referrer.find('#', pathEnd), referrer.size());
        parts.query = referrer.substr(pathEnd + 1, queryEnd - pathEnd - 1);
    }
    return parts;
}

} // namespace backtrail::engine
