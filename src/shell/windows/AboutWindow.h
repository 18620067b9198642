#pragma once

#include "WindowBranding.h"

#include <QString>
#include <QWidget>

class QLabel;

namespace backtrail::shell {

class PictureBox;
class SkinLabel;

/// The version as the About window shows it: major, ".", minor, as plain
/// decimal numbers (1 and 0 give "1.0", 1 and 5 give "1.5").
QString VersionText(int major, int minor);

/// The About window: banner, program name, version, owner, website and the
/// ownership notice. Nothing in it reacts to clicks.
class AboutWindow : public QWidget
{
    Q_OBJECT

public:
    /// Loads the window (objectName "frmAbout") with the build's version.
    explicit AboutWindow(const WindowBranding& branding, QWidget* parent = nullptr);
    /// The same with the given version numbers.
    AboutWindow(const WindowBranding& branding, int versionMajor, int versionMinor, QWidget* parent = nullptr);

private:
    void Form_Load();

    WindowBranding branding;
    int major;
    int minor;

    PictureBox* Picture1;
    SkinLabel* Label1;
    QLabel* Label2;
    SkinLabel* lblVersion;
    QLabel* Label3;
    SkinLabel* lblCompany;
    QLabel* Label4;
    SkinLabel* lblWebsite;
    QLabel* Label5;
    SkinLabel* SkinLabel1;
};

} // namespace backtrail::shell
