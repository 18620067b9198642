#include "Pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace backtrail::shell {

namespace {

const QColor kTeal(0x24, 0x5f, 0x6c);
const QColor kTealLight(0x3f, 0x86, 0x94);
const QColor kSand(210, 190, 150);
const QColor kSandLight(0xec, 0xe0, 0xc6);
const QColor kWarmWhite(0xfb, 0xf8, 0xf1);

QFont pictureFont(double pixelSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(int(pixelSize));
    font.setBold(bold);
    return font;
}

// The trail: dots along a curve from an outside page (a ring) to an arrow.
void drawTrail(QPainter& painter, const QPointF& from, const QPointF& c1, const QPointF& c2, const QPointF& to,
               double dot, const QColor& color)
{
    QPainterPath path(from);
    path.cubicTo(c1, c2, to);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    const int dots = std::max(6, int(path.length() / (dot * 3.2)));
    for (int i = 1; i < dots; ++i) {
        const QPointF p = path.pointAtPercent(double(i) / dots);
        painter.drawEllipse(p, dot / 2, dot / 2);
    }
    // The arrow head follows the curve's last direction.
    const double angle = path.angleAtPercent(0.999);
    painter.save();
    painter.translate(to);
    painter.rotate(-angle);
    QPainterPath head;
    head.moveTo(dot * 2.6, 0);
    head.lineTo(-dot * 0.8, -dot * 1.8);
    head.lineTo(-dot * 0.8, dot * 1.8);
    head.closeSubpath();
    painter.drawPath(head);
    painter.restore();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(color, dot * 0.7));
    painter.drawEllipse(from, dot * 1.6, dot * 1.6);
}

// A page of the user's site: a sheet with a folded corner and text lines.
void drawPage(QPainter& painter, const QRectF& sheet, const QColor& paper, const QColor& ink)
{
    const double fold = sheet.width() * 0.28;
    QPainterPath outline;
    outline.moveTo(sheet.topLeft());
    outline.lineTo(sheet.right() - fold, sheet.top());
    outline.lineTo(sheet.right(), sheet.top() + fold);
    outline.lineTo(sheet.bottomRight());
    outline.lineTo(sheet.bottomLeft());
    outline.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(paper);
    painter.drawPath(outline);
    painter.setBrush(paper.darker(115));
    QPainterPath corner;
    corner.moveTo(sheet.right() - fold, sheet.top());
    corner.lineTo(sheet.right() - fold, sheet.top() + fold);
    corner.lineTo(sheet.right(), sheet.top() + fold);
    corner.closeSubpath();
    painter.drawPath(corner);
    painter.setPen(QPen(ink, std::max(1.0, sheet.height() / 16), Qt::SolidLine, Qt::RoundCap));
    const double left = sheet.left() + sheet.width() * 0.18;
    for (int line = 0; line < 4; ++line) {
        const double y = sheet.top() + sheet.height() * (0.42 + 0.14 * line);
        const double right = sheet.right() - sheet.width() * (line == 3 ? 0.42 : 0.18);
        painter.drawLine(QPointF(left, y), QPointF(right, y));
    }
}

QPixmap iconPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    QLinearGradient fill(0, 0, 0, s);
    fill.setColorAt(0, kTealLight);
    fill.setColorAt(1, kTeal);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.2, s * 0.2);
    drawPage(painter, QRectF(s * 0.52, s * 0.16, s * 0.34, s * 0.44), kWarmWhite, kTeal);
    drawTrail(painter, QPointF(s * 0.2, s * 0.8), QPointF(s * 0.3, s * 0.45), QPointF(s * 0.55, s * 0.9),
              QPointF(s * 0.64, s * 0.66), std::max(1.4, s / 16), kSand);
    return pixmap;
}

} // namespace

QIcon ProgramIcon()
{
    static const QIcon icon = [] {
        QIcon made;
        for (int size : {16, 24, 32, 48, 64, 128})
            made.addPixmap(iconPixmap(size));
        return made;
    }();
    return icon;
}

QPixmap OkPicture()
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kTealLight);
    painter.drawEllipse(QRectF(1, 1, 22, 22));
    painter.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF({QPointF(6.5, 12.5), QPointF(10.5, 16.5), QPointF(17.5, 8)}));
    return pixmap;
}

QPixmap AboutBanner(const QString& programName)
{
    const int width = 497;
    const int height = 68;
    QPixmap pixmap(width, height);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, width, 0);
    fill.setColorAt(0, kTeal);
    fill.setColorAt(1, kTealLight);
    painter.fillRect(pixmap.rect(), fill);
    painter.fillRect(QRect(0, height - 4, width, 4), kSand);

    painter.drawPixmap(QPoint(14, 12), iconPixmap(40));
    painter.setPen(kWarmWhite);
    painter.setFont(pictureFont(26, true));
    painter.drawText(QRect(66, 6, 300, 36), Qt::AlignLeft | Qt::AlignVCenter, programName);
    painter.setPen(kSandLight);
    painter.setFont(pictureFont(12, false));
    painter.drawText(QRect(68, 40, 300, 20), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Who sends visitors to your website"));

    drawTrail(painter, QPointF(330, 46), QPointF(370, 8), QPointF(410, 70), QPointF(446, 30), 3.2, kSand);
    drawPage(painter, QRectF(454, 12, 28, 36), kWarmWhite, kTeal);
    return pixmap;
}

QPixmap SplashPicture(const QString& programName)
{
    const int width = 480;
    const int height = 250;
    QPixmap pixmap(width, height);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, width, height);
    fill.setColorAt(0, kTealLight);
    fill.setColorAt(1, kTeal);
    painter.fillRect(pixmap.rect(), fill);
    QRadialGradient glow(QPointF(width * 0.78, height * 0.4), width * 0.45);
    glow.setColorAt(0, QColor(255, 255, 255, 46));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillRect(pixmap.rect(), glow);
    painter.fillRect(QRect(0, height - 6, width, 6), kSand);

    // Three outside pages whose trails lead to the user's page.
    const QRectF page(330, 58, 86, 110);
    drawTrail(painter, QPointF(262, 44), QPointF(286, 34), QPointF(296, 82), QPointF(318, 88), 4.2, kSandLight);
    drawTrail(painter, QPointF(258, 150), QPointF(276, 122), QPointF(296, 134), QPointF(318, 118), 4.2, kSand);
    drawTrail(painter, QPointF(268, 208), QPointF(302, 216), QPointF(302, 162), QPointF(322, 148), 4.2, kSandLight);
    drawPage(painter, page, kWarmWhite, kTeal);

    painter.setPen(kWarmWhite);
    painter.setFont(pictureFont(40, true));
    painter.drawText(QRect(28, 70, 260, 56), Qt::AlignLeft | Qt::AlignVCenter, programName);
    painter.setPen(kSandLight);
    painter.setFont(pictureFont(14, false));
    painter.drawText(QRect(30, 126, 200, 48), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     QStringLiteral("Referrers from your\nweb-server logs"));
    return pixmap;
}

} // namespace backtrail::shell
