#include "RowAddress.h"

namespace backtrail::results {

QString LandingPageAddress(const QString& ownDomain, const QString& landing)
{
    QString domain = ownDomain.trimmed();
    for (const QLatin1StringView scheme : {QLatin1StringView("http://"), QLatin1StringView("https://")})
        if (domain.startsWith(scheme, Qt::CaseInsensitive))
            domain.remove(0, scheme.size());
    // The landing path is the whole path of the request: a path in the own
    // domain ("example.org/blog") is already part of it.
    if (const qsizetype slash = domain.indexOf(u'/'); slash >= 0)
        domain.truncate(slash);
    if (domain.isEmpty() || landing.isEmpty())
        return {};
    return QStringLiteral("http://") + domain + (landing.startsWith(u'/') ? landing : u'/' + landing);
}

QString SiteAddress(const QString& site)
{
    return site.isEmpty() ? QString() : QStringLiteral("http://") + site + u'/';
}

} // namespace backtrail::results
