#pragma once

#include <QString>

namespace backtrail::shell {

/// The program's branding: the names and web site that the windows show. They
/// come from the build's version values and never change while the program runs.
struct Livery
{
    QString strProgramName;
    QString strCompanyName;
    QString strWebsite; ///< a bare host name, no scheme
    bool bUseSkin = true;
};

/// The process-wide branding values, filled by LoadBranding.
Livery& Branding();

/// Fills the branding values from the build's version values. Calling it again
/// gives the same values.
void LoadBranding();

/// The main window's caption: program name, " by ", company name.
QString ProgramCaption();

} // namespace backtrail::shell
