#pragma once

#include <QString>

namespace backtrail::results {

/// The own site's page that a referrer links to: "http://", the own domain
/// and the landing path. A domain typed with its scheme ("https://x/") is
/// taken without it and without a path of its own ("example.org/blog/": the
/// landing path holds "/blog"), and a path without its leading "/" gets one. Empty when
/// the row has no landing page or there is no own domain.
QString LandingPageAddress(const QString& ownDomain, const QString& landing);

/// The front page of a referring site, as a site row opens it: "http://site/".
QString SiteAddress(const QString& site);

} // namespace backtrail::results
