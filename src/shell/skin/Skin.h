#pragma once

#include <QFont>
#include <QObject>
#include <QPalette>
#include <QString>

#include <cstdint>
#include <optional>

class QWidget;

namespace backtrail::shell {

/// A colour number with red in the low byte, then green, then blue:
/// 0x96BED2 is red 210, green 190, blue 150.
using ColorNumber = std::uint32_t;

QColor ColorFromNumber(ColorNumber number);
ColorNumber NumberFromColor(const QColor& color);

/// Reads a colour number written in hexadecimal ("96BED2"); nothing for text
/// that is not one.
std::optional<ColorNumber> ParseColorNumber(QStringView text);

/// The skin control: it carries the skin data (four colours, the switches, the
/// window palette, font and style sheet) and skins windows with it.
class Skin : public QObject
{
    Q_OBJECT
    Q_PROPERTY(uint backColor READ backColor)
    Q_PROPERTY(uint textColor READ textColor)
    Q_PROPERTY(uint panelColor READ panelColor)
    Q_PROPERTY(uint panelTextColor READ panelTextColor)

public:
    /// The skin that the program carries among its resources.
    static constexpr auto kBuiltInSkin = ":/backtrail/skin/Sandstone.skin";

    /// Numbers of the colour properties: background, text, panel, panel text.
    enum ColorProperty { kBackColor = 2, kTextColor = 3, kPanelColor = 4, kPanelTextColor = 5 };

    /// A skin control that carries the program's built-in skin.
    explicit Skin(QObject* parent = nullptr);

    /// Replaces the skin data with the skin file at `path` (an INI file, see the
    /// built-in skin). False, with the skin unchanged, when it cannot be read or
    /// lacks one of its colours.
    bool load(const QString& path);

    QString name() const { return skinName; }
    bool isLoaded() const { return loaded; }

    /// A colour property by its number (2 to 5); nothing for any other number.
    std::optional<ColorNumber> colorProperty(int number) const;
    ColorNumber backColor() const { return colors[0]; }
    ColorNumber textColor() const { return colors[1]; }
    ColorNumber panelColor() const { return colors[2]; }
    ColorNumber panelTextColor() const { return colors[3]; }

    /// The skin's switch for colouring standard controls itself; the program's
    /// skin has it off and leaves control colours to the colour pass.
    bool controlColoring() const { return colorsControls; }
    /// The skin's switch for painting the windows' client areas.
    bool clientAreaSkinning() const { return skinsClientArea; }

    QPalette palette() const { return windowPalette; }
    QFont font() const { return windowFont; }
    QString styleSheet() const { return sheet; }

    /// Skins one window: client-area palette and style sheet when that switch
    /// is on, control colours when that switch is on. False when the skin
    /// carries no data or there is no window.
    bool skinWindow(QWidget* window) const;

private:
    bool loaded = false;
    QString skinName;
    ColorNumber colors[4] = {0xFFFFFF, 0x000000, 0xC0C0C0, 0x000000};
    bool colorsControls = false;
    bool skinsClientArea = true;
    QPalette windowPalette;
    QFont windowFont;
    QString sheet;
};

} // namespace backtrail::shell
