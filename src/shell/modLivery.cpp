#include "modLivery.h"

#include "engine/base/BuildInfo.h"

namespace backtrail::shell {

Livery& Branding()
{
    static Livery values;
    return values;
}

void LoadBranding()
{
    Livery& values = Branding();
    values.strProgramName = QString::fromUtf8(build::kProductName);
    values.strCompanyName = QString::fromUtf8(build::kCompanyName);
    values.strWebsite = QString::fromUtf8(build::kWebsiteHost);
    values.bUseSkin = true;
}

QString ProgramCaption()
{
    return Branding().strProgramName + QStringLiteral(" by ") + Branding().strCompanyName;
}

} // namespace backtrail::shell
