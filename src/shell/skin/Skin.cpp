#include "Skin.h"

#include "ClassicType.h"

#include <QFile>
#include <QSettings>
#include <QWidget>

namespace backtrail::shell {

QColor ColorFromNumber(ColorNumber number)
{
    return QColor(int(number & 0xFFu), int((number >> 8) & 0xFFu), int((number >> 16) & 0xFFu));
}

ColorNumber NumberFromColor(const QColor& color)
{
    return ColorNumber(color.red()) | (ColorNumber(color.green()) << 8) | (ColorNumber(color.blue()) << 16);
}

std::optional<ColorNumber> ParseColorNumber(QStringView text)
{
    const QStringView digits = text.trimmed();
    if (digits.isEmpty() || digits.size() > 8)
        return std::nullopt;
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!ok)
        return std::nullopt;
    return ColorNumber(value);
}

namespace {

struct PaletteEntry
{
    const char* key;
    QPalette::ColorRole role;
};

constexpr PaletteEntry kPaletteEntries[] = {
    {"Window", QPalette::Window},
    {"WindowText", QPalette::WindowText},
    {"Base", QPalette::Base},
    {"AlternateBase", QPalette::AlternateBase},
    {"Text", QPalette::Text},
    {"Button", QPalette::Button},
    {"ButtonText", QPalette::ButtonText},
    {"BrightText", QPalette::BrightText},
    {"Light", QPalette::Light},
    {"Midlight", QPalette::Midlight},
    {"Mid", QPalette::Mid},
    {"Dark", QPalette::Dark},
    {"Shadow", QPalette::Shadow},
    {"Highlight", QPalette::Highlight},
    {"HighlightedText", QPalette::HighlightedText},
    {"Link", QPalette::Link},
    {"LinkVisited", QPalette::LinkVisited},
    {"ToolTipBase", QPalette::ToolTipBase},
    {"ToolTipText", QPalette::ToolTipText},
    {"PlaceholderText", QPalette::PlaceholderText},
};

// Palette entries are ordinary web colours, RRGGBB.
std::optional<QColor> webColor(const QString& text)
{
    const QColor color(QLatin1Char('#') + text.trimmed());
    if (!color.isValid())
        return std::nullopt;
    return color;
}

QString readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void setControlColors(QWidget* control, const QColor& background, const QColor& text)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::Button, background);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ButtonText, text);
    control->setPalette(palette);
}

} // namespace

Skin::Skin(QObject* parent)
    : QObject(parent)
{
    load(QString::fromLatin1(kBuiltInSkin));
}

bool Skin::load(const QString& path)
{
    if (!QFile::exists(path))
        return false;
    QSettings data(path, QSettings::IniFormat);
    if (data.status() != QSettings::NoError)
        return false;

    static constexpr const char* colorKeys[] = {"Colors/Background", "Colors/Text", "Colors/Panel", "Colors/PanelText"};
    ColorNumber read[4] = {};
    for (int i = 0; i < 4; ++i) {
        const auto number = ParseColorNumber(data.value(QLatin1String(colorKeys[i])).toString());
        if (!number)
            return false;
        read[i] = *number;
    }

    std::copy(std::begin(read), std::end(read), std::begin(colors));
    skinName = data.value(QStringLiteral("Skin/Name")).toString();
    colorsControls = data.value(QStringLiteral("Skin/ControlColoring"), false).toBool();
    skinsClientArea = data.value(QStringLiteral("Skin/ClientAreaSkinning"), true).toBool();
    sheet = readText(data.value(QStringLiteral("Skin/StyleSheet")).toString());

    QPalette palette;
    for (const PaletteEntry& entry : kPaletteEntries) {
        if (const auto color = webColor(data.value(QStringLiteral("Palette/") + QLatin1String(entry.key)).toString()))
            palette.setColor(entry.role, *color);
    }
    if (const auto disabled = webColor(data.value(QStringLiteral("Palette/DisabledText")).toString())) {
        palette.setColor(QPalette::Disabled, QPalette::Text, *disabled);
        palette.setColor(QPalette::Disabled, QPalette::WindowText, *disabled);
        palette.setColor(QPalette::Disabled, QPalette::ButtonText, *disabled);
    }
    windowPalette = palette;

    QFont font;
    const QString family = data.value(QStringLiteral("Font/Family")).toString();
    const QString fallback = data.value(QStringLiteral("Font/Fallback")).toString();
    if (!family.isEmpty())
        font.setFamilies(fallback.isEmpty() ? QStringList {family} : QStringList {family, fallback});
    const double points = data.value(QStringLiteral("Font/PointSize"), 9.0).toDouble();
    if (points > 0)
        font.setPointSizeF(points);
    windowFont = font;

    loaded = true;
    return true;
}

std::optional<ColorNumber> Skin::colorProperty(int number) const
{
    if (number < kBackColor || number > kPanelTextColor)
        return std::nullopt;
    return colors[number - kBackColor];
}

bool Skin::skinWindow(QWidget* window) const
{
    if (!loaded || !window)
        return false;
    if (colorsControls) {
        for (QWidget* control : WindowControls(window))
            setControlColors(control, ColorFromNumber(backColor()), ColorFromNumber(textColor()));
    }
    if (skinsClientArea) {
        // Roles a control set for itself (the colour pass) stay its own: a
        // widget's palette only inherits the roles it has not set.
        window->setPalette(windowPalette);
        window->setStyleSheet(sheet);
    }
    window->setProperty("skin", skinName);
    return true;
}

} // namespace backtrail::shell
