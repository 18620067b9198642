#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace backtrail::shell {

// The program's pictures, drawn here in the skin's colours: deep teal, sand
// and warm white, with the dotted trail that leads from an outside page to
// the user's site.

/// The window icon of every window of the program.
QIcon ProgramIcon();

/// The 24 by 24 picture of the Options dialog's Ok button.
QPixmap OkPicture();

/// The About window's banner, 497 by 68 pixels, with the program name.
QPixmap AboutBanner(const QString& programName);

/// The splash window's picture with the program name.
QPixmap SplashPicture(const QString& programName);

} // namespace backtrail::shell
