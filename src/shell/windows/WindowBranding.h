#pragma once

#include "engine/base/BuildInfo.h"

#include <QString>

namespace backtrail::shell {

/// The branding values the secondary windows show: program name, company
/// name, website address, and whether windows wear the skin.
struct WindowBranding
{
    QString strProgramName;
    QString strCompanyName;
    QString strWebsite;
    bool bUseSkin = true;

    /// The values the build carries.
    static WindowBranding FromBuild()
    {
        return {QString::fromUtf8(build::kProductName), QString::fromUtf8(build::kCompanyName),
                QString::fromUtf8(build::kWebsiteHost), true};
    }
};

} // namespace backtrail::shell
