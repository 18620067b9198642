#pragma once

#include "ResultTable.h"

#include <string>
#include <string_view>
#include <vector>

namespace backtrail::engine {

/// The referring site of an address: the normal form of its host
/// (NormalHost of ReferrerHost: lower case, no user information, port,
/// trailing "." or leading "www."); an app's package for an app's address.
std::string ReferringSite(std::string_view referrer);

/// One row per referring site, in the order in which each site first appears:
/// the site as the referrer, the summed clicks zero-filled to seven digits (a
/// row without clicks counts once) and an empty type. Crawler rows (their bot
/// flag, with type codes on or off) group apart into site rows typed "BOT", so
/// that a crawler never adds to a real site's clicks; a people's site with a
/// row typed "SPM" is typed "SPM". A site was first seen when the earliest of
/// its rows was, and last seen when the latest was. `members`, when given,
/// receives the positions of each site's rows.
ResultTable GroupBySite(const ResultTable& rows, std::vector<std::vector<std::size_t>>* members = nullptr);

} // namespace backtrail::engine
