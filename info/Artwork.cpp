#include "info/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace orvan::art {

QPixmap ProductIcon(int size) {
    QPixmap pix(size, size);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 96.0, size / 96.0);

    QLinearGradient ground(0, 0, 0, 96);
    ground.setColorAt(0, QColor(18, 44, 92));
    ground.setColorAt(1, QColor(6, 14, 34));
    p.setPen(Qt::NoPen);
    p.setBrush(ground);
    p.drawRoundedRect(QRectF(2, 2, 92, 92), 14, 14);

    // Chip body with four pins a side and the pin-1 notch.
    const QRectF body(26, 24, 44, 48);
    p.setPen(QPen(QColor(200, 205, 215), 3, Qt::SolidLine, Qt::FlatCap));
    for (int i = 0; i < 4; ++i) {
        const qreal y = body.top() + 8 + i * 10.5;
        p.drawLine(QPointF(body.left() - 9, y), QPointF(body.left(), y));
        p.drawLine(QPointF(body.right(), y), QPointF(body.right() + 9, y));
    }
    p.setPen(QPen(QColor(90, 96, 110), 1.5));
    p.setBrush(QColor(38, 40, 48));
    p.drawRoundedRect(body, 4, 4);
    p.setBrush(QColor(70, 74, 86));
    p.drawEllipse(QPointF(body.left() + 8, body.top() + 8), 3, 3);

    // The write pulse.
    QPainterPath pulse;
    pulse.moveTo(8, 58);
    const QPointF steps[] = {{30, 58}, {30, 44}, {44, 44}, {44, 62}, {56, 62},
                             {56, 44}, {68, 44}, {68, 58}, {88, 58}};
    for (const QPointF& s : steps)
        pulse.lineTo(s);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 196, 64), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(pulse);
    return pix;
}

QPixmap MakerLogo(int size) {
    QPixmap pix(size, size);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(QPen(QColor(110, 40, 150), 4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(4, 4, 24, 24));
    QPainterPath spark;
    spark.moveTo(18, 7);
    spark.lineTo(11, 17);
    spark.lineTo(16, 17);
    spark.lineTo(13, 25);
    spark.lineTo(21, 14);
    spark.lineTo(16, 14);
    spark.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 176, 32));
    p.drawPath(spark);
    return pix;
}

} // namespace orvan::art
