#include "ui/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

// The unit as it hangs on the wall: a steel cabinet with a blue front plate, its display,
// the state lamps, the loudspeaker grille and the console socket.  Drawn on a 600 x 400 plan.
void drawunit(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    // Shadow and cabinet.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRoundedRect(QRectF(22, 26, 568, 364), 18, 18);
    QLinearGradient steel(0, 10, 0, 380);
    steel.setColorAt(0, QColor(236, 238, 240));
    steel.setColorAt(0.5, QColor(206, 210, 214));
    steel.setColorAt(1, QColor(168, 172, 178));
    p.setBrush(steel);
    p.setPen(QPen(QColor(120, 124, 130), 2));
    p.drawRoundedRect(QRectF(10, 10, 568, 364), 16, 16);

    // Front plate.
    QLinearGradient plate(0, 40, 0, 340);
    plate.setColorAt(0, QColor(34, 72, 140));
    plate.setColorAt(1, QColor(18, 42, 92));
    p.setBrush(plate);
    p.setPen(QPen(QColor(12, 28, 64), 2));
    p.drawRoundedRect(QRectF(36, 36, 516, 312), 10, 10);

    // Name and the red strip of a warning system.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 30, 36));
    p.drawRect(QRectF(36, 62, 516, 10));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(30);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(56, 82, 300, 44), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8("ВИРЕЛАН2"));

    // Display.
    p.setBrush(QColor(20, 24, 20));
    p.setPen(QPen(QColor(90, 96, 104), 3));
    p.drawRoundedRect(QRectF(58, 140, 220, 70), 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 200, 90));
    p.drawRoundedRect(QRectF(66, 148, 204, 54), 3, 3);
    f.setPixelSize(22);
    f.setBold(false);
    p.setFont(f);
    p.setPen(QColor(10, 60, 20));
    p.drawText(QRectF(66, 148, 204, 54), Qt::AlignCenter, QString::fromUtf8("НОРМА  12:00"));

    // State lamps: power, fault, fire, and the two panels.
    const QColor lamps[] = {QColor(40, 220, 60), QColor(250, 200, 30), QColor(240, 40, 40),
                            QColor(40, 220, 60), QColor(40, 220, 60)};
    for (int i = 0; i < 5; ++i) {
        const QPointF c(74 + i * 46, 248);
        QRadialGradient g(c - QPointF(3, 3), 12);
        g.setColorAt(0, lamps[i].lighter(170));
        g.setColorAt(1, lamps[i].darker(110));
        p.setBrush(g);
        p.setPen(QPen(QColor(10, 20, 40), 2));
        p.drawEllipse(c, 11, 11);
    }
    // Push buttons below the lamps.
    for (int i = 0; i < 4; ++i) {
        p.setBrush(QColor(220, 222, 226));
        p.setPen(QPen(QColor(80, 84, 90), 2));
        p.drawRoundedRect(QRectF(60 + i * 56, 284, 44, 28), 5, 5);
    }

    // Loudspeaker grille.
    const QPointF centre(440, 210);
    p.setPen(QPen(QColor(10, 20, 40), 3));
    QRadialGradient cone(centre, 96);
    cone.setColorAt(0, QColor(70, 76, 86));
    cone.setColorAt(1, QColor(30, 34, 40));
    p.setBrush(cone);
    p.drawEllipse(centre, 92, 92);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(10, 12, 16));
    for (int y = -80; y <= 80; y += 14)
        for (int x = -80; x <= 80; x += 14)
            if (x * x + y * y < 78 * 78)
                p.drawEllipse(centre + QPointF(x, y), 3.5, 3.5);

    // Console socket and the fixing screws.
    p.setBrush(QColor(190, 160, 60));
    p.setPen(QPen(QColor(60, 50, 20), 2));
    p.drawEllipse(QPointF(520, 80), 12, 12);
    p.setBrush(QColor(150, 154, 160));
    p.setPen(QPen(QColor(90, 94, 100), 1.5));
    for (const QPointF& s : {QPointF(24, 24), QPointF(564, 24), QPointF(24, 360), QPointF(564, 360)})
        p.drawEllipse(s, 6, 6);
}

} // namespace

QPixmap unitpicture(const QSize& size)
{
    // The photograph of the design is 3 : 2; it is scaled proportionally into the place.
    const qreal scale = qMin(size.width() / 600.0, size.height() / 400.0);
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.translate((size.width() - 600 * scale) / 2, (size.height() - 400 * scale) / 2);
    p.scale(scale, scale);
    drawunit(p);
    return pm;
}

QIcon programicon()
{
    QIcon icon;
    for (int s : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pm(s, s);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(s / 64.0, s / 64.0);
        // A red plate with a white loudspeaker sending out sound.
        p.setPen(QPen(QColor(120, 10, 14), 2));
        p.setBrush(QColor(208, 32, 38));
        p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
        QPainterPath spk;
        spk.moveTo(12, 25);
        spk.lineTo(21, 25);
        spk.lineTo(33, 14);
        spk.lineTo(33, 50);
        spk.lineTo(21, 39);
        spk.lineTo(12, 39);
        spk.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPath(spk);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(28, 22, 16, 20), -50 * 16, 100 * 16);
        p.drawArc(QRectF(28, 14, 26, 36), -50 * 16, 100 * 16);
        icon.addPixmap(pm);
    }
    return icon;
}
