#include "RowAddress.h"

namespace backtrail::results {

QString LandingPageAddress(const QString& ownDomain, const QString& landing)
{
    QString domain = ownDomain.trimmed();
    for (const QLatin1StringView scheme : {QLatin1StringView("http://"), QLatin1StringView("https://")})
        if (domain.startsWith(scheme, Qt::CaseInsensitive))
            domain.remove(0, scheme.size());
    while (domain.endsWith(u'/'))
        domain.chop(1);
    if (domain.isEmpty() || landing.isEmpty())
        return {};
    return QStringLiteral("http://") + domain + (landing.startsWith(u'/') ? landing : u'/' + landing);
}

QString SiteAddress(const QString& site)
{
    return site.isEmpty() ? QString() : QStringLiteral("http://") + site + u'/';
}

} // namespace backtrail::results
